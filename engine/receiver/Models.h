// Receivers people own, as data: how each writes its sentences (its
// dialect), the systems it tracks as shipped and what it sends by default.
// The sentence builders read a dialect; no model has code of its own.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "engine/receiver/Dialect.h"
#include "engine/receiver/SentenceKinds.h"
#include "engine/receiver/Sky.h"

namespace kovra::engine {

struct ReceiverModel {
    std::string_view name;     // as --receiver names it
    std::string_view summary;  // one line for --receiver list
    Dialect dialect;
    std::vector<Gnss> systems;         // tracked as shipped
    bool sbas = false;                 // SBAS satellites tracked, listed among GPS
    std::vector<std::string_view> sentences;  // sent as shipped; none: the kind table's defaults
};

// Every model, the default (nmea4) first.
std::span<const ReceiverModel> ReceiverModels();
// The model of that name; none for one the simulator does not know.
const ReceiverModel* FindReceiverModel(std::string_view name);

}  // namespace kovra::engine
