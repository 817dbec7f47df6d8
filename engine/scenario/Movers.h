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

class Mover {
public:
    Mover() = default;
    // A vessel sailing `track` from the first update on.
    explicit Mover(TrackSailor track) : track_(std::move(track)) {}

    // Moves the vessel from `elapsed - seconds` to `elapsed` seconds into
    // the run (a track places it at `elapsed`, the first update included;
    // nothing else moves in no time); false once its track has ended.
    bool Advance(Vessel& vessel, const World& world, double elapsed, double seconds);
    const TrackSailor* Track() const { return track_ ? &*track_ : nullptr; }

private:
    bool AdvanceOverGround(Vessel& vessel, const World& world, double elapsed, double seconds);
    std::optional<TrackSailor> track_;
};

}  // namespace kovra::engine
