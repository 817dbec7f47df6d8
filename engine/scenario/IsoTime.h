// Date-times as ISO 8601 writes them, the way GPX files and the live view carry them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "foundation/DateTime.h"

namespace kovra::engine {

// "2026-12-08T12:00:00Z", fractions and offsets allowed; none when malformed.
std::optional<TDateTime> ParseIsoTime(std::string_view text);
// "2026-12-08T12:00:00.000Z"
std::string IsoTime(TDateTime time);

}  // namespace kovra::engine
