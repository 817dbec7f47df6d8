// Where updates go: standard output, a serial port through the library, a
// pseudo-terminal, TCP clients. Each output has its own rule for a reader
// that falls behind; none of them ever blocks the run beyond a stop.
#pragma once

#include <poll.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run/Errors.h"
#include "engine/run/Stop.h"
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
    // When the output next needs a turn between updates (a reconnection
    // due), and that turn.
    virtual std::chrono::steady_clock::time_point WakeAt() const { return std::chrono::steady_clock::time_point::max(); }
    virtual void Wake() {}
    // What it is given of an update (an output with a sentence list of its own takes part).
    virtual std::string Passed(std::string_view update) const { return std::string(update); }

    // What goes back to a consumer for its bytes, and the baud its line
    // takes once that has gone out (a serial line's; others carry on).
    struct Reply {
        std::string bytes;
        std::optional<int> baud;
    };
    // Whoever listens to what consumers send back (a receiver that takes
    // commands): each consumer by a number of its own, its bytes as they
    // come, and what goes back to it; told when a consumer has gone.
    struct Listening {
        std::function<Reply(std::size_t consumer, std::string_view bytes)> receive;
        std::function<void(std::size_t consumer)> gone;
    };
    virtual void Listen(Listening listening) { listening_ = std::move(listening); }

    std::string label;  // how the truth names it: "udp 127.0.0.1:10110"

protected:
    // What goes back to the consumer for its bytes; nothing while none listens.
    Reply Heard(std::size_t consumer, std::string_view bytes) const {
        return listening_.receive ? listening_.receive(consumer, bytes) : Reply{};
    }
    void Gone(std::size_t consumer) const {
        if (listening_.gone) {
            listening_.gone(consumer);
        }
    }
    // The most read from one consumer in one turn, so that a flood cannot hold up an update.
    static constexpr std::size_t kMostReadPerTurn = 64 * 1024;

private:
    Listening listening_;
};

std::unique_ptr<Output> OpenStandardOutput(const Stop& stop);
// The port through the library; `threaded` hands the updates to its sender
// thread. A stop disconnects it at once.
std::unique_ptr<Output> OpenSerialPort(TKovraNMEAGenerator& gps, const std::string& port, int baud, bool threaded,
                                       Stop& stop, Notify notify = StandardErrorNotify());
// A new pseudo-terminal, linked as `link` when given; tells its path.
std::unique_ptr<Output> OpenPseudoTerminal(const std::optional<std::string>& link,
                                           Notify notify = StandardErrorNotify());
// Serves the stream to TCP clients on address:port; tells where. With
// `maxClients` served, a new client takes the place of the one that has
// taken nothing for the longest, once that is `idleSeconds` or more.
std::unique_ptr<Output> OpenTcpServer(int port, const std::string& address, int maxClients,
                                      double idleSeconds = 30, Notify notify = StandardErrorNotify());

// Sends to a UDP destination "HOST:PORT" ("[v6]:PORT"), unicast or
// multicast (`ttl` hops), or with `broadcast` to 255.255.255.255:PORT: one
// datagram a sentence, or with `batch` one an update, split at sentence
// boundaries so that none exceeds 1,472 bytes. A destination that cannot be
// reached is a warning once; the run goes on.
struct UdpSettings {
    bool batch = false;
    int ttl = 1;
    bool broadcast = false;
};
std::unique_ptr<Output> OpenUdpSender(const std::string& destination, const UdpSettings& settings,
                                      Notify notify = StandardErrorNotify());
// A UDP port "HOST:PORT" that consumers send commands to, answered to each
// sender; it carries no stream of its own.
std::unique_ptr<Output> OpenUdpListener(const std::string& where, Notify notify = StandardErrorNotify());
// Connects to a TCP server "HOST:PORT" and sends it the stream; when the
// connection fails or drops it tries again after 0.5 s, doubling up to
// 10 s, without holding up the other outputs. With `verbose` each outage
// is told once, and its end.
std::unique_ptr<Output> OpenTcpClient(const std::string& destination, bool verbose,
                                      Notify notify = StandardErrorNotify());

// The sentence kind of a line: "RMC" of "$GNRMC,..."; empty for what is not a sentence.
std::string_view SentenceKind(std::string_view line);
// Where the sentence (through its newline) or the UBX frame that begins
// at `start` ends.
std::size_t PieceEnd(std::string_view update, std::size_t start);
// How a list names a UBX message to an output: "UBX-0107" (class and id).
std::string UbxKindOf(std::uint8_t messageClass, std::uint8_t id);
// An output that is given only the sentences of `kinds` ("RMC", "GGA" …)
// and UBX messages (by UbxKindOf); lines of a kind outside `known` (a
// user's sentence, line noise) go as they are.
std::unique_ptr<Output> Filtered(std::unique_ptr<Output> output, std::vector<std::string> kinds,
                                 std::vector<std::string> known);

}  // namespace kovra::engine
