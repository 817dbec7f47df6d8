// What moves each vessel between updates: its helm (course and speed within
// the vessel's limits), the route follower that sets the course for the
// next waypoint, or a recorded track sailed at its times.
#pragma once

#include <optional>
#include <string>

#include "engine/scenario/Track.h"
#include "engine/scenario/World.h"

namespace kovra::engine {

// The waypoint a vessel steers for, and how far it is.
struct NextWayPoint {
    std::string name;
    double distanceNm = 0;
};
std::optional<NextWayPoint> NextWayPointOf(const Vessel& vessel, const World& world);

// Turns and accelerates the vessel toward its orders for `seconds`, each
// change within its limits (at once where a limit is 0).
void Helm(Vessel& vessel, double seconds);

class Mover {
public:
    Mover() = default;
    // A vessel sailing `track` from the first update on.
    explicit Mover(TrackSailor track) : track_(std::move(track)) {}

    // Moves the vessel from `elapsed - seconds` to `elapsed` seconds into
    // the run; false once its track has ended.
    bool Advance(Vessel& vessel, const World& world, double elapsed, double seconds);
    // Puts the vessel where it is at `elapsed` (a track's point of that
    // time; others stay); false once its track has ended.
    bool Place(Vessel& vessel, double elapsed);
    const TrackSailor* Track() const { return track_ ? &*track_ : nullptr; }

private:
    std::optional<TrackSailor> track_;
};

}  // namespace kovra::engine
