// A progress bar for finite runs, drawn on standard error when it is a
// terminal: done, total, rate and time left, redrawn in place.
#pragma once

#include <functional>

#include "engine/Simulator.h"

namespace kovra::app {

// The drawing function, or none when standard error is not a terminal.
std::function<void(const engine::RunProgress&)> TerminalProgressBar();

// One line of the bar, without the carriage return: exposed for tests.
std::string ProgressLine(const engine::RunProgress& progress, int width);

}  // namespace kovra::app
