// Types shared by every subsystem: hemispheres, sentence kinds, date-times.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace kovra {

// 80-bit extended precision: seconds, speeds, courses, altitudes, distances.
using Extended = long double;

// Days since 30 December 1899 00:00:00; the fraction is the time of day.
using TDateTime = double;

enum class TCardinalPoint : std::uint8_t { cpNorth = 0, cpSouth = 1, cpEast = 2, cpWest = 3 };

enum class TNMEACommand : std::uint8_t {
    GPGLL = 0, GPGGA = 1, GPVTG = 2, GPRMC = 3, GPGSA = 4,
    GPGSV = 5, GPZDA = 6, GPWPL = 7, GPRTE = 8, GPAAM = 9, AllNMEA = 10,
};

// A set of sentence kinds, stored as a 16-bit mask: bit n is the kind of value n.
class TNMEACommands {
public:
    constexpr TNMEACommands() = default;
    constexpr TNMEACommands(std::initializer_list<TNMEACommand> kinds) {
        for (const TNMEACommand kind : kinds) {
            Include(kind);
        }
    }
    static constexpr TNMEACommands FromMask(std::uint16_t mask) {
        TNMEACommands set;
        set.FMask = mask & kValidBits;
        return set;
    }
    // All eleven members, AllNMEA included.
    static constexpr TNMEACommands All() { return FromMask(kValidBits); }

    constexpr std::uint16_t Mask() const { return FMask; }
    constexpr bool Contains(TNMEACommand kind) const { return (FMask & Bit(kind)) != 0; }
    constexpr bool Empty() const { return FMask == 0; }
    constexpr void Include(TNMEACommand kind) { FMask |= Bit(kind); }
    constexpr void Exclude(TNMEACommand kind) { FMask &= static_cast<std::uint16_t>(~Bit(kind)); }
    // A kind is selected when it or AllNMEA is a member.
    constexpr bool Selects(TNMEACommand kind) const {
        return Contains(kind) || Contains(TNMEACommand::AllNMEA);
    }

    friend constexpr bool operator==(TNMEACommands, TNMEACommands) = default;

private:
    static constexpr std::uint16_t kValidBits = 0x07FF;
    static constexpr std::uint16_t Bit(TNMEACommand kind) {
        return static_cast<std::uint16_t>(1u << static_cast<unsigned>(kind));
    }
    std::uint16_t FMask = 0;
};

}  // namespace kovra
