#include "satellites/Satellite.h"

#include <stdexcept>
#include <string>

#include "foundation/Exception.h"
#include "foundation/Validation.h"

namespace kovra {

namespace {
void Require(bool valid, std::string_view message) {
    if (!valid) {
        throw EKovraNMEAException(message);
    }
}

std::size_t SlotOf(int index) {
    if (index < 1 || index > TSatellites::kCount) {
        throw std::out_of_range("satellite index " + std::to_string(index) + " is not between 1 and 32");
    }
    return static_cast<std::size_t>(index - 1);
}
}  // namespace

TSatellite::TSatellite(std::uint16_t p_PseudoRandomCode) : FPseudoRandomCode(p_PseudoRandomCode) {
    Require(validation::IsPseudoRandomCode(p_PseudoRandomCode), validation::kPseudoRandomCode);
}

void TSatellite::SetAzimuth(std::int32_t value) {
    Require(validation::IsAzimuth(value), validation::kAzimuth);
    FAzimuth.store(value, std::memory_order_relaxed);
}

void TSatellite::SetElevation(std::int32_t value) {
    Require(validation::IsElevation(value), validation::kElevation);
    FElevation.store(value, std::memory_order_relaxed);
}

void TSatellite::SetSignalToNoiseRatio(std::int32_t value) {
    Require(validation::IsSignalToNoiseRatio(value), validation::kSignalToNoiseRatio);
    FSignalToNoiseRatio.store(value, std::memory_order_relaxed);
}

TSatellite* TSatellites::operator[](int index) const { return FItems[SlotOf(index)]; }

TSatellite*& TSatellites::operator[](int index) { return FItems[SlotOf(index)]; }

}  // namespace kovra
