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

// A kind's output as configured: every `every`-th update, 0 off. Kinds
// are sentence kinds ("GGA") and UBX messages ("NAV-PVT").
struct KindRate {
    std::string kind;
    int every = 1;
};

// What a receiver runs with, as its configuration commands read it.
struct Running {
    double rate = 1;  // updates a second
    int baud = 9600;
    std::vector<KindRate> kinds;  // every kind it can send, with its rate
    bool nmeaOut = true, ubxOut = false;
    double mostRate = 1000;
    std::string nmeaVersion = "4.11";  // as u-blox's CFG-NMEA reports it
    double magneticVariation = 0;      // degrees, east positive: magnetic headings heard are turned true by it
};

// What a configuration command asks of a receiver.
struct ReceiverChange {
    std::optional<double> rate;
    std::optional<int> baud;       // from the end of the command's reply on
    bool defaults = false;         // the model's own sentences again, before `kinds`
    std::vector<KindRate> kinds;
    std::vector<std::string> settings;  // the model's own settings, "PMTK313=0"
    std::optional<bool> nmeaOut, ubxOut;
    std::vector<std::string> once;  // kinds sent once, in the next update (a query)
    std::optional<int> restart;     // 0 hot, 1 warm, 2 cold

    bool Empty() const {
        return !rate && !baud && !defaults && kinds.empty() && settings.empty() && !nmeaOut && !ubxOut &&
               once.empty() && !restart;
    }
};

class Receiver {
public:
    virtual ~Receiver() = default;
    // The sentences of one update.
    virtual std::string Update(const ReceiverInput& input) = 0;
    virtual ReportedFix Fix() const = 0;
    // The sky of the last update as an SVG picture of `radius` pixels.
    virtual std::string SkyPlot(std::int32_t radius) const = 0;
    // Its configuration, and a command's change to it (the rate is the
    // run's: the caller paces it); a receiver that takes no commands keeps its own.
    virtual Running Configuration() const { return {}; }
    virtual void Configure(const ReceiverChange& /*change*/) {}
};

}  // namespace kovra::engine
