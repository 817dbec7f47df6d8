// A receiver that listens: what its consumers send, cut into frames and
// answered as the receiver's model answers them, the changes handed to the
// receiver. Everything that is not a command of the model is counted.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/input/Autopilot.h"
#include "engine/input/Commands.h"
#include "engine/receiver/Receiver.h"

namespace kovra::engine::input {

class Listener {
public:
    // `rateAsked` is told a rate a command asks for: the run's pace is the
    // caller's; `steer`, when given, each helm order of an autopilot sentence.
    Listener(Receiver& receiver, CommandSet commands, Firmware firmware, std::function<void(double)> rateAsked,
             std::function<void(const HelmOrder&)> steer = {});

    // What goes back to a consumer, and the baud a command asked its line
    // to take once that has gone out.
    struct Reply {
        std::string bytes;
        std::optional<int> baud;
    };
    // The bytes a consumer sent, framed as a stream of its own (one's half
    // frame never joins another's); what goes back to it.
    Reply Receive(std::size_t consumer, std::string_view bytes);
    // The consumer has gone: its half frame with it.
    void Forget(std::size_t consumer);

    struct Counts {
        InputCounts input;
        std::uint64_t commands = 0;  // frames answered as commands
        std::uint64_t ignored = 0;   // whole frames that are no command of this receiver
        std::uint64_t steering = 0;  // autopilot sentences steered by
    };
    Counts Total() const;
    // "input: 120 bytes, 3 commands, 1 ignored, 2 rejected (1 bad checksum, 1 overlong, 0 garbage)"
    std::string Summary() const;

private:
    Receiver& receiver_;
    CommandSet commands_;
    Firmware firmware_;
    std::function<void(double)> rateAsked_;
    std::function<void(const HelmOrder&)> steer_;
    std::vector<std::pair<std::size_t, Framer>> framers_;
    InputCounts gone_;  // of consumers forgotten
    std::uint64_t commandsAnswered_ = 0, ignored_ = 0, steering_ = 0;
};

}  // namespace kovra::engine::input
