// The command line's options, declared once: the program parses with them,
// and a scenario file's values are checked by the very same rules.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>

#include "Options.h"

namespace kovra::app {

// Every option, bound to `o`.
std::unique_ptr<CLI::App> MakeApp(Options& o);

}  // namespace kovra::app
