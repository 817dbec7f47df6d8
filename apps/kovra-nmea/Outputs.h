// Where updates go: standard output, a serial port through the library, a
// pseudo-terminal, TCP clients.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Options.h"

namespace kovra::app {

// The reader of standard output went away.
struct StreamClosed {};

class Output {
public:
    virtual ~Output() = default;
    // Writes one whole update.
    virtual void Write(std::string_view update) = 0;
    // Lets the last update out before the program ends.
    virtual void Finish() {}
};

std::unique_ptr<Output> OpenStandardOutput();
std::unique_ptr<Output> OpenSerialPort(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded);
// Prints the path a consumer should open on standard error.
std::unique_ptr<Output> OpenPseudoTerminal(const std::optional<std::string>& link);
std::unique_ptr<Output> OpenTcpServer(int port, const std::string& address);

}  // namespace kovra::app
