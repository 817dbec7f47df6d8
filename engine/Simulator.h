// The simulator as a whole: a world of vessels moved between updates, the
// receiver that reports on it (the library's generator, or the nmea4
// receiver beside it), the faults, the outputs the updates go to and the
// observers of each update, paced by a timeline until a count is reached or
// a stop is requested. Replay runs through the same loop, a recorded log
// taking the place of the world and its receiver.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/Observers.h"
#include "engine/ais/Encounter.h"
#include "engine/ais/Transponder.h"
#include "engine/Pacing.h"
#include "engine/Sources.h"
#include "engine/faults/Faults.h"
#include "engine/outputs/Outputs.h"
#include "engine/record/GpxRecorder.h"
#include "engine/record/TruthLog.h"
#include "engine/receiver/Classic.h"
#include "engine/receiver/Realistic.h"
#include "engine/receiver/Replay.h"
#include "engine/run/Clock.h"
#include "engine/run/Errors.h"
#include "engine/run/Stop.h"
#include "engine/scenario/BuiltIn.h"
#include "engine/scenario/Gpx.h"
#include "engine/scenario/Timeline.h"
#include "engine/scenario/Track.h"
#include "engine/scenario/World.h"
#include "engine/web/WebServer.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra::engine {

struct RunSettings {
    double rate = 1;                 // updates a second of simulated time, 0.001 to 1000
    std::uint64_t count = 0;         // updates to write; 0 runs until stopped
    std::optional<double> duration{};  // seconds of simulated time to run; none runs on
    double speedup = 1;              // simulated seconds per wall-clock second, 0.1 to 1000
    bool fast = false;               // no waiting: each update as soon as the outputs took the last
    int lineBaud = 0;                // a serial line's baud, to warn when an update does not fit it
    bool verbose = false;            // a status line per update, through the notices
    // Told how far a finite run has got, at most 10 times a second and once at the end.
    std::function<void(const RunProgress&)> progress{};
};

// The ranges the settings must lie in (a duration above its low end).
struct SettingRange {
    double low, high;
};
constexpr SettingRange kRates{0.001, 1000};
constexpr SettingRange kSpeedups{0.1, 1000};
constexpr SettingRange kDurations{0, 1e9};

// Checks the settings: SettingError for a value out of range.
void CheckRunSettings(const RunSettings& settings);
// The first instant at or after `utc` on a multiple of 1/rate seconds of the day.
TDateTime NextEpoch(TDateTime utc, double rate);

// Another vessel with a receiver of its own, built as the first one is: its
// receiver's state at the first update and its plan; what it reports goes
// through its own faults to its own outputs.
struct Device {
    std::string name;
    ClassicStart start;  // its generator's state: the classic receiver's, the start of an nmea4 one
    Plan plan;
    std::optional<RealisticSettings> realistic{};  // none: the library's own sentences
    std::optional<FaultSettings> faults{};
    std::optional<GpxTrack> track{};
    Outputs outputs{};
    // The generator an output writes through (a serial port), kept for the run.
    std::unique_ptr<TKovraNMEAGenerator> line{};
    // Its AIS station, whose messages go out with the first vessel's updates.
    std::optional<ais::Identity> ais{};
    // Where it starts and how it steers to pass the first vessel as the rule says.
    std::optional<ais::CrossingRule> crossing{};
    // false: an AIS target only, without a GPS receiver and outputs of its own.
    bool receiver = true;
};

