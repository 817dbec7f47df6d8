// The simulated receiver as a whole: the library's generator with its
// state, the motion between updates, and the outputs the updates go to,
// paced at a rate until a count is reached or a stop is requested.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/run/Errors.h"
#include "engine/faults/Faults.h"
#include "engine/scenario/Gpx.h"
#include "engine/outputs/Outputs.h"
#include "engine/receiver/Realistic.h"
#include "engine/receiver/Replay.h"
#include "engine/scenario/Motion.h"
#include "engine/scenario/BuiltIn.h"
#include "engine/run/Stop.h"
#include "engine/web/WebServer.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra::engine {

// How far a finite run has got.
struct RunProgress {
    double done = 0;
    double total = 0;
    std::string_view unit;   // what done and total count: "updates", "bytes"
    double wallSeconds = 0;  // since the run started
    bool finished = false;
};

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

// Checks the settings: SettingError for a value out of range.
void CheckRunSettings(const RunSettings& settings);

class Simulator {
public:
    // A receiver in the library's default state; notices (warnings, status
    // lines) go to `notify`.
    explicit Simulator(Notify notify = StandardErrorNotify());
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // The receiver's state, to set before the run (and read during it from
    // the same thread's callbacks).
    TKovraNMEAGenerator& Receiver() { return gps_; }
    // How the receiver moves and keeps time between updates.
    Plan& Motion() { return plan_; }
    // The built-in scenario: a vessel leaving Kiel harbour along a route.
    void UseBuiltInScenario();

    // Updates as a multi-system receiver sends them (NMEA 0183 4.11),
    // instead of the library's own sentences.
    void UseRealisticOutput(RealisticSettings settings);
    // The realistic receiver, when in use.
    const RealisticReceiver* Realistic() const { return realistic_ ? &*realistic_ : nullptr; }

    // Sails a track at its recorded times instead of moving by course and
    // speed; the clock starts at its first point unless Motion() fixes a
    // start time, which shifts the whole track. The run ends at its last
    // point unless `loop`.
    void UseTrack(GpxTrack track, bool loop);
    // Records the run as GPX, replacing `file` every 10 s of wall time and
    // at the end.
    void RecordGpx(const std::filesystem::path& file);

    // Injects the faults of `settings` into every update from now on.
    void UseFaults(FaultSettings settings);

    // Publishes every update to the live view and applies its requests
    // from the next update on.
    void ServeWebView(std::unique_ptr<WebServer> server);

    // Every update goes to every output, in the order added.
    void AddOutput(std::unique_ptr<Output> output);

    // Writes updates until settings.count is reached, a stop is requested or
    // the reader of standard output goes away; lets the last one out; returns
    // how many were written. Throws OutputError when an output fails.
    std::uint64_t Run(const RunSettings& settings, const Stop& stop);

    // Sends a recorded NMEA log instead of the simulated state, through
    // every output, with the log's own timing (scaled by settings.speedup;
    // without times at settings.rate); count and duration bound it as they
    // bound a run, `loop` starts it again at its end. Returns the updates sent.
    std::uint64_t Replay(NmeaLog& log, bool loop, const RunSettings& settings, const Stop& stop);

private:
    std::string NextUpdate(double elapsed, std::string& lastUpdate);
    ViewState View(const Navigator& navigator, double speedup) const;
    // Applies the live view's requests; true when the speedup changed.
    bool ApplyRequests(Navigator& navigator, double& speedup);

    TKovraNMEAGenerator gps_;  // first: the outputs may hold it
    Plan plan_;
    std::optional<RealisticReceiver> realistic_;
    std::optional<TrackSailor> track_;
    std::optional<GpxRecorder> recorder_;
    std::optional<FaultInjector> faults_;
    std::unique_ptr<WebServer> web_;
    bool paused_ = false;
    bool forcedOutage_ = false;
    bool overspeedTold_ = false;
    std::vector<std::unique_ptr<Output>> outputs_;
    Notify notify_;
};

}  // namespace kovra::engine
