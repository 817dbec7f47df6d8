// A position as the generator and the waypoints hold it: degrees, minutes,
// seconds and hemisphere of a latitude and of a longitude.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "foundation/Export.h"
#include "foundation/Types.h"

namespace kovra {

// Why a field refused a value: its fixed message.
using Refusal = std::optional<std::string_view>;

struct KOVRA_API GeoPosition {
    std::int32_t latDeg = 0;
    std::int32_t latMin = 0;
    Extended latSec = 0;
    TCardinalPoint latDir = TCardinalPoint::cpNorth;
    std::int32_t longDeg = 0;
    std::int32_t longMin = 0;
    Extended longSec = 0;
    TCardinalPoint longDir = TCardinalPoint::cpEast;

    // Each field is checked on its own (no rule combines them, so
    // 90° 30′ N is taken): the value is stored, or the field keeps its old
    // value and the message of the refusal is returned.
    [[nodiscard]] Refusal SetLatDeg(std::int32_t value);
    [[nodiscard]] Refusal SetLatMin(std::int32_t value);
    [[nodiscard]] Refusal SetLatSec(Extended value);
    [[nodiscard]] Refusal SetLatDir(TCardinalPoint value);
    [[nodiscard]] Refusal SetLongDeg(std::int32_t value);
    [[nodiscard]] Refusal SetLongMin(std::int32_t value);
    [[nodiscard]] Refusal SetLongSec(Extended value);
    [[nodiscard]] Refusal SetLongDir(TCardinalPoint value);
};

}  // namespace kovra
