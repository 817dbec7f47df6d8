// The simulated world as plain data: the vessels with their true state, the
// waypoints and routes they steer by. SI units and decimal degrees; the
// library's own types appear only where a receiver hands a state to it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/scenario/Motion.h"

namespace kovra::engine {

constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600;

// The satellite systems, numbered as NMEA 0183 4.11 numbers them in GSA.
enum class Gnss : std::uint8_t { Gps = 1, Glonass = 2, Galileo = 3, BeiDou = 4 };

// Where a vessel is and how it moves, as it truly is (what a receiver
// reports may differ).
struct VesselState {
    GeoPoint position;
    double altitude = 0;       // metres above the geoid
    double speed = 0;          // over ground, metres a second
    double course = 0;         // over ground, degrees true in [0, 360)
    double heading = 0;        // where the bow points, degrees true
    double rateOfTurn = 0;     // degrees a second, to starboard positive
    double verticalSpeed = 0;  // metres a second, up positive
    double waterSpeed = 0;     // through the water, metres a second
};

// The water a vessel sails in: a current flowing toward `set` (degrees
// true) at `drift` knots, and the leeway the wind gives it (degrees, pushed
// to starboard positive).
struct Water {
    double set = 0;
    double drift = 0;
    double leeway = 0;
};

struct Wind {
    double from = 0;   // degrees true the wind blows from
    double knots = 0;  // over the ground
    double gusts = 0;  // knots the gusts reach; 0 or the speed itself: a steady wind
};

// The wind at a moment: a gusty wind's speed rises from its mean toward the
// gusts' and falls back, a gust every few seconds of a strength drawn from
// the seed; the same seed and time give the same wind at any rate.
Wind WindAt(const Wind& wind, std::uint64_t seed, double elapsed);

// The sounding at a waypoint of the route: metres below the transducer.
struct Sounding {
    std::string waypoint;
    double depth = 0;
};

// What a vessel's instruments sound and feel, where it is: none where the
// scenario gives nothing.
struct Surroundings {
    std::optional<double> depth;         // metres of water below the transducer
    std::vector<Sounding> profile{};      // along the route, between its waypoints' soundings
    std::uint64_t gustSeed = 1;           // the run's seed: where the gusts come from
    std::optional<Wind> wind;            // the true wind
    std::optional<double> waterCelsius;
};

// How fast a vessel can change its motion; 0 changes it at once.
struct Dynamics {
    double rateOfTurn = 0;    // degrees a second
    double acceleration = 0;  // metres a second squared
    double climbRate = 0;     // metres a second
};

// A vessel's default limits when a profile does not keep instant changes.
constexpr Dynamics kVesselDynamics{3, 0.5};

enum class Steering : std::uint8_t {
    Course,  // holds the ordered course and speed
    Route,   // steers for the waypoints of its route in turn
    Track,   // sails a recorded track at its times
};

// How far a vessel has come along its route.
struct RouteProgress {
    std::string route;            // the active route (reported even when not followed); empty for none
    std::size_t next = 0;         // index of the waypoint steered for
    bool arrived = false;         // past the last waypoint of a route that does not loop
    std::uint64_t arrivals = 0;   // waypoints reached so far
    std::optional<GeoPoint> start{};  // where the vessel began following it: its first leg's origin
};

// What an autopilot is told by a plotter's sentences: a course to steer, or
// a correction of the present one (back onto the leg).
struct HelmOrder {
    std::string from;               // the sentence kind that said it: "APB"
    std::optional<double> course{};  // degrees true
    double correction = 0;          // degrees, to starboard positive
};

struct Vessel {
    int id = 0;
    std::string name;
    VesselState state;
    Dynamics limits;
    Steering steering = Steering::Course;
    bool moves = true;         // false: held where it is, whatever its speed
    double orderedCourse = 0;  // what the helm is told to hold, degrees true
    double orderedSpeed = 0;   // metres a second
    std::optional<double> orderedAltitude{};  // none: holds its altitude
    std::vector<Gnss> systemsOff{};  // systems whose signals do not reach its receiver
    bool loop = false;         // the route starts again at its end
    // Following a route as a plotter's autopilot does: on to the next leg
    // once within this of the waypoint or past the line square to the leg
    // through it (nautical miles); 0: on reaching the waypoint itself.
    double arrivalRadiusNm = 0;
    Water water{};
    Surroundings surroundings{};
    RouteProgress progress;
    // Steers by the autopilot sentences its receiver hears, until they have
    // been silent this long (seconds), then holds its course; none: ignores them.
    std::optional<double> autopilot{};
    std::optional<double> autopilotHeardAt{};  // when it last was told
    std::optional<double> autopilotCourse{};   // the last course it was told; XTE corrects from it
};

struct WayPoint {
    std::string name;
    GeoPoint position;
};

struct Route {
    std::string name;
    std::vector<std::string> points;  // waypoint names, in order
};

struct World {
    std::vector<Vessel> vessels;
    std::vector<WayPoint> waypoints;
    std::vector<Route> routes;

    const WayPoint* FindWayPoint(std::string_view name) const;
    const Route* FindRoute(std::string_view name) const;
    // Adds the route, replacing one of the same name.
    void PutRoute(Route route);
};

}  // namespace kovra::engine
