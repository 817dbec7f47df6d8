#include "engine/scenario/Motion.h"

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <cmath>

namespace kovra::engine {

namespace {

const GeographicLib::Geodesic& Wgs84() { return GeographicLib::Geodesic::WGS84(); }

}  // namespace

double Normalized360(double degrees) {
    double value = std::fmod(degrees, 360.0);
    if (value < 0) {
        value += 360;
    }
    return value >= 360 ? 0 : value;
}

GeoPoint PositionOf(const TKovraNMEAGenerator& gps) {
    return {static_cast<double>(gps.GetLatitudeAsDecimalDegrees()),
            static_cast<double>(gps.GetLongitudeAsDecimalDegrees())};
}

GeoPoint PositionOf(const TWayPoint& w) {
    using G = TKovraNMEAGenerator;
    return {static_cast<double>(G::DMSToDecimalDegrees(w.Latitude_Degree(), w.Latitude_Minute(), w.Latitude_Second(),
                                                       w.Latitude_Direction())),
            static_cast<double>(G::DMSToDecimalDegrees(w.Longitude_Degree(), w.Longitude_Minute(),
                                                       w.Longitude_Second(), w.Longitude_Direction()))};
}

GeoPosition DmsOf(GeoPoint point) {
    double lon = std::fmod(point.lon, 360.0);
    if (lon > 180) {
        lon -= 360;
    } else if (lon < -180) {
        lon += 360;
    }
    GeoPosition p;
    TKovraNMEAGenerator::LatitudeDecimalDegreesToDMS(std::clamp(point.lat, -90.0, 90.0), p.latDeg, p.latMin,
                                                     p.latSec, p.latDir);
    TKovraNMEAGenerator::LongitudeDecimalDegreesToDMS(lon, p.longDeg, p.longMin, p.longSec, p.longDir);
    // Truncation may leave a hair below 60 as exactly 60 after rounding.
    for (Extended* second : {&p.latSec, &p.longSec}) {
        if (*second >= 60) {
            *second = std::nextafter(Extended(60), Extended(0));
        }
    }
    return p;
}

namespace {

template <typename Positioned>
void ApplyDms(Positioned& target, const GeoPosition& p) {
    target.Latitude_Degree(p.latDeg);
    target.Latitude_Minute(p.latMin);
    target.Latitude_Second(p.latSec);
    target.Latitude_Direction(p.latDir);
    target.Longitude_Degree(p.longDeg);
    target.Longitude_Minute(p.longMin);
    target.Longitude_Second(p.longSec);
    target.Longitude_Direction(p.longDir);
}

}  // namespace

void SetPosition(TKovraNMEAGenerator& gps, GeoPoint point) { ApplyDms(gps, DmsOf(point)); }

void SetPosition(TWayPoint& waypoint, GeoPoint point) { ApplyDms(waypoint, DmsOf(point)); }

double DistanceNm(GeoPoint from, GeoPoint to) {
    double metres = 0;
    (void)Wgs84().Inverse(from.lat, from.lon, to.lat, to.lon, metres);
    return metres / kMetresPerNauticalMile;
}

double InitialBearing(GeoPoint from, GeoPoint to) {
    double azimuth1 = 0, azimuth2 = 0;
    (void)Wgs84().Inverse(from.lat, from.lon, to.lat, to.lon, azimuth1, azimuth2);
    return Normalized360(azimuth1);
}

GeoPoint Destination(GeoPoint from, double bearing, double distanceNm, double& finalBearing) {
    GeoPoint to;
    double azimuth2 = 0;
    (void)Wgs84().Direct(from.lat, from.lon, bearing, distanceNm * kMetresPerNauticalMile, to.lat, to.lon, azimuth2);
    finalBearing = Normalized360(azimuth2);
    return to;
}

}  // namespace kovra::engine
