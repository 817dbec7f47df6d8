// Conversions between the library's 8-bit (UTF-8) texts and the profile's
// message and file-name strings.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "host/BuildProfile.h"
#include "host/Export.h"

namespace kovra {

KOVRA_API std::string ToUtf8(std::u16string_view text);
KOVRA_API std::u16string FromUtf8(std::string_view text);

inline std::string ToUtf8(std::string_view text) { return std::string(text); }

// An 8-bit text as the profile's message string.
template <typename Target = TMessageString>
Target ToMessage(std::string_view text) {
    if constexpr (std::is_same_v<Target, std::u16string>) {
        return FromUtf8(text);
    } else {
        return Target(text);
    }
}

// A file name of the profile's string type as a path (UTF-16 is converted).
inline std::filesystem::path ToPath(const TFileName& name) { return std::filesystem::path(name); }

}  // namespace kovra
