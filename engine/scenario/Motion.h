// Positions on the WGS84 ellipsoid: distances, bearings and the point a
// course leads to along the geodesic; and the library's degrees, minutes
// and seconds read and written as decimal degrees.
#pragma once

#include "generator/KovraNMEAGenerator.h"

namespace kovra::engine {

constexpr double kMetresPerNauticalMile = 1852;

// Degrees in [0, 360).
double Normalized360(double degrees);

// Decimal degrees; south and west negative.
struct GeoPoint {
    double lat = 0;
    double lon = 0;
};

GeoPoint PositionOf(const TKovraNMEAGenerator& gps);
GeoPoint PositionOf(const TWayPoint& waypoint);
// Degrees, minutes and seconds of a point; the longitude taken modulo 360.
GeoPosition DmsOf(GeoPoint point);
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

}  // namespace kovra::engine
