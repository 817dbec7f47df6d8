// The library's own receiver: the one place that hands the world's state to
// the generator's setters, so that its sentences are exactly the library's
// for that state.
#pragma once

#include "engine/receiver/Receiver.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra::engine {

// The vessel as the generator holds it, its waypoints and routes: the
// world a run starts from.
World WorldFrom(const TKovraNMEAGenerator& gps);

class ClassicReceiver final : public Receiver {
public:
    // Borrows the generator, whose state (satellites, DOPs, fix, sentence
    // kinds) is the receiver's; `deriveMagneticHeading` keeps the magnetic
    // heading with the course, `setsTime` hands it the simulated clock
    // (otherwise it keeps its own).
    ClassicReceiver(TKovraNMEAGenerator& gps, bool deriveMagneticHeading, bool setsTime);

    std::string Update(const ReceiverInput& input) override;
    ReportedFix Fix() const override;
    std::string SkyPlot(std::int32_t radius) const override;

private:
    void HandRoute(const World& world, const std::string& route);

    TKovraNMEAGenerator& gps_;
    bool deriveMagneticHeading_;
    bool setsTime_;
    VesselState handed_;  // what the generator holds, to set only what changed
    std::int32_t quality_;
};

}  // namespace kovra::engine
