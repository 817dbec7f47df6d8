// The generator's conversions: the pure ones of the foundation, and those
// that read or move the generator's own position.
#include <mutex>

#include "foundation/Conversions.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra {

using G = TKovraNMEAGenerator;

Extended G::DMSToDecimalDegrees(std::int32_t Degree, std::int32_t Minute, Extended Second, TCardinalPoint Direction) {
    return convert::DMSToDecimalDegrees(Degree, Minute, Second, Direction);
}
Extended G::DMSToRadians(std::int32_t Degree, std::int32_t Minute, Extended Second, TCardinalPoint Direction) {
    return convert::DMSToRadians(Degree, Minute, Second, Direction);
}
Extended G::Distance_KM(std::int32_t Latitude_Degree1, std::int32_t Latitude_Minute1, Extended Latitude_Second1,
                        TCardinalPoint Latitude_Direction1, std::int32_t Longitude_Degree1,
                        std::int32_t Longitude_Minute1, Extended Longitude_Second1, TCardinalPoint Longitude_Direction1,
                        std::int32_t Latitude_Degree2, std::int32_t Latitude_Minute2, Extended Latitude_Second2,
                        TCardinalPoint Latitude_Direction2, std::int32_t Longitude_Degree2,
                        std::int32_t Longitude_Minute2, Extended Longitude_Second2,
                        TCardinalPoint Longitude_Direction2) {
    return convert::Distance_KM(Latitude_Degree1, Latitude_Minute1, Latitude_Second1, Latitude_Direction1,
                                Longitude_Degree1, Longitude_Minute1, Longitude_Second1, Longitude_Direction1,
                                Latitude_Degree2, Latitude_Minute2, Latitude_Second2, Latitude_Direction2,
                                Longitude_Degree2, Longitude_Minute2, Longitude_Second2, Longitude_Direction2);
}
Extended G::KmToNauticalMiles(Extended pDist) { return convert::KmToNauticalMiles(pDist); }
Extended G::KmhToKnots(Extended pSpeed) { return convert::KmhToKnots(pSpeed); }
Extended G::KnotsToKmh(Extended pSpeed) { return convert::KnotsToKmh(pSpeed); }
Extended G::KmToMiles(Extended pDist) { return convert::KmToMiles(pDist); }
Extended G::MilesToKm(Extended pDist) { return convert::MilesToKm(pDist); }
Extended G::MetersToFeet(Extended pDist) { return convert::MetersToFeet(pDist); }
Extended G::FeetToMeters(Extended pDist) { return convert::FeetToMeters(pDist); }
void G::LatitudeDecimalDegreesToDMS(Extended DecDegree, std::int32_t& Degree, std::int32_t& Minute, Extended& Second,
                                    TCardinalPoint& Direction) {
    convert::LatitudeDecimalDegreesToDMS(DecDegree, Degree, Minute, Second, Direction);
}
void G::LongitudeDecimalDegreesToDMS(Extended DecDegree, std::int32_t& Degree, std::int32_t& Minute,
                                     Extended& Second, TCardinalPoint& Direction) {
    convert::LongitudeDecimalDegreesToDMS(DecDegree, Degree, Minute, Second, Direction);
}
void G::DMSToDM(std::int32_t dmsDegree, std::int32_t dmsMinute, Extended dmsSecond, std::int32_t& Degree,
                Extended& Minute) {
    convert::DMSToDM(dmsDegree, dmsMinute, dmsSecond, Degree, Minute);
}
void G::DMToDMS(std::int32_t dmDegree, Extended dmMinute, std::int32_t& Degree, std::int32_t& Minute,
                Extended& Second) {
    convert::DMToDMS(dmDegree, dmMinute, Degree, Minute, Second);
}

Extended G::GetLatitudeAsDecimalDegrees() const {
    const std::lock_guard lock(FStateLock);
    return convert::DMSToDecimalDegrees(FPosition.latDeg, FPosition.latMin, FPosition.latSec, FPosition.latDir);
}

Extended G::GetLongitudeAsDecimalDegrees() const {
    const std::lock_guard lock(FStateLock);
    return convert::DMSToDecimalDegrees(FPosition.longDeg, FPosition.longMin, FPosition.longSec, FPosition.longDir);
}

void G::AddSecondsToLatitude(Extended seconds) {
    const std::lock_guard lock(FStateLock);
    convert::AddSeconds(FPosition.latDeg, FPosition.latMin, FPosition.latSec, seconds, 90);
}

void G::AddSecondsToLongitude(Extended seconds) {
    const std::lock_guard lock(FStateLock);
    convert::AddSeconds(FPosition.longDeg, FPosition.longMin, FPosition.longSec, seconds, 180);
}

}  // namespace kovra
