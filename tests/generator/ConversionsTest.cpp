#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "generator/KovraNMEAGenerator.h"

namespace kovra {
namespace {

using CP = TCardinalPoint;
using G = TKovraNMEAGenerator;
constexpr Extended kPi = std::numbers::pi_v<Extended>;

// The hemisphere that decimal degrees give a negative sign, per generation.
constexpr CP kNegativeLongitude = kProfile.eastIsNegative ? CP::cpEast : CP::cpWest;
constexpr CP kPositiveLongitude = kProfile.eastIsNegative ? CP::cpWest : CP::cpEast;

TEST(Conversions, DMSToDecimalDegreesAppliesTheHemisphereSign) {
    EXPECT_NEAR(G::DMSToDecimalDegrees(12, 30, 36, CP::cpSouth), -12.51L, 1e-15L);
    EXPECT_NEAR(G::DMSToDecimalDegrees(12, 30, 36, CP::cpNorth), 12.51L, 1e-15L);
    EXPECT_NEAR(G::DMSToDecimalDegrees(12, 30, 36, kPositiveLongitude), 12.51L, 1e-15L);
    EXPECT_NEAR(G::DMSToDecimalDegrees(12, 30, 36, kNegativeLongitude), -12.51L, 1e-15L);
    // Out-of-range parts are used unchanged.
    EXPECT_NEAR(G::DMSToDecimalDegrees(100, 75, -36, CP::cpNorth), 101.24L, 1e-15L);
    EXPECT_EQ(G::DMSToRadians(180, 0, 0, CP::cpNorth), kPi);
}

TEST(Conversions, DistanceAlongTheEquatorAndItsUnits) {
    const Extended km = G::Distance_KM(0, 0, 0, CP::cpNorth, 0, 0, 0, CP::cpEast, 0, 0, 0, CP::cpNorth, 1, 0, 0,
                                       CP::cpEast);
    EXPECT_NEAR(km, 6378.14L * kPi / 180, 1e-9L);
    EXPECT_NEAR(km, 111.3195L, 5e-5L);
    EXPECT_NEAR(G::KmToNauticalMiles(km), 60.1077L, 5e-5L);
}

TEST(Conversions, DistanceIsANumberForIdenticalAndAntipodalPositions) {
    EXPECT_EQ(G::Distance_KM(48, 7, 2.28L, CP::cpNorth, 11, 31, 0, CP::cpEast, 48, 7, 2.28L, CP::cpNorth, 11, 31, 0,
                             CP::cpEast),
              0);
    for (int lat = 0; lat <= 90; lat += 7) {
        for (int lon = 0; lon <= 180; lon += 13) {
            const Extended d = G::Distance_KM(lat, 0, 0, CP::cpNorth, lon, 0, 0, CP::cpEast, lat, 0, 0, CP::cpNorth,
                                              lon, 0, 0, CP::cpEast);
            EXPECT_EQ(d, 0) << lat << " " << lon;
            const Extended antipode = G::Distance_KM(lat, 0, 0, CP::cpNorth, lon, 0, 0, CP::cpEast, lat, 0, 0,
                                                     CP::cpSouth, 180 - lon, 0, 0, CP::cpWest);
            EXPECT_FALSE(std::isnan(antipode));
            EXPECT_NEAR(antipode, kPi * 6378.14L, 1e-3L) << lat << " " << lon;
        }
    }
}

TEST(Conversions, UnitFactors) {
    EXPECT_NEAR(G::KmhToKnots(100), 53.97L, 1e-15L);
    EXPECT_NEAR(G::KnotsToKmh(53.97L), 100, 1e-13L);
    EXPECT_NEAR(G::MetersToFeet(10), 32.808399L, 1e-15L);
    EXPECT_NEAR(G::FeetToMeters(10), 3.0479999954L, 1e-10L);
    EXPECT_NEAR(G::KmToMiles(1.609344L), 1, 1e-15L);
    EXPECT_NEAR(G::MilesToKm(1), 1.609344L, 1e-15L);
}

struct DMS {
    std::int32_t degree = -1;
    std::int32_t minute = -1;
    Extended second = -1;
    CP direction = CP::cpNorth;
};

DMS Latitude(Extended decimal) {
    DMS out;
    G::LatitudeDecimalDegreesToDMS(decimal, out.degree, out.minute, out.second, out.direction);
    return out;
}

DMS Longitude(Extended decimal) {
    DMS out;
    G::LongitudeDecimalDegreesToDMS(decimal, out.degree, out.minute, out.second, out.direction);
    return out;
}

TEST(Conversions, DecimalDegreesToDMSTruncates) {
    const DMS south = Latitude(-12.5L);
    EXPECT_EQ(south.degree, 12);
    EXPECT_EQ(south.minute, 30);
    EXPECT_NEAR(south.second, 0, 1e-12L);
    EXPECT_EQ(south.direction, CP::cpSouth);

    const DMS west = Longitude(-0.5L);
    EXPECT_EQ(west.degree, 0);
    EXPECT_EQ(west.minute, 30);
    EXPECT_EQ(west.direction, kProfile.eastIsNegative ? CP::cpEast : CP::cpWest);
    EXPECT_EQ(Longitude(0).direction, kPositiveLongitude);
    EXPECT_EQ(Latitude(0).direction, CP::cpNorth);

    const DMS almost = Latitude(12.999999L);
    EXPECT_EQ(almost.degree, 12);
    EXPECT_EQ(almost.minute, 59);
    EXPECT_NEAR(almost.second, 59.9964L, 1e-9L);

    // Far outside 32 bits the whole parts saturate instead of overflowing.
    EXPECT_EQ(Latitude(1e30L).degree, std::numeric_limits<std::int32_t>::max());
}

TEST(Conversions, DMAndDMSRoundTrip) {
    std::int32_t degree = 0;
    std::int32_t minute = 0;
    Extended second = 0;
    G::DMToDMS(12, 30.5L, degree, minute, second);
    EXPECT_EQ(degree, 12);
    EXPECT_EQ(minute, 30);
    EXPECT_NEAR(second, 30, 1e-12L);

    Extended decimalMinute = 0;
    G::DMSToDM(12, 30, 30, degree, decimalMinute);
    EXPECT_EQ(degree, 12);
    EXPECT_EQ(decimalMinute, 30.5L);
}

struct MoveCase {
    const char* name;
    bool latitude;
    DMS start;
    Extended seconds;
    DMS expected;
};

TEST(Conversions, AddSecondsMovesAndStopsAtTheLimits) {
    const MoveCase cases[] = {
        {"carry into degree", true, {45, 59, 59.5L, CP::cpNorth}, 1, {46, 0, 0.5L, CP::cpNorth}},
        {"stop at the pole", true, {89, 59, 59, CP::cpNorth}, 1, {90, 0, 0, CP::cpNorth}},
        {"stop at the antimeridian", false, {179, 59, 59, CP::cpEast}, 1, {180, 0, 0, CP::cpEast}},
        {"stop at the equator", true, {0, 30, 0, CP::cpSouth}, -3600, {0, 0, 0, CP::cpSouth}},
        {"west stays west", false, {10, 0, 0, CP::cpWest}, -36000, {0, 0, 0, CP::cpWest}},
        {"backwards across a minute", true, {10, 1, 0.25L, CP::cpNorth}, -0.5L, {10, 0, 59.75L, CP::cpNorth}},
    };
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        G g;
        if (c.latitude) {
            g.Latitude_Degree(c.start.degree);
            g.Latitude_Minute(c.start.minute);
            g.Latitude_Second(c.start.second);
            g.Latitude_Direction(c.start.direction);
            g.AddSecondsToLatitude(c.seconds);
            EXPECT_EQ(g.Latitude_Degree(), c.expected.degree);
            EXPECT_EQ(g.Latitude_Minute(), c.expected.minute);
            EXPECT_NEAR(g.Latitude_Second(), c.expected.second, 1e-12L);
            EXPECT_EQ(g.Latitude_Direction(), c.expected.direction);
        } else {
            g.Longitude_Degree(c.start.degree);
            g.Longitude_Minute(c.start.minute);
            g.Longitude_Second(c.start.second);
            g.Longitude_Direction(c.start.direction);
            g.AddSecondsToLongitude(c.seconds);
            EXPECT_EQ(g.Longitude_Degree(), c.expected.degree);
            EXPECT_EQ(g.Longitude_Minute(), c.expected.minute);
            EXPECT_NEAR(g.Longitude_Second(), c.expected.second, 1e-12L);
            EXPECT_EQ(g.Longitude_Direction(), c.expected.direction);
        }
    }
}

TEST(Conversions, OwnPositionAsDecimalDegrees) {
    G g;
    g.Latitude_Degree(33);
    g.Latitude_Minute(51);
    g.Latitude_Second(54);
    g.Latitude_Direction(CP::cpSouth);
    g.Longitude_Degree(151);
    g.Longitude_Minute(12);
    g.Longitude_Second(36);
    g.Longitude_Direction(CP::cpEast);
    EXPECT_NEAR(g.GetLatitudeAsDecimalDegrees(), -33.865L, 1e-15L);
    EXPECT_NEAR(g.GetLongitudeAsDecimalDegrees(), kProfile.eastIsNegative ? -151.21L : 151.21L, 1e-13L);
}

}  // namespace
}  // namespace kovra
