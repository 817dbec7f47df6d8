// What a GPS that navigates tells of the leg a vessel steers: where from,
// where to, how far off the leg it is and how it closes on the
// destination. Measured on the WGS84 ellipsoid.
#pragma once

#include <optional>
#include <string>

#include "engine/scenario/World.h"

namespace kovra::engine {

// The leg of the active route a vessel is on: from the waypoint it last
// passed (or, on a route's first leg, the place it began from) to the one
// it steers for.
struct RouteLeg {
    std::string route;
    std::string origin;  // the waypoint's name; empty on a route's first leg
    GeoPoint from;
    std::string destination;
    GeoPoint to;
};

// The vessel's leg; none without an active route or past the end of one.
std::optional<RouteLeg> LegOf(const World& world, const Vessel& vessel);

// The figures of the navigation sentences, from a position on the leg.
struct Approach {
    double crossTrackNm = 0;       // off the leg, right of it positive (steer left)
    double legBearing = 0;         // origin to destination, along the geodesic, degrees true
    double bearing = 0;            // from here to the destination, along the geodesic
    double rangeNm = 0;            // from here, along the geodesic
    double rhumbBearing = 0;       // from here, along the rhumb line
    double rhumbRangeNm = 0;
    double closingKnots = 0;       // the speed made good toward the destination
    bool inCircle = false;         // within the arrival radius
    bool passedPerpendicular = false;  // past the line through the destination square to the leg
};

Approach ApproachOf(const RouteLeg& leg, GeoPoint here, double speedKnots, double course, double arrivalRadiusNm);

// What the sounder reads where the vessel is: on a leg whose destination
// has a sounding, the depth between the origin's (where it began: its own
// depth, or the destination's) and the destination's, in proportion to the
// way made along it; at the end of the route its last waypoint's;
// elsewhere the vessel's own depth.
std::optional<double> DepthUnder(const World& world, const Vessel& vessel);

// Off the geodesic from `from` to `to` (extended past its ends), nautical
// miles, right of it positive.
double CrossTrackNm(GeoPoint from, GeoPoint to, GeoPoint here);

}  // namespace kovra::engine
