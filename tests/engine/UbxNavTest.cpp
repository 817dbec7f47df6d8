// The NAV messages of an epoch: framed whole (the framer takes them back),
// each field where u-blox's description puts it, in its units.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include <GeographicLib/Geocentric.hpp>

#include "engine/input/Framer.h"
#include "engine/receiver/UbxFrame.h"
#include "engine/receiver/UbxNav.h"

namespace kovra::engine::ubx {
namespace {

nmea4::Epoch Kiel() {
    nmea4::Epoch e;
    e.utc = DecodeDateTime(EncodeDateTime(2026, 12, 8, 12, 0, 0, 0));  // GPS week 2448, Tuesday
    e.fix = nmea4::FixType::ThreeD;
    e.mode = nmea4::Mode::Differential;
    e.quality = 2;
    e.latitude = 54.32;
    e.longitude = -10.15;
    e.altitude = 12.5;
    e.geoidSeparation = 40.1;
    e.speedKnots = 10;
    e.course = 90;
    e.trueHeading = 91;
    e.dop = {1.5, 0.9, 1.2, 0.49, 0.32, 0, 0.8};
    e.rangeError = 2;
    e.satellites = {{Gnss::Gps, 5, 45, 120, 40, true}, {Gnss::Glonass, 3, 30, 250, 35, true},
                    {Gnss::Gps, 133, 31, 150, std::nullopt, false}};
    return e;
}

std::string Payload(const std::string& frame) {
    input::Framer framer;
    std::vector<input::Frame> frames;
    framer.Feed(frame, frames);
    EXPECT_EQ(frames.size(), 1U);
    return frames.empty() ? std::string() : frames[0].body.substr(2);
}

std::int32_t Signed(const std::string& p, std::size_t at) { return static_cast<std::int32_t>(ReadLe(p, at, 4)); }

TEST(UbxNav, PvtCarriesTheEpochInItsUnits) {
    std::string frame;
    AppendNavPvt(frame, Kiel());
    ASSERT_EQ(frame.substr(0, 6), std::string("\xB5\x62\x01\x07\x5C\x00", 6));  // 92 bytes
    const std::string p = Payload(frame);
    // 12:00:00 UTC on Tuesday is 2 days, 12 h and 18 leap seconds into the GPS week.
    EXPECT_EQ(ReadLe(p, 0, 4), (2 * 86'400U + 12 * 3600U + 18U) * 1000U);
    EXPECT_EQ(ReadLe(p, 4, 2), 2026U);
    EXPECT_EQ(p[8], 12);
    EXPECT_EQ(p[20], 3);              // fixType
    EXPECT_EQ(p[21], 0x03);           // gnssFixOK and diffSoln
    EXPECT_EQ(p[23], 2);              // numSV used
    EXPECT_EQ(Signed(p, 24), -101'500'000);  // lon, 1e-7°
    EXPECT_EQ(Signed(p, 28), 543'200'000);
    EXPECT_EQ(Signed(p, 32), 52'600);        // height above the ellipsoid, mm
    EXPECT_EQ(Signed(p, 36), 12'500);        // above mean sea level
    EXPECT_EQ(Signed(p, 48), 0);             // velN: due east
    EXPECT_EQ(Signed(p, 52), 5144);          // velE, mm/s: 10 knots
    EXPECT_EQ(Signed(p, 64), 9'000'000);     // headMot, 1e-5°
    EXPECT_EQ(ReadLe(p, 76, 2), 150U);       // pDOP
}

TEST(UbxNav, SatDopTimeAndStatus) {
    std::string sat, dop, utc, status;
    const nmea4::Epoch e = Kiel();
    AppendNavSat(sat, e);
    AppendNavDop(dop, e);
    AppendNavTimeUtc(utc, e);
    AppendNavStatus(status, e, {12.5});
    const std::string s = Payload(sat);
    ASSERT_EQ(s.size(), 8 + 3 * 12U);
    EXPECT_EQ(s[5], 3);  // satellites
    // GLONASS as system 6 with its slot; SBAS 133 as system 1; used, carrier locked, healthy.
    EXPECT_EQ(std::string(s.data() + 20, 3), std::string("\x06\x03\x23", 3));
    EXPECT_EQ(ReadLe(s, 28, 4), 0x1FU);
    EXPECT_EQ(std::string(s.data() + 32, 2), std::string("\x01\x85", 2));
    EXPECT_EQ(ReadLe(s, 40, 4), 0x11U);  // searching: no signal
    const std::string d = Payload(dop);
    EXPECT_EQ(ReadLe(d, 4, 2), static_cast<std::uint32_t>(std::lround(std::hypot(1.5, 0.8) * 100)));  // gDOP
    EXPECT_EQ(ReadLe(d, 8, 2), 80U);    // tDOP
    EXPECT_EQ(ReadLe(d, 14, 2), 57U);   // nDOP: √0.32
    const std::string u = Payload(utc);
    EXPECT_EQ(ReadLe(u, 12, 2), 2026U);
    EXPECT_EQ(u[19], 0x07);
    const std::string st = Payload(status);
    EXPECT_EQ(st[4], 3);
    EXPECT_EQ(st[5], 0x0F);  // fix OK, differential, week and time of week set
    EXPECT_EQ(ReadLe(st, 12, 4), 12'500U);
}

// What gpsd asks of a u-blox 8 besides: the week and leap seconds, the
// position and velocity on the earth-centred frame, the end of the epoch.
TEST(UbxNav, TimeGpsEcefAndTheEndOfTheEpoch) {
    const nmea4::Epoch e = Kiel();
    std::string time, position, velocity, end;
    AppendNavTimeGps(time, e);
    AppendNavPosEcef(position, e);
    AppendNavVelEcef(velocity, e);
    AppendNavEoe(end, e);
    const std::uint32_t tow = (2 * 86'400U + 12 * 3600U + 18U) * 1000U;
    const std::string t = Payload(time);
    EXPECT_EQ(ReadLe(t, 0, 4), tow);
    EXPECT_EQ(ReadLe(t, 8, 2), 2448U);  // week
    EXPECT_EQ(t[10], 18);               // leap seconds
    EXPECT_EQ(t[11], 0x07);
    // 54.32°N 10.15°W, 52.6 m above the ellipsoid, in centimetres.
    const std::string p = Payload(position);
    const double x = Signed(p, 4) / 100.0, y = Signed(p, 8) / 100.0, z = Signed(p, 12) / 100.0;
    double latitude = 0, longitude = 0, height = 0;
    GeographicLib::Geocentric::WGS84().Reverse(x, y, z, latitude, longitude, height);
    EXPECT_NEAR(latitude, 54.32, 1e-7);
    EXPECT_NEAR(longitude, -10.15, 1e-7);
    EXPECT_NEAR(height, 52.6, 0.01);
    // Due east at 10 knots: 514 cm/s, square to the radius and to the axis.
    const std::string v = Payload(velocity);
    const double vx = Signed(v, 4), vy = Signed(v, 8), vz = Signed(v, 12);
    EXPECT_NEAR(std::sqrt(vx * vx + vy * vy + vz * vz), 514.4, 1.0);
    EXPECT_NEAR(vz, 0, 0.5);
    EXPECT_NEAR((vx * x + vy * y) / std::hypot(x, y), 0, 1.0);
    EXPECT_EQ(end.size(), 8 + 4U);
    EXPECT_EQ(ReadLe(Payload(end), 0, 4), tow);
}

// Every NAV row builds the message of its own class and id.
TEST(UbxNav, TheTableBuildsEachMessageUnderItsOwnId) {
    for (std::size_t i = kFirstNavMessage; i < kUbxMessages.size(); ++i) {
        const UbxMessage& m = kUbxMessages[i];
        std::string frame;
        m.append(frame, Kiel(), {});
        ASSERT_GE(frame.size(), 8U) << m.kind;
        EXPECT_EQ(static_cast<std::uint8_t>(frame[2]), m.messageClass) << m.kind;
        EXPECT_EQ(static_cast<std::uint8_t>(frame[3]), m.id) << m.kind;
        EXPECT_EQ(FindUbxMessage(m.messageClass, m.id), &m);
    }
    EXPECT_EQ(kUbxMessages.back().kind, "NAV-EOE");
}

}  // namespace
}  // namespace kovra::engine::ubx
