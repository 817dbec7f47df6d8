#include "engine/Simulator.h"

#include <algorithm>
#include <cmath>

#include "engine/Sources.h"
#include "engine/input/Listener.h"
#include "engine/receiver/Classic.h"
#include "nmea/Format.h"

namespace kovra::engine {

namespace {

using kovra::nmea::kMaxSentenceLength;
// Running fast, a log's epochs go out in batches of this much: the bytes are
// the same, the writes far fewer.
constexpr std::size_t kBatch = 64 * 1024;

// Warnings a user needs, each given once.
class Warnings {
public:
    Warnings(const RunSettings& settings, const Notify& notify)
        : notify_(notify), lineBytesPerUpdate_(settings.lineBaud > 0 ? settings.lineBaud / 10.0 / settings.rate : 0) {}

    void Check(const std::string& update) {
        if (!tooMuchForLine_ && lineBytesPerUpdate_ > 0 && static_cast<double>(update.size()) > lineBytesPerUpdate_) {
            tooMuchForLine_ = true;
            notify_("warning: an update of " + std::to_string(update.size()) +
                    " bytes does not fit the line: at this baud and update rate it carries " +
                    std::to_string(static_cast<long>(lineBytesPerUpdate_)) + " bytes an update");
        }
        std::size_t start = 0;
        while (!tooLong_ && start < update.size()) {
            const std::size_t end = update.find('\n', start);
            const std::size_t length = (end == std::string::npos ? update.size() : end + 1) - start;
            const bool sentence = update[start] == '$' || update[start] == '!';  // not UBX, which has no lines
            if (length > kMaxSentenceLength && sentence) {
                tooLong_ = true;
                notify_("warning: " + update.substr(start, 6) + " sentence of " + std::to_string(length) +
                        " characters exceeds NMEA 0183's 82 (it is sent as built)");
            }
            start += length;
        }
    }

private:
    const Notify& notify_;
    double lineBytesPerUpdate_;
    bool tooMuchForLine_ = false;
    bool tooLong_ = false;
};

// The first vessel as the plan and the generator's state give it.
// A realistic receiver's arrival circle is the one its route is followed by.
void PlanFirstVessel(Vessel& v, const Plan& plan, bool tracked, const RealisticSettings* realistic) {
    v.limits = plan.limits.value_or(realistic != nullptr ? kVesselDynamics : Dynamics{});
    v.arrivalRadiusNm = realistic != nullptr ? realistic->arrivalRadiusNm : 0;
    v.loop = plan.loop;
    v.moves = plan.move;
    v.autopilot = plan.autopilot;
    v.water = plan.water;
    v.surroundings = plan.surroundings;
    v.steering = tracked                                         ? Steering::Track
                 : plan.followRoute && !v.progress.route.empty() ? Steering::Route
                                                                 : Steering::Course;
}

// A sounding names a waypoint the vessel's world has: a misspelt one would
// leave the sounder reading the constant depth without a word.
void CheckSoundings(const Vessel& v, const World& world) {
    for (const Sounding& s : v.surroundings.profile) {
        if (world.FindWayPoint(s.waypoint) == nullptr) {
            throw SettingError("depth profile: '" + s.waypoint + "' is not a waypoint");
        }
    }
}

// A target that passes the first vessel as the rule says: its start and
// course worked out from where the first vessel is and how it goes.
void PlaceToCross(Vessel& target, const Vessel& first, const ais::CrossingRule& rule) {
    const ais::Track own{first.state.position, first.state.course, first.state.speed / kMetresPerSecondPerKnot};
    const std::optional<ais::Track> placed = ais::PlaceForCrossing(own, rule);
    if (!placed) {
        throw SettingError(target.name + ": no course at " + nmea::FloatToStr(rule.knots) +
                           " knots passes the first vessel as its rule asks");
    }
    target.state.position = placed->position;
    target.state.course = target.state.heading = target.orderedCourse = placed->course;
    target.state.speed = target.orderedSpeed = rule.knots * kMetresPerSecondPerKnot;
    target.steering = Steering::Course;
}

// The scenario's events as the live view lists them.
std::vector<ViewEvent> ViewEventsOf(const std::vector<Event>& events, const World& world) {
    std::vector<ViewEvent> listed;
    for (const Event& e : events) {
        const auto vessel = std::find_if(world.vessels.begin(), world.vessels.end(),
                                         [&](const Vessel& v) { return v.id == e.vessel; });
        listed.push_back({e.at, vessel != world.vessels.end() ? vessel->name : "all", Described(e.action)});
    }
    std::stable_sort(listed.begin(), listed.end(), [](const ViewEvent& a, const ViewEvent& b) { return a.at < b.at; });
    return listed;
}

// What a device brings to a run: its vessel in the world, its mover, its
// receiver and its faults.
class DeviceParts {
public:
    explicit DeviceParts(std::size_t count) : receivers_(count), faults_(count) {}

