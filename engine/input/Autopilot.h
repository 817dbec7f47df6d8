// The sentences a chart plotter sends an autopilot, read as a helm order:
// APB (heading to steer to the destination), RMB (bearing to it), HSC
// (heading to steer), XTE (the cross-track error, corrected for).
#pragma once

#include <optional>

#include "engine/input/Framer.h"
#include "engine/scenario/World.h"

namespace kovra::engine::input {

// The order a frame gives; none for a frame that is no such sentence, or
// one that says its data are not valid. `variation` (east positive) turns
// magnetic headings true.
std::optional<HelmOrder> HelmOrderOf(const Frame& frame, double variation);

}  // namespace kovra::engine::input
