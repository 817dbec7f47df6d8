// The configuration commands a receiver takes, as its maker's manual
// defines them: what each asks of the receiver and what the receiver
// answers. Pure: the receiver's present configuration in, the answer and
// the changes out; the caller applies them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/input/Framer.h"
#include "engine/receiver/Models.h"
#include "engine/receiver/Receiver.h"
#include "engine/receiver/UbxFrame.h"

namespace kovra::engine::input {

// What a command asks, and what goes back.
struct Answer {
    bool handled = false;  // a command of the receiver's; false: ignored, and counted
    std::string reply;     // sent back at once, at the line's present rate
    ReceiverChange change;
};

// The answer of a receiver taking `commands` to one frame.
Answer AnswerTo(CommandSet commands, const Frame& frame, const Firmware& firmware, const Running& present);


}  // namespace kovra::engine::input
