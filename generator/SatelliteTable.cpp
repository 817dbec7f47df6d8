// The generator's operations on its table of 32 satellites.
#include "generator/KovraNMEAGenerator.h"
#include "foundation/Validation.h"

#include <mutex>

namespace kovra {

void TKovraNMEAGenerator::SetSatellite(std::uint16_t p_PseudoRandomCode, bool p_Active, std::int32_t p_Elevation,
                                       std::int32_t p_Azimuth, std::int32_t p_SignalToNoiseRatio) {
    // All checks first: a rejected call leaves the table as it was.
    using namespace validation;
    const std::pair<bool, std::string_view> checks[] = {
        {IsPseudoRandomCode(p_PseudoRandomCode), kPseudoRandomCode},
        {IsElevation(p_Elevation), kElevation},
        {IsAzimuth(p_Azimuth), kAzimuth},
        {IsSignalToNoiseRatio(p_SignalToNoiseRatio), kSignalToNoiseRatio},
    };
    for (const auto& [valid, message] : checks) {
        if (!valid) {
            throw EKovraNMEAException(message);
        }
    }
    const std::lock_guard lock(FStateLock);
    auto& satellite = FSatellites[p_PseudoRandomCode - 1U];
    if (!satellite) {
        satellite = std::make_unique<TSatellite>(p_PseudoRandomCode);
    }
    satellite->Active(p_Active);
    satellite->SetAzimuth(p_Azimuth);
    satellite->SetElevation(p_Elevation);
    satellite->SetSignalToNoiseRatio(p_SignalToNoiseRatio);
}

std::uint16_t TKovraNMEAGenerator::GetActiveSatellitesCount() const {
    const std::lock_guard lock(FStateLock);
    std::uint16_t count = 0;
    for (const auto& satellite : FSatellites) {
        if (satellite && satellite->Active()) {
            ++count;
        }
    }
    return count;
}

TSatelliteList TKovraNMEAGenerator::GetActiveSatellitesList() const {
    const std::lock_guard lock(FStateLock);
    TSatelliteList list;
    for (const auto& satellite : FSatellites) {
        if (satellite && satellite->Active()) {
            list.push_back(satellite.get());
        }
    }
    return list;
}

TSatelliteList TKovraNMEAGenerator::GetSatellitesList() const {
    const std::lock_guard lock(FStateLock);
    TSatelliteList list;
    for (const auto& satellite : FSatellites) {
        if (satellite) {
            list.push_back(satellite.get());
        }
    }
    return list;
}

void TKovraNMEAGenerator::ResetSatellites() {
    const std::lock_guard lock(FStateLock);
    for (const auto& satellite : FSatellites) {
        if (satellite) {
            satellite->Active(false);
            satellite->SetElevation(0);
            satellite->SetAzimuth(0);
            satellite->SetSignalToNoiseRatio(0);
        }
    }
}

TSatellites TKovraNMEAGenerator::SatelliteTable() const {
    const std::lock_guard lock(FStateLock);
    TSatellites table;
    for (int prn = 1; prn <= TSatellites::kCount; ++prn) {
        table[prn] = FSatellites[static_cast<std::size_t>(prn - 1)].get();
    }
    return table;
}

}  // namespace kovra