    // Its station; none for an AIS target without a receiver.
    std::optional<Station> Join(Simulator::Added& added, std::size_t i, const Timeline& timeline, World& world,
                                std::vector<Mover>& movers, std::vector<AisStation>& ais) {
        Device& d = added.device;
        const World& own = d.start.world;
        Vessel vessel = own.vessels.front();
        PlanFirstVessel(vessel, d.plan, d.track.has_value(), d.realistic ? &*d.realistic : nullptr);
        CheckSoundings(vessel, own);
        vessel.name = d.name;
        vessel.id = static_cast<int>(world.vessels.size());
        if (d.crossing) {
            PlaceToCross(vessel, world.vessels.front(), *d.crossing);
        }
        for (const WayPoint& w : own.waypoints) {
            if (world.FindWayPoint(w.name) == nullptr) {
                world.waypoints.push_back(w);
            }
        }
        for (const Route& r : own.routes) {
            if (world.FindRoute(r.name) == nullptr) {
                world.routes.push_back(r);
            }
        }
        world.vessels.push_back(std::move(vessel));
        movers.push_back(d.track ? Mover(TrackSailor(*d.track, d.plan.loop)) : Mover());
        if (d.ais) {
            ais.push_back({world.vessels.size() - 1, ais::Transponder(*d.ais)});
        }
        if (!d.receiver) {
            return std::nullopt;
        }
        if (d.realistic) {
            receivers_[i] = std::make_unique<RealisticReceiver>(*d.realistic);
        } else {
            receivers_[i] = std::make_unique<DetachedClassicReceiver>(
                d.start, d.plan.deriveMagneticHeading || d.track, timeline.fixedTime);
        }
        if (d.faults) {
            faults_[i] = std::make_unique<FaultInjector>(*d.faults);
        }
        return Station{.vessel = world.vessels.size() - 1,
                       .receiver = receivers_[i].get(),
                       .faults = faults_[i].get(),
                       .outputs = added.outputs};
    }

private:
    std::vector<std::unique_ptr<Receiver>> receivers_;
    std::vector<std::unique_ptr<FaultInjector>> faults_;
};

}  // namespace

// The end of a run, whatever ended it: the count, a stop, a failed output,
// an exception. Complete() ends it and reports what fails; the destructor
// ends a run left by an exception, keeping that exception.
class Simulator::RunEnd {
public:
    RunEnd(Source& source, const std::vector<Observer*>& observers, ProgressReport& progress, const Outputs& outputs,
           const Pacer& pacer, const Notify& notify, bool verbose, const std::uint64_t& sent)
        : source_(source), observers_(observers), progress_(progress), outputs_(outputs), pacer_(pacer),
          notify_(notify), verbose_(verbose), sent_(sent) {}
    RunEnd(const RunEnd&) = delete;
    RunEnd& operator=(const RunEnd&) = delete;
    ~RunEnd() {
        if (!ended_) {
            End([](auto&& step) {
                try {
                    step();
                } catch (...) {  // the run already fails with the error that ended it
                }
            });
        }
    }
    void Complete() {
        ended_ = true;
        End([](auto&& step) { step(); });
    }

private:
    template <typename Guard>
    void End(Guard guard) {
        guard([&] { source_.EndNotices(verbose_); });
        for (Observer* observer : observers_) {
            guard([&] { observer->Finish(); });
        }
        guard([&] { progress_.Finish(source_.Done(sent_)); });
        for (const auto& output : outputs_) {
            guard([&] { output->Finish(); });
        }
        guard([&] { source_.LastNotices(verbose_); });
        if (verbose_ && source_.Summarised()) {
            guard([&] { notify_(pacer_.Summary(sent_)); });
        }
    }

