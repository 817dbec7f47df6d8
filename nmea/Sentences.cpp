#include "nmea/Sentences.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>

#include "foundation/BuildProfile.h"
#include "foundation/Conversions.h"
#include "nmea/Format.h"

namespace kovra::nmea {

namespace {

constexpr Extended kArrivalRadiusNauticalMiles = 0.1L;
constexpr int kGsaSlots = 12;
constexpr int kSatellitesPerGsv = 4;
// Room for any sentence without names; the longest, $GPGSV with four
// satellites, needs about 210 bytes.
constexpr std::size_t kSentenceRoom = 320;

// Appends one sentence to a string: opens room for it, then trims the string
// to what the builder wrote and framed.
class SentenceWriter {
public:
    SentenceWriter(std::string& out, std::size_t room) : out_(out), start_(out.size()) {
        out_.resize(start_ + room);
    }
    SentenceWriter(const SentenceWriter&) = delete;
    SentenceWriter& operator=(const SentenceWriter&) = delete;

    char* Start() { return out_.data() + start_; }
    // Frames the body written from Start() to `end`.
    void Close(char* end) {
        end = CloseSentence(Start(), end);
        if (end > out_.data() + out_.size()) {
            std::terminate();  // a builder outgrew its room: never go on with a corrupted heap
        }
        out_.resize(static_cast<std::size_t>(end - out_.data()));
    }

private:
    std::string& out_;
    std::size_t start_;
};

char* PutPosition(char* p, const GeoPosition& position) {
    p = PutLatitude(p, position.latDeg, position.latMin, position.latSec, position.latDir);
    *p++ = ',';
    return PutLongitude(p, position.longDeg, position.longMin, position.longSec, position.longDir);
}

// "A" when there is a fix; the oldest generation has no fix quality and always says "A".
char StatusLetter(const NavigationSnapshot& s) {
    return (!kProfile.hasFixQuality || s.fixQuality != 0) ? 'A' : 'V';
}

std::int32_t FixQualityField(const NavigationSnapshot& s) { return kProfile.hasFixQuality ? s.fixQuality : 1; }

std::size_t NameRoom(std::string_view name) { return 3 * name.size(); }

// What a receiver must not send raw inside a field: the characters NMEA 0183
// reserves ($ * , ! \ ^ ~), CR, LF and every other control byte, DEL, and
// every byte above 127.
bool MustEscape(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
        return true;
    }
    switch (c) {
        case '$': case '*': case ',': case '!': case '\\': case '^': case '~':
            return true;
        default:
            return false;
    }
}

double Radians(std::int32_t degree, std::int32_t minute, Extended second, bool negative) {
    const double value = degree + minute / 60.0 + static_cast<double>(second) / 3600;
    return (negative ? -value : value) * (std::numbers::pi / 180);
}

// False only for a waypoint certainly outside the arrival circle, decided in
// double precision with a wide margin: the exact distance takes extended-
// precision trigonometry, which costs far more than the sentences it decides.
bool MayBeWithinArrivalCircle(const GeoPosition& from, const GeoPosition& to) {
    constexpr double kEarthRadiusKm = 6378.14;
    constexpr double kMarginKm = 0.2;  // the circle itself is 0.1852 km
    const double lat1 = Radians(from.latDeg, from.latMin, from.latSec, from.latDir == TCardinalPoint::cpSouth);
    const double lat2 = Radians(to.latDeg, to.latMin, to.latSec, to.latDir == TCardinalPoint::cpSouth);
    if (std::fabs(lat1 - lat2) * kEarthRadiusKm > kMarginKm) {
        return false;  // the meridian distance alone is too long
    }
    const double lon1 = Radians(from.longDeg, from.longMin, from.longSec, from.longDir == TCardinalPoint::cpWest);
    const double lon2 = Radians(to.longDeg, to.longMin, to.longSec, to.longDir == TCardinalPoint::cpWest);
    const double a = std::sin((lat1 - lat2) / 2);
    const double b = std::sin((lon1 - lon2) / 2);
    const double h = a * a + std::cos(lat1) * std::cos(lat2) * b * b;
    return 2 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(h))) <= kMarginKm;
}

}  // namespace

