// Where the updates of a run come from: the simulated world with its
// receiver, or a recorded log. The run loop takes them one at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/Observers.h"
#include "engine/Station.h"
#include "engine/faults/Faults.h"
#include "engine/receiver/Receiver.h"
#include "engine/receiver/Replay.h"
#include "engine/run/Clock.h"
#include "engine/scenario/Movers.h"
#include "engine/scenario/Timeline.h"
#include "engine/scenario/World.h"
#include "engine/web/WebServer.h"

namespace kovra::engine {

struct Update {
    std::string bytes;
    double at = 0;       // seconds of simulated time from the start
    bool built = false;  // by a receiver: checked against the line and the sentence length
};

// How a source's updates are paced: at times known before they are built,
// at the times they carry, or as fast as the outputs take them.
enum class Timing : std::uint8_t { Scheduled, Timed, AsItStands };

class Source {
public:
    virtual ~Source() = default;
    virtual Timing Pacing() const = 0;
    // True once update n is past the end, known before waiting for it.
    virtual bool Exhausted(std::uint64_t /*n*/) const { return false; }
    // When update n is due, for a source whose updates are due at times
    // known before they are built; none when it is due as soon as it is read.
    virtual std::optional<double> DueAt(std::uint64_t /*n*/) const { return std::nullopt; }
    // Update n (from 0); false when the source has no more.
    virtual bool Next(std::uint64_t n, Update& update) = 0;
    // A speedup the last update brought (from the live view, an event).
    virtual std::optional<double> TakeSpeedup() { return std::nullopt; }
    // The update's other bytes, each to its own outputs (the other vessels'
    // receivers); false once the reader of standard output has gone.
    virtual bool Deliver() { return true; }
    // After update n went out.
    virtual void Sent(std::uint64_t /*n*/, std::string_view /*bytes*/) {}
    // Progress: what is counted, how much in all (0: unbounded) and done.
    virtual std::string_view Unit() const = 0;
    virtual double Total() const = 0;
    virtual double Done(std::uint64_t sent) const = 0;
    // Notices of its own once the run is over: before the outputs finish, and after.
    virtual void EndNotices(bool /*verbose*/) {}
    virtual void LastNotices(bool /*verbose*/) {}
    // Whether the run's summary counts its updates (a log sent as it stands has none).
    virtual bool Summarised() const { return true; }
};

// The world moved by its movers, reported by the receivers of its
// stations with the faults that act on their reading, steered by the
// timeline's events and the live view's requests. The first station's
// update is the run's; the others' go out through Deliver().
class SimulatedSource final : public Source {
public:
    struct Parts {
        World& world;
        Timeline& timeline;
        std::vector<Mover>& movers;
        std::vector<Itinerary>& itineraries;  // each vessel's legs, in the world's order
        std::vector<Station>& stations;  // the first one's receiver reports the run's update
        std::vector<AisStation>& ais;     // their messages follow the first one's update
        const Clock& clock;
        WebServer* web = nullptr;
        std::vector<Observer*> observers;
        const Notify& notify;
        std::uint64_t limit = 0;  // 0: unbounded
    };
    explicit SimulatedSource(Parts parts) : p_(std::move(parts)) {}

    Timing Pacing() const override { return Timing::Scheduled; }
    bool Exhausted(std::uint64_t n) const override { return p_.limit != 0 && n >= p_.limit; }
    std::optional<double> DueAt(std::uint64_t n) const override {
        return n > 0 ? std::optional(p_.timeline.Elapsed(n)) : std::nullopt;
    }
    bool Next(std::uint64_t n, Update& update) override;
    std::optional<double> TakeSpeedup() override { return std::exchange(speedup_, std::nullopt); }
    bool Deliver() override;
    void Sent(std::uint64_t n, std::string_view bytes) override;
    std::string_view Unit() const override { return "updates"; }
    double Total() const override { return static_cast<double>(p_.limit); }
    double Done(std::uint64_t sent) const override { return static_cast<double>(sent); }
    void EndNotices(bool verbose) override;

private:
    // The id of the vessel with a receiver of that name; the first's for none.
    int VesselNamed(const std::optional<std::string>& name) const;
    void Apply(const Event& event);
    void ApplyTo(Vessel& vessel, const Action& action);
    // The vessel's next leg once the current one is done: its time is up,
    // or the waypoint or route it steered for is reached.
    void FollowLegs(Vessel& vessel, Itinerary& itinerary, double elapsed);
    void Receive(Station& station, double elapsed, TDateTime utc);
    // The autopilot of the station's vessel, by what its consumers sent.
    void Steer(Station& station, double elapsed);
    // What the AIS stations send in this update.
    void SendAis(double elapsed, TDateTime utc, std::string& out);

    Parts p_;
    std::optional<double> speedup_;
    bool overspeedTold_ = false;
    TDateTime utc_ = 0;
};

// A recorded log: its epochs at their own times, or as it stands when
// nothing asks for epochs (fast, whole and unbounded).
class ReplaySource final : public Source {
public:
    struct Settings {
        bool loop = false;
        bool asItStands = false;
        double period = 1;  // seconds between the epochs of a log without times
        std::uint64_t count = 0;
        std::optional<double> duration;
    };
    ReplaySource(NmeaLog& log, Settings settings, FaultInjector* faults, const Notify& notify)
        : log_(log), s_(settings), faults_(faults), notify_(notify) {}

    Timing Pacing() const override { return s_.asItStands ? Timing::AsItStands : Timing::Timed; }
    bool Next(std::uint64_t n, Update& update) override;
    std::string_view Unit() const override { return "bytes"; }
    double Total() const override { return s_.loop ? 0 : static_cast<double>(log_.Size()); }
    double Done(std::uint64_t) const override { return static_cast<double>(log_.BytesRead()); }
    void LastNotices(bool verbose) override;
    bool Summarised() const override { return !s_.asItStands; }

private:
    bool NextLines(Update& update);

    NmeaLog& log_;
    Settings s_;
    FaultInjector* faults_;
    const Notify& notify_;
    double loopStart_ = 0, last_ = 0, firstGap_ = 0;
    std::uint64_t inPass_ = 0;
};

}  // namespace kovra::engine
