#include "engine/web/WebView.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

#include "foundation/Names.h"

namespace kovra::engine {

namespace {

using Json = nlohmann::json;

constexpr double kMaxSpeed = 1000;  // knots

std::string Error(const std::string& field, const std::string& what) { return "'" + field + "' " + what; }

bool Named(const std::vector<std::string>& names, const std::string& name) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return SameName(n, name); });
}

}  // namespace

std::string StateJson(const ViewState& s) {
    Json satellites = Json::array();
    for (const ViewSatellite& v : s.satellites) {
        satellites.push_back({{"system", v.system},
                              {"prn", v.prn},
                              {"elevation", v.elevation},
                              {"azimuth", v.azimuth},
                              {"snr", v.snr ? Json(*v.snr) : Json()},
                              {"used", v.used}});
    }
    Json waypoints = Json::array();
    for (const ViewWayPoint& w : s.waypoints) {
        waypoints.push_back({{"name", w.name}, {"lat", w.lat}, {"lon", w.lon}});
    }
    Json route;
    if (s.route) {
        route = {{"name", *s.route},
                 {"waypoints", s.routePoints},
                 {"next", s.next ? Json(*s.next) : Json()},
                 {"distance", s.nextDistance ? Json(*s.nextDistance) : Json()}};
    }
    const Json state = {{"vessel", s.vessel},   {"time", s.time},       {"lat", s.lat},         {"lon", s.lon},
                        {"alt", s.alt},         {"speed", s.speed},     {"course", s.course},
                        {"fix", s.fix},         {"hdop", s.hdop},       {"pdop", s.pdop},
                        {"vdop", s.vdop},       {"satellites", satellites}, {"waypoints", waypoints},
                        {"routes", s.routes},   {"route", route},       {"paused", s.paused},
                        {"outage", s.outage},   {"speedup", s.speedup}};
    // Names may hold any bytes: what is not UTF-8 is replaced, never refused.
    return state.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string WorldJson(const std::vector<ViewVessel>& vessels, const std::vector<ViewTarget>& targets,
                      const std::vector<ViewEvent>& events, double elapsed) {
    Json shown = Json::array();
    for (const ViewVessel& v : vessels) {
        shown.push_back({{"name", v.name}, {"lat", v.lat}, {"lon", v.lon}, {"speed", v.speed}, {"course", v.course},
                         {"fix", v.fix}});
    }
    Json heard = Json::array();
    for (const ViewTarget& t : targets) {
        heard.push_back({{"mmsi", t.mmsi},      {"name", t.name},       {"vessel", t.vessel},   {"kind", t.kind},
                         {"test", t.test},      {"lat", t.lat},         {"lon", t.lon},         {"speed", t.speed},
                         {"course", t.course},  {"range", t.rangeNm},   {"bearing", t.bearing}, {"cpa", t.cpaNm},
                         {"tcpa", t.tcpaSeconds}});
    }
    Json listed = Json::array();
    Json next;
    for (const ViewEvent& e : events) {
        // Applied at the update whose time reaches it, as the timeline applies it.
        if (next.is_null() && e.at > elapsed + 1e-9) {
            next = listed.size();
        }
        listed.push_back({{"at", e.at}, {"vessel", e.vessel}, {"action", e.action}});
    }
    const Json world = {{"vessels", shown}, {"targets", heard}, {"events", listed}, {"next", next}, {"elapsed", elapsed}};
    return world.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::variant<ControlRequest, std::string> ParseControl(std::string_view body, const std::vector<std::string>& waypoints,
                                                       const std::vector<std::string>& routes,
                                                       const std::vector<std::string>& vessels) {
    const Json json = Json::parse(body.begin(), body.end(), nullptr, false);
    if (json.is_discarded()) {
        return std::string("the body is not JSON");
    }
    if (!json.is_object()) {
        return std::string("the body is not a JSON object");
    }
    ControlRequest request;
    for (const auto& item : json.items()) {
        // Named copies, not structured bindings: lambdas below capture them.
        const std::string key = item.key();
        const Json& value = item.value();
        const auto number = [&](double low, double high, bool highIncluded) -> std::variant<double, std::string> {
            if (!value.is_number()) {
                return Error(key, "must be a number");
            }
            const double v = value.get<double>();
            if (!std::isfinite(v) || v < low || (highIncluded ? v > high : v >= high)) {
                return Error(key, "must be from " + Json(low).dump() + (highIncluded ? " to " : " to below ") +
                                      Json(high).dump());
            }
            return v;
        };
        if (key == "course" || key == "speed" || key == "speedup") {
            const auto v = key == "course" ? number(0, 360, false)
                           : key == "speed" ? number(0, kMaxSpeed, true)
                                            : number(0.1, 1000, true);
            if (const std::string* error = std::get_if<std::string>(&v)) {
                return *error;
            }
            (key == "course" ? request.course : key == "speed" ? request.speed : request.speedup) = std::get<double>(v);
        } else if (key == "pause" || key == "outage") {
            if (!value.is_boolean()) {
                return Error(key, "must be true or false");
            }
            (key == "pause" ? request.pause : request.outage) = value.get<bool>();
        } else if (key == "goto" || key == "route") {
            if (!value.is_string()) {
                return Error(key, "must be a name");
            }
            const std::string name = value.get<std::string>();
            if (!Named(key == "goto" ? waypoints : routes, name)) {
                return Error(key, key == "goto" ? "names no waypoint of the receiver" : "names no route of the receiver");
            }
            (key == "goto" ? request.goTo : request.route) = name;
        } else if (key == "vessel") {
            if (!value.is_string()) {
                return Error(key, "must be a name");
            }
            const std::string name = value.get<std::string>();
            if (std::find(vessels.begin(), vessels.end(), name) == vessels.end()) {
                return Error(key, "names no vessel of the run");
            }
            request.vessel = name;
        } else {
            return Error(key, "is not a control (course, speed, pause, outage, goto, route, speedup, vessel)");
        }
    }
    return request;
}

bool Merge(ControlRequest& pending, const ControlRequest& later) {
    if (pending.vessel != later.vessel) {
        return false;
    }
    if (later.course || later.goTo || later.route) {
        pending.course.reset();
        pending.goTo.reset();
        pending.route.reset();
    }
    const auto take = [](auto& into, const auto& from) {
        if (from) {
            into = from;
        }
    };
    take(pending.course, later.course);
    take(pending.goTo, later.goTo);
    take(pending.route, later.route);
    take(pending.speed, later.speed);
    take(pending.speedup, later.speedup);
    take(pending.pause, later.pause);
    take(pending.outage, later.outage);
    return true;
}

}  // namespace kovra::engine
