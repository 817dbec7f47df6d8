// Where updates go: standard output, a serial port through the library, a
// pseudo-terminal, TCP clients. Each output has its own rule for a reader
// that falls behind; none of them ever blocks the run beyond a stop.
#pragma once

#include <poll.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Options.h"
#include "Stop.h"

namespace kovra::app {

// "what: the reason" for the last failed system call.
std::string SystemError(const std::string& what);

// The reader of standard output went away.
struct StreamClosed {};

class Output {
public:
    virtual ~Output() = default;
    // Writes one whole update, or leaves it out whole where the reader is behind.
    virtual void Write(std::string_view update) = 0;
    // Appends the descriptors to wait on between updates.
    virtual void Watch(std::vector<pollfd>& /*waits*/) {}
    // Serves the descriptors Watch appended, once poll() has reported on them.
    virtual void Serve(std::span<const pollfd> /*ready*/) {}
    // Lets the last update out before the program ends; at once after a stop.
    virtual void Finish() {}
};

std::unique_ptr<Output> OpenStandardOutput(const Stop& stop);
std::unique_ptr<Output> OpenSerialPort(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded,
                                       Stop& stop);
// Prints the path a consumer should open on standard error.
std::unique_ptr<Output> OpenPseudoTerminal(const std::optional<std::string>& link);
std::unique_ptr<Output> OpenTcpServer(int port, const std::string& address, int maxClients);

}  // namespace kovra::app
