#include "engine/Observers.h"

#include "engine/ais/Encounter.h"

#include <algorithm>
#include <cstdio>

#include "engine/scenario/Gpx.h"
#include "engine/scenario/Movers.h"

namespace kovra::engine {

namespace {

constexpr std::int32_t kWebSkyPlotRadius = 150;

}  // namespace

void RecordingObserver::Moved(const World& world, TDateTime utc, double elapsed) {
    recorder_.Add(world.vessels.front().state, utc, elapsed);  // sailed, whatever becomes of the sending
}

ViewState ViewOf(const SentUpdate& u, std::size_t station) {
    const Station* s = u.stations != nullptr && station < u.stations->size() ? &(*u.stations)[station] : nullptr;
    const Vessel& vessel = s != nullptr ? u.world.vessels[s->vessel] : u.world.vessels.front();
    const Receiver& receiver = s != nullptr ? *s->receiver : u.receiver;
    ViewState v;
    v.vessel = vessel.name;
    v.time = IsoTime(u.utc);
    v.lat = vessel.state.position.lat;
    v.lon = vessel.state.position.lon;
    v.alt = vessel.state.altitude;
    v.speed = vessel.state.speed / kMetresPerSecondPerKnot;
    v.course = vessel.state.course;
    const ReportedFix fix = receiver.Fix();
    v.fix = (s != nullptr ? s->wasOutage : u.outage) ? 0 : fix.quality;
    v.hdop = fix.hdop;
    v.pdop = fix.pdop;
    v.vdop = fix.vdop;
    v.satellites = fix.satellites;
    for (const WayPoint& w : u.world.waypoints) {
        v.waypoints.push_back({w.name, w.position.lat, w.position.lon});
    }
    for (const Route& r : u.world.routes) {
        v.routes.push_back(r.name);
    }
    if (const Route* active = u.world.FindRoute(vessel.progress.route)) {
        v.route = active->name;
        v.routePoints = active->points;
        if (const std::optional<NextWayPoint> next = NextWayPointOf(vessel, u.world)) {
            v.next = next->name;
            v.nextDistance = next->distanceNm;
        }
    }
    v.paused = u.paused;
    v.outage = s != nullptr ? s->outage : u.outage;
    v.speedup = u.speedup;
    return v;
}

namespace {

ais::Track TrackOf(const Vessel& v) {
    return {v.state.position, v.state.course, v.state.speed / kMetresPerSecondPerKnot};
}

// Every AIS station but own ship's, seen from own ship (the first vessel).
std::vector<ViewTarget> TargetsOf(const SentUpdate& u) {
    std::vector<ViewTarget> targets;
    if (u.ais == nullptr) {
        return targets;
    }
    const Vessel& own = u.world.vessels.front();
    for (const AisStation& station : *u.ais) {
        if (station.vessel == 0) {
            continue;
        }
        const Vessel& v = u.world.vessels[station.vessel];
        const ais::Identity& id = station.transponder.Id();
        const ais::Approach approach = ais::ClosestApproach(TrackOf(own), TrackOf(v));
        targets.push_back({.mmsi = id.mmsi,
                           .name = id.name,
                           .vessel = v.name,
                           .kind = ais::KindName(id.kind),
                           .test = id.test,
                           .lat = v.state.position.lat,
                           .lon = v.state.position.lon,
                           .speed = v.state.speed / kMetresPerSecondPerKnot,
                           .course = v.state.course,
                           .rangeNm = DistanceNm(own.state.position, v.state.position),
                           .bearing = InitialBearing(own.state.position, v.state.position),
                           .cpaNm = approach.cpaNm,
                           .tcpaSeconds = approach.tcpaSeconds});
    }
    return targets;
}

}  // namespace

void LiveViewObserver::Sent(const SentUpdate& u) {
    static const std::vector<Station> kNone;
    const std::vector<Station>& stations = u.stations != nullptr ? *u.stations : kNone;
    if (names_.size() != std::max<std::size_t>(1, stations.size())) {
        names_.clear();
        for (const Station& s : stations) {
            names_.push_back(u.world.vessels[s.vessel].name);
        }
        if (names_.empty()) {
            names_.push_back(u.world.vessels.front().name);
        }
    }
    const auto receiverOf = [&](std::size_t i) -> const Receiver& {
        return i < stations.size() ? *stations[i].receiver : u.receiver;
    };
    server_.Publish({.vessels = names_,
                     .state = [&](std::size_t i) {
                         return WebServer::Snapshot{ViewOf(u, i), receiverOf(i).SkyPlot(kWebSkyPlotRadius)};
                     },
                     .sentences = [&](std::size_t i) -> std::string_view {
                         return i == 0 || i >= stations.size() ? u.bytes : std::string_view(stations[i].sent);
                     },
                     .world = [&] {
                         std::vector<ViewVessel> vessels;
                         vessels.reserve(stations.size());
                         for (const Station& s : stations) {
                             const Vessel& v = u.world.vessels[s.vessel];
                             vessels.push_back({v.name, v.state.position.lat, v.state.position.lon,
                                                v.state.speed / kMetresPerSecondPerKnot, v.state.course,
                                                s.wasOutage ? 0 : s.receiver->Fix().quality});
                         }
                         return WorldJson(vessels, TargetsOf(u), events_, u.elapsed);
                     }});
}

namespace {

std::vector<std::string> KindsIn(std::string_view bytes) {
    std::vector<std::string> kinds;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t newline = bytes.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? bytes.size() : newline + 1;
        const std::string kind(SentenceKind(bytes.substr(start, end - start)));
        if (!kind.empty() && std::find(kinds.begin(), kinds.end(), kind) == kinds.end()) {
            kinds.push_back(kind);
        }
        start = end;
    }
    return kinds;
}

FaultCounts Less(const FaultCounts& now, const FaultCounts& before) {
    return {now.dropped - before.dropped, now.corrupted - before.corrupted, now.truncated - before.truncated,
            now.garbage - before.garbage, now.extras - before.extras};
}

}  // namespace

