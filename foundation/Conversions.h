// Coordinate, distance and unit conversions: pure functions of their
// arguments that check no range. South latitudes and west longitudes are
// negative decimal degrees (east ones in the oldest generation).
#pragma once

#include <cstdint>

#include "foundation/Export.h"
#include "foundation/Types.h"

namespace kovra::convert {

KOVRA_API Extended DMSToDecimalDegrees(std::int32_t Degree, std::int32_t Minute, Extended Second,
                                       TCardinalPoint Direction);
KOVRA_API Extended DMSToRadians(std::int32_t Degree, std::int32_t Minute, Extended Second, TCardinalPoint Direction);
// Great-circle distance in kilometres on a sphere of radius 6378.14 km.
KOVRA_API Extended Distance_KM(std::int32_t Latitude_Degree1, std::int32_t Latitude_Minute1, Extended Latitude_Second1,
                               TCardinalPoint Latitude_Direction1, std::int32_t Longitude_Degree1,
                               std::int32_t Longitude_Minute1, Extended Longitude_Second1,
                               TCardinalPoint Longitude_Direction1, std::int32_t Latitude_Degree2,
                               std::int32_t Latitude_Minute2, Extended Latitude_Second2,
                               TCardinalPoint Latitude_Direction2, std::int32_t Longitude_Degree2,
                               std::int32_t Longitude_Minute2, Extended Longitude_Second2,
                               TCardinalPoint Longitude_Direction2);
KOVRA_API Extended KmToNauticalMiles(Extended pDist);
KOVRA_API Extended KmhToKnots(Extended pSpeed);
KOVRA_API Extended KnotsToKmh(Extended pSpeed);
KOVRA_API Extended KmToMiles(Extended pDist);
KOVRA_API Extended MilesToKm(Extended pDist);
KOVRA_API Extended MetersToFeet(Extended pDist);
KOVRA_API Extended FeetToMeters(Extended pDist);
// Minutes and seconds are truncated, never rounded.
KOVRA_API void LatitudeDecimalDegreesToDMS(Extended DecDegree, std::int32_t& Degree, std::int32_t& Minute,
                                           Extended& Second, TCardinalPoint& Direction);
KOVRA_API void LongitudeDecimalDegreesToDMS(Extended DecDegree, std::int32_t& Degree, std::int32_t& Minute,
                                            Extended& Second, TCardinalPoint& Direction);
KOVRA_API void DMSToDM(std::int32_t dmsDegree, std::int32_t dmsMinute, Extended dmsSecond, std::int32_t& Degree,
                       Extended& Minute);
KOVRA_API void DMToDMS(std::int32_t dmDegree, Extended dmMinute, std::int32_t& Degree, std::int32_t& Minute,
                       Extended& Second);
// Moves one axis by `seconds` of arc, stopping at 0 and at `limit` degrees;
// the hemisphere never changes.
KOVRA_API void AddSeconds(std::int32_t& degree, std::int32_t& minute, Extended& second, Extended seconds,
                          std::int32_t limit);

}  // namespace kovra::convert
