// The library's own receiver: the one place that hands the world's state to
// the generator's setters, so that its sentences are exactly the library's
// for that state.
#pragma once

#include <string>
#include <vector>

#include "engine/receiver/Receiver.h"
#include "generator/KovraNMEAGenerator.h"
#include "nmea/Sentences.h"

namespace kovra::engine {

// The vessel as the generator holds it, its waypoints and routes: the
// world a run starts from.
World WorldFrom(const TKovraNMEAGenerator& gps);

// A generator's state as plain values: what its sentences read, the world
// it gives (its vessel, waypoints and routes) and its own waypoints to the
// last digit. A vessel of a fleet keeps this instead of a generator, which
// would bring a sender thread of its own.
struct ClassicStart {
    World world;
    nmea::NavigationSnapshot sentences;  // without a route view: the receiver builds it
    TNMEACommands commands{};
    struct NamedPosition {
        std::string name;
        GeoPosition position;
    };
    std::vector<NamedPosition> wayPoints;
    std::optional<Route> activeRoute{};
    bool systemTime = true;  // the generator's clock is the system's
    TDateTime utc = 0;       // its own time otherwise
};

ClassicStart ClassicStartOf(const TKovraNMEAGenerator& gps);

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

// The library's sentences for a vessel without a generator: the same
// builders, handed the same values a generator would be handed, so its
// bytes are those of a ClassicReceiver started from the same state.
class DetachedClassicReceiver final : public Receiver {
public:
    DetachedClassicReceiver(ClassicStart start, bool deriveMagneticHeading, bool setsTime);

    std::string Update(const ReceiverInput& input) override;
    ReportedFix Fix() const override;
    std::string SkyPlot(std::int32_t radius) const override;

private:
    void HandRoute(const World& world, const std::string& route);
    const ClassicStart::NamedPosition* FindWayPoint(std::string_view name) const;

    ClassicStart start_;  // its sentences' state as it changes
    bool deriveMagneticHeading_;
    bool setsTime_;
    VesselState handed_;
    std::int32_t quality_;
    TDateTime utc_;
};

}  // namespace kovra::engine
