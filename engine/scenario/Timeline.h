// When things happen in a run: the instant it starts, how fast simulated
// time goes, whether it is paused, and the events due at given times,
// applied at the boundary of the update they fall in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/scenario/World.h"
#include "foundation/DateTime.h"

namespace kovra::engine {

// The chances of the faults that act on each sentence; none leaves one as it is.
struct SentenceChances {
    std::optional<double> drop{}, corrupt{}, truncate{}, garbage{};
    bool Any() const { return drop || corrupt || truncate || garbage; }
};

// What an event changes; every field is optional.
struct Action {
    std::optional<double> course{};   // degrees true: steer by hand from now on
    std::optional<double> speed{};    // knots
    std::optional<double> altitude{};     // metres, climbed to within the climb rate
    std::optional<double> rateOfTurn{};   // the vessel's limit from now on, degrees a second
    std::optional<std::string> goTo{};   // a waypoint to steer for
    std::optional<std::string> route{};  // a route to follow from its start
    std::optional<bool> pause{}, outage{}, freeze{};
    std::optional<double> speedup{};
    std::optional<double> depth{};   // metres below the transducer from now on
    std::optional<Wind> wind{};      // the true wind from now on
    std::optional<Water> current{};  // its set and drift from now on (the leeway stays)
    SentenceChances chances{};
    std::vector<Gnss> systemsOff{}, systemsOn{};
    bool stop = false;  // the run ends before this update
    // The course and speed are set at once, as a hand on the simulation
    // sets them (the live view's control); otherwise the vessel turns and
    // changes speed within its limits.
    bool atOnce = false;
};

// "course 90", "outage on", "systems off glonass": what an action does, for the truth.
std::string Described(const Action& action);

struct Event {
    double at = 0;     // seconds of simulated time from the start
    int vessel = -1;   // the vessel's id; -1 for every vessel
    Action action;
};

// A leg of a vessel's motion: its orders (a course and speed, a waypoint to
// go to, a route to follow), held for `seconds`, or, for a waypoint or a
// route, until the vessel arrives; the last leg holds on.
struct Leg {
    Action action;
    std::optional<double> seconds{};
};

// Where a vessel is in its legs.
struct Itinerary {
    std::vector<Leg> legs;
    std::size_t current = 0;  // legs.size() once every leg is done
    bool started = false;     // the current leg's orders given
    double since = 0;         // when they were
    std::optional<double> cruise{};  // knots: the speed of a leg that gives none
};

class Timeline {
public:
    double rate = 1;          // updates a second of simulated time
    double speedup = 1;       // simulated seconds a wall-clock second
    bool paused = false;      // the vessels stand still; the clock goes on
    bool fixedTime = false;   // the clock starts at `start`; otherwise it is the system's
    TDateTime start = 0;

    double Period() const { return 1.0 / rate; }
    double Elapsed(std::uint64_t update) const {
        return since_ + Period() * (static_cast<double>(update) - static_cast<double>(sinceUpdate_));
    }
    // A new rate for the updates after `update` (a receiver told to send faster).
    void ChangeRate(double newRate, std::uint64_t update) {
        since_ = Elapsed(update);
        sinceUpdate_ = update;
        rate = newRate;
    }
    // The sentences' clock at `elapsed` on a fixed clock, to the millisecond.
    TDateTime At(double elapsed) const;

    // Keeps the events in time order; events of one time in the order added.
    void Add(Event event);
    // The events due by `elapsed`, taken from the queue.
    std::vector<Event> TakeDue(double elapsed);

private:
    std::vector<Event> events_;
    double since_ = 0;               // the time of update sinceUpdate_, from which the rate holds
    std::uint64_t sinceUpdate_ = 0;
};

}  // namespace kovra::engine
