#include "engine/run/Errors.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/Text.h"

namespace kovra::engine {

namespace {
bool IsUtf8(std::string_view text) { return StrictFromUtf8(text).has_value(); }
}  // namespace

std::string Printable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const bool utf8 = IsUtf8(text);
    std::string shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        // C1 controls arrive in UTF-8 as C2 80 to C2 9F.
        const bool c1 = byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (byte < 0x20 || byte == 0x7F || (byte >= 0x80 && (!utf8 || c1))) {
            shown += '^';
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
        } else {
            shown += text[i];
        }
    }
    return shown;
}

Notify StandardErrorNotify() {
    return [](const std::string& line) {
        const std::string text = "kovra-nmea: " + Printable(line) + "\n";
        (void)!::write(STDERR_FILENO, text.data(), text.size());  // nothing is left to tell a failure to
    };
}

std::string SystemError(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string QuotedValue(std::string_view text) {
    constexpr std::size_t kShown = 64;
    return "'" + std::string(text.substr(0, kShown)) + (text.size() > kShown ? "…'" : "'");
}

}  // namespace kovra::engine