char* PutName(char* p, std::string_view name) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : name) {
        if (MustEscape(c)) {
            const auto byte = static_cast<unsigned char>(c);
            *p++ = '^';
            *p++ = kHex[byte >> 4];
            *p++ = kHex[byte & 0x0F];
        } else {
            *p++ = c;
        }
    }
    return p;
}

Extended DistanceNauticalMiles(const GeoPosition& from, const GeoPosition& to) {
    return convert::KmToNauticalMiles(convert::Distance_KM(from.latDeg, from.latMin, from.latSec, from.latDir, from.longDeg,
                                               from.longMin, from.longSec, from.longDir, to.latDeg, to.latMin,
                                               to.latSec, to.latDir, to.longDeg, to.longMin, to.longSec, to.longDir));
}

void AppendGPZDA(std::string& out, const NavigationSnapshot&, const DecodedDateTime& utc) {
    SentenceWriter w(out, kSentenceRoom);
    char* p = PutText(w.Start(), "$GPZDA,");
    p = PutUTCTime(p, utc);
    *p++ = ',';
    p = PutCommaSeparatedUTCDate(p, utc);
    w.Close(PutText(p, ",00,00"));
}

void AppendGPGGA(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc) {
    SentenceWriter w(out, kSentenceRoom);
    char* p = PutText(w.Start(), "$GPGGA,");
    p = PutUTCTime(p, utc);
    *p++ = ',';
    p = PutPosition(p, s.position);
    *p++ = ',';
    p = PutInteger(p, FixQualityField(s));
    *p++ = ',';
    p = PutInteger(p, s.activeCount < kGsaSlots ? s.activeCount : kGsaSlots);
    *p++ = ',';
    p = PutRounded(p, s.hdop);
    *p++ = ',';
    p = PutRounded(p, s.altitude);
    p = PutText(p, ",M,");
    p = PutRounded(p, s.geoHeight);
    w.Close(PutText(p, ",M,,"));
}

void AppendGPGLL(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc) {
    SentenceWriter w(out, kSentenceRoom);
    char* p = PutText(w.Start(), "$GPGLL,");
    p = PutPosition(p, s.position);
    *p++ = ',';
    p = PutUTCTime(p, utc);
    *p++ = ',';
    *p++ = StatusLetter(s);
    if constexpr (!kProfile.hasFixQuality) {
        p = PutText(p, ",A");  // the oldest generation adds a mode field
    }
    w.Close(p);
}

void AppendGPVTG(std::string& out, const NavigationSnapshot& s) {
    SentenceWriter w(out, kSentenceRoom);
    char* p = PutText(w.Start(), "$GPVTG,");
    p = PutFloat(p, s.heading);
    p = PutText(p, ",T,");
    p = PutRounded(p, s.magneticHeading);
    p = PutText(p, ",M,");
    const double knots = RRound(static_cast<double>(s.speed));
    p = PutFloat(p, knots);
    p = PutText(p, ",N,");
    p = PutFloat(p, convert::KnotsToKmh(knots));
    w.Close(PutText(p, ",K,A"));
}

void AppendGPRMC(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc) {
    SentenceWriter w(out, kSentenceRoom);
    char* p = PutText(w.Start(), "$GPRMC,");
    p = PutUTCTime(p, utc);
    *p++ = ',';
    *p++ = StatusLetter(s);
    *p++ = ',';
    p = PutPosition(p, s.position);
    *p++ = ',';
    p = PutRounded(p, s.speed);
    *p++ = ',';
    p = PutRounded(p, s.heading);
    *p++ = ',';
    p = PutUTCDate(p, utc);
    *p++ = ',';
    p = PutRounded(p, s.magneticVariation);
    *p++ = ',';
    p = PutText(p, MagneticVariationDirectionText(s.magneticVariationDirection));
    w.Close(PutText(p, ",A"));
}

void AppendGPGSA(std::string& out, const NavigationSnapshot& s) {
    SentenceWriter w(out, kSentenceRoom);
    char* p = PutText(w.Start(), "$GPGSA,A,3,");
    for (int slot = 0; slot < kGsaSlots; ++slot) {
        if (slot < s.activeCount) {
            p = PutInteger(p, s.activeSatellites[static_cast<std::size_t>(slot)].prn);
        }
        *p++ = ',';
    }
    p = PutRounded(p, s.pdop);
    *p++ = ',';
    p = PutRounded(p, s.hdop);
    *p++ = ',';
    w.Close(PutRounded(p, s.vdop));
}

