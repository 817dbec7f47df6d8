// Two vessels holding their courses and speeds: when and how close they
// pass, and where a target must start to pass own ship as a test asks
// ("cross own ship at 0.3 nm in 6 minutes from bearing 045 at 12 kn"). In
// a plane tangent at own ship: over the few miles of an encounter it is
// within metres of the ellipsoid the vessels sail on.
#pragma once

#include <optional>

#include "engine/scenario/Motion.h"

namespace kovra::engine::ais {

struct Track {
    GeoPoint position;
    double course = 0;  // degrees true
    double knots = 0;
};

struct Approach {
    double cpaNm = 0;         // the least distance, nautical miles
    double tcpaSeconds = 0;   // when it is reached: negative once it is past
};

// The closest point of approach of `target` to `own`; for vessels keeping
// their distance (the same velocity) the distance now, at once.
Approach ClosestApproach(const Track& own, const Track& target);

struct CrossingRule {
    double cpaNm = 0;       // 0: a collision course
    double inSeconds = 0;   // when the closest point is reached
    double bearing = 0;     // where the target is seen from at the start, degrees true
    double knots = 0;       // the target's speed
};

// Where the target starts and the course it holds to meet the rule; of two
// ways to pass, the one whose course points nearer at own ship. None when
// no course at that speed meets it (a slow target cannot catch up from astern).
std::optional<Track> PlaceForCrossing(const Track& own, const CrossingRule& rule);

}  // namespace kovra::engine::ais