class Simulator {
public:
    // A receiver in the library's default state; notices (warnings, status
    // lines) go to `notify`.
    explicit Simulator(Notify notify = StandardErrorNotify());
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The library's generator: the state of the first vessel and of its
    // receiver, to set before the run (and read during it from the same
    // thread's callbacks).
    TKovraNMEAGenerator& Receiver() { return gps_; }
    // How the first vessel moves and the run keeps time.
    Plan& Motion() { return plan_; }
    // The built-in scenario: a vessel leaving Kiel harbour along a route.
    void UseBuiltInScenario();
    // Another vessel in the world, moving by its own orders, without a receiver.
    void AddVessel(Vessel vessel);
    // Another vessel with its receiver and outputs, after the first and
    // those added before; its waypoints and routes join the world's (a name
    // the world has keeps the world's).
    void AddDevice(Device device);
    // The first vessel's own AIS station, sending !AIVDO with its updates.
    void UseOwnShipAis(ais::Identity identity);
    // An event at its time: a change of course, speed, route, an outage, a pause.
    void Schedule(Event event);
    // The world as the last run left it.
    const World& CurrentWorld() const { return world_; }
    // The clock the run is paced by: the system's unless a host brings its own.
    void UseClock(Clock& clock) { clock_ = &clock; }

    // Updates as a multi-system receiver sends them (NMEA 0183 4.11),
    // instead of the library's own sentences.
    void UseRealisticOutput(RealisticSettings settings);
    // The realistic receiver, when in use.
    const RealisticReceiver* Realistic() const { return realistic_.get(); }

    // Sails a track at its recorded times instead of moving by course and
    // speed; the clock starts at its first point unless Motion() fixes a
    // start time, which shifts the whole track. The run ends at its last
    // point unless `loop`.
    void UseTrack(GpxTrack track, bool loop);
    // Records the run as GPX, whole after every flush (every 10 s of wall
    // time) and at the end; OutputError when the file cannot be started.
    void RecordGpx(const std::filesystem::path& file, std::optional<Notify> notify = std::nullopt);

    // Writes the truth of every vessel with a receiver, each update, as JSON
    // Lines; OutputError when the file cannot be started.
    void RecordTruth(const std::filesystem::path& file, std::optional<Notify> notify = std::nullopt);

    // Injects the faults of `settings` into every update from now on.
    void UseFaults(FaultSettings settings);

    // Publishes every update to the live view and applies its requests
    // from the next update on.
    void ServeWebView(std::unique_ptr<WebServer> server);

    // The first vessel's updates go to every output added here, in the order added.
    void AddOutput(std::unique_ptr<Output> output);

    // Writes updates until settings.count is reached, a stop is requested or
    // the reader of standard output goes away; lets the last one out; returns
    // how many were written. Throws OutputError when an output fails; the
    // recording and the outputs are finished whatever ended the run.
    std::uint64_t Run(const RunSettings& settings, const Stop& stop);

    // Sends a recorded NMEA log instead of the simulated state, through
    // every output, with the log's own timing (scaled by settings.speedup;
    // without times at settings.rate); count and duration bound it as they
    // bound a run, `loop` starts it again at its end. Returns the updates sent.
    std::uint64_t Replay(NmeaLog& log, bool loop, const RunSettings& settings, const Stop& stop);

    // A device as added, its outputs among the simulator's.
    struct Added {
        Device device;
        std::vector<Output*> outputs;
    };

private:
    class RunEnd;

    std::uint64_t Loop(Source& source, const RunSettings& settings, const Stop& stop,
                       const std::vector<Observer*>& observers);

    TKovraNMEAGenerator gps_;  // first: the outputs may hold it
    Plan plan_;
    World world_;
    std::vector<Vessel> moreVessels_;
    std::vector<Added> devices_;
    std::vector<Event> events_;
    std::optional<ais::Identity> ownAis_;
    std::unique_ptr<RealisticReceiver> realistic_;
    std::optional<TrackSailor> track_;
    std::unique_ptr<GpxRecorder> recorder_;
    std::unique_ptr<TruthLog> truth_;
    std::optional<FaultInjector> faults_;
    std::unique_ptr<WebServer> web_;
    Outputs outputs_;            // every output, the devices' too: served and finished together
    std::vector<Output*> firstOutputs_;  // the first vessel's
    SystemClock systemClock_;
    Clock* clock_ = &systemClock_;
    std::chrono::nanoseconds firstUpdateIn_{0};  // from the run's start to its first update
    Notify notify_;
};

}  // namespace kovra::engine
