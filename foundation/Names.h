// How names of waypoints, routes and ini sections and keys are matched.
#pragma once

#include <string>
#include <string_view>

#include "foundation/Export.h"

namespace kovra {

// Names match when equal after turning ASCII a-z into A-Z; nothing is trimmed.
KOVRA_API bool SameName(std::string_view a, std::string_view b);
// The form under which matching names are equal: ASCII a-z turned into A-Z.
KOVRA_API std::string NameKey(std::string_view name);

}  // namespace kovra
