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

namespace kovra::engine::input {

// Whose commands a receiver takes.
enum class CommandSet : std::uint8_t { None, Ublox, Mtk, Sirf, Casic };

// Who the receiver says it is when asked (MON-VER, PMTK605).
struct Firmware {
    std::string_view software;                 // u-blox: MON-VER swVersion; MTK: PMTK705's release
    std::string_view hardware = "";            // u-blox: hwVersion
    std::vector<std::string_view> extensions{};  // u-blox: "PROTVER=18.00", "GPS;GLO"
};

// A kind's output as commands set it: every `every`-th update; 0 is off.
// Kinds are the sentence kinds ("GGA") and UBX messages ("NAV-PVT").
struct KindRate {
    std::string kind;
    int every = 1;
};

// What the receiver runs with now, for the commands that read it.
struct Present {
    double rate = 1;  // updates a second
    int baud = 9600;
    std::vector<KindRate> kinds;  // every kind the receiver can send, with its rate
    bool nmeaOut = true, ubxOut = false;
    double mostRate = 1000;
    std::string nmeaVersion = "4.11";  // as u-blox's CFG-NMEA reports it
};

// What a command asks, and what goes back.
struct Answer {
    bool handled = false;       // a command of the receiver's; false: ignored, and counted
    std::string reply;          // sent back at once, at the line's present rate
    std::optional<double> rate;
    std::optional<int> baud;    // from the end of the reply on
    std::vector<KindRate> kinds;
    std::vector<std::string> settings;  // the model's own settings, "PMTK313=0"
    bool defaults = false;      // the model's own sentences again, before `kinds`
    std::optional<bool> nmeaOut, ubxOut;
    std::vector<std::string> once;  // kinds sent once, now (a query)
    std::optional<int> restart;     // 0 hot, 1 warm, 2 cold
};

// The answer of a receiver taking `commands` to one frame.
Answer AnswerTo(CommandSet commands, const Frame& frame, const Firmware& firmware, const Present& present);

// A UBX frame: sync, class, id, length, payload, checksum.
std::string UbxFrame(std::uint8_t messageClass, std::uint8_t id, std::string_view payload);

}  // namespace kovra::engine::input
