#include "engine/receiver/UbxNav.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include <GeographicLib/Geocentric.hpp>

#include "engine/receiver/Sky.h"
#include "engine/receiver/UbxFrame.h"

namespace kovra::engine::ubx {

namespace {

constexpr std::uint8_t kNav = 0x01;

// A signed value in its two's complement, for PutLe.
std::uint64_t Signed(double value) { return static_cast<std::uint64_t>(static_cast<std::int64_t>(std::llround(value))); }
std::uint64_t Unsigned(double value) { return static_cast<std::uint64_t>(std::llround(std::max(0.0, value))); }

int FixType(const nmea4::Epoch& e) { return e.fix == nmea4::FixType::ThreeD ? 3 : e.fix == nmea4::FixType::TwoD ? 2 : 0; }

int UsedCount(const nmea4::Epoch& e) {
    return static_cast<int>(std::count_if(e.satellites.begin(), e.satellites.end(), [](const auto& s) { return s.used; }));
}

// UBX numbers the systems 0 GPS, 1 SBAS, 2 Galileo, 3 BeiDou, 6 GLONASS.
int GnssId(const nmea4::Satellite& s) {
    switch (s.system) {
        case Gnss::Gps: return s.number >= 120 ? 1 : 0;
        case Gnss::Galileo: return 2;
        case Gnss::BeiDou: return 3;
        case Gnss::Glonass: return 6;
    }
    return 0;
}

// The epoch's UTC as a date-time, a leap second's 60 held at 59.
TDateTime UtcOf(const nmea4::Epoch& e) {
    const DecodedDateTime& t = e.utc;
    return EncodeDateTime(t.year, t.month, t.day, t.hour, t.minute, std::min(t.second, 59), t.millisecond);
}

// The position on the earth-centred frame, metres, and the rotation that
// turns east, north and up into it.
struct Ecef {
    double x = 0, y = 0, z = 0;
    std::array<double, 9> rotation{};
};

Ecef EcefOf(const nmea4::Epoch& e) {
    Ecef c;
    std::vector<double> m(9);
    GeographicLib::Geocentric::WGS84().Forward(e.latitude, e.longitude, e.altitude + e.geoidSeparation, c.x, c.y, c.z,
                                               m);
    std::copy(m.begin(), m.end(), c.rotation.begin());
    return c;
}

}  // namespace

std::uint32_t TimeOfWeek(const nmea4::Epoch& e) {
    const double gps = GpsTimeFromUtc(UtcOf(e)) + (e.utc.second == 60 ? 1 : 0);
    constexpr std::uint64_t kWeekMs = 604'800'000;
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::llround(std::fmod(gps, kSecondsPerWeek) * 1000)) % kWeekMs);
}

// NAV-PVT (0x01 0x07), 92 bytes.
void AppendNavPvt(std::string& out, const nmea4::Epoch& e, const NavContext& /*context*/) {
    const DecodedDateTime& t = e.utc;
    const bool fixed = e.Valid();
    const double speed = e.speedKnots * kMetresPerSecondPerKnot * 1000;  // mm/s
    const double course = e.course * std::numbers::pi / 180;
    std::string p;
    PutLe(p, TimeOfWeek(e), 4);
    PutLe(p, static_cast<std::uint64_t>(t.year), 2);
    for (const int field : {t.month, t.day, t.hour, t.minute, t.second}) {
        PutLe(p, static_cast<std::uint64_t>(field), 1);
    }
    PutLe(p, e.timeKnown ? 0x07 : 0x00, 1);                // date, time and fully resolved
    PutLe(p, e.timeKnown ? 50 : 0xFFFFFFFF, 4);            // tAcc, ns
    PutLe(p, Signed(t.millisecond * 1e6), 4);              // nano
    PutLe(p, static_cast<std::uint64_t>(FixType(e)), 1);
    PutLe(p, (fixed ? 0x01 : 0) | (e.quality == 2 ? 0x02 : 0), 1);  // gnssFixOK, diffSoln
    PutLe(p, e.timeKnown ? 0xE0 : 0, 1);                   // confirmed available, date and time
    PutLe(p, static_cast<std::uint64_t>(UsedCount(e)), 1);
    PutLe(p, Signed(e.longitude * 1e7), 4);
    PutLe(p, Signed(e.latitude * 1e7), 4);
    PutLe(p, Signed((e.altitude + e.geoidSeparation) * 1000), 4);  // above the ellipsoid
    PutLe(p, Signed(e.altitude * 1000), 4);                         // above mean sea level
    PutLe(p, fixed ? Unsigned(e.rangeError * e.dop.hdop * 1000) : 0xFFFFFFFF, 4);
    PutLe(p, fixed ? Unsigned(e.rangeError * e.dop.vdop * 1000) : 0xFFFFFFFF, 4);
    PutLe(p, Signed(speed * std::cos(course)), 4);  // velN
    PutLe(p, Signed(speed * std::sin(course)), 4);  // velE
    PutLe(p, 0, 4);                                 // velD
    PutLe(p, Unsigned(speed), 4);                   // gSpeed
    PutLe(p, Signed(e.course * 1e5), 4);            // headMot
    PutLe(p, 100, 4);                               // sAcc, mm/s
    PutLe(p, Unsigned(1e5), 4);                     // headAcc: a degree
    PutLe(p, Unsigned(e.dop.pdop * 100), 2);
    PutLe(p, fixed ? 0 : 1, 1);                     // flags3: invalidLlh without a fix
    PutLe(p, 0, 5);
    PutLe(p, Signed(e.trueHeading * 1e5), 4);       // headVeh
    PutLe(p, Signed(e.magneticVariation.value_or(0) * 100), 2);
    PutLe(p, 100, 2);                               // magAcc
    out += UbxFrame(kNav, 0x07, p);
}

