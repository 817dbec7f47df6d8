// The receiver's state at the first update: the built-in scenario, and what
// the run does with it between updates.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "engine/scenario/Timeline.h"
#include "engine/scenario/World.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra::engine {

// How the receiver moves and keeps time between updates.
struct Plan {
    std::string name{};      // the vessel's, as events and the truth name it; none keeps the world's
    bool fixedTime = false;  // the clock starts at startTime and advances by one period an update
    TDateTime startTime = 0;
    bool move = true;
    bool followRoute = false;
    bool loop = false;
    // The magnetic heading follows the true heading and the variation.
    bool deriveMagneticHeading = true;
    // How fast the vessel turns and changes speed; none: at once for the
    // library's own sentences, as a vessel does (kVesselDynamics) for the nmea4 receiver.
    std::optional<Dynamics> limits{};
    std::vector<Leg> legs{};  // how it moves, leg after leg; none: by its course, route or track
    std::optional<double> autopilot{};  // steers by autopilot sentences, silent this long at most (seconds)
    Water water{};                      // the current and the leeway
    Surroundings surroundings{};        // the depth, the wind, the water's temperature
};

// A vessel leaving Kiel harbour through the fjord at 6 knots, 8 satellites
// in view, fix quality 1, following the route DEPART; the clock stays the
// system's.
void LoadBuiltInScenario(TKovraNMEAGenerator& gps, Plan& plan);

// Makes `route` the active one, replacing a route of the same name.
void MakeActiveRoute(TKovraNMEAGenerator& gps, std::unique_ptr<TRoute> route);

// Magnetic from true heading and variation, in [0, 360).
Extended MagneticHeading(Extended trueHeading, Extended variation, TCardinalPoint side);

}  // namespace kovra::engine
