#include "Motion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kovra::app {

namespace {

constexpr double kEarthRadiusNm = 6378.14 / 1.852;
constexpr double kDegree = std::numbers::pi / 180;

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

void SetPosition(TKovraNMEAGenerator& gps, GeoPoint point) {
    double lon = std::fmod(point.lon, 360.0);
    if (lon > 180) {
        lon -= 360;
    } else if (lon < -180) {
        lon += 360;
    }
    Coordinate latitude;
    TKovraNMEAGenerator::LatitudeDecimalDegreesToDMS(std::clamp(point.lat, -90.0, 90.0), latitude.degree,
                                                     latitude.minute, latitude.second, latitude.direction);
    Coordinate longitude;
    TKovraNMEAGenerator::LongitudeDecimalDegreesToDMS(lon, longitude.degree, longitude.minute, longitude.second,
                                                      longitude.direction);
    // Truncation may leave a hair below 60 as exactly 60 after rounding.
    for (Extended* second : {&latitude.second, &longitude.second}) {
        if (*second >= 60) {
            *second = std::nextafter(Extended(60), Extended(0));
        }
    }
    gps.Latitude_Degree(latitude.degree);
    gps.Latitude_Minute(latitude.minute);
    gps.Latitude_Second(latitude.second);
    gps.Latitude_Direction(latitude.direction);
    gps.Longitude_Degree(longitude.degree);
    gps.Longitude_Minute(longitude.minute);
    gps.Longitude_Second(longitude.second);
    gps.Longitude_Direction(longitude.direction);
}

double DistanceNm(GeoPoint from, GeoPoint to) {
    const double a = std::sin((to.lat - from.lat) * kDegree / 2);
    const double b = std::sin((to.lon - from.lon) * kDegree / 2);
    const double h = a * a + std::cos(from.lat * kDegree) * std::cos(to.lat * kDegree) * b * b;
    return 2 * kEarthRadiusNm * std::asin(std::min(1.0, std::sqrt(h)));
}

double InitialBearing(GeoPoint from, GeoPoint to) {
    const double phi1 = from.lat * kDegree, phi2 = to.lat * kDegree;
    const double dLambda = (to.lon - from.lon) * kDegree;
    const double y = std::sin(dLambda) * std::cos(phi2);
    const double x = std::cos(phi1) * std::sin(phi2) - std::sin(phi1) * std::cos(phi2) * std::cos(dLambda);
    return Normalized360(std::atan2(y, x) / kDegree);
}

GeoPoint Destination(GeoPoint from, double bearing, double distanceNm, double& finalBearing) {
    const double delta = distanceNm / kEarthRadiusNm;
    const double theta = bearing * kDegree;
    const double phi1 = from.lat * kDegree, lambda1 = from.lon * kDegree;
    const double sinPhi2 = std::sin(phi1) * std::cos(delta) + std::cos(phi1) * std::sin(delta) * std::cos(theta);
    const double phi2 = std::asin(std::clamp(sinPhi2, -1.0, 1.0));
    const double lambda2 = lambda1 + std::atan2(std::sin(theta) * std::sin(delta) * std::cos(phi1),
                                                std::cos(delta) - std::sin(phi1) * sinPhi2);
    const GeoPoint to{phi2 / kDegree, lambda2 / kDegree};
    // The course on arrival: the reverse of the course back, turned around.
    finalBearing = Normalized360(InitialBearing(to, from) + 180);
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

}  // namespace kovra::app