    Source& source_;
    const std::vector<Observer*>& observers_;
    ProgressReport& progress_;
    const Outputs& outputs_;
    const Pacer& pacer_;
    const Notify& notify_;
    bool verbose_;
    const std::uint64_t& sent_;
    bool ended_ = false;
};

Simulator::Simulator(Notify notify) : notify_(std::move(notify)) {}

Simulator::~Simulator() = default;

void Simulator::UseBuiltInScenario() { LoadBuiltInScenario(gps_, plan_); }

void Simulator::AddVessel(Vessel vessel) { moreVessels_.push_back(std::move(vessel)); }

void Simulator::Schedule(Event event) { events_.push_back(std::move(event)); }

void Simulator::UseRealisticOutput(RealisticSettings settings) {
    realistic_ = std::make_unique<RealisticReceiver>(std::move(settings));
}

void Simulator::UseTrack(GpxTrack track, bool loop) {
    track_.emplace(std::move(track), loop);
    if (!plan_.fixedTime) {
        plan_.fixedTime = true;
        plan_.startTime = track_->Start();
    }
    gps_.UseSystemDateTime(false);
    gps_.UTCDateTime(plan_.startTime);
    plan_.followRoute = false;
}

void Simulator::RecordGpx(const std::filesystem::path& file, std::optional<Notify> notify) {
    const World world = WorldFrom(gps_);
    // A file that cannot be written is told now, not after the run.
    recorder_ = std::make_unique<GpxRecorder>(file, world, world.vessels.front().progress.route,
                                              notify.value_or(notify_));
}

void Simulator::RecordTruth(const std::filesystem::path& file, std::optional<Notify> notify) {
    truth_ = std::make_unique<TruthLog>(file, notify.value_or(notify_));
}

void Simulator::UseFaults(FaultSettings settings) { faults_.emplace(std::move(settings)); }

void Simulator::ServeWebView(std::unique_ptr<WebServer> server) { web_ = std::move(server); }

void Simulator::AddOutput(std::unique_ptr<Output> output) {
    firstOutputs_.push_back(output.get());
    outputs_.push_back(std::move(output));
}

void Simulator::UseOwnShipAis(ais::Identity identity) { ownAis_ = std::move(identity); }

void Simulator::AddDevice(Device device) {
    Added added{std::move(device), {}};
    for (std::unique_ptr<Output>& output : added.device.outputs) {
        added.outputs.push_back(output.get());
        outputs_.push_back(std::move(output));
    }
    added.device.outputs.clear();
    devices_.push_back(std::move(added));
}

namespace {

// For a run, the receivers that take commands hear their consumers on
// every output that carries bytes back; what each heard is told at the end.
class Listeners {
public:
    Listeners(std::vector<Station>& stations, const World& world) {
        for (Station& station : stations) {
            const auto* realistic = dynamic_cast<const RealisticReceiver*>(station.receiver);
            const ReceiverModel* model = realistic != nullptr ? FindReceiverModel(realistic->Model()) : nullptr;
            const bool steers = world.vessels[station.vessel].autopilot.has_value();
            if (!steers && (model == nullptr || model->commands == CommandSet::None)) {
                continue;
            }
            std::function<void(const HelmOrder&)> steer;
            if (steers) {
                steer = [&station](const HelmOrder& order) { station.steerAsked = order; };
            }
            input::Listener& listener = *listeners_.emplace_back(std::make_unique<input::Listener>(
                *station.receiver, model != nullptr ? model->commands : CommandSet::None,
                model != nullptr ? model->firmware : Firmware{}, [&station](double rate) { station.rateAsked = rate; },
                std::move(steer)));
            for (std::size_t i = 0; i < station.outputs.size(); ++i) {
                Output& output = *station.outputs[i];
                // Each consumer of each output a stream of its own.
                const std::size_t base = (heard_.size() + 1) << 32;
                output.Listen({[&listener, base](std::size_t consumer, std::string_view bytes) {
                                   input::Listener::Reply reply = listener.Receive(base + consumer, bytes);
                                   return Output::Reply{std::move(reply.bytes), reply.baud};
                               },
                               [&listener, base](std::size_t consumer) { listener.Forget(base + consumer); }});
                heard_.push_back(&output);
            }
        }
    }
    Listeners(const Listeners&) = delete;
    Listeners& operator=(const Listeners&) = delete;
    ~Listeners() {
        for (Output* output : heard_) {
            output->Listen({});
        }
    }

