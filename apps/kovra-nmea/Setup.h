// The options mapped onto the engine: the simulated state at the first
// update (the built-in scenario, or a plain state with whatever the options
// give) and the plan for the updates after it.
#pragma once

#include "Options.h"
#include "engine/scenario/Gpx.h"
#include "engine/receiver/Realistic.h"
#include "engine/scenario/BuiltIn.h"

namespace kovra::app {

// Sets the generator's state; throws UsageError with the library's message
// for a value it refuses.
engine::Plan BuildState(const Options& options, TKovraNMEAGenerator& gps, const engine::Gpx* gpx = nullptr);
// The track --gpx-track names; UsageError listing the file's tracks when none has the name.
engine::GpxTrack ChosenTrack(const Options& options, const engine::Gpx& gpx);

// The realistic receiver the nmea4 profile runs: the systems, the mask, the
// almanac, a sky given by --sat, and what the options force.
engine::RealisticSettings RealisticFrom(const Options& options, const TKovraNMEAGenerator& gps);

}  // namespace kovra::app
