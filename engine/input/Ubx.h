// The answers of a u-blox receiver model to UBX commands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/input/Commands.h"

namespace kovra::engine::input {

// The answer of a u-blox receiver to a UBX frame: CFG-RATE, CFG-MSG,
// CFG-PRT, CFG-NMEA and CFG-RST; CFG-VALSET and CFG-VALGET where the
// protocol version (MON-VER's PROTVER) is 27 or later; MON-VER polled.
// Set commands are acknowledged (ACK-ACK) or refused (ACK-NAK).
Answer UbxAnswer(const Frame& frame, const Firmware& firmware, const Running& present);

}  // namespace kovra::engine::input
