#include "foundation/Position.h"

#include "foundation/Validation.h"

namespace kovra {

namespace {
template <typename T>
Refusal Store(T& field, T value, bool valid, std::string_view message) {
    if (!valid) {
        return message;
    }
    field = value;
    return std::nullopt;
}
}  // namespace

using namespace validation;

Refusal GeoPosition::SetLatDeg(std::int32_t v) { return Store(latDeg, v, IsLatitudeDegree(v), kLatitudeDegree); }
Refusal GeoPosition::SetLatMin(std::int32_t v) { return Store(latMin, v, IsMinute(v), kLatitudeMinute); }
Refusal GeoPosition::SetLatSec(Extended v) { return Store(latSec, v, IsSecond(v), kLatitudeSecond); }
Refusal GeoPosition::SetLatDir(TCardinalPoint v) { return Store(latDir, v, IsNorthSouth(v), kLatitudeDirection); }
Refusal GeoPosition::SetLongDeg(std::int32_t v) { return Store(longDeg, v, IsLongitudeDegree(v), kLongitudeDegree); }
Refusal GeoPosition::SetLongMin(std::int32_t v) { return Store(longMin, v, IsMinute(v), kLongitudeMinute); }
Refusal GeoPosition::SetLongSec(Extended v) { return Store(longSec, v, IsSecond(v), kLongitudeSecond); }
Refusal GeoPosition::SetLongDir(TCardinalPoint v) { return Store(longDir, v, IsEastWest(v), kLongitudeDirection); }

}  // namespace kovra
