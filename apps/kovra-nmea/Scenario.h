// The simulated state at the first update: the built-in scenario, or a plain
// state with whatever the options give.
#pragma once

#include "Options.h"

namespace kovra::app {

// What the run needs beyond the generator's own state.
struct Plan {
    bool fixedTime = false;
    TDateTime startTime = 0;
    bool move = true;
    bool followRoute = false;
    bool loop = false;
    // The magnetic heading follows the true heading and the variation.
    bool deriveMagneticHeading = true;
};

// Sets the generator's state; throws UsageError with the library's message
// for a value it refuses.
Plan BuildState(const Options& options, TKovraNMEAGenerator& gps);

// Magnetic from true heading and variation, in [0, 360).
Extended MagneticHeading(Extended trueHeading, Extended variation, TCardinalPoint side);

}  // namespace kovra::app
