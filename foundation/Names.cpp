#include "foundation/Names.h"

namespace kovra {

namespace {
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

std::string NameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        c = AsciiUpper(c);
    }
    return key;
}

}  // namespace kovra