// NAV-SAT (0x01 0x35): 8 bytes, then 12 a satellite.
void AppendNavSat(std::string& out, const nmea4::Epoch& e, const NavContext& /*context*/) {
    std::string p;
    PutLe(p, TimeOfWeek(e), 4);
    PutLe(p, 1, 1);  // the message's version
    PutLe(p, std::min<std::size_t>(e.satellites.size(), 255), 1);
    PutLe(p, 0, 2);
    for (std::size_t i = 0; i < std::min<std::size_t>(e.satellites.size(), 255); ++i) {
        const nmea4::Satellite& s = e.satellites[i];
        PutLe(p, static_cast<std::uint64_t>(GnssId(s)), 1);
        PutLe(p, static_cast<std::uint64_t>(s.number), 1);
        PutLe(p, static_cast<std::uint64_t>(s.snr.value_or(0)), 1);
        PutLe(p, Signed(s.placed ? s.elevation : -91), 1);  // -91: not known
        PutLe(p, Signed(s.placed ? s.azimuth : 0), 2);
        PutLe(p, 0, 2);  // prRes
        // Quality: searching (1), code locked (4) or carrier locked and used (7); svUsed; healthy.
        const std::uint32_t quality = !s.snr ? 1 : s.used ? 7 : 4;
        PutLe(p, quality | (s.used ? 0x08U : 0U) | 0x10U, 4);
    }
    out += UbxFrame(kNav, 0x35, p);
}

// NAV-DOP (0x01 0x04), 18 bytes: geometric, position, time, vertical,
// horizontal, northing and easting dilutions, in hundredths.
void AppendNavDop(std::string& out, const nmea4::Epoch& e, const NavContext& /*context*/) {
    const Dilution& d = e.dop;
    std::string p;
    PutLe(p, TimeOfWeek(e), 4);
    for (const double value : {std::hypot(d.pdop, d.tdop), d.pdop, d.tdop, d.vdop, d.hdop, std::sqrt(d.northNorth),
                               std::sqrt(d.eastEast)}) {
        PutLe(p, Unsigned(std::min(value, 655.35) * 100), 2);
    }
    out += UbxFrame(kNav, 0x04, p);
}

// NAV-TIMEUTC (0x01 0x21), 20 bytes.
void AppendNavTimeUtc(std::string& out, const nmea4::Epoch& e, const NavContext& /*context*/) {
    const DecodedDateTime& t = e.utc;
    std::string p;
    PutLe(p, TimeOfWeek(e), 4);
    PutLe(p, e.timeKnown ? 50 : 0xFFFFFFFF, 4);
    PutLe(p, Signed(t.millisecond * 1e6), 4);
    PutLe(p, static_cast<std::uint64_t>(t.year), 2);
    for (const int field : {t.month, t.day, t.hour, t.minute, t.second}) {
        PutLe(p, static_cast<std::uint64_t>(field), 1);
    }
    PutLe(p, e.timeKnown ? 0x07 : 0x00, 1);  // time of week, week number and UTC valid
    out += UbxFrame(kNav, 0x21, p);
}

// NAV-STATUS (0x01 0x03), 16 bytes.
void AppendNavStatus(std::string& out, const nmea4::Epoch& e, const NavContext& context) {
    std::string p;
    PutLe(p, TimeOfWeek(e), 4);
    PutLe(p, static_cast<std::uint64_t>(FixType(e)), 1);
    PutLe(p, (e.Valid() ? 0x01 : 0) | (e.quality == 2 ? 0x02 : 0) | (e.timeKnown ? 0x0C : 0), 1);
    PutLe(p, 0, 1);
    PutLe(p, 0, 1);
    PutLe(p, 0, 4);  // time to first fix: not told
    PutLe(p, Unsigned(context.sinceStart * 1000), 4);
    out += UbxFrame(kNav, 0x03, p);
}

