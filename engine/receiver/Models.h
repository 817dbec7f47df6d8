// Receivers people own, as data: how each writes its sentences (its
// dialect), the systems it tracks as shipped and what it sends by default.
// The sentence builders read a dialect; no model has code of its own.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/receiver/Dialect.h"
#include "engine/receiver/PowerOn.h"
#include "engine/receiver/SentenceKinds.h"
#include "engine/receiver/Sky.h"

namespace kovra::engine {

// Whose configuration commands a receiver takes.
enum class CommandSet : std::uint8_t { None, Ublox, Mtk, Sirf, Casic };

// Who the receiver says it is when asked (MON-VER, PMTK605).
struct Firmware {
    std::string_view software = "";              // u-blox: MON-VER's swVersion; MTK: PMTK705's release
    std::string_view hardware = "";              // u-blox: hwVersion
    std::vector<std::string_view> extensions{};  // u-blox: "PROTVER=18.00", "GPS;GLO"
};

// What a model's settings change: how it writes, and what it tracks and uses.
struct ReceiverConfiguration {
    Dialect dialect;
    bool sbas = false;                 // SBAS satellites tracked, listed among GPS
    bool sbasCorrectionsUsed = true;   // their corrections applied, when received, for a differential fix
};

// A setting of the real receiver that changes what it sends, named and
// valued as the receiver's own configuration names them.
struct ModelSetting {
    std::string_view key;     // "highPrec"
    std::string_view values;  // the values it takes, as messages list them: "0 or 1"
    // Applies the value; false for one the setting does not take.
    bool (*apply)(ReceiverConfiguration& configuration, std::string_view value);
};

struct ReceiverModel {
    std::string_view name;     // as --receiver names it
    std::string_view summary;  // one line for --receiver list
    Dialect dialect;
    std::vector<Gnss> systems;         // tracked as shipped
    bool sbas = false;                 // SBAS satellites tracked, listed among GPS
    std::vector<std::string_view> sentences;  // sent as shipped; none: the kind table's defaults
    std::vector<ModelSetting> settings{};
    std::vector<Kind4> order{};  // of an epoch's kinds; none: this simulator's own
    StartTimes startTimes{};     // to the first fix, as its data sheet gives them
    int firmwareLeapSeconds = 18;  // the UTC offset its firmware knows before it decodes the current one
    double mostRate = 1000;        // updates a second it can send at most
    double defaultRate = 1;        // updates a second as shipped
    CommandSet commands = CommandSet::None;  // the configuration commands it takes
    Firmware firmware{};
    double rangeError = 2.5;  // metres, one sigma: what its estimated errors (GST, PGRME) scale
};

// Every model, the default (nmea4) first.
std::span<const ReceiverModel> ReceiverModels();
// The model of that name; none for one the simulator does not know.
const ReceiverModel* FindReceiverModel(std::string_view name);

// The model as shipped with each "KEY=VALUE" applied in turn; SettingError
// for a key the model does not have or a value its setting does not take.
ReceiverConfiguration ConfigurationOf(const ReceiverModel& model, std::span<const std::string> settings);

}  // namespace kovra::engine
