// Reads an option's value from left to right, one field at a time. Nothing
// is ever tried twice, so a value of any length is read in linear time and
// constant stack, whatever bytes it holds.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "engine/run/Errors.h"

namespace kovra::app {

class ValueScanner {
public:
    explicit ValueScanner(std::string_view text) : rest_(text) {}

    bool AtEnd() const { return rest_.empty(); }
    // Spaces, tabs and line breaks, as many as there are.
    ValueScanner& SkipSpaces() {
        while (!rest_.empty() && IsSpace(rest_.front())) {
            rest_.remove_prefix(1);
        }
        return *this;
    }
    // The character `c` when it comes next.
    bool Take(char c) {
        if (rest_.empty() || rest_.front() != c) {
            return false;
        }
        rest_.remove_prefix(1);
        return true;
    }
    // The next character when it is one of `set`.
    std::optional<char> TakeOneOf(std::string_view set) {
        if (rest_.empty() || set.find(rest_.front()) == std::string_view::npos) {
            return std::nullopt;
        }
        const char c = rest_.front();
        rest_.remove_prefix(1);
        return c;
    }
    // The text `word` when it comes next.
    bool TakeWord(std::string_view word) {
        if (rest_.substr(0, word.size()) != word) {
            return false;
        }
        rest_.remove_prefix(word.size());
        return true;
    }
    // From `least` to `most` decimal digits; none when fewer come, or more.
    std::optional<std::string_view> Digits(std::size_t least, std::size_t most) {
        std::size_t count = 0;
        while (count < rest_.size() && rest_[count] >= '0' && rest_[count] <= '9') {
            ++count;
        }
        if (count < least || count > most) {
            return std::nullopt;
        }
        const std::string_view digits = rest_.substr(0, count);
        rest_.remove_prefix(count);
        return digits;
    }
    // Digits with a fraction: "12", "12.5"; a point must have digits after it.
    std::optional<std::string_view> Decimal(std::size_t mostWholeDigits) {
        const std::string_view start = rest_;
        if (!Digits(1, mostWholeDigits)) {
            return std::nullopt;
        }
        if (Take('.') && !Digits(1, std::string_view::npos)) {
            return std::nullopt;
        }
        return start.substr(0, start.size() - rest_.size());
    }

private:
    static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

    std::string_view rest_;
};

using engine::QuotedValue;

}  // namespace kovra::app