// NAV-TIMEGPS (0x01 0x20), 16 bytes: the time of week, the week and
// UTC's offset from GPS time.
void AppendNavTimeGps(std::string& out, const nmea4::Epoch& e, const NavContext& /*context*/) {
    const TDateTime utc = UtcOf(e);
    const double gps = GpsTimeFromUtc(utc) + (e.utc.second == 60 ? 1 : 0);
    std::string p;
    PutLe(p, TimeOfWeek(e), 4);
    PutLe(p, 0, 4);  // fTOW: the epoch falls on a millisecond
    PutLe(p, static_cast<std::uint64_t>(std::floor(gps / kSecondsPerWeek)), 2);
    PutLe(p, Signed(LeapSecondsAt(utc)), 1);
    PutLe(p, e.timeKnown ? 0x07 : 0x00, 1);  // time of week, week and leap seconds valid
    PutLe(p, e.timeKnown ? 50 : 0xFFFFFFFF, 4);
    out += UbxFrame(kNav, 0x20, p);
}

// NAV-POSECEF (0x01 0x01), 20 bytes: centimetres on the earth-centred frame.
void AppendNavPosEcef(std::string& out, const nmea4::Epoch& e, const NavContext& /*context*/) {
    const Ecef c = EcefOf(e);
    std::string p;
    PutLe(p, TimeOfWeek(e), 4);
    for (const double metres : {c.x, c.y, c.z}) {
        PutLe(p, Signed(metres * 100), 4);
    }
    PutLe(p, e.Valid() ? Unsigned(e.rangeError * e.dop.pdop * 100) : 0xFFFFFFFF, 4);
    out += UbxFrame(kNav, 0x01, p);
}

// NAV-VELECEF (0x01 0x11), 20 bytes: centimetres a second on the earth-centred frame.
void AppendNavVelEcef(std::string& out, const nmea4::Epoch& e, const NavContext& /*context*/) {
    const Ecef c = EcefOf(e);
    const double speed = e.speedKnots * kMetresPerSecondPerKnot;
    const double course = e.course * std::numbers::pi / 180;
    const double east = speed * std::sin(course), north = speed * std::cos(course);
    std::string p;
    PutLe(p, TimeOfWeek(e), 4);
    for (std::size_t row = 0; row < 3; ++row) {
        PutLe(p, Signed((c.rotation[row * 3] * east + c.rotation[row * 3 + 1] * north) * 100), 4);
    }
    PutLe(p, 10, 4);  // sAcc: 10 cm/s, as NAV-PVT's
    out += UbxFrame(kNav, 0x11, p);
}

// NAV-EOE (0x01 0x61), 4 bytes: the epoch's last message.
void AppendNavEoe(std::string& out, const nmea4::Epoch& e, const NavContext& /*context*/) {
    std::string p;
    PutLe(p, TimeOfWeek(e), 4);
    out += UbxFrame(kNav, 0x61, p);
}

namespace {
constexpr std::uint8_t kNmea = 0xF0;
}  // namespace

const std::array<UbxMessage, 18> kUbxMessages = {{
    {"GGA", kNmea, 0x00, 0x209100BB},
    {"GLL", kNmea, 0x01, 0x209100CA},
    {"GSA", kNmea, 0x02, 0x209100C0},
    {"GSV", kNmea, 0x03, 0x209100C5},
    {"RMC", kNmea, 0x04, 0x209100AC},
    {"VTG", kNmea, 0x05, 0x209100B1},
    {"GST", kNmea, 0x07, 0x209100D4},
    {"ZDA", kNmea, 0x08, 0x209100D9},
    {"GNS", kNmea, 0x0D, 0x209100B6},
    {"NAV-POSECEF", kNav, 0x01, 0x20910025, AppendNavPosEcef},
    {"NAV-STATUS", kNav, 0x03, 0x2091001B, AppendNavStatus},
    {"NAV-DOP", kNav, 0x04, 0x20910039, AppendNavDop},
    {"NAV-PVT", kNav, 0x07, 0x20910007, AppendNavPvt},
    {"NAV-VELECEF", kNav, 0x11, 0x2091003E, AppendNavVelEcef},
    {"NAV-TIMEGPS", kNav, 0x20, 0x20910048, AppendNavTimeGps},
    {"NAV-TIMEUTC", kNav, 0x21, 0x2091005C, AppendNavTimeUtc},
    {"NAV-SAT", kNav, 0x35, 0x20910016, AppendNavSat},
    {"NAV-EOE", kNav, 0x61, 0x20910160, AppendNavEoe},
}};

const UbxMessage* FindUbxMessage(std::uint8_t messageClass, std::uint8_t id) {
    const auto found = std::find_if(kUbxMessages.begin(), kUbxMessages.end(),
                                    [&](const UbxMessage& m) { return m.messageClass == messageClass && m.id == id; });
    return found == kUbxMessages.end() ? nullptr : &*found;
}

const UbxMessage* FindUbxMessageByKey(std::uint32_t uart1Key) {
    const auto found = std::find_if(kUbxMessages.begin(), kUbxMessages.end(),
                                    [&](const UbxMessage& m) { return m.uart1Key == uart1Key; });
    return found == kUbxMessages.end() ? nullptr : &*found;
}

const UbxMessage* FindUbxMessage(std::string_view kind) {
    const auto found =
        std::find_if(kUbxMessages.begin(), kUbxMessages.end(), [&](const UbxMessage& m) { return m.kind == kind; });
    return found == kUbxMessages.end() ? nullptr : &*found;
}

}  // namespace kovra::engine::ubx
