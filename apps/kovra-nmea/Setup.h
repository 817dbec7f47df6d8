// The options mapped onto the engine: one scenario, built before anything
// is opened or written, that the run then hands to the simulator whole.
#pragma once

#include <optional>

#include "Options.h"
#include "engine/Simulator.h"
#include "engine/faults/Faults.h"
#include "engine/receiver/Realistic.h"
#include "engine/scenario/BuiltIn.h"
#include "engine/scenario/Gpx.h"
#include "engine/scenario/Track.h"

namespace kovra::app {

// What the options ask the simulator to run.
struct Scenario {
    engine::Plan plan;                                  // how the vessel moves and the clock runs
    std::optional<engine::GpxTrack> track{};              // sailed at its times instead
    std::optional<engine::RealisticSettings> receiver{};  // none: the library's own sentences
    std::optional<engine::FaultSettings> faults{};
    std::vector<engine::Event> events{};                // the scenario file's, in the file's order
    engine::RunSettings run;                            // pacing, count, duration (the progress bar aside)
};

// Sets the generator's state (the built-in scenario, or a plain state with
// whatever the options give) and reads the files the options name; throws
// UsageError with the library's message for a value it refuses.
Scenario BuildScenario(const Options& options, TKovraNMEAGenerator& gps);
// The run's pacing, for a replay as for a simulated run.
engine::RunSettings RunSettingsFrom(const Options& options);

}  // namespace kovra::app
