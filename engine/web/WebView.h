// What the live page shows and how it steers: the receiver's state as JSON
// and the checked control requests. Pure functions over plain data; the
// server that carries them is in WebServer.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "engine/run/SatelliteReport.h"

namespace kovra::engine {

using ViewSatellite = ReportedSatellite;

struct ViewWayPoint {
    std::string name;
    double lat = 0;
    double lon = 0;
};

// One update of one vessel as the page sees it.
struct ViewState {
    std::string vessel;  // its name
    std::string time;  // ISO 8601, UTC
    double lat = 0, lon = 0, alt = 0;
    double speed = 0;   // knots
    double course = 0;  // degrees true
    int fix = 0;        // GGA quality
    double hdop = 0, pdop = 0, vdop = 0;
    std::vector<ViewSatellite> satellites;
    std::vector<ViewWayPoint> waypoints;
    std::vector<std::string> routes;        // names of every route
    std::optional<std::string> route;       // the active one
    std::vector<std::string> routePoints;   // its waypoints
    std::optional<std::string> next;        // the waypoint steered for
    std::optional<double> nextDistance;     // nautical miles
    bool paused = false;
    bool outage = false;
    double speedup = 1;
};

std::string StateJson(const ViewState& state);

// Every vessel with a receiver, as the map shows them.
struct ViewVessel {
    std::string name;
    double lat = 0, lon = 0;
    double speed = 0;   // knots
    double course = 0;  // degrees true
    int fix = 0;
};

// An AIS station other than own ship's, as the map and the target list show it.
struct ViewTarget {
    std::uint32_t mmsi = 0;
    std::string name{};    // as it sends it; may be empty
    std::string vessel{};  // the world's vessel that carries it
    std::string kind{};    // "class A", "class B", "base station", "AtoN", "SAR aircraft", "SART", "MOB", "EPIRB"
    bool test = false;   // a safety device's test, not an alarm
    double lat = 0, lon = 0;
    double speed = 0;    // knots
    double course = 0;   // degrees true
    double rangeNm = 0, bearing = 0;  // from own ship
    double cpaNm = 0, tcpaSeconds = 0;  // negative TCPA: passed
};

// An event of the scenario, as its list shows it.
struct ViewEvent {
    double at = 0;       // seconds from the start
    std::string vessel;  // a name, or "all"
    std::string action;  // "course 90", "outage on"
};

// The world's vessels, the AIS targets and the scenario's events, with the
// first event still to come marked (none once all are past), at `elapsed` seconds.
std::string WorldJson(const std::vector<ViewVessel>& vessels, const std::vector<ViewTarget>& targets,
                      const std::vector<ViewEvent>& events, double elapsed);

// A request of POST /control, checked; applied from the next update.
struct ControlRequest {
    std::optional<double> course{}, speed{}, speedup{};
    std::optional<bool> pause{}, outage{};
    std::optional<std::string> goTo{}, route{};
    std::optional<std::string> vessel{};  // the vessel steered; none: the first
};

// A control request folded into the ones still waiting: later values win,
// and a new way of steering (a course, a waypoint, a route) replaces the
// others. Requests for different vessels are not merged: false then.
bool Merge(ControlRequest& pending, const ControlRequest& later);

// The request of a control body, or the one-line error naming the field:
// not JSON, not an object, an unknown key, a value of the wrong type or out
// of range, a waypoint, route or vessel the run does not have.
std::variant<ControlRequest, std::string> ParseControl(std::string_view body, const std::vector<std::string>& waypoints,
                                                       const std::vector<std::string>& routes,
                                                       const std::vector<std::string>& vessels = {});

}  // namespace kovra::engine
