#pragma once

#include "Options.h"

namespace kovra::app {

// Builds the state, opens the outputs and writes the updates; returns the
// exit status. Throws UsageError (status 2) and OutputError (status 1).
int Run(const Options& options);

}  // namespace kovra::app
