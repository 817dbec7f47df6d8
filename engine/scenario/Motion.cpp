#include "engine/scenario/Motion.h"

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <cmath>

namespace kovra::engine {

namespace {

constexpr double kMetresPerNauticalMile = 1852;

const GeographicLib::Geodesic& Wgs84() { return GeographicLib::Geodesic::WGS84(); }

double Normalized360(double degrees) {
    double value = std::fmod(degrees, 360.0);
    if (value < 0) {
        value += 360;
    }
    return value >= 360 ? 0 : value;
}

}  // namespace

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

namespace {

// Degrees, minutes and seconds of a point; the longitude taken modulo 360.
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

const TWayPoint* Navigator::Target(const TKovraNMEAGenerator& gps) const {
    const TRoute* route = gps.Routes().ActiveRoute();
    if (!plan_.followRoute || route == nullptr || arrived_ || next_ >= route->WayPoints().size()) {
        return nullptr;
    }
    return gps.WayPoints().GetByName(route->WayPoints()[next_]);
}

std::string Navigator::NextWayPoint(const TKovraNMEAGenerator& gps, double& distanceNm) const {
    const TWayPoint* target = Target(gps);
    if (target == nullptr) {
        return {};
    }
    distanceNm = DistanceNm(PositionOf(gps), PositionOf(*target));
    return target->Name();
}

void Navigator::SetHeading(TKovraNMEAGenerator& gps, double heading) const {
    gps.Heading(Normalized360(heading));
    if (plan_.deriveMagneticHeading) {
        gps.Magnetic_Heading(
            MagneticHeading(gps.Heading(), gps.Magnetic_Variation(), gps.Magnetic_Variation_Direction()));
    }
}

void Navigator::Step(TKovraNMEAGenerator& gps, double seconds) {
    if (!plan_.move) {
        return;
    }
    double step = static_cast<double>(gps.Speed()) * seconds / 3600;  // nautical miles
    const TRoute* route = gps.Routes().ActiveRoute();
    if (plan_.followRoute && route != nullptr) {
        // Reach as many waypoints as this step covers, then head for the next.
        for (std::size_t guard = 0; guard <= 2 * route->WayPoints().size() + 1 && !arrived_; ++guard) {
            if (next_ >= route->WayPoints().size()) {
                if (!plan_.loop || route->WayPoints().empty()) {
                    arrived_ = true;
                    gps.Speed(0);
                    return;
                }
                next_ = 0;
            }
            const TWayPoint* target = Target(gps);
            if (target == nullptr) {
                ++next_;  // a name without a waypoint is passed over
                continue;
            }
            const GeoPoint here = PositionOf(gps);
            const GeoPoint there = PositionOf(*target);
            const double distance = DistanceNm(here, there);
            if (distance > step) {
                SetHeading(gps, InitialBearing(here, there));
                break;
            }
            SetPosition(gps, there);
            step -= distance;
            ++next_;
        }
        if (arrived_) {
            return;
        }
    }
    if (step == 0) {
        return;  // standing still keeps the course
    }
    double finalBearing = 0;
    const GeoPoint to = Destination(PositionOf(gps), static_cast<double>(gps.Heading()), step, finalBearing);
    SetPosition(gps, to);
    SetHeading(gps, finalBearing);
}

}  // namespace kovra::engine
