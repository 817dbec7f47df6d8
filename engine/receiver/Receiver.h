// A receiver on a vessel: turns the world at one instant into the bytes of
// one update. Each kind of receiver is one implementation; what faults do
// to the reading (noise, an outage) comes in with the input, on a copy.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/run/SatelliteReport.h"
#include "engine/scenario/World.h"
#include "foundation/DateTime.h"

namespace kovra::engine {

struct ReceiverInput {
    const World& world;
    const Vessel& vessel;  // as the receiver perceives it: noise is on its position
    TDateTime utc;
    double elapsed = 0;    // seconds of simulated time into the run
    bool outage = false;   // no signal reaches the antenna
};

// The fix of the last update, for the live view.
struct ReportedFix {
    int quality = 0;  // as GGA gives it
    double hdop = 0, pdop = 0, vdop = 0;
    std::vector<ReportedSatellite> satellites;
};

class Receiver {
public:
    virtual ~Receiver() = default;
    // The sentences of one update.
    virtual std::string Update(const ReceiverInput& input) = 0;
    virtual ReportedFix Fix() const = 0;
    // The sky of the last update as an SVG picture of `radius` pixels.
    virtual std::string SkyPlot(std::int32_t radius) const = 0;
};

}  // namespace kovra::engine
