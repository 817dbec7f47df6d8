// A receiver on one of the world's vessels: the faults on what it reads and
// sends, the outputs its updates go to, and what its last update did.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/ais/Transponder.h"
#include "engine/faults/Faults.h"
#include "engine/outputs/Outputs.h"
#include "engine/receiver/Receiver.h"
#include "engine/scenario/World.h"

namespace kovra::engine {

struct Station {
    std::size_t vessel = 0;  // its index in the world
    Receiver* receiver = nullptr;
    FaultInjector* faults = nullptr;
    std::vector<Output*> outputs{};
    // Forced by events until they end.
    bool outage = false, frozen = false;
    // The last update: whether it was in an outage or frozen, what the
    // receiver was given (the noise on its position), the bytes it built (a
    // freeze repeats them) and those that went out.
    bool wasOutage = false, wasFrozen = false;
    VesselState seen{};
    std::string built{}, sent{};  // sent: stations after the first (the run's own update is the first's)
    std::vector<std::string> applied{};  // the events applied to its vessel in this update
    std::optional<double> rateAsked{};   // by a configuration command, for the updates after the next
    std::optional<HelmOrder> steerAsked{};  // by an autopilot sentence its consumers sent, for the next update
};

// A vessel's AIS station: what it sends goes out with the first vessel's update.
struct AisStation {
    std::size_t vessel = 0;  // its index in the world
    ais::Transponder transponder;
};

}  // namespace kovra::engine
