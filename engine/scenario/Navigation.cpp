#include "engine/scenario/Navigation.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/Gnomonic.hpp>
#include <GeographicLib/Rhumb.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "foundation/Names.h"

namespace kovra::engine {

namespace {

const GeographicLib::Geodesic& Wgs84() { return GeographicLib::Geodesic::WGS84(); }

struct Plane {
    double x = 0, y = 0;  // metres east and north of the projection's centre
};

}  // namespace

std::optional<RouteLeg> LegOf(const World& world, const Vessel& vessel) {
    const RouteProgress& progress = vessel.progress;
    const Route* route = world.FindRoute(progress.route);
    if (route == nullptr || progress.arrived || progress.next >= route->points.size()) {
        return std::nullopt;
    }
    const WayPoint* to = world.FindWayPoint(route->points[progress.next]);
    if (to == nullptr) {
        return std::nullopt;
    }
    RouteLeg leg{route->name, "", progress.start.value_or(vessel.state.position), to->name, to->position};
    // The waypoint before; on the first leg of a route that loops and has come round, its last.
    const bool first = progress.next == 0;
    if (!first || (vessel.loop && progress.arrivals > 0)) {
        const std::string& name = route->points[first ? route->points.size() - 1 : progress.next - 1];
        if (const WayPoint* from = world.FindWayPoint(name)) {
            leg.origin = from->name;
            leg.from = from->position;
        }
    }
    return leg;
}

// The foot of the perpendicular from `here` on the geodesic: in a gnomonic
// projection geodesics are (nearly) straight lines, so the foot is found in
// the plane, and the projection centred on it again until it settles.
double CrossTrackNm(GeoPoint from, GeoPoint to, GeoPoint here) {
    const GeographicLib::Gnomonic gnomonic(Wgs84());
    double lat0 = 0, lon0 = 0;  // the projection's centre: first the leg's midpoint
    const GeographicLib::GeodesicLine line = Wgs84().InverseLine(from.lat, from.lon, to.lat, to.lon);
    line.Position(line.Distance() / 2, lat0, lon0);
    double side = 0;
    constexpr int kRounds = 10;
    for (int round = 0; round < kRounds; ++round) {
        const auto project = [&](GeoPoint p) {
            Plane q;
            gnomonic.Forward(lat0, lon0, p.lat, p.lon, q.x, q.y);
            return q;
        };
        const Plane a = project(from), b = project(to), p = project(here);
        const double dx = b.x - a.x, dy = b.y - a.y, length2 = dx * dx + dy * dy;
        if (!std::isfinite(a.x + b.x + p.x) || length2 == 0) {
            break;
        }
        const double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / length2;
        side = dx * (p.y - a.y) - dy * (p.x - a.x);  // positive: left of the leg
        double lat = 0, lon = 0;
        gnomonic.Reverse(lat0, lon0, a.x + t * dx, a.y + t * dy, lat, lon);
        const bool settled = std::fabs(lat - lat0) < 1e-12 && std::fabs(std::remainder(lon - lon0, 360.0)) < 1e-12;
        lat0 = lat;
        lon0 = lon;
        if (settled) {
            break;
        }
    }
    double metres = 0;
    Wgs84().Inverse(here.lat, here.lon, lat0, lon0, metres);
    return (side > 0 ? -metres : metres) / kMetresPerNauticalMile;
}

std::optional<double> DepthUnder(const World& world, const Vessel& vessel) {
    const Surroundings& s = vessel.surroundings;
    const auto sounding = [&s](std::string_view waypoint) -> std::optional<double> {
        const auto found = std::find_if(s.profile.begin(), s.profile.end(),
                                        [&](const Sounding& at) { return SameName(at.waypoint, waypoint); });
        return found != s.profile.end() ? std::optional(found->depth) : std::nullopt;
    };
    const std::optional<RouteLeg> leg = s.profile.empty() ? std::nullopt : LegOf(world, vessel);
    const std::optional<double> to = leg ? sounding(leg->destination) : std::nullopt;
    if (!to) {
        // At the end of the route the vessel lies on its last waypoint.
        const Route* route = vessel.progress.arrived ? world.FindRoute(vessel.progress.route) : nullptr;
        const std::optional<double> last = route && !route->points.empty() ? sounding(route->points.back()) : std::nullopt;
        return last ? last : s.depth;
    }
    const double from = sounding(leg->origin).value_or(s.depth.value_or(*to));
    const GeoPoint here = vessel.state.position;
    double made = 0, left = 0;  // metres from the origin, to the destination
    Wgs84().Inverse(leg->from.lat, leg->from.lon, here.lat, here.lon, made);
    Wgs84().Inverse(here.lat, here.lon, leg->to.lat, leg->to.lon, left);
    return made + left > 0 ? from + (*to - from) * made / (made + left) : *to;
}

Approach ApproachOf(const RouteLeg& leg, GeoPoint here, double speedKnots, double course, double arrivalRadiusNm) {
    Approach a;
    double metres = 0, azimuthHere = 0, azimuthThere = 0;
    Wgs84().Inverse(here.lat, here.lon, leg.to.lat, leg.to.lon, metres, azimuthHere, azimuthThere);
    a.rangeNm = metres / kMetresPerNauticalMile;
    a.bearing = Normalized360(azimuthHere);
    const GeographicLib::Rhumb& rhumb = GeographicLib::Rhumb::WGS84();
    double rhumbAzimuth = 0;
    rhumb.Inverse(here.lat, here.lon, leg.to.lat, leg.to.lon, metres, rhumbAzimuth);
    a.rhumbRangeNm = metres / kMetresPerNauticalMile;
    a.rhumbBearing = Normalized360(rhumbAzimuth);
    a.closingKnots = speedKnots * std::cos((course - a.bearing) * std::numbers::pi / 180);
    a.inCircle = a.rangeNm <= arrivalRadiusNm;

    double legStart = 0, legEnd = 0;
    Wgs84().Inverse(leg.from.lat, leg.from.lon, leg.to.lat, leg.to.lon, metres, legStart, legEnd);
    if (metres > 0) {
        a.legBearing = Normalized360(legStart);
        a.crossTrackNm = CrossTrackNm(leg.from, leg.to, here);
        // Past the perpendicular: the destination lies behind, seen along the leg's course there.
        a.passedPerpendicular = std::fabs(std::remainder(azimuthThere - legEnd, 360.0)) > 90 && a.rangeNm > 0;
    } else {
        a.legBearing = a.bearing;  // no leg to measure from: the line is the bearing
    }
    return a;
}

}  // namespace kovra::engine
