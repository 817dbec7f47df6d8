// Reading AIS sentences back in tests: a sentence's payload and a field of
// its bits, as a decoder takes them.
#pragma once

#include <cstdint>
#include <string>

namespace kovra::test {

// The armoured payload: the sixth field.
inline std::string PayloadOf(const std::string& sentence) {
    std::size_t start = 0;
    for (int comma = 0; comma < 5; ++comma) {
        start = sentence.find(',', start) + 1;
    }
    return sentence.substr(start, sentence.find(',', start) - start);
}

// The unsigned field of `width` bits at `start` of an armoured payload.
inline std::uint64_t FieldAt(const std::string& payload, std::size_t start, int width) {
    std::uint64_t value = 0;
    for (std::size_t bit = start; bit < start + static_cast<std::size_t>(width); ++bit) {
        int six = payload[bit / 6] - 48;
        six = six > 40 ? six - 8 : six;
        value = (value << 1) | ((static_cast<unsigned>(six) >> (5 - bit % 6)) & 1U);
    }
    return value;
}

}  // namespace kovra::test
