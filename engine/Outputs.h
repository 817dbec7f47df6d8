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

#include "engine/Errors.h"
#include "engine/Stop.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra::engine {

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
// The port through the library; `threaded` hands the updates to its sender
// thread. A stop disconnects it at once.
std::unique_ptr<Output> OpenSerialPort(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded,
                                       Stop& stop, Notify notify = StandardErrorNotify());
// A new pseudo-terminal, linked as `link` when given; tells its path.
std::unique_ptr<Output> OpenPseudoTerminal(const std::optional<std::string>& link,
                                           Notify notify = StandardErrorNotify());
// Serves the stream to TCP clients on address:port; tells where.
std::unique_ptr<Output> OpenTcpServer(int port, const std::string& address, int maxClients,
                                      Notify notify = StandardErrorNotify());

}  // namespace kovra::engine
