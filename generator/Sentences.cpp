// The generator's sentence operations: take a snapshot and one clock reading,
// then hand both to the pure builders.
#include "generator/KovraNMEAGenerator.h"
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

nmea::NavigationSnapshot TKovraNMEAGenerator::SnapshotLocked(With parts) const {
    nmea::NavigationSnapshot s;
    s.position = FPosition;
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
    const auto wanted = [parts](With part) {
        return (static_cast<unsigned>(parts) & static_cast<unsigned>(part)) != 0;
    };
    if (wanted(With::Satellites)) {
        for (const auto& satellite : FSatellites) {
            if (satellite && satellite->Active()) {
                s.activeSatellites[static_cast<std::size_t>(s.activeCount++)] = {
                    satellite->PseudoRandomCode(), satellite->Elevation(), satellite->Azimuth(),
                    satellite->SignalToNoiseRatio()};
            }
        }
    }
    const TRoute* route = FRoutes->ActiveRoute();
    if (wanted(With::Route) && route != nullptr) {
        // Each name looked up now: routes hold names only.
        nmea::RouteView& view = s.route.emplace();
        view.name = route->Name();
        view.names = route->WayPoints();
        for (const std::string& name : route->WayPoints()) {
            if (const TWayPoint* w = FWayPoints->GetByName(name)) {
                view.wayPoints.push_back({name, w->Name(), w->Position()});
            }
        }
    }
    return s;
}

nmea::NavigationSnapshot TKovraNMEAGenerator::Snapshot() const {
    const std::lock_guard lock(FStateLock);
    return SnapshotLocked(With::Everything);
}

std::string TKovraNMEAGenerator::GetNMEA() const {
    return BuildText(kTypicalEpoch, [this](std::string& out) {
        nmea::AppendNMEA(out, SnapshotLocked(With::Everything), DecodeDateTime(UTCDateTimeLocked()), FCommands);
    });
}

std::string TKovraNMEAGenerator::GetGPZDA() const {
    return BuildText(kTypicalSentence, [this](std::string& out) {
        nmea::AppendGPZDA(out, SnapshotLocked(With::State), DecodeDateTime(UTCDateTimeLocked()));
    });
}

std::string TKovraNMEAGenerator::GetGPGGA() const {
    return BuildText(kTypicalSentence, [this](std::string& out) {
        nmea::AppendGPGGA(out, SnapshotLocked(With::Satellites), DecodeDateTime(UTCDateTimeLocked()));
    });
}

std::string TKovraNMEAGenerator::GetGPGLL() const {
    return BuildText(kTypicalSentence, [this](std::string& out) {
        nmea::AppendGPGLL(out, SnapshotLocked(With::State), DecodeDateTime(UTCDateTimeLocked()));
    });
}

std::string TKovraNMEAGenerator::GetGPRMC() const {
    return BuildText(kTypicalSentence, [this](std::string& out) {
        nmea::AppendGPRMC(out, SnapshotLocked(With::State), DecodeDateTime(UTCDateTimeLocked()));
    });
}

std::string TKovraNMEAGenerator::GetGPVTG() const {
    return BuildText(kTypicalSentence, [this](std::string& out) { nmea::AppendGPVTG(out, SnapshotLocked(With::State)); });
}

std::string TKovraNMEAGenerator::GetGPGSA() const {
    return BuildText(kTypicalSentence, [this](std::string& out) { nmea::AppendGPGSA(out, SnapshotLocked(With::Satellites)); });
}

std::string TKovraNMEAGenerator::GetGPGSV() const {
    return BuildText(kTypicalEpoch, [this](std::string& out) { nmea::AppendGPGSV(out, SnapshotLocked(With::Satellites)); });
}

std::string TKovraNMEAGenerator::GetGPWPL() const {
    return BuildText(kTypicalEpoch, [this](std::string& out) { nmea::AppendGPWPL(out, SnapshotLocked(With::Route)); });
}

std::string TKovraNMEAGenerator::GetGPRTE() const {
    return BuildText(kTypicalSentence, [this](std::string& out) { nmea::AppendGPRTE(out, SnapshotLocked(With::Route)); });
}

std::string TKovraNMEAGenerator::GetGPAAM() const {
    return BuildText(kTypicalSentence, [this](std::string& out) { nmea::AppendGPAAM(out, SnapshotLocked(With::Route)); });
}

}  // namespace kovra
