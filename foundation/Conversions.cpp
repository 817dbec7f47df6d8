#include "foundation/Conversions.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "foundation/BuildProfile.h"

namespace kovra::convert {

namespace {
constexpr Extended kPi = std::numbers::pi_v<Extended>;
constexpr Extended kHalfPi = 1.5707963267948966L;
constexpr Extended kEarthRadiusKm = 6378.14L;
constexpr Extended kKmPerNauticalMile = 1.852L;
constexpr Extended kKnotsPerKmh = 0.5397L;
constexpr Extended kKmPerStatuteMile = 1.609344L;
constexpr Extended kFeetPerMetre = 3.2808399L;

// Whole part toward zero as a 32-bit integer, saturating (NaN gives 0).
std::int32_t Trunc32(Extended x) {
    if (std::isnan(x)) {
        return 0;
    }
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    if (x <= kMin) {
        return kMin;
    }
    if (x >= kMax) {
        return kMax;
    }
    return static_cast<std::int32_t>(x);
}

bool IsNegative(TCardinalPoint direction) {
    const TCardinalPoint negativeLongitude =
        kProfile.eastIsNegative ? TCardinalPoint::cpEast : TCardinalPoint::cpWest;
    return direction == TCardinalPoint::cpSouth || direction == negativeLongitude;
}

void DecimalDegreesToDMS(Extended decDegree, std::int32_t& degree, std::int32_t& minute, Extended& second) {
    const Extended a = std::fabs(decDegree);
    degree = Trunc32(a);
    const Extended b = (a - degree) * 60;
    minute = Trunc32(b);
    second = (b - minute) * 60;
}

}  // namespace

void AddSeconds(std::int32_t& degree, std::int32_t& minute, Extended& second, Extended seconds, std::int32_t limit) {
    const Extended position = static_cast<Extended>(std::int64_t{degree} * 3600 + std::int64_t{minute} * 60) + second;
    const Extended t = seconds + position;
    if (std::isnan(t)) {
        return;
    }
    if (t < 0) {
        degree = 0;
        minute = 0;
        second = 0;
    } else if (t >= static_cast<Extended>(limit) * 3600) {
        degree = limit;
        minute = 0;
        second = 0;
    } else {
        const auto whole = static_cast<std::int32_t>(t);
        degree = whole / 3600;
        minute = (whole - degree * 3600) / 60;
        second = (t - whole) + static_cast<Extended>(whole - degree * 3600 - minute * 60);
    }
}

Extended DMSToDecimalDegrees(std::int32_t Degree, std::int32_t Minute, Extended Second,
                                                  TCardinalPoint Direction) {
    Extended v = (static_cast<Extended>(Minute) / 60 + Degree) + Second / 3600;
    if (IsNegative(Direction)) {
        v = v * -1;
    }
    return v;
}

Extended DMSToRadians(std::int32_t Degree, std::int32_t Minute, Extended Second,
                                           TCardinalPoint Direction) {
    return DMSToDecimalDegrees(Degree, Minute, Second, Direction) * kPi / 180;
}

Extended Distance_KM(std::int32_t Latitude_Degree1, std::int32_t Latitude_Minute1,
                                          Extended Latitude_Second1, TCardinalPoint Latitude_Direction1,
                                          std::int32_t Longitude_Degree1, std::int32_t Longitude_Minute1,
                                          Extended Longitude_Second1, TCardinalPoint Longitude_Direction1,
                                          std::int32_t Latitude_Degree2, std::int32_t Latitude_Minute2,
                                          Extended Latitude_Second2, TCardinalPoint Latitude_Direction2,
                                          std::int32_t Longitude_Degree2, std::int32_t Longitude_Minute2,
                                          Extended Longitude_Second2, TCardinalPoint Longitude_Direction2) {
    const Extended phi1 = DMSToRadians(Latitude_Degree1, Latitude_Minute1, Latitude_Second1, Latitude_Direction1);
    const Extended lambda1 =
        DMSToRadians(Longitude_Degree1, Longitude_Minute1, Longitude_Second1, Longitude_Direction1);
    const Extended phi2 = DMSToRadians(Latitude_Degree2, Latitude_Minute2, Latitude_Second2, Latitude_Direction2);
    const Extended lambda2 =
        DMSToRadians(Longitude_Degree2, Longitude_Minute2, Longitude_Second2, Longitude_Direction2);
    if (phi1 == phi2 && lambda1 == lambda2) {
        return 0;  // the same point: sin² + cos² need not round to exactly 1
    }
    const Extended c1 = kHalfPi - phi1;
    const Extended c2 = kHalfPi - phi2;
    const Extended a = std::cos(c1) * std::cos(c2);
    const Extended b = std::sin(c1) * std::sin(c2);
    // Rounding may push the cosine of the central angle just outside [-1, 1].
    const Extended cosine = std::clamp(b * std::cos(lambda1 - lambda2) + a, -1.0L, 1.0L);
    return std::acos(cosine) * kEarthRadiusKm;
}

Extended KmToNauticalMiles(Extended pDist) { return pDist / kKmPerNauticalMile; }
Extended KmhToKnots(Extended pSpeed) { return pSpeed * kKnotsPerKmh; }
Extended KnotsToKmh(Extended pSpeed) { return pSpeed / kKnotsPerKmh; }
Extended KmToMiles(Extended pDist) { return pDist / kKmPerStatuteMile; }
Extended MilesToKm(Extended pDist) { return pDist * kKmPerStatuteMile; }
Extended MetersToFeet(Extended pDist) { return pDist * kFeetPerMetre; }
Extended FeetToMeters(Extended pDist) { return pDist / kFeetPerMetre; }

void LatitudeDecimalDegreesToDMS(Extended DecDegree, std::int32_t& Degree, std::int32_t& Minute,
                                                      Extended& Second, TCardinalPoint& Direction) {
    DecimalDegreesToDMS(DecDegree, Degree, Minute, Second);
    Direction = DecDegree >= 0 ? TCardinalPoint::cpNorth : TCardinalPoint::cpSouth;
}

void LongitudeDecimalDegreesToDMS(Extended DecDegree, std::int32_t& Degree,
                                                       std::int32_t& Minute, Extended& Second,
                                                       TCardinalPoint& Direction) {
    DecimalDegreesToDMS(DecDegree, Degree, Minute, Second);
    const bool positive = DecDegree >= 0;
    if constexpr (kProfile.eastIsNegative) {
        Direction = positive ? TCardinalPoint::cpWest : TCardinalPoint::cpEast;
    } else {
        Direction = positive ? TCardinalPoint::cpEast : TCardinalPoint::cpWest;
    }
}

void DMSToDM(std::int32_t dmsDegree, std::int32_t dmsMinute, Extended dmsSecond,
                                  std::int32_t& Degree, Extended& Minute) {
    Degree = dmsDegree;
    Minute = dmsSecond / 60 + dmsMinute;
}

void DMToDMS(std::int32_t dmDegree, Extended dmMinute, std::int32_t& Degree,
                                  std::int32_t& Minute, Extended& Second) {
    Degree = dmDegree;
    Minute = Trunc32(dmMinute);
    Second = (dmMinute - std::trunc(dmMinute)) * 60;
}

}  // namespace kovra::convert
