// Moving the simulated receiver between updates: along the geodesic of its
// course on the WGS84 ellipsoid, or steering from waypoint to waypoint of
// the active route.
#pragma once

#include <string>

#include "engine/scenario/BuiltIn.h"

namespace kovra::engine {

// Decimal degrees; south and west negative.
struct GeoPoint {
    double lat = 0;
    double lon = 0;
};

GeoPoint PositionOf(const TKovraNMEAGenerator& gps);
GeoPoint PositionOf(const TWayPoint& waypoint);
// Sets the position, hemispheres included; the longitude is taken modulo 360.
void SetPosition(TKovraNMEAGenerator& gps, GeoPoint point);
void SetPosition(TWayPoint& waypoint, GeoPoint point);

// Geodesic distance on WGS84, nautical miles.
double DistanceNm(GeoPoint from, GeoPoint to);
// Initial course from `from` to `to` along the geodesic, degrees true in [0, 360).
double InitialBearing(GeoPoint from, GeoPoint to);
// The point `distanceNm` along the geodesic leaving `from` on `bearing`;
// `finalBearing` receives the course there.
GeoPoint Destination(GeoPoint from, double bearing, double distanceNm, double& finalBearing);

class Navigator {
public:
    explicit Navigator(const Plan& plan) : plan_(plan) {}

    // Moves the receiver by what `seconds` at its speed cover.
    void Step(TKovraNMEAGenerator& gps, double seconds);
    // The waypoint steered for, and its distance; empty when not following a route.
    std::string NextWayPoint(const TKovraNMEAGenerator& gps, double& distanceNm) const;

private:
    const TWayPoint* Target(const TKovraNMEAGenerator& gps) const;
    void SetHeading(TKovraNMEAGenerator& gps, double heading) const;

    Plan plan_;
    std::size_t next_ = 0;  // index in the active route's names
    bool arrived_ = false;  // past the last waypoint without --loop
};

}  // namespace kovra::engine
