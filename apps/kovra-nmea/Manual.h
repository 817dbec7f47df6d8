// The manual page and the shell completion, made from the options the
// program parses with, so that neither can drift from --help.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace kovra::app {

// kovra-nmea(1) in man(7) markup: every option by its group, as --help has them.
std::string ManPage(const CLI::App& app);
// A bash completion script: every option, and the values of those that take
// a word of a list (profiles, receiver models, sentence kinds, systems …).
std::string BashCompletion(const CLI::App& app);

}  // namespace kovra::app
