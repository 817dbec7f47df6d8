// What watches each update go by without changing it: the live view, the
// GPX recording, the status line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "engine/Station.h"
#include "engine/receiver/Receiver.h"
#include "engine/record/GpxRecorder.h"
#include "engine/record/TruthLog.h"
#include "engine/run/Errors.h"
#include "engine/scenario/World.h"
#include "engine/web/WebServer.h"

namespace kovra::engine {

// One update as it went out.
struct SentUpdate {
    std::uint64_t number = 0;  // from 1
    const World& world;
    const Receiver& receiver;
    TDateTime utc;
    std::string_view bytes;
    bool paused = false;
    bool outage = false;  // forced from the live view
    double speedup = 1;
    const std::vector<Station>* stations = nullptr;  // every receiver's part of the update, the first's first
    double elapsed = 0;                              // seconds of simulated time from the start
    const std::vector<AisStation>* ais = nullptr;    // the AIS stations that sent with it
};

class Observer {
public:
    virtual ~Observer() = default;
    // The world after the vessels moved, before any receiver reports on it.
    virtual void Moved(const World& /*world*/, TDateTime /*utc*/, double /*elapsed*/) {}
    virtual void Sent(const SentUpdate& /*update*/) {}
    // The run is over, however it ended.
    virtual void Finish() {}
};

// Records the first vessel's track.
class RecordingObserver final : public Observer {
public:
    explicit RecordingObserver(GpxRecorder& recorder) : recorder_(recorder) {}
    void Moved(const World& world, TDateTime utc, double elapsed) override;
    void Finish() override { recorder_.Finish(); }

private:
    GpxRecorder& recorder_;
};

// Publishes every update to the live view; its state and sky picture are
// built only when the server asks for them.
// Publishes every update to the live view: the vessels the pages follow,
// every vessel with a receiver on the map, and the scenario's events.
class LiveViewObserver final : public Observer {
public:
    LiveViewObserver(WebServer& server, std::vector<ViewEvent> events) : server_(server), events_(std::move(events)) {}
    void Sent(const SentUpdate& update) override;

private:
    WebServer& server_;
    std::vector<ViewEvent> events_;
    std::vector<std::string> names_;  // of the stations' vessels, the first's first
};

// A status line an update: time, position, speed, course, the next waypoint.
class StatusLineObserver final : public Observer {
public:
    explicit StatusLineObserver(const Notify& notify) : notify_(notify) {}
    void Sent(const SentUpdate& update) override;

private:
    const Notify& notify_;
};

// One line of truth a vessel with a receiver, each update.
class TruthObserver final : public Observer {
public:
    explicit TruthObserver(TruthLog& log) : log_(log) {}
    void Sent(const SentUpdate& update) override;
    void Finish() override { log_.Finish(); }

private:
    TruthLog& log_;
    std::vector<FaultCounts> before_;          // each station's counts after the last update
    std::vector<std::optional<GeoPoint>> lastReported_;  // what a freeze goes on reporting
};

// What the live view shows of an update, for the vessel of a station.
ViewState ViewOf(const SentUpdate& update, std::size_t station = 0);

}  // namespace kovra::engine
