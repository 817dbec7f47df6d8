#include "engine/scenario/Timeline.h"

#include <algorithm>
#include <cmath>

namespace kovra::engine {

TDateTime Timeline::At(double elapsed) const {
    const auto milliseconds = static_cast<std::int64_t>(std::llround(elapsed * 1000.0));
    return start + static_cast<double>(milliseconds) / 86'400'000.0;
}

void Timeline::Add(Event event) {
    const auto after = std::upper_bound(events_.begin(), events_.end(), event.at,
                                        [](double at, const Event& e) { return at < e.at; });
    events_.insert(after, std::move(event));
}

std::vector<Event> Timeline::TakeDue(double elapsed) {
    // An event counts for the update whose time it reaches, within a rounding of the period.
    const auto end = std::find_if(events_.begin(), events_.end(),
                                  [&](const Event& e) { return e.at > elapsed + 1e-9; });
    std::vector<Event> due(std::make_move_iterator(events_.begin()), std::make_move_iterator(end));
    events_.erase(events_.begin(), end);
    return due;
}

}  // namespace kovra::engine
