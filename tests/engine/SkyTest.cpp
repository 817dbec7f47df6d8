// The sky: an almanac entry worked by hand, dilution of precision of
// geometries whose inverse is known in closed form, and the constellations.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/run/Errors.h"
#include "engine/receiver/Sky.h"
#include "foundation/DateTime.h"

namespace kovra::engine {
namespace {

constexpr double kPi = std::numbers::pi;

constexpr const char* kEntry =
    "******** Week 187 almanac for PRN-07 ********\n"
    "ID:                         07\n"
    "Health:                     000\n"
    "Eccentricity:               0.1000000000E-001\n"
    "Time of Applicability(s):  61440.0000\n"
    "Orbital Inclination(rad):   0.9600000000\n"
    "Rate of Right Ascen(r/s):  -0.8000000000E-008\n"
    "SQRT(A)  (m 1/2):           5153.600000\n"
    "Right Ascen at Week(rad):   0.1000000000E+001\n"
    "Argument of Perigee(rad):   0.500000000\n"
    "Mean Anom(rad):            -0.2500000000E+001\n"
    "Af0(s):                     0.1000000000E-003\n"
    "Af1(s/s):                   0.0000000000E+000\n"
    "week:                        187\n";

TEST(Almanac, OneSatelliteWorkedByHand) {
    // The simulated time lies in week 2235 = 187 + 2 × 1024, an hour after
    // the almanac's time of applicability.
    const double week = 2235, toa = 61440, t = week * 604800 + toa + 3600;
    const auto satellites = ReadYumaAlmanac(kEntry, "test.alm", t);
    ASSERT_EQ(satellites.size(), 1U);
    EXPECT_EQ(satellites[0].number, 7);
    EXPECT_TRUE(satellites[0].healthy);

    // The almanac equations, each step a named quantity.
    const double mu = 3.986005e14, omegaE = 7.2921151467e-5;
    const double A = 5153.6 * 5153.6;                 // semi-major axis
    const double n0 = std::sqrt(mu / (A * A * A));    // computed mean motion
    const double tk = (t - week * 604800) - toa;      // time from the reference: 3600 s
    const double Mk = -2.5 + n0 * tk;                 // mean anomaly
    const double e = 0.01;
    double Ek = Mk;                                   // eccentric anomaly, by fixed-point iteration
    for (int i = 0; i < 50; ++i) {
        Ek = Mk + e * std::sin(Ek);
    }
    const double vk = std::atan2(std::sqrt(1 - e * e) * std::sin(Ek), std::cos(Ek) - e);  // true anomaly
    const double Phik = vk + 0.5;                     // argument of latitude
    const double rk = A * (1 - e * std::cos(Ek));     // radius
    const double xk1 = rk * std::cos(Phik), yk1 = rk * std::sin(Phik);  // in the orbital plane
    const double Omegak = 1.0 + (-0.8e-8 - omegaE) * tk - omegaE * toa;  // corrected longitude of the node
    const double ik = 0.96;
    const double xk = xk1 * std::cos(Omegak) - yk1 * std::cos(ik) * std::sin(Omegak);
    const double yk = xk1 * std::sin(Omegak) + yk1 * std::cos(ik) * std::cos(Omegak);
    const double zk = yk1 * std::sin(ik);

    const Ecef p = SatellitePosition(satellites[0].orbit, t);
    EXPECT_NEAR(p.x, xk, 1e-3);
    EXPECT_NEAR(p.y, yk, 1e-3);
    EXPECT_NEAR(p.z, zk, 1e-3);
    EXPECT_NEAR(std::sqrt(xk * xk + yk * yk + zk * zk), rk, 1e-3);
}

TEST(Almanac, UnhealthyAndMalformedEntries) {
    std::string sick = kEntry;
    sick.replace(sick.find("Health:                     000"), 30, "Health:                     063");
    EXPECT_FALSE(ReadYumaAlmanac(sick, "sick.alm", 0)[0].healthy);

    std::string bad = kEntry;
    bad.replace(bad.find("0.1000000000E-001"), 17, "zero point one");
    try {
        (void)ReadYumaAlmanac(bad, "bad.alm", 0);
        ADD_FAILURE() << "a malformed almanac was read";
    } catch (const SettingError& error) {
        EXPECT_STREQ(error.what(), "bad.alm:4: \"Eccentricity:\" is not a number");
    }
    EXPECT_THROW((void)ReadYumaAlmanac("ID: 07\n", "headless.alm", 0), SettingError);
    EXPECT_THROW((void)ReadYumaAlmanac("", "empty.alm", 0), SettingError);
}

// What no orbit has, and a PRN given twice, are refused with the file and line.
TEST(Almanac, ValuesNoOrbitHasAndRepeatedSatellites) {
    const std::string entry = kEntry;
    const auto errorOf = [](const std::string& text) {
        try {
            (void)ReadYumaAlmanac(text, "odd.alm", 0);
        } catch (const SettingError& error) {
            return std::string(error.what());
        }
        return std::string("read");
    };
    const std::pair<std::string, std::string> cases[] = {
        {"5153.600000", "1e-200"},
        {"5153.600000", "1e200"},
        {"       187\n", "1e308\n"},
        {"0.9600000000", "4"},
        {"-0.8000000000E-008", "1"},
        {"61440.0000", "-1"},
        {"-0.2500000000E+001", "1e300"},
    };
    const char* lines[] = {"8", "8", "14", "6", "7", "5", "11"};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        std::string odd = entry;
        odd.replace(odd.find(cases[i].first), cases[i].first.size(), cases[i].second);
        const std::string error = errorOf(odd);
        EXPECT_EQ(error.rfind(std::string("odd.alm:") + lines[i] + ": ", 0), 0U) << error;
        EXPECT_NE(error.find("where no orbit has it"), std::string::npos) << error;
    }
    EXPECT_EQ(errorOf(entry + entry), "odd.alm:15: PRN 7 is given again (first at line 1)");
}

SkySatellite At(Gnss system, double elevation, double azimuth) { return {system, 1, elevation, azimuth, true}; }

TEST(Dilution, AGeometryWhoseInverseIsKnown) {
    // One satellite at the zenith, three on the horizon 120° apart: the
    // normal matrix is diag(3/2, 3/2) beside [[1, 1], [1, 4]] for up and
    // clock, so HDOP² = 4/3, VDOP² = 4/3, PDOP² = 8/3.
    const std::vector<SkySatellite> four = {At(Gnss::Gps, 90, 0), At(Gnss::Gps, 0, 0), At(Gnss::Gps, 0, 120),
                                            At(Gnss::Gps, 0, 240)};
    Dilution d;
    ASSERT_TRUE(ComputeDilution(four, d));
    EXPECT_NEAR(d.hdop, std::sqrt(4.0 / 3), 1e-12);
    EXPECT_NEAR(d.vdop, std::sqrt(4.0 / 3), 1e-12);
    EXPECT_NEAR(d.pdop, std::sqrt(8.0 / 3), 1e-12);

    // A lone satellite of a second system only fixes that system's clock:
    // the dilution stays as it was.
    std::vector<SkySatellite> mixed = four;
    mixed.push_back(At(Gnss::Galileo, 45, 60));
    Dilution withGalileo;
    ASSERT_TRUE(ComputeDilution(mixed, withGalileo));
    EXPECT_NEAR(withGalileo.pdop, d.pdop, 1e-9);

    // Too few, or all in one direction: no position, no dilution.
    EXPECT_FALSE(ComputeDilution(std::span(four).first(3), d));
    const std::vector<SkySatellite> flat = {At(Gnss::Gps, 30, 0), At(Gnss::Gps, 30, 0), At(Gnss::Gps, 30, 0),
                                            At(Gnss::Gps, 30, 0)};
    EXPECT_FALSE(ComputeDilution(flat, d));
}

TEST(Constellations, NominalSatellitesOnTheirOrbitsAndInTheSky) {
    const struct {
        Gnss system;
        double radius;
    } systems[] = {{Gnss::Gps, 26'559'700}, {Gnss::Glonass, 25'510'000}, {Gnss::Galileo, 29'600'000},
                   {Gnss::BeiDou, 27'900'000}};
    const GpsSeconds t = GpsTimeFromUtc(EncodeDateTime(2026, 12, 8, 12));
    for (const auto& [system, radius] : systems) {
        const auto satellites = NominalConstellation(system);
        ASSERT_EQ(satellites.size(), 24U);
        for (const OrbitingSatellite& s : satellites) {
            const Ecef p = SatellitePosition(s.orbit, t);
            EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), radius, 1.0);
        }
        // From Kiel a medium-orbit constellation of 24 shows several satellites at any time.
        const auto sky = SkyAt(satellites, t, 54.32, 10.15, 0);
        EXPECT_GE(sky.size(), 5U);
        EXPECT_LE(sky.size(), 14U);
        for (const SkySatellite& s : sky) {
            EXPECT_GE(s.elevation, 0);
            EXPECT_LE(s.elevation, 90);
            EXPECT_GE(s.azimuth, 0);
            EXPECT_LT(s.azimuth, 360);
        }
    }
}

