// The UBX messages a u-blox receiver model knows: NMEA sentences and NAV
// messages by class and id, and by the keys of the F9 generation's
// configuration; the answers to UBX commands.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/input/Commands.h"

namespace kovra::engine::input {

struct UbxMessage {
    std::string_view kind;     // "GGA", "NAV-PVT"
    std::uint8_t messageClass;
    std::uint8_t id;
    std::uint32_t uart1Key;    // CFG-MSGOUT-…_UART1
};

const UbxMessage* FindUbxMessage(std::uint8_t messageClass, std::uint8_t id);
const UbxMessage* FindUbxMessage(std::string_view kind);

// The answer of a u-blox receiver to a UBX frame: CFG-RATE, CFG-MSG,
// CFG-PRT, CFG-NMEA and CFG-RST; CFG-VALSET and CFG-VALGET where the
// protocol version (MON-VER's PROTVER) is 27 or later; MON-VER polled.
// Set commands are acknowledged (ACK-ACK) or refused (ACK-NAK).
Answer UbxAnswer(const Frame& frame, const Firmware& firmware, const Running& present);

}  // namespace kovra::engine::input
