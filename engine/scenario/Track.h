// A recorded track sailed at its times: where the vessel is between two
// points, and how fast and on what course it goes there.
#pragma once

#include <vector>

#include "engine/scenario/Gpx.h"
#include "engine/scenario/World.h"

namespace kovra::engine {

class TrackSailor {
public:
    // Faster than this is no vessel: the speed is held there (knots, as the
    // live view's control allows).
    static constexpr double kMaxSpeedKnots = 1000;

    // SettingError when the track has fewer than two points or a point
    // without a time, or when its times go back.
    TrackSailor(GpxTrack track, bool loop);

    TDateTime Start() const { return times_.front(); }
    // Seconds from the first point to the last.
    double Duration() const;
    bool Loops() const { return loop_; }
    // Places the vessel `elapsed` seconds into the track: the position
    // along the geodesic between the two points around that time, speed
    // and course from them, the altitude between their elevations. False
    // once past the last point without a loop.
    bool Place(VesselState& state, double elapsed);
    // Whether the last placing held the speed at kMaxSpeedKnots: points too
    // close in time for the distance between them.
    bool Overspeed() const { return overspeed_; }

private:
    GpxTrack track_;
    std::vector<TDateTime> times_;
    std::vector<double> offsets_;  // seconds of each point from the first
    bool loop_;
    std::size_t segment_ = 0;      // where the last placing was
    bool overspeed_ = false;
};

}  // namespace kovra::engine