TEST(Constellations, AzimuthAndElevationFromTheReceiver) {
    // A satellite on a polar orbit, 10° past the node over 0° E: due north
    // of a receiver at 0° N 0° E, and straight overhead at 10° N.
    OrbitElements polar;
    polar.sqrtA = std::sqrt(26'560'000.0);
    polar.inclination = kPi / 2;
    polar.meanAnomaly = 10 * kPi / 180;
    const OrbitingSatellite satellite{Gnss::Gps, 1, true, polar};
    const auto fromEquator = SkyAt(std::span(&satellite, 1), 0, 0, 0, 0);
    ASSERT_EQ(fromEquator.size(), 1U);
    EXPECT_NEAR(fromEquator[0].azimuth, 0, 1e-9);
    EXPECT_GT(fromEquator[0].elevation, 60);
    const auto below = SkyAt(std::span(&satellite, 1), 0, 10, 0, 0);
    ASSERT_EQ(below.size(), 1U);
    EXPECT_NEAR(below[0].elevation, 90, 0.1);  // geodetic, not geocentric, latitude: within a tenth
    EXPECT_EQ(GpsTimeFromUtc(EncodeDateTime(1980, 1, 6)), 0);
    EXPECT_EQ(GpsTimeFromUtc(EncodeDateTime(2017, 1, 1)) - GpsTimeFromUtc(EncodeDateTime(2016, 12, 31, 23, 59, 59)),
              2);  // the last leap second
}

}  // namespace
}  // namespace kovra::engine
