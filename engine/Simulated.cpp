// The simulated source: events, motion, the receiver's reading with the
// faults that act on it, and the observers of each update.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <utility>

#include "engine/Pacing.h"
#include "engine/Sources.h"

namespace kovra::engine {

namespace {

// Sentences carry four-digit years: the clock stops at the end of 9999.
const TDateTime kEndOfYear9999 = EncodeDateTime(9999, 12, 31, 0, 0) + 1;

}  // namespace

bool SimulatedSource::Next(std::uint64_t n, Update& update) {
    const double elapsed = p_.timeline.Elapsed(n);
    if (p_.web != nullptr) {
        for (const ControlRequest& r : p_.web->TakeRequests()) {
            // A request from the page is an event for this update, for the vessel it names.
            p_.timeline.Add({elapsed, VesselNamed(r.vessel),
                             {.course = r.course, .speed = r.speed, .goTo = r.goTo, .route = r.route,
                              .pause = r.pause, .outage = r.outage, .speedup = r.speedup, .atOnce = true}});
        }
    }
    for (Station& station : p_.stations) {
        station.applied.clear();
    }
    for (const Event& event : p_.timeline.TakeDue(elapsed)) {
        if (event.action.stop) {
            return false;
        }
        Apply(event);
    }
    for (std::size_t i = 0; i < p_.itineraries.size() && !p_.timeline.paused; ++i) {
        FollowLegs(p_.world.vessels[i], p_.itineraries[i], elapsed);
    }
    for (Station& station : p_.stations) {
        Steer(station, elapsed);
    }
    const double step = n > 0 ? p_.timeline.Period() : 0;
    for (std::size_t i = 0; i < p_.world.vessels.size() && !p_.timeline.paused; ++i) {
        if (!p_.movers[i].Advance(p_.world.vessels[i], p_.world, elapsed, step)) {
            return false;
        }
    }
    utc_ = p_.timeline.fixedTime ? p_.timeline.At(elapsed) : p_.clock.Utc();
    for (Observer* observer : p_.observers) {
        observer->Moved(p_.world, utc_, elapsed);
    }
    if (utc_ >= kEndOfYear9999) {
        p_.notify("the simulated clock has reached the end of the year 9999; the run ends there");
        return false;
    }
    const TrackSailor* track = p_.movers.front().Track();
    if (track != nullptr && track->Overspeed() && !overspeedTold_) {
        overspeedTold_ = true;
        p_.notify("warning: the track's points lie too close in time for a vessel: its speed is held at 1000 knots");
    }
    for (Station& station : p_.stations) {
        Receive(station, elapsed, utc_);
    }
    update.bytes = p_.stations.front().built;
    SendAis(elapsed, utc_, update.bytes);
    update.at = elapsed;
    update.built = true;
    for (Station& station : p_.stations) {
        if (const std::optional<double> rate = std::exchange(station.rateAsked, std::nullopt)) {
            p_.timeline.ChangeRate(*rate, n);  // the run keeps one pace: its receivers' last asked
        }
    }
    return true;
}

// A course to steer heard since the last update turns the vessel within its
// rate of turn (XTE corrects the course last told); once the sentences have
// been silent for the autopilot's time it holds its course, as autopilots do.
void SimulatedSource::Steer(Station& station, double elapsed) {
    Vessel& v = p_.world.vessels[station.vessel];
    if (!v.autopilot) {
        return;
    }
    const auto degrees = [](double value) {  // 045.0, whatever the host's locale
        const long tenths = std::lround(value * 10) % 3600;
        const std::string digits = std::to_string(tenths / 10);
        return std::string(3 - std::min<std::size_t>(3, digits.size()), '0') + digits + "." + std::to_string(tenths % 10);
    };
    if (const std::optional<HelmOrder> order = std::exchange(station.steerAsked, std::nullopt)) {
        const double base = v.autopilotCourse.value_or(v.state.course);
        v.autopilotCourse = order->course ? *order->course : base;
        v.orderedCourse = Normalized360(order->course.value_or(base + order->correction));
        if (v.limits.rateOfTurn <= 0 || !v.moves) {
            v.state.course = v.state.heading = v.orderedCourse;
        }
        if (v.steering == Steering::Route) {
            v.steering = Steering::Course;  // the autopilot steers now, not the route
        }
        v.autopilotHeardAt = elapsed;
        station.applied.push_back("autopilot " + order->from + ": steering " + degrees(v.orderedCourse));
    } else if (v.autopilotHeardAt && elapsed - *v.autopilotHeardAt > *v.autopilot + 1e-9) {
        v.autopilotHeardAt.reset();
        v.autopilotCourse.reset();
        station.applied.push_back("autopilot silent: holding " + degrees(v.orderedCourse));
    }
}

int SimulatedSource::VesselNamed(const std::optional<std::string>& name) const {
    for (const Station& s : p_.stations) {
        const Vessel& v = p_.world.vessels[s.vessel];
        if (!name || v.name == *name) {
            return v.id;
        }
    }
    return p_.world.vessels.front().id;
}

void SimulatedSource::Apply(const Event& event) {
    const Action& a = event.action;
    if (a.pause) {
        p_.timeline.paused = *a.pause;
    }
    for (Station& station : p_.stations) {
        if (event.vessel >= 0 && p_.world.vessels[station.vessel].id != event.vessel) {
            continue;
        }
        station.applied.push_back(Described(a));
        station.outage = a.outage.value_or(station.outage);
        station.frozen = a.freeze.value_or(station.frozen);
        if (a.chances.Any() && station.faults != nullptr) {
            station.faults->Change(a.chances);
        }
    }
    if (a.speedup) {
        p_.timeline.speedup = *a.speedup;
        speedup_ = *a.speedup;
    }
    for (Vessel& vessel : p_.world.vessels) {
        if (event.vessel < 0 || vessel.id == event.vessel) {
            ApplyTo(vessel, a);
        }
    }
}

// Orders change; the vessel and its progress along a route stay, unless a
// new way of steering starts a route afresh.
void SimulatedSource::ApplyTo(Vessel& v, const Action& a) {
    const bool tracked = v.steering == Steering::Track;
    v.surroundings.depth = a.depth ? a.depth : v.surroundings.depth;
    v.surroundings.wind = a.wind ? a.wind : v.surroundings.wind;
    if (a.current) {
        v.water.set = a.current->set;
        v.water.drift = a.current->drift;
    }
    if (a.course) {
        v.orderedCourse = Normalized360(*a.course);
        if (a.atOnce || v.limits.rateOfTurn <= 0 || !v.moves) {
            v.state.course = v.state.heading = v.orderedCourse;
            v.state.rateOfTurn = 0;
        }
        v.steering = tracked ? v.steering : Steering::Course;  // steered by hand from now on
    }
    if (a.speed) {
        v.orderedSpeed = *a.speed * kMetresPerSecondPerKnot;
        if (a.atOnce || v.limits.acceleration <= 0 || !v.moves) {
            v.state.speed = v.orderedSpeed;
        }
    }
    if (a.goTo) {
        // Each vessel its own: two vessels going to two waypoints must not share one.
        const std::string name = v.id == 0 ? "GOTO" : "GOTO-" + std::to_string(v.id);
        p_.world.PutRoute({name, {*a.goTo}});
        v.progress = {name, 0, false, v.progress.arrivals};
        v.steering = tracked ? v.steering : Steering::Route;
    } else if (a.route) {
        v.progress = {*a.route, 0, false, v.progress.arrivals};
        v.steering = tracked ? v.steering : Steering::Route;
    }
    if (a.rateOfTurn) {
        v.limits.rateOfTurn = *a.rateOfTurn;
    }
    if (a.altitude) {
        v.orderedAltitude = *a.altitude;
        if (a.atOnce || v.limits.climbRate <= 0 || !v.moves) {
            v.state.altitude = *a.altitude;
        }
    }
    for (const Gnss system : a.systemsOff) {
        if (std::find(v.systemsOff.begin(), v.systemsOff.end(), system) == v.systemsOff.end()) {
            v.systemsOff.push_back(system);
        }
    }
    for (const Gnss system : a.systemsOn) {
        std::erase(v.systemsOff, system);
    }
}

void SimulatedSource::FollowLegs(Vessel& v, Itinerary& it, double elapsed) {
    for (std::size_t guard = 0; guard <= it.legs.size() && it.current < it.legs.size(); ++guard) {
        const Leg& leg = it.legs[it.current];
        if (!it.started) {
            // A leg without a speed goes on at the last one given: arriving
            // at the end of a route stops the vessel, the next leg does not.
            it.cruise = leg.action.speed ? leg.action.speed : it.cruise.value_or(v.orderedSpeed / kMetresPerSecondPerKnot);
            Action orders = leg.action;
            orders.speed = it.cruise;
            orders.atOnce = elapsed == 0 && it.current == 0;  // the first leg is how the vessel starts
            ApplyTo(v, orders);
            it.started = true;
            it.since = elapsed;
            return;
        }
        const bool timeUp = leg.seconds && elapsed >= it.since + *leg.seconds - 1e-9;
        const bool arrived = (leg.action.goTo || leg.action.route) && v.progress.arrived;
        if (!timeUp && !arrived) {
            return;
        }
        if (it.current + 1 == it.legs.size() && !leg.seconds) {
            return;  // the last leg holds on
        }
        ++it.current;
        it.started = false;
    }
}

// The update as the station's receiver builds it, with the outage, freeze
// and noise in force on a copy of what it sees (what a line does to it
// comes after).
void SimulatedSource::Receive(Station& s, double elapsed, TDateTime utc) {
    FaultInjector* faults = s.faults;
    s.wasOutage = s.outage || (faults != nullptr && faults->InOutage(elapsed));
    s.wasFrozen = (s.frozen || (faults != nullptr && faults->Frozen(elapsed))) && !s.built.empty();
    if (faults != nullptr) {
        faults->CountUpdate(s.wasOutage, s.wasFrozen);
    }
    if (s.wasFrozen) {
        return;
    }
    const Vessel& truth = p_.world.vessels[s.vessel];
    const auto [east, north] = faults != nullptr ? faults->Noise(elapsed) : std::pair<double, double>{0, 0};
    const bool paused = p_.timeline.paused;
    if (east == 0 && north == 0 && !paused) {
        s.seen = truth.state;
        s.built = s.receiver->Update({p_.world, truth, utc, elapsed, s.wasOutage});
        return;
    }
    Vessel seen = truth;
    if (paused) {  // the vessel lies still, and reports so
        seen.state.speed = seen.state.waterSpeed = seen.state.rateOfTurn = seen.state.verticalSpeed = 0;
    }
    double course = 0;
    if (east != 0 || north != 0) {
        seen.state.position = Destination(truth.state.position, std::atan2(east, north) * 180 / std::numbers::pi,
                                          std::hypot(east, north) / kMetresPerNauticalMile, course);
    }
    s.seen = seen.state;
    s.built = s.receiver->Update({p_.world, seen, utc, elapsed, s.wasOutage});
}

void SimulatedSource::SendAis(double elapsed, TDateTime utc, std::string& out) {
    if (p_.ais.empty()) {
        return;
    }
    const DecodedDateTime t = DecodeDateTime(utc);
    FaultInjector* faults = p_.stations.front().faults;
    std::string sent;
    for (AisStation& station : p_.ais) {
        const Vessel& v = p_.world.vessels[station.vessel];
        station.transponder.Send({.elapsed = elapsed,
                                  .position = v.state.position,
                                  .course = v.state.course,
                                  .knots = v.state.speed / kMetresPerSecondPerKnot,
                                  .heading = v.state.heading,
                                  .rateOfTurn = v.state.rateOfTurn,
                                  .altitude = v.state.altitude,
                                  .second = t.second,
                                  .year = t.year,
                                  .month = t.month,
                                  .day = t.day,
                                  .hour = t.hour,
                                  .minute = t.minute},
                                 sent);
    }
    if (faults == nullptr || !faults->DamagesAis()) {
        out += sent;
        return;
    }
    // Message by message: a message ends with the sentence numbered as its
    // count ("!AIVDM,2,2,"); every sentence the transponder writes is whole.
    std::size_t start = 0;
    for (std::size_t line = 0; line < sent.size();) {
        const std::size_t newline = sent.find('\n', line);
        const std::size_t next = newline == std::string::npos ? sent.size() : newline + 1;
        const bool last = next - line < 10 || sent[line + 7] == sent[line + 9];
        line = next;
        if (last) {
            out += faults->DamageAis(std::string_view(sent).substr(start, next - start));
            start = next;
        }
    }
    out += std::string_view(sent).substr(start);
}

bool SimulatedSource::Deliver() {
    bool open = true;
    for (std::size_t i = 1; i < p_.stations.size(); ++i) {
        Station& s = p_.stations[i];
        s.sent = s.faults != nullptr ? s.faults->Damage(s.built) : s.built;
        open = WriteAll(s.outputs, s.sent) && open;
    }
    return open;
}

void SimulatedSource::Sent(std::uint64_t n, std::string_view bytes) {
    const Station& first = p_.stations.front();
    const SentUpdate sent{n + 1,        p_.world,           *first.receiver, utc_,
                          bytes,        p_.timeline.paused, first.outage,    p_.timeline.speedup,
                          &p_.stations, p_.timeline.Elapsed(n), &p_.ais};
    for (Observer* observer : p_.observers) {
        observer->Sent(sent);
    }
}

void SimulatedSource::EndNotices(bool verbose) {
    if (p_.stations.front().faults != nullptr && verbose) {
        p_.notify(p_.stations.front().faults->Summary());
    }
}

}  // namespace kovra::engine
