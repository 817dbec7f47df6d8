// The leg's figures on the ellipsoid: points placed off the leg, past its
// end and on its way, along geodesics, read back as the navigation
// sentences report them.
#include <gtest/gtest.h>

#include "engine/scenario/Navigation.h"

namespace kovra::engine {
namespace {

GeoPoint Along(GeoPoint from, double bearing, double nm) {
    double unused = 0;
    return Destination(from, bearing, nm, unused);
}

TEST(Navigation, CrossTrackIsTheDistanceFromTheLegOnItsSide) {
    struct Case {
        GeoPoint from, to;
        double along;  // share of the leg
    };
    const Case cases[] = {
        {{54.0, 10.0}, {54.5, 11.0}, 0.5},     // a short leg at sea
        {{-33.9, 18.4}, {-34.5, 25.6}, 0.2},   // southern, eastward
        {{50.0, -5.0}, {40.0, -70.0}, 0.6},    // an ocean crossing, far from a rhumb line
        {{10.0, 179.5}, {10.5, -179.5}, 0.5},  // across the date line
    };
    for (const Case& c : cases) {
        const double length = DistanceNm(c.from, c.to);
        double bearingThere = 0;
        const GeoPoint on = Destination(c.from, InitialBearing(c.from, c.to), c.along * length, bearingThere);
        EXPECT_NEAR(CrossTrackNm(c.from, c.to, on), 0, 1e-6) << c.from.lat;
        for (const double off : {0.05, 1.0, 25.0}) {
            // Square to the leg at a point on it: right of it positive, left negative.
            EXPECT_NEAR(CrossTrackNm(c.from, c.to, Along(on, bearingThere + 90, off)), off, 1e-6 * off + 1e-7);
            EXPECT_NEAR(CrossTrackNm(c.from, c.to, Along(on, bearingThere - 90, off)), -off, 1e-6 * off + 1e-7);
        }
    }
}

TEST(Navigation, ApproachTellsRangeBearingClosingAndArrival) {
    const RouteLeg leg{"TRIP", "A", {54.0, 10.0}, "B", {54.0, 10.5}};
    const double legBearing = InitialBearing(leg.from, leg.to);
    double final = 0;
    const GeoPoint halfway = Destination(leg.from, legBearing, DistanceNm(leg.from, leg.to) / 2, final);
    const Approach a = ApproachOf(leg, halfway, 10, final, 0.1);
    EXPECT_NEAR(a.rangeNm, DistanceNm(leg.from, leg.to) / 2, 1e-6);
    EXPECT_NEAR(a.bearing, final, 1e-6);
    EXPECT_NEAR(a.legBearing, legBearing, 1e-9);
    EXPECT_NEAR(a.closingKnots, 10, 1e-6);  // straight at it
    // From A the rhumb line runs due east along the parallel, longer than the geodesic.
    const Approach fromA = ApproachOf(leg, leg.from, 10, legBearing, 0.1);
    EXPECT_NEAR(fromA.rhumbBearing, 90, 1e-9);
    EXPECT_GT(fromA.rhumbRangeNm, fromA.rangeNm);
    EXPECT_NEAR(fromA.crossTrackNm, 0, 1e-9);
    EXPECT_FALSE(a.inCircle || a.passedPerpendicular);

    // 0.05 nm short of B, and 0.05 nm beyond it: inside the circle both, past the perpendicular once.
    double atB = 0;
    (void)Destination(leg.from, legBearing, DistanceNm(leg.from, leg.to), atB);
    const Approach shortOf = ApproachOf(leg, Along(leg.to, atB + 180, 0.05), 10, atB, 0.1);
    EXPECT_TRUE(shortOf.inCircle);
    EXPECT_FALSE(shortOf.passedPerpendicular);
    const Approach beyond = ApproachOf(leg, Along(leg.to, atB, 0.05), 10, atB, 0.1);
    EXPECT_TRUE(beyond.inCircle && beyond.passedPerpendicular);
    EXPECT_NEAR(beyond.closingKnots, -10, 1e-3);  // sailing away
    // Beside B, 0.3 nm to the side and just past the perpendicular: passed, not arrived.
    const Approach beside = ApproachOf(leg, Along(Along(leg.to, atB, 0.01), atB - 90, 0.3), 10, atB, 0.1);
    EXPECT_TRUE(beside.passedPerpendicular);
    EXPECT_FALSE(beside.inCircle);
    EXPECT_NEAR(beside.crossTrackNm, -0.3, 1e-3);
}

TEST(Navigation, TheLegRunsFromTheWaypointLeftOrTheRoutesStart) {
    World world;
    world.waypoints = {{"A", {54.0, 10.0}}, {"B", {54.1, 10.1}}, {"C", {54.2, 10.0}}};
    world.routes = {{"TRIP", {"A", "B", "C"}}};
    Vessel v;
    v.state.position = {53.9, 9.9};
    v.progress.route = "TRIP";
    std::optional<RouteLeg> leg = LegOf(world, v);
    ASSERT_TRUE(leg);
    EXPECT_EQ(leg->origin, "");  // the first leg: from where it stands
    EXPECT_EQ(leg->destination, "A");
    EXPECT_DOUBLE_EQ(leg->from.lat, 53.9);
    v.progress.start = GeoPoint{53.8, 9.8};
    EXPECT_DOUBLE_EQ(LegOf(world, v)->from.lat, 53.8);  // from where it began the route
    v.progress.next = 2;
    leg = LegOf(world, v);
    EXPECT_EQ(leg->origin + ">" + leg->destination, "B>C");
    v.progress.next = 0;
    v.progress.arrivals = 3;
    v.loop = true;
    leg = LegOf(world, v);
    EXPECT_EQ(leg->origin + ">" + leg->destination, "C>A");  // come round: from the last
    v.progress.arrived = true;
    EXPECT_FALSE(LegOf(world, v));
    v.progress = {"NONE"};
    EXPECT_FALSE(LegOf(world, v));
}

}  // namespace
}  // namespace kovra::engine
