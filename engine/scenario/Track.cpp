#include "engine/scenario/Track.h"

#include <algorithm>
#include <cmath>

#include "engine/run/Errors.h"

namespace kovra::engine {

namespace {

constexpr double kSecondsPerDay = 86'400;
// Times in a file are kept to the millisecond; a date-time as a double to about a microsecond.
constexpr double kTimeTolerance = 1e-3;

}  // namespace

TrackSailor::TrackSailor(GpxTrack track, bool loop) : track_(std::move(track)), loop_(loop) {
    const std::string name = "track '" + Printable(track_.name) + "'";
    if (track_.points.size() < 2) {
        throw SettingError(name + " has fewer than two points to sail between");
    }
    for (std::size_t i = 0; i < track_.points.size(); ++i) {
        const std::optional<TDateTime>& time = track_.points[i].time;
        if (!time) {
            throw SettingError(name + ": point " + std::to_string(i + 1) + " has no <time>");
        }
        if (!times_.empty() && *time < times_.back()) {
            throw SettingError(name + ": the time of point " + std::to_string(i + 1) + " goes back");
        }
        times_.push_back(*time);
        offsets_.push_back((*time - times_.front()) * kSecondsPerDay);
    }
}

double TrackSailor::Duration() const { return offsets_.back(); }

bool TrackSailor::Place(VesselState& state, double elapsed) {
    const double duration = Duration();
    if (elapsed > duration + kTimeTolerance) {
        if (!loop_ || duration <= 0) {
            return false;
        }
        elapsed = std::fmod(elapsed, duration);
    }
    // Updates move forward through the track; a loop starts it again.
    if (segment_ + 1 >= offsets_.size() || offsets_[segment_] > elapsed) {
        segment_ = 0;
    }
    while (segment_ + 2 < offsets_.size() && offsets_[segment_ + 1] <= elapsed) {
        ++segment_;
    }
    const GpxPoint& a = track_.points[segment_];
    const GpxPoint& b = track_.points[segment_ + 1];
    const double span = offsets_[segment_ + 1] - offsets_[segment_];
    const double f = span > 0 ? std::clamp((elapsed - offsets_[segment_]) / span, 0.0, 1.0) : 1;
    const GeoPoint from{a.lat, a.lon}, to{b.lat, b.lon};
    const double distance = DistanceNm(from, to);
    double course = state.course;
    GeoPoint here = from;
    if (distance > 0) {
        here = Destination(from, InitialBearing(from, to), f * distance, course);
    }
    state.position = here;
    const double knots = span > 0 ? distance / (span / 3600) : 0;
    overspeed_ = knots > kMaxSpeedKnots;
    state.speed = std::min(knots, kMaxSpeedKnots) * kMetresPerSecondPerKnot;
    state.course = state.heading = std::fmod(course + 360, 360);
    if (a.elevation && b.elevation) {
        state.altitude = *a.elevation + f * (*b.elevation - *a.elevation);
    } else if (a.elevation || b.elevation) {
        state.altitude = a.elevation ? *a.elevation : *b.elevation;
    }
    return true;
}

}  // namespace kovra::engine
