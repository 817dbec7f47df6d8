// Encounters at sea: a target placed by a closest-approach rule passes own
// ship as asked when both sail on the ellipsoid, and the closest approach
// computed from any moment agrees with the one sailed.
#include <gtest/gtest.h>

#include "engine/ais/Encounter.h"

namespace kovra::engine::ais {
namespace {

GeoPoint Sailed(const Track& t, double seconds) {
    double ignored = 0;
    return Destination(t.position, t.course, t.knots * seconds / 3600, ignored);
}

TEST(Encounter, ATargetPlacedByItsRulePassesAsAsked) {
    const Track underWay{{54.32, 10.15}, 0, 10}, stopped{{54.32, 10.15}, 0, 0}, westward{{-33.86, 151.21}, 270, 18};
    const struct {
        Track own;
        CrossingRule rule;
    } cases[] = {
        {underWay, {0.3, 360, 45, 12}},   // the issue's own example
        {underWay, {0, 600, 90, 15}},     // a collision course from the beam
        {underWay, {0.5, 300, 200, 25}},  // overtaking from astern
        {underWay, {1.0, 900, 315, 20}},
        {stopped, {0.2, 360, 180, 6}},
        {westward, {0.1, 1200, 250, 9}},  // south of the equator, west of Greenwich's antipode
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "cpa " << c.rule.cpaNm << " in " << c.rule.inSeconds << " s from "
                                        << c.rule.bearing << " at " << c.rule.knots << " kn");
        const std::optional<Track> target = PlaceForCrossing(c.own, c.rule);
        ASSERT_TRUE(target);
        EXPECT_NEAR(InitialBearing(c.own.position, target->position), c.rule.bearing, 0.01);
        // Both sail, second by second: the least distance is the one asked, when asked.
        double least = 1e9, when = 0;
        for (int s = 0; s <= 2 * static_cast<int>(c.rule.inSeconds); ++s) {
            const double d = DistanceNm(Sailed(c.own, s), Sailed(*target, s));
            if (d < least) {
                least = d;
                when = s;
            }
        }
        EXPECT_NEAR(least, c.rule.cpaNm, 0.01);
        EXPECT_NEAR(when, c.rule.inSeconds, c.rule.cpaNm == 0 ? 2 : 5);
        const Approach approach = ClosestApproach(c.own, *target);
        EXPECT_NEAR(approach.cpaNm, c.rule.cpaNm, 0.01);
        EXPECT_NEAR(approach.tcpaSeconds, c.rule.inSeconds, 5);
        // Half way, the closest approach is half as far off and as close.
        const Approach later = ClosestApproach({Sailed(c.own, c.rule.inSeconds / 2), c.own.course, c.own.knots},
                                               {Sailed(*target, c.rule.inSeconds / 2), target->course, target->knots});
        EXPECT_NEAR(later.cpaNm, c.rule.cpaNm, 0.01);
        EXPECT_NEAR(later.tcpaSeconds, c.rule.inSeconds / 2, 5);
    }
}

TEST(Encounter, NoCourseMeetsARuleASlowTargetCannotKeep) {
    const Track fast{{54.32, 10.15}, 0, 20};
    EXPECT_FALSE(PlaceForCrossing(fast, {0.1, 600, 180, 5}));  // from astern at a quarter of the speed
    // Vessels keeping company: the distance now, and now.
    const Approach together = ClosestApproach(fast, {{54.33, 10.15}, 0, 20});
    EXPECT_NEAR(together.cpaNm, 0.6, 0.01);
    EXPECT_EQ(together.tcpaSeconds, 0);
    // Moving apart: the closest point is past.
    EXPECT_LT(ClosestApproach(fast, {{54.30, 10.15}, 180, 5}).tcpaSeconds, 0);
}

}  // namespace
}  // namespace kovra::engine::ais
