// The generator's sentence operations: take a snapshot and one clock reading,
// then hand both to the pure builders.
#include "core/KovraNMEAGenerator.h"
#include "nmea/Sentences.h"

namespace kovra {

namespace {
// Room for a typical epoch, so the builders append without reallocating.
constexpr std::size_t kTypicalSentence = 512;
constexpr std::size_t kTypicalEpoch = 2048;

}  // namespace

// The snapshot, the clock reading and the building all under the state lock,
// so a sentence never mixes old and new values, nor reads a list being replaced.
template <typename Build>
std::string TKovraNMEAGenerator::BuildText(std::size_t reserve, Build build) const {
    std::string out;
    out.reserve(reserve);
    const std::lock_guard lock(FStateLock);
    build(out);
    return out;
}

nmea::NavigationSnapshot TKovraNMEAGenerator::StateSnapshotLocked() const {
    nmea::NavigationSnapshot s;
    s.position = {FLatDeg, FLatMin, FLatSec, FLatDir, FLongDeg, FLongMin, FLongSec, FLongDir};
    s.speed = FSpeed;
    s.heading = FHeading;
    s.magneticHeading = FMagnetic_Heading;
    s.magneticVariation = FMagnetic_Variation;
    s.magneticVariationDirection = FMagnetic_Variation_Direction;
    s.altitude = FAltitude;
    s.geoHeight = FGeo_Height;
    s.pdop = FPDOP;
    s.hdop = FHDOP;
    s.vdop = FVDOP;
    s.fixQuality = FFixQuality;
    s.activeRoute = FRoutes->ActiveRoute();
    s.wayPoints = FWayPoints.get();
    return s;
}

nmea::NavigationSnapshot TKovraNMEAGenerator::Snapshot() const {
    const std::lock_guard lock(FStateLock);
    return SnapshotLocked();
}

nmea::NavigationSnapshot TKovraNMEAGenerator::SnapshotLocked() const {
    nmea::NavigationSnapshot s = StateSnapshotLocked();
    for (const auto& satellite : FSatellites) {
        if (satellite && satellite->Active()) {
            s.activeSatellites[static_cast<std::size_t>(s.activeCount++)] = {
                satellite->PseudoRandomCode(), satellite->Elevation(), satellite->Azimuth(),
                satellite->SignalToNoiseRatio()};
        }
    }
    return s;
}

std::string TKovraNMEAGenerator::GetNMEA() const {
    return BuildText(kTypicalEpoch, [this](std::string& out) {
        nmea::AppendNMEA(out, SnapshotLocked(), DecodeDateTime(UTCDateTimeLocked()), FCommands);
    });
}

std::string TKovraNMEAGenerator::GetGPZDA() const {
    return BuildText(kTypicalSentence, [this](std::string& out) {
        nmea::AppendGPZDA(out, StateSnapshotLocked(), DecodeDateTime(UTCDateTimeLocked()));
    });
}

std::string TKovraNMEAGenerator::GetGPGGA() const {
    return BuildText(kTypicalSentence, [this](std::string& out) {
        nmea::AppendGPGGA(out, SnapshotLocked(), DecodeDateTime(UTCDateTimeLocked()));
    });
}

std::string TKovraNMEAGenerator::GetGPGLL() const {
    return BuildText(kTypicalSentence, [this](std::string& out) {
        nmea::AppendGPGLL(out, StateSnapshotLocked(), DecodeDateTime(UTCDateTimeLocked()));
    });
}

std::string TKovraNMEAGenerator::GetGPRMC() const {
    return BuildText(kTypicalSentence, [this](std::string& out) {
        nmea::AppendGPRMC(out, StateSnapshotLocked(), DecodeDateTime(UTCDateTimeLocked()));
    });
}

std::string TKovraNMEAGenerator::GetGPVTG() const {
    return BuildText(kTypicalSentence, [this](std::string& out) { nmea::AppendGPVTG(out, StateSnapshotLocked()); });
}

std::string TKovraNMEAGenerator::GetGPGSA() const {
    return BuildText(kTypicalSentence, [this](std::string& out) { nmea::AppendGPGSA(out, SnapshotLocked()); });
}

std::string TKovraNMEAGenerator::GetGPGSV() const {
    return BuildText(kTypicalEpoch, [this](std::string& out) { nmea::AppendGPGSV(out, SnapshotLocked()); });
}

std::string TKovraNMEAGenerator::GetGPWPL() const {
    return BuildText(kTypicalEpoch, [this](std::string& out) { nmea::AppendGPWPL(out, StateSnapshotLocked()); });
}

std::string TKovraNMEAGenerator::GetGPRTE() const {
    return BuildText(kTypicalSentence, [this](std::string& out) { nmea::AppendGPRTE(out, StateSnapshotLocked()); });
}

std::string TKovraNMEAGenerator::GetGPAAM() const {
    return BuildText(kTypicalSentence, [this](std::string& out) { nmea::AppendGPAAM(out, StateSnapshotLocked()); });
}

}  // namespace kovra