namespace {

// A vessel's AIS station as the truth tells it, with its closest approach
// to own ship (the first vessel) unless it is own ship's.
std::optional<TruthRecord::Ais> AisTruthOf(const SentUpdate& u, std::size_t vessel) {
    if (u.ais == nullptr) {
        return std::nullopt;
    }
    for (const AisStation& station : *u.ais) {
        if (station.vessel != vessel) {
            continue;
        }
        TruthRecord::Ais truth{station.transponder.Id().mmsi, station.transponder.Reports()};
        if (vessel != 0) {
            const ais::Approach approach = ais::ClosestApproach(TrackOf(u.world.vessels.front()),
                                                                TrackOf(u.world.vessels[vessel]));
            truth.cpaNm = approach.cpaNm;
            truth.tcpaSeconds = approach.tcpaSeconds;
        }
        return truth;
    }
    return std::nullopt;
}

// What every vessel's line tells: the update, and where the vessel truly is.
TruthRecord TruthOf(const SentUpdate& u, std::size_t vessel) {
    TruthRecord r;
    r.update = u.number;
    r.elapsed = u.elapsed;
    r.utc = u.utc;
    r.vessel = u.world.vessels[vessel].name;
    r.truth = u.world.vessels[vessel].state;
    r.ais = AisTruthOf(u, vessel);
    return r;
}

}  // namespace

void TruthObserver::Sent(const SentUpdate& u) {
    const std::vector<Station>& stations = *u.stations;
    before_.resize(stations.size());
    lastReported_.resize(stations.size());
    for (std::size_t i = 0; i < stations.size(); ++i) {
        const Station& s = stations[i];
        TruthRecord r = TruthOf(u, s.vessel);
        r.fix = s.receiver->Fix();
        r.outage = s.wasOutage;
        r.frozen = s.wasFrozen;
        if (!s.wasFrozen) {
            lastReported_[i] = r.fix.quality > 0 && !s.wasOutage ? std::optional(s.seen.position) : std::nullopt;
        }
        r.reported = lastReported_[i];
        if (s.faults != nullptr) {
            const FaultCounts now = s.faults->Counts();
            r.faults = Less(now, before_[i]);
            before_[i] = now;
        }
        r.events = s.applied;
        for (const Output* output : s.outputs) {
            const std::string passed = output->Passed(i == 0 ? u.bytes : std::string_view(s.sent));
            r.outputs.push_back({output->label, KindsIn(passed), passed.size()});
        }
        log_.Add(r);
    }
    // The AIS targets without a receiver: their truth and their approach.
    if (u.ais == nullptr) {
        return;
    }
    for (const AisStation& station : *u.ais) {
        if (std::any_of(stations.begin(), stations.end(), [&](const Station& s) { return s.vessel == station.vessel; })) {
            continue;
        }
        TruthRecord r = TruthOf(u, station.vessel);
        r.receiver = false;
        log_.Add(r);
    }
}

void StatusLineObserver::Sent(const SentUpdate& u) {
    const Vessel& vessel = u.world.vessels.front();
    const DecodedDateTime t = DecodeDateTime(u.utc);
    const GeoPosition p = DmsOf(vessel.state.position);
    char line[256];
    std::snprintf(line, sizeof line,
                  "#%llu %02d:%02d:%02d.%03d  %02d°%02d'%05.2f\"%c %03d°%02d'%05.2f\"%c  %.1f kn  %.1f°",
                  static_cast<unsigned long long>(u.number), t.hour, t.minute, t.second, t.millisecond, p.latDeg,
                  p.latMin, static_cast<double>(p.latSec), p.latDir == TCardinalPoint::cpNorth ? 'N' : 'S',
                  p.longDeg, p.longMin, static_cast<double>(p.longSec), p.longDir == TCardinalPoint::cpEast ? 'E' : 'W',
                  vessel.state.speed / kMetresPerSecondPerKnot, vessel.state.course);
    std::string status = line;
    if (const std::optional<NextWayPoint> next = NextWayPointOf(vessel, u.world)) {
        char away[64];
        std::snprintf(away, sizeof away, " %.2f nm", next->distanceNm);
        status += "  next " + Printable(next->name) + away;  // a name never reaches the terminal raw
    }
    notify_(status);
}

}  // namespace kovra::engine
