// Conversions between the library's 8-bit (UTF-8) texts and the profile's
// message and file-name strings.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/BuildProfile.h"
#include "foundation/Export.h"

namespace kovra {

// Unpaired surrogates become U+FFFD.
KOVRA_API std::string ToUtf8(std::u16string_view text);
// Invalid UTF-8 (overlong forms, surrogates, stray bytes) becomes U+FFFD.
KOVRA_API std::u16string FromUtf8(std::string_view text);
// None when `text` is not valid UTF-8.
KOVRA_API std::optional<std::u16string> StrictFromUtf8(std::string_view text);

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

// A text for a message: control bytes and DEL (and, with `highBytesToo`,
// every byte above 127) written as ^XX, so nothing can break a line or
// command a terminal.
KOVRA_API std::string EscapeControlBytes(std::string_view text, bool highBytesToo = false);

// An 8-bit file name (a program's argument) as the profile's file name:
// kept byte for byte where names are 8-bit; where they are UTF-16 it must be
// valid UTF-8, or EKovraNMEAException says so.
KOVRA_API TFileName FileNameFromUtf8(std::string_view name);

// A file name of the profile's string type as a path: 8-bit names byte for
// byte, UTF-16 ones as UTF-8. Throws EKovraNMEAException for a name that
// holds a NUL character or an unpaired UTF-16 surrogate, which no path can
// carry unchanged.
KOVRA_API std::filesystem::path ToPath(const TFileName& name);

}  // namespace kovra