    void Tell(const Notify& notify) const {
        for (const auto& listener : listeners_) {
            if (listener->Total().input.bytes > 0) {
                notify(listener->Summary());
            }
        }
    }

private:
    std::vector<std::unique_ptr<input::Listener>> listeners_;
    std::vector<Output*> heard_;
};

}  // namespace

TDateTime NextEpoch(TDateTime utc, double rate) {
    const double seconds = utc * 86'400;
    // A microsecond's grace: a clock read on the instant is on it.
    return std::ceil(seconds * rate - 1e-6 * rate) / rate / 86'400;
}

void CheckRunSettings(const RunSettings& settings) {
    if (!(settings.rate >= kRates.low && settings.rate <= kRates.high)) {
        throw SettingError("rate " + nmea::FloatToStr(settings.rate) + " is outside 0.001 to 1000 updates a second");
    }
    if (!(settings.speedup >= kSpeedups.low && settings.speedup <= kSpeedups.high)) {
        throw SettingError("speedup " + nmea::FloatToStr(settings.speedup) + " is outside 0.1 to 1000");
    }
    if (settings.duration && !(*settings.duration > kDurations.low && *settings.duration <= kDurations.high)) {
        throw SettingError("duration " + nmea::FloatToStr(*settings.duration) +
                           " s is not above 0 and at most 1e9 seconds");
    }
}

std::uint64_t Simulator::Loop(Source& source, const RunSettings& settings, const Stop& stop,
                               const std::vector<Observer*>& observers) {
    Pacer pacer(*clock_, settings.fast, settings.speedup, outputs_, stop);
    pacer.StartIn(firstUpdateIn_);
    Warnings warnings(settings, notify_);
    ProgressReport progress(settings.progress, *clock_, source.Total(), source.Unit());
    std::uint64_t sent = 0;
    RunEnd end(source, observers, progress, outputs_, pacer, notify_, settings.verbose, sent);
    const Timing timing = source.Pacing();
    std::string batch, damaged;
    Update update;
    bool open = true;
    for (std::uint64_t n = 0; open && !stop.Requested() && !source.Exhausted(n); ++n) {
        if (const std::optional<double> due = source.DueAt(n)) {
            const auto late = faults_ ? faults_->Delay() : std::chrono::nanoseconds(0);
            if (!(settings.fast ? pacer.Breathe(n) : pacer.WaitUntil(*due, late))) {
                break;
            }
        }
        if (!source.Next(n, update)) {
            break;
        }
        if (const std::optional<double> speedup = source.TakeSpeedup()) {
            pacer.ChangeSpeedup(*speedup, update.at);
        }
        if (update.built) {
            warnings.Check(update.bytes);  // what the faults then do on purpose is no warning
        }
        const std::string& out = faults_ ? (damaged = faults_->Damage(update.bytes)) : update.bytes;
        if (timing == Timing::Scheduled) {
            open = WriteAll(firstOutputs_, out);
            open = source.Deliver() && open;
        } else if (timing == Timing::AsItStands) {
            open = WriteAll(firstOutputs_, out) && pacer.Breathe(n + 1);
        } else if (!settings.fast) {
            const auto late = faults_ ? faults_->Delay() : std::chrono::nanoseconds(0);
            open = pacer.WaitUntil(update.at, late) && WriteAll(firstOutputs_, out);
        } else {
            batch += out;
            if (batch.size() >= kBatch) {
                open = WriteAll(firstOutputs_, batch) && pacer.Breathe(n);
                batch.clear();
            }
        }
        ++sent;
        if (timing == Timing::Scheduled && !open) {
            break;  // the reader of standard output is done
        }
        source.Sent(n, out);
        progress.Report(source.Done(sent));
    }
    if (open && !batch.empty()) {
        (void)WriteAll(firstOutputs_, batch);
    }
    end.Complete();
    return sent;
}

std::uint64_t Simulator::Run(const RunSettings& settings, const Stop& stop) {
    CheckRunSettings(settings);
    const double period = 1.0 / settings.rate;  // simulated seconds between updates
    std::uint64_t limit = settings.count;
    if (settings.duration) {
        const auto updates = static_cast<std::uint64_t>(std::ceil(*settings.duration * settings.rate - 1e-9));
        limit = limit == 0 ? std::max<std::uint64_t>(updates, 1) : std::min(limit, std::max<std::uint64_t>(updates, 1));
    }
    if (track_ && !track_->Loops()) {
        // The track's last point ends the run.
        const auto points = static_cast<std::uint64_t>(std::floor((track_->Duration() + 1e-3) / period)) + 1;
        limit = limit == 0 ? points : std::min(limit, points);
    }
    // Faster or slower than the wall clock (or so at any moment from the
    // live view), the sentences' clock follows simulated time from the
    // system clock's now. A receiver's does so always, from the next instant
    // of its rate (whole seconds at 1 Hz, .0/.2/.4 at 5 Hz), as receivers
    // align their epochs; the first update waits for it.
    firstUpdateIn_ = std::chrono::nanoseconds(0);
    if ((settings.fast || settings.speedup != 1 || web_ || realistic_) && !plan_.fixedTime) {
        plan_.fixedTime = true;
        const TDateTime now = realistic_ ? clock_->Utc() : gps_.GetUTCDateTime();
        plan_.startTime = realistic_ ? NextEpoch(now, settings.rate) : now;
        if (!settings.fast) {
            firstUpdateIn_ = std::chrono::nanoseconds(std::llround((plan_.startTime - now) * 86'400e9));
        }
        gps_.UseSystemDateTime(false);
        gps_.UTCDateTime(plan_.startTime);
    }
    Timeline timeline;
    timeline.rate = settings.rate;
    timeline.speedup = settings.speedup;
    timeline.fixedTime = plan_.fixedTime;
    timeline.start = plan_.startTime;
    for (const Event& event : events_) {
        timeline.Add(event);
        if (event.action.chances.Any() && !faults_) {
            faults_.emplace(FaultSettings{});  // chances that start at an event start from none
        }
    }
    world_ = WorldFrom(gps_);
    PlanFirstVessel(world_.vessels.front(), plan_, track_.has_value(), realistic_ ? &realistic_->Settings() : nullptr);
    CheckSoundings(world_.vessels.front(), world_);
    if (!plan_.name.empty()) {
        world_.vessels.front().name = plan_.name;
    }
    std::vector<Mover> movers(1, track_ ? Mover(*track_) : Mover());
    for (const Vessel& vessel : moreVessels_) {
        world_.vessels.push_back(vessel);
        world_.vessels.back().id = static_cast<int>(world_.vessels.size() - 1);
        movers.emplace_back();
    }
    ClassicReceiver classic(gps_, plan_.deriveMagneticHeading || track_.has_value(), plan_.fixedTime);
    engine::Receiver& receiver = realistic_ ? static_cast<engine::Receiver&>(*realistic_) : classic;
    std::vector<Station> stations{{.vessel = 0, .receiver = &receiver, .faults = faults_ ? &*faults_ : nullptr,
                                   .outputs = firstOutputs_}};
    std::vector<AisStation> ais;
    if (ownAis_) {
        ais::Identity own = *ownAis_;
        own.own = true;
        ais.push_back({0, ais::Transponder(std::move(own))});
    }
    DeviceParts parts(devices_.size());
    std::vector<std::size_t> vesselOfDevice;
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        vesselOfDevice.push_back(world_.vessels.size());
        if (std::optional<Station> station = parts.Join(devices_[i], i, timeline, world_, movers, ais)) {
            stations.push_back(std::move(*station));
        }
    }
    // The observers, in the order they see each update.
    std::vector<Observer*> observers;
    std::optional<RecordingObserver> recording;
    std::optional<LiveViewObserver> liveView;
    std::optional<StatusLineObserver> statusLine;
    std::optional<TruthObserver> truth;
    if (truth_) {
        observers.push_back(&truth.emplace(*truth_));
    }
    if (recorder_) {
        observers.push_back(&recording.emplace(*recorder_));
    }
    if (web_) {
        observers.push_back(&liveView.emplace(*web_, ViewEventsOf(events_, world_)));
    }
    if (settings.verbose) {
        observers.push_back(&statusLine.emplace(notify_));
    }
    std::vector<Itinerary> itineraries(world_.vessels.size());
    itineraries.front().legs = plan_.legs;
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        itineraries[vesselOfDevice[i]].legs = devices_[i].device.plan.legs;
    }
    SimulatedSource source(
        {world_, timeline, movers, itineraries, stations, ais, *clock_, web_.get(), observers, notify_, limit});
    const Listeners listeners(stations, world_);
    const std::uint64_t sent = Loop(source, settings, stop, observers);
    if (settings.verbose) {
        listeners.Tell(notify_);
    }
    return sent;
}

std::uint64_t Simulator::Replay(NmeaLog& log, bool loop, const RunSettings& settings, const Stop& stop) {
    CheckRunSettings(settings);
    // Fast, whole and unbounded: the log goes out as it stands.
    const bool asItStands =
        settings.fast && !log.DropsBadChecksums() && settings.count == 0 && !settings.duration && !faults_;
    ReplaySource source(log, {loop, asItStands, 1.0 / settings.rate, settings.count, settings.duration},
                        faults_ ? &*faults_ : nullptr, notify_);
    return Loop(source, settings, stop, {});
}

}  // namespace kovra::engine
