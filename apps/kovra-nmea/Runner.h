#pragma once

#include "Options.h"
#include "engine/run/Stop.h"

namespace kovra::app {

// Builds the state, opens the outputs and writes the updates until the count
// is reached or `stop` is requested; returns the exit status. Throws
// UsageError (status 2) and OutputError (status 1).
int Run(const Options& options, engine::Stop& stop);

}  // namespace kovra::app