void AppendGPGSV(std::string& out, const NavigationSnapshot& s) {
    const int messages = (s.activeCount + kSatellitesPerGsv - 1) / kSatellitesPerGsv;
    for (int first = 0; first < s.activeCount; first += kSatellitesPerGsv) {
        SentenceWriter w(out, kSentenceRoom);
        char* p = PutText(w.Start(), "$GPGSV,");
        p = PutInteger(p, messages);
        *p++ = ',';
        p = PutInteger(p, first / kSatellitesPerGsv + 1);
        *p++ = ',';
        p = PutInteger(p, s.activeCount);
        const int last = std::min(first + kSatellitesPerGsv, s.activeCount);
        for (int i = first; i < last; ++i) {
            const SatelliteView& sat = s.activeSatellites[static_cast<std::size_t>(i)];
            *p++ = ',';
            p = PutInteger(p, sat.prn);
            *p++ = ',';
            p = PutInteger(p, sat.elevation);
            *p++ = ',';
            p = PutInteger(p, sat.azimuth);
            *p++ = ',';
            p = PutInteger(p, sat.snr);
        }
        w.Close(p);
    }
}

void AppendGPWPL(std::string& out, const NavigationSnapshot& s) {
    if (!s.route) {
        return;
    }
    for (const RouteView::WayPoint& waypoint : s.route->wayPoints) {
        SentenceWriter w(out, kSentenceRoom + NameRoom(waypoint.name));
        char* p = PutText(w.Start(), "$GPWPL,");
        p = PutPosition(p, waypoint.position);
        *p++ = ',';
        w.Close(PutName(p, waypoint.name));
    }
}

void AppendGPRTE(std::string& out, const NavigationSnapshot& s) {
    if (!s.route) {
        return;
    }
    const std::span<const std::string> names = s.route->names;
    std::size_t room = kSentenceRoom + NameRoom(s.route->name);
    for (const std::string& name : names) {
        room += NameRoom(name) + 1;
    }
    SentenceWriter w(out, room);
    char* p = PutText(w.Start(), "$GPRTE,1,1,C,");
    p = PutName(p, s.route->name);
    *p++ = ',';
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i != 0) {
            *p++ = ',';
        }
        p = PutName(p, names[i]);
    }
    w.Close(p);
}

void AppendGPAAM(std::string& out, const NavigationSnapshot& s) {
    if (!s.route) {
        return;
    }
    for (const RouteView::WayPoint& waypoint : s.route->wayPoints) {
        if (!MayBeWithinArrivalCircle(s.position, waypoint.position)) {
            continue;
        }
        const Extended distance = DistanceNauticalMiles(s.position, waypoint.position);
        if (!(distance <= kArrivalRadiusNauticalMiles)) {
            continue;  // beyond the arrival circle, or not a number
        }
        SentenceWriter w(out, kSentenceRoom + NameRoom(waypoint.listed));
        char* p = PutText(w.Start(), "$GPAAM,A,A,");
        p = PutRounded(p, distance);
        p = PutText(p, ",N,");
        w.Close(PutName(p, waypoint.listed));
    }
}

void AppendNMEA(std::string& out, const NavigationSnapshot& s, const DecodedDateTime& utc, TNMEACommands commands) {
    using K = TNMEACommand;
    if (commands.Selects(K::GPZDA)) AppendGPZDA(out, s, utc);
    if (commands.Selects(K::GPGGA)) AppendGPGGA(out, s, utc);
    if (commands.Selects(K::GPGLL)) AppendGPGLL(out, s, utc);
    if (commands.Selects(K::GPVTG)) AppendGPVTG(out, s);
    if (commands.Selects(K::GPRMC)) AppendGPRMC(out, s, utc);
    if (commands.Selects(K::GPGSA)) AppendGPGSA(out, s);
    if (commands.Selects(K::GPGSV)) AppendGPGSV(out, s);
    if (commands.Selects(K::GPWPL)) AppendGPWPL(out, s);
    if (commands.Selects(K::GPRTE)) AppendGPRTE(out, s);
    if (commands.Selects(K::GPAAM)) AppendGPAAM(out, s);
}

}  // namespace kovra::nmea
