#include "engine/scenario/Movers.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engine/scenario/Navigation.h"

namespace kovra::engine {

namespace {

const WayPoint* Target(const Vessel& v, const World& world, const Route* route) {
    if (route == nullptr || v.progress.arrived || v.progress.next >= route->points.size()) {
        return nullptr;
    }
    return world.FindWayPoint(route->points[v.progress.next]);
}

const Route* Followed(const Vessel& v, const World& world) {
    return v.steering == Steering::Route ? world.FindRoute(v.progress.route) : nullptr;
}

void SetCourse(Vessel& v, double course) {
    v.orderedCourse = Normalized360(course);
    if (v.limits.rateOfTurn <= 0) {
        v.state.course = v.state.heading = v.orderedCourse;
    }
}

// Within this a waypoint counts as reached: the turning circle's diameter,
// which a vessel that turns at its limit cannot cut inside.
double ReachNm(const Vessel& v) {
    if (v.limits.rateOfTurn <= 0) {
        return 0;
    }
    const double radians = v.limits.rateOfTurn * std::numbers::pi / 180;
    return 2 * v.state.speed / radians / kMetresPerNauticalMile;
}

// A plotter's arrival short of a waypoint with a leg after it: its circle
// entered or the line square to the leg through it passed. A go-to and the
// end of a route are sailed to the mark, where the vessel stops.
bool ArrivedOnTheLeg(const Vessel& v, const World& world, const Route& route) {
    const bool last = v.progress.next + 1 >= route.points.size() && !v.loop;
    if (v.arrivalRadiusNm <= 0 || last) {
        return false;
    }
    const std::optional<RouteLeg> leg = LegOf(world, v);
    if (!leg) {
        return false;
    }
    const Approach a = ApproachOf(*leg, v.state.position, 0, v.state.course, v.arrivalRadiusNm);
    return a.inCircle || a.passedPerpendicular;
}

// Along the route for `step` nautical miles: every waypoint the step reaches
// is passed (at once, exactly on it, for a vessel without limits), and one
// arrived at short of it is left from where the vessel is, then the course
// is set for the next. Returns what is left of the step; the vessel
// stops past the last waypoint of a route that does not loop.
double FollowRoute(Vessel& v, const World& world, const Route& route, double step) {
    const bool instant = v.limits.rateOfTurn <= 0;
    if (!v.progress.start) {
        v.progress.start = v.state.position;
    }
    for (std::size_t guard = 0; guard <= 2 * route.points.size() + 1 && !v.progress.arrived; ++guard) {
        if (v.progress.next >= route.points.size()) {
            if (!v.loop || route.points.empty()) {
                v.progress.arrived = true;
                v.state.speed = v.orderedSpeed = 0;
                return 0;
            }
            v.progress.next = 0;
        }
        const WayPoint* target = Target(v, world, &route);
        if (target == nullptr) {
            ++v.progress.next;  // a name without a waypoint is passed over
            continue;
        }
        const double distance = DistanceNm(v.state.position, target->position);
        const bool reached = distance <= std::max(step, ReachNm(v));
        if (!reached && !ArrivedOnTheLeg(v, world, route)) {
            SetCourse(v, InitialBearing(v.state.position, target->position));
            break;
        }
        if (instant && reached) {
            v.state.position = target->position;
            step -= distance;
        }
        ++v.progress.next;
        ++v.progress.arrivals;
    }
    return v.progress.arrived ? 0 : step;
}

// Turns and accelerates the vessel toward its orders for `seconds`, each
// change within its limits (at once where a limit is 0).
void Helm(Vessel& v, double seconds) {
    VesselState& s = v.state;
    if (v.limits.acceleration <= 0) {
        s.speed = v.orderedSpeed;
    } else {
        const double most = v.limits.acceleration * seconds;
        s.speed = std::max(0.0, s.speed + std::clamp(v.orderedSpeed - s.speed, -most, most));
    }
    if (v.limits.rateOfTurn <= 0) {
        s.course = s.heading = v.orderedCourse;
        s.rateOfTurn = 0;
        return;
    }
    const double most = v.limits.rateOfTurn * seconds;
    const double turn = std::clamp(std::remainder(v.orderedCourse - s.course, 360.0), -most, most);
    s.course = s.heading = Normalized360(s.course + turn);
    s.rateOfTurn = seconds > 0 ? turn / seconds : 0;
}

// Toward the ordered altitude within the climb rate (at once without one).
void Climb(Vessel& v, double seconds) {
    VesselState& s = v.state;
    if (!v.orderedAltitude) {
        s.verticalSpeed = 0;
        return;
    }
    const double most = v.limits.climbRate > 0 ? v.limits.climbRate * seconds : std::fabs(*v.orderedAltitude - s.altitude);
    const double change = std::clamp(*v.orderedAltitude - s.altitude, -most, most);
    s.altitude += change;
    s.verticalSpeed = change / seconds;
}

}  // namespace

std::optional<NextWayPoint> NextWayPointOf(const Vessel& vessel, const World& world) {
    const WayPoint* target = Target(vessel, world, Followed(vessel, world));
    if (target == nullptr) {
        return std::nullopt;
    }
    return NextWayPoint{target->name, DistanceNm(vessel.state.position, target->position)};
}

// Where the bow points and how fast the vessel goes through the water: its
// motion over the ground less the current's, turned by its leeway. The
// helm holds the course over the ground; the heading makes up for the set.
static void ThroughTheWater(Vessel& v) {
    VesselState& s = v.state;
    if (v.water.drift == 0 && v.water.leeway == 0) {
        s.heading = s.course;  // still water: the heading is the course, exactly
        s.waterSpeed = s.speed;
        return;
    }
    const double set = v.water.set * std::numbers::pi / 180, drift = v.water.drift * kMetresPerSecondPerKnot;
    const double course = s.course * std::numbers::pi / 180;
    const double east = s.speed * std::sin(course) - drift * std::sin(set);
    const double north = s.speed * std::cos(course) - drift * std::cos(set);
    s.waterSpeed = std::hypot(east, north);
    const double track = s.waterSpeed > 1e-9 ? std::atan2(east, north) * 180 / std::numbers::pi : s.course;
    s.heading = Normalized360(track - v.water.leeway);
}

bool Mover::Advance(Vessel& v, const World& world, double elapsed, double seconds) {
    const bool going = AdvanceOverGround(v, world, elapsed, seconds);
    ThroughTheWater(v);
    return going;
}

bool Mover::AdvanceOverGround(Vessel& v, const World& world, double elapsed, double seconds) {
    if (track_) {
        return track_->Place(v.state, elapsed);
    }
    if (!v.progress.start) {
        // The first leg of the active route begins where the vessel does,
        // whether it follows the route or steers by other orders.
        v.progress.start = v.state.position;
    }
    if (!v.moves || seconds <= 0) {
        return true;
    }
    Climb(v, seconds);
    double step = v.state.speed * seconds / kMetresPerNauticalMile;
    if (const Route* route = Followed(v, world)) {
        step = FollowRoute(v, world, *route, step);
        if (v.progress.arrived) {
            return true;
        }
    }
    if (v.limits.rateOfTurn > 0 || v.limits.acceleration > 0) {
        Helm(v, seconds);
        step = v.state.speed * seconds / kMetresPerNauticalMile;
    }
    if (step == 0) {
        return true;  // standing still keeps the course
    }
    double finalBearing = 0;
    v.state.position = Destination(v.state.position, v.state.course, step, finalBearing);
    // Out of a turn the vessel sails the geodesic, whose course changes along it.
    if (v.state.rateOfTurn == 0) {
        v.state.course = v.state.heading = finalBearing;
        if (v.steering == Steering::Course) {
            v.orderedCourse = finalBearing;
        }
    }
    return true;
}

}  // namespace kovra::engine
