// One satellite of the simulated constellation, and the fixed table of 32.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "foundation/Export.h"

namespace kovra {

// Each value may be read while another thread sets it; a sentence that
// needs the values of several satellites at once takes them through the
// generator, which keeps them consistent.
class KOVRA_API TSatellite {
public:
    // Throws EKovraNMEAException unless 1 <= p_PseudoRandomCode <= 32.
    explicit TSatellite(std::uint16_t p_PseudoRandomCode);

    std::uint16_t PseudoRandomCode() const { return FPseudoRandomCode; }
    bool Active() const { return FActive.load(std::memory_order_relaxed); }
    void Active(bool value) { FActive.store(value, std::memory_order_relaxed); }
    std::int32_t Azimuth() const { return FAzimuth.load(std::memory_order_relaxed); }
    void Azimuth(std::int32_t value) { SetAzimuth(value); }
    std::int32_t Elevation() const { return FElevation.load(std::memory_order_relaxed); }
    void Elevation(std::int32_t value) { SetElevation(value); }
    std::int32_t SignalToNoiseRatio() const { return FSignalToNoiseRatio.load(std::memory_order_relaxed); }
    void SignalToNoiseRatio(std::int32_t value) { SetSignalToNoiseRatio(value); }

    // 0 to 359.
    void SetAzimuth(std::int32_t value);
    // 0 to 90.
    void SetElevation(std::int32_t value);
    // 0 to 99.
    void SetSignalToNoiseRatio(std::int32_t value);

private:
    std::uint16_t FPseudoRandomCode;
    std::atomic<bool> FActive{false};
    std::atomic<std::int32_t> FAzimuth{0};
    std::atomic<std::int32_t> FElevation{0};
    std::atomic<std::int32_t> FSignalToNoiseRatio{0};
};

// A copy of the generator's table: 32 borrowed references indexed 1 to 32.
class KOVRA_API TSatellites {
public:
    static constexpr int kCount = 32;

    TSatellites() = default;
    // Index 1 to 32; anything else throws std::out_of_range.
    TSatellite* operator[](int index) const;
    TSatellite*& operator[](int index);

private:
    std::array<TSatellite*, kCount> FItems{};
};

// A list the caller owns, of satellites the generator keeps owning.
using TSatelliteList = std::vector<TSatellite*>;

}  // namespace kovra
