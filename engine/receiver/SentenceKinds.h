// Every sentence kind the simulator knows, in one table: which profiles
// send it, whether it goes by default, where replay finds its time, and the
// library's own command for it. The options, the per-output lists, both
// receivers and replay all read it from here.
#pragma once

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Types.h"

namespace kovra::engine {

// The kinds, in the order the nmea4 receiver lists them.
enum class Kind4 : std::uint8_t {
    RMC, GGA, GLL, VTG, GNS, GSA, GSV, GST, HDT, ZDA, WPL, RTE, AAM, RMB, BOD, APB, XTE, BWC, BWR,
    HDG, HDM, THS, ROT, DPT, DBT, MWV, MWD, VHW, VLW, MTW,  // the vessel's instruments
    PGRME, PGRMZ, Count
};
using Kinds4 = std::bitset<static_cast<std::size_t>(Kind4::Count)>;

enum class Profile : std::uint8_t { Classic, Nmea4 };

struct SentenceKindInfo {
    Kind4 kind;
    std::string_view name;
    int classicRank;  // where the classic profile lists it, from 1; 0 when it does not send it
    bool byDefault;   // sent by the nmea4 profile unless the sentences are chosen (classic sends all it has)
    int timeField;    // the field with the time of day, from 1; 0 when it carries none
    std::optional<TNMEACommand> command;  // the library's own, for the classic profile
    std::string_view model = "";  // the receiver model whose own (proprietary) sentence it is; empty: any
};

extern const std::array<SentenceKindInfo, static_cast<std::size_t>(Kind4::Count)> kSentenceKinds;

// A kind by its three letters; none for one the simulator does not know.
const SentenceKindInfo* FindSentenceKind(std::string_view name);
// The profile's kinds, in its own order, with the receiver model's own.
std::vector<std::string> KindsOf(Profile profile, std::string_view model = "nmea4");
// What the profile sends when the sentences are not chosen.
std::vector<std::string> DefaultKindsOf(Profile profile);

// True for a u-blox NAV message ("NAV-PVT"), a kind of the u-blox receivers in a list.
bool IsNavMessage(std::string_view kind);
// "RMC,GGA" or "ALL", any letter case, a talker allowed before the kind
// ("GPRMC"), each kind once, in the order given (ALL: the profile's); the
// u-blox models' NAV messages among them. Throws SettingError naming the
// first kind the profile (or the receiver model) does not send.
std::vector<std::string> ParseKindList(std::string_view text, Profile profile, std::string_view model = "nmea4");

// The nmea4 receiver's set of the kinds named.
Kinds4 Kinds4Of(const std::vector<std::string>& names);
// What the nmea4 receiver sends by default.
Kinds4 DefaultKinds4();
// The library's command set of the kinds named.
TNMEACommands CommandsOf(const std::vector<std::string>& names);

}  // namespace kovra::engine
