#include "foundation/Text.h"

#include "foundation/Exception.h"

namespace kovra {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}
}  // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            AppendUtf8(out, kReplacement);  // unpaired surrogate
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

namespace {

// Decodes one UTF-8 sequence at text[i]; none when it is not a valid one
// (a stray byte, a truncated or overlong sequence, a surrogate, beyond U+10FFFF).
std::optional<char32_t> DecodeOne(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) {
        return std::nullopt;
    }
    char32_t cp = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kShortest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
        return std::nullopt;
    }
    i += static_cast<std::size_t>(length);
    return cp;
}

bool HasUnpairedSurrogate(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            return true;
        }
    }
    return false;
}

// Decodes all of `text`; none at the first invalid sequence unless `replace`
// turns each such byte into U+FFFD.
std::optional<std::u16string> Decode(std::string_view text, bool replace) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::optional<char32_t> cp = DecodeOne(text, i);
        if (!cp && !replace) {
            return std::nullopt;
        }
        if (!cp) {
            ++i;
        }
        AppendUtf16(out, cp.value_or(kReplacement));
    }
    return out;
}

}  // namespace

std::u16string FromUtf8(std::string_view text) { return *Decode(text, true); }

std::optional<std::u16string> StrictFromUtf8(std::string_view text) { return Decode(text, false); }

std::string EscapeControlBytes(std::string_view text, bool highBytesToo) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || (highBytesToo && byte > 0x7F)) {
            shown += '^';
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
        } else {
            shown += c;
        }
    }
    return shown;
}

namespace {

[[maybe_unused]] std::u16string FileNameOfType(std::string_view name, const std::u16string*) {
    std::optional<std::u16string> wide = StrictFromUtf8(name);
    if (!wide) {
        throw EKovraNMEAException("The file name \"" + EscapeControlBytes(name, true) + "\" is not valid UTF-8.");
    }
    return *std::move(wide);
}

[[maybe_unused]] std::string FileNameOfType(std::string_view name, const std::string*) { return std::string(name); }

[[maybe_unused]] std::string PathBytes(const std::u16string& name) {
    if (HasUnpairedSurrogate(name)) {
        throw EKovraNMEAException("The file name \"" + EscapeControlBytes(ToUtf8(name), true) +
                                  "\" holds an unpaired UTF-16 surrogate.");
    }
    return ToUtf8(name);
}

[[maybe_unused]] std::string PathBytes(const std::string& name) { return name; }

}  // namespace

TFileName FileNameFromUtf8(std::string_view name) {
    return FileNameOfType(name, static_cast<const TFileName*>(nullptr));
}

std::filesystem::path ToPath(const TFileName& name) {
    std::string bytes = PathBytes(name);
    if (bytes.find('\0') != std::string::npos) {
        throw EKovraNMEAException("The file name \"" + EscapeControlBytes(bytes, true) + "\" holds a NUL character.");
    }
    return std::filesystem::path(std::move(bytes));
}

}  // namespace kovra
