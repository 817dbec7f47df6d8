#include "ScenarioFile.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <span>
#include <string_view>

#include "Options.h"
#include "engine/run/Errors.h"
#include "files/DataFile.h"
#include "foundation/Names.h"
#include "foundation/Text.h"

namespace kovra::app {

namespace {

using UsageError = engine::SettingError;

// How a key's value becomes options.
enum class Shape : std::uint8_t {
    Value,    // one value: --option=VALUE
    Flag,     // true gives the flag
    NoFlag,   // false gives the flag (move: false is --no-move)
    Each,     // a list: the option once for each item
    Joined,   // a list or one value: the option once, the items joined by commas
    Map,      // keys of their own
    Special,  // read by code of its own
};

struct Key {
    std::string_view name;
    std::string_view option;
    Shape shape = Shape::Value;
    std::span<const Key> keys{};
};

constexpr Key kSkyKeys[] = {
    {"systems", "", Shape::Special}, {"almanac", "--almanac"}, {"elevation_mask", "--elevation-mask"}};
constexpr Key kLiveViewKeys[] = {{"listen", "--http"}, {"read_only", "--http-read-only", Shape::Flag}};
constexpr Key kSaveKeys[] = {{"satellites", "--save-satellites"}, {"waypoints", "--save-waypoints"},
                             {"route", "--save-route"},           {"skyplot", "--skyplot"},
                             {"skyplot_radius", "--skyplot-radius"}};
constexpr Key kRunKeys[] = {
    {"start", "--time"},
    {"seed", "--seed"},
    {"rate", "--rate"},
    {"count", "--count"},
    {"duration", "--duration"},
    {"speedup", "--speedup"},
    {"shard", "--shard"},
    {"fast", "--fast", Shape::Flag},
    {"verbose", "--verbose", Shape::Flag},
    {"sky", "", Shape::Map, kSkyKeys},
    {"waypoints", "--waypoint", Shape::Special},
    {"waypoints_file", "--waypoints"},
    {"routes", "--route", Shape::Special},
    {"gpx", "--gpx"},
    {"replay", "--replay"},
    {"replay_check", "--replay-check", Shape::Flag},
    {"record_gpx", "--record-gpx"},
    {"truth", "--truth"},
    {"live_view", "", Shape::Map, kLiveViewKeys},
    {"save", "", Shape::Map, kSaveKeys},
    {"ais_targets", "--ais-target", Shape::Special},
    {"vessels", "", Shape::Special},
    {"fleet", "", Shape::Special},
    {"events", "", Shape::Special},
};

constexpr Key kPositionKeys[] = {{"lat", "--lat"}, {"lon", "--lon"}};
constexpr Key kDopKeys[] = {{"pdop", "--pdop"}, {"hdop", "--hdop"}, {"vdop", "--vdop"}};
constexpr Key kLimitKeys[] = {
    {"rate_of_turn", "--rate-of-turn"}, {"acceleration", "--acceleration"}, {"climb_rate", "--climb-rate"}};
// A leg of a vessel's motion, as --leg takes it (a GPX track is a vessel's whole motion).
constexpr Key kLegKeys[] = {{"course", ""}, {"speed", ""}, {"altitude", ""}, {"for", ""},
                            {"goto", ""},   {"route", ""}, {"gpx_track", ""}};
constexpr Key kReceiverKeys[] = {{"profile", "--profile"},
                                 {"model", "--receiver"},
                                 {"settings", "--receiver-setting", Shape::Special},
                                 {"start", "--start"},
                                 {"leap_second", "--leap-second"},
                                 {"week_base", "--week-base"},
                                 {"sbas_corrections", "--sbas-corrections", Shape::Flag},
                                 {"talker", "--talker"},
                                 {"sentences", "--sentences", Shape::Joined},
                                 {"systems", "--gnss", Shape::Joined},
                                 {"route_interval", "--route-interval"},
                                 {"arrival_radius", "--arrival-radius"}};
constexpr Key kInstrumentKeys[] = {{"depth", "--depth"},
                                   {"depth_profile", "--depth-profile", Shape::Joined},
                                   {"rates", "--instrument-rate", Shape::Joined},
                                   {"transducer_offset", "--transducer-offset"},
                                   {"wind", "--wind"},
                                   {"water_temperature", "--water-temperature"},
                                   {"talker", "--instrument-talker"}};
constexpr Key kOutputKeys[] = {{"port", "--port"}, {"pty", "--pty"},
                               {"tcp", "--tcp", Shape::Each},   {"udp", "--udp", Shape::Each},
                               {"udp-broadcast", "--udp-broadcast", Shape::Each},
                               {"tcp-connect", "--tcp-connect", Shape::Each},
                               {"listen_udp", "--listen-udp"}};
constexpr Key kSerialKeys[] = {{"baud", "--baud"}, {"threaded", "--threaded", Shape::Flag}};
constexpr Key kNetworkKeys[] = {{"bind", "--bind"},
                                {"udp_batch", "--udp-batch", Shape::Flag},
                                {"udp_ttl", "--udp-ttl"},
                                {"tcp_max_clients", "--tcp-max-clients"},
                                {"tcp_idle", "--tcp-idle"}};
constexpr Key kFaultKeys[] = {{"drop", "--drop"},   {"corrupt", "--corrupt"},
                              {"truncate", "--truncate"},
                              {"garbage", "--garbage"},
                              {"jitter", "--jitter"},
                              {"noise", "--noise"},
                              {"outages", "--outage", Shape::Each},
                              {"freezes", "--freeze", Shape::Each},
                              {"extra", "--extra", Shape::Each},
                              {"ais", "--ais-faults", Shape::Special}};
constexpr Key kVesselKeys[] = {
    {"name", "--name"},
    {"kind", "--kind"},
    {"position", "", Shape::Map, kPositionKeys},
    {"altitude", "--alt"},
    {"geoid", "--geoid"},
    {"speed", "--speed"},
    {"course", "--heading"},
    {"heading", "--true-heading"},
    {"mag_heading", "--mag-heading"},
    {"mag_var", "--mag-var"},
    {"fix", "--fix"},
    {"dop", "", Shape::Map, kDopKeys},
    {"satellites", "--sat", Shape::Each},
    {"satellites_file", "--satellites"},
    {"route", "--route", Shape::Special},
    {"route_file", "--route-file"},
    {"gpx_route", "--gpx-route"},
    {"gpx_track", "--gpx-track"},
    {"follow_route", "--follow-route", Shape::Flag},
    {"autopilot", "--autopilot", Shape::Flag},
    {"autopilot_timeout", "--autopilot-timeout"},
    {"current", "--current"},
    {"leeway", "--leeway"},
    {"move", "--no-move", Shape::NoFlag},
    {"loop", "--loop", Shape::Flag},
    {"limits", "", Shape::Map, kLimitKeys},
    {"motion", "--leg", Shape::Special, kLegKeys},
    {"ais", "--ais", Shape::Special},
    {"receiver", "", Shape::Map, kReceiverKeys},
    {"instruments", "", Shape::Map, kInstrumentKeys},
    {"outputs", "", Shape::Special, kOutputKeys},
    {"serial", "", Shape::Map, kSerialKeys},
    {"network", "", Shape::Map, kNetworkKeys},
    {"faults", "", Shape::Map, kFaultKeys},
};

constexpr Key kCentreKeys[] = {{"lat", ""}, {"lon", ""}};
constexpr Key kAreaKeys[] = {{"center", "", Shape::Map, kCentreKeys}, {"radius_km", ""}};
constexpr Key kFleetKeys[] = {{"count", ""}, {"name", ""},   {"template", ""}, {"area", "", Shape::Map, kAreaKeys},
                              {"along", ""}, {"routes", ""}, {"outputs", ""}};

constexpr Key kChanceKeys[] = {{"drop", "--drop"}, {"corrupt", "--corrupt"}, {"truncate", "--truncate"},
                               {"garbage", "--garbage"}};
// An event's keys; the option is the one whose rule checks the value.
constexpr Key kEventKeys[] = {
    {"at", ""},
    {"vessel", ""},
    {"course", "--heading"},
    {"speed", "--speed"},
    {"altitude", "--alt"},
    {"rate_of_turn", "--rate-of-turn"},
    {"goto", ""},
    {"route", ""},
    {"outage", "", Shape::Special},
    {"freeze", "", Shape::Special},
    {"fault", "", Shape::Map, kChanceKeys},
    {"systems_off", "", Shape::Special},
    {"systems_on", "", Shape::Special},
    {"pause", "", Shape::Flag},
    {"resume", "", Shape::Flag},
    {"speedup", "--speedup"},
    {"depth", "--depth"},
    {"wind", "--wind"},
    {"current", "--current"},
    {"stop", "", Shape::Flag},
};

std::string KeyList(std::span<const Key> keys) {
    std::string list;
    for (const Key& key : keys) {
        list += (list.empty() ? "" : ", ") + std::string(key.name);
    }
    return list;
}

std::string Path(const std::string& parent, std::string_view key) {
    return parent.empty() ? std::string(key) : parent + "." + std::string(key);
}

std::optional<double> Number(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<engine::Gnss> SystemNamed(std::string name) {
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    const auto* named = std::find_if(std::begin(kSystemNames), std::end(kSystemNames),
                                     [&](const auto& known) { return known.first == name; });
    return named != std::end(kSystemNames) ? std::optional(named->second) : std::nullopt;
}

class Reader {
public:
    explicit Reader(std::string file) : file_(std::move(file)) {}

    ScenarioFile Read(const YAML::Node& root) {
        if (!root.IsMap()) {
            Fail(root, "a scenario is a map of keys (" + KeyList(kRunKeys) + ")");
        }
        if (const YAML::Node routes = root["routes"]) {
            ReadRoutes(routes);  // first: a vessel names its route from among them
        }
        ReadKeys(root, "", kRunKeys);
        out_.routes = routes_;
        // The sky's systems for every vessel that does not name its own.
        for (std::vector<FileArgument>* vessel = &out_.arguments; skySystems_ && vessel != nullptr;
             vessel = NextVessel(vessel)) {
            if (std::none_of(vessel->begin(), vessel->end(), [](const FileArgument& a) { return a.option == "--gnss"; })) {
                vessel->push_back(*skySystems_);
            }
        }
        return std::move(out_);
    }

private:
    std::string Where(const YAML::Node& node) const {
        const YAML::Mark mark = node.Mark();
        return file_ + ":" + std::to_string(mark.line + 1) + ":" + std::to_string(mark.column + 1);
    }
    [[noreturn]] void Fail(const YAML::Node& node, const std::string& what) const {
        throw UsageError(Where(node) + ": " + what);
    }

    std::string Scalar(const YAML::Node& node, const std::string& key) const {
        if (!node.IsScalar()) {
            Fail(node, key + ": expected a single value");
        }
        return node.Scalar();
    }
    bool Boolean(const YAML::Node& node, const std::string& key) const {
        bool value = false;
        if (!node.IsScalar() || !YAML::convert<bool>::decode(node, value)) {
            Fail(node, key + ": expected true or false");
        }
        return value;
    }
    void RequireList(const YAML::Node& node, const std::string& key, const std::string& items) const {
        if (!node.IsSequence()) {
            Fail(node, key + ": expected a list of " + items);
        }
    }

    // Each key of a map once, and only the known ones.
    void ForEachKey(const YAML::Node& map, const std::string& path, std::span<const Key> known,
                    const std::function<void(const Key&, const YAML::Node&, const std::string&)>& each) const {
        if (!map.IsMap()) {
            Fail(map, (path.empty() ? "the scenario" : path) + ": expected a map of keys (" + KeyList(known) + ")");
        }
        std::set<std::string> seen;
        for (const auto& entry : map) {
            const std::string name = entry.first.IsScalar() ? entry.first.Scalar() : "";
            const auto key = std::find_if(known.begin(), known.end(), [&](const Key& k) { return k.name == name; });
            if (key == known.end()) {
                Fail(entry.first, "unknown key " + engine::QuotedValue(name) + (path.empty() ? "" : " in " + path) +
                                      " (expected one of: " + KeyList(known) + ")");
            }
            if (!seen.insert(name).second) {
                Fail(entry.first, Path(path, name) + " is given twice");
            }
            each(*key, entry.second, Path(path, name));
        }
    }

    void Add(std::string_view option, std::optional<std::string> value, const std::string& key, const YAML::Node& at,
             bool repeats = false) {
        FileArgument argument{std::string(option), std::move(value), key, Where(at)};
        std::vector<FileArgument>& arguments = *arguments_;
        const auto same = std::find_if(arguments.begin(), arguments.end(),
                                       [&](const FileArgument& a) { return a.option == option; });
        if (same != arguments.end() && !repeats) {
            *same = std::move(argument);  // a vessel's own systems over the sky's
        } else {
            arguments.push_back(std::move(argument));
        }
    }

    std::string Joined(const YAML::Node& node, const std::string& key) const {
        if (!node.IsSequence()) {
            return Scalar(node, key);
        }
        std::string joined;
        for (const YAML::Node& item : node) {
            joined += (joined.empty() ? "" : ",") + Scalar(item, key);
        }
        return joined;
    }

    void ReadKeys(const YAML::Node& map, const std::string& path, std::span<const Key> known) {
        ForEachKey(map, path, known, [&](const Key& key, const YAML::Node& value, const std::string& at) {
            switch (key.shape) {
                case Shape::Value: Add(key.option, Scalar(value, at), at, value); break;
                case Shape::Flag:
                    if (Boolean(value, at)) Add(key.option, std::nullopt, at, value);
                    break;
                case Shape::NoFlag:
                    if (!Boolean(value, at)) Add(key.option, std::nullopt, at, value);
                    break;
                case Shape::Each:
                    RequireList(value, at, "values");
                    for (const YAML::Node& item : value) Add(key.option, Scalar(item, at), at, item, true);
                    break;
                case Shape::Joined: Add(key.option, Joined(value, at), at, value); break;
                case Shape::Map: ReadKeys(value, at, key.keys); break;
                case Shape::Special: ReadSpecial(key, value, at); break;
            }
        });
    }

    std::vector<FileArgument>* NextVessel(std::vector<FileArgument>* vessel) {
        if (vessel == &out_.arguments) {
            return out_.vessels.empty() ? nullptr : &out_.vessels.front();
        }
        const auto next = static_cast<std::size_t>(vessel - out_.vessels.data()) + 1;
        return next < out_.vessels.size() ? &out_.vessels[next] : nullptr;
    }

    void ReadSpecial(const Key& key, const YAML::Node& value, const std::string& at) {
        if (key.name == "systems") {
            skySystems_ = FileArgument{"--gnss", Joined(value, at), at, Where(value)};
        } else if (key.name == "waypoints") {
            ReadWayPoints(value, at);
        } else if (key.name == "vessels") {
            out_.hasVessels = true;
            ReadVessels(value, at);
        } else if (key.name == "fleet") {
            ReadFleet(value, at);
        } else if (key.name == "events") {
            RequireList(value, at, "events");
            for (std::size_t i = 0; i < value.size(); ++i) {
                ReadEvent(value[i], at + "[" + std::to_string(i) + "]");
            }
        } else if (key.name == "route") {
            const std::string name = Scalar(value, at);
            const auto route = std::find_if(routes_.begin(), routes_.end(),
                                            [&](const auto& r) { return SameName(r.first, name); });
            if (route == routes_.end()) {
                Fail(value, at + ": no route named " + engine::QuotedValue(name) + " in routes");
            }
            Add("--route", route->second, at, value);
        } else if (key.name == "motion") {
            ReadMotion(value, at);
        } else if (key.name == "ais") {
            Add(key.option, Flattened(value, at), at, value);
        } else if (key.name == "settings") {
            for (const std::string& setting : Split(Flattened(value, at), ',')) {
                Add(key.option, setting, at + "." + setting.substr(0, setting.find('=')), value, true);
            }
        } else if (key.name == "ais_targets") {
            RequireList(value, at, "AIS targets ({mmsi, lat, lon, course, speed} or {mmsi, cpa, in, bearing, speed})");
            for (std::size_t i = 0; i < value.size(); ++i) {
                const std::string item = at + "[" + std::to_string(i) + "]";
                Add("--ais-target", Flattened(value[i], item), item, value[i], true);
            }
        } else if (key.name == "outputs") {
            RequireList(value, at, "outputs (udp: HOST:PORT, tcp: PORT, pty: LINK, …)");
            for (std::size_t i = 0; i < value.size(); ++i) {
                const std::string item = at + "[" + std::to_string(i) + "]";
                ForEachKey(value[i], item, kOutputKeys, [&](const Key& output, const YAML::Node& target, const std::string& where) {
                    const std::string text = Scalar(target, where);
                    Add(output.option, text.empty() && output.name == "pty" ? std::nullopt : std::optional(text), where,
                        target, output.shape == Shape::Each);
                });
            }
        }
        // routes were read first
    }

    // A map of single values as an option takes it: "class=A,mmsi=211234560".
    std::string Flattened(const YAML::Node& map, const std::string& at) const {
        if (!map.IsMap()) {
            Fail(map, at + ": expected a map of keys");
        }
        std::string text;
        for (const auto& item : map) {
            const std::string key = Scalar(item.first, at);
            const std::string value = Scalar(item.second, at + "." + key);
            if (value.find(',') != std::string::npos) {
                Fail(item.second, at + "." + key + ": a value here holds no comma");
            }
            text += (text.empty() ? "" : ",") + key + "=" + value;
        }
        return text;
    }

    // Each leg becomes a --leg "course=90,speed=6,for=60", checked by its rule.
    void ReadMotion(const YAML::Node& list, const std::string& at) {
        RequireList(list, at, "legs ({course, speed, for}, {goto}, {route}, {gpx_track})");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string item = at + "[" + std::to_string(i) + "]";
            std::string leg;
            ForEachKey(list[i], item, kLegKeys, [&](const Key& key, const YAML::Node& value, const std::string& where) {
                if (key.name == "gpx_track") {
                    if (list.size() != 1 || list[i].size() != 1) {
                        Fail(value, where + ": a GPX track is sailed at its recorded times: it is the vessel's whole "
                                            "motion, a leg on its own");
                    }
                    Add("--gpx-track", Scalar(value, where), where, value);
                    return;
                }
                leg += (leg.empty() ? "" : ",") + std::string(key.name) + "=" + Scalar(value, where);
            });
            if (!leg.empty()) {
                Add("--leg", leg, item, list[i], true);
            }
        }
    }

    void ReadWayPoints(const YAML::Node& list, const std::string& at) {
        RequireList(list, at, "waypoints ({name, lat, lon})");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string item = at + "[" + std::to_string(i) + "]";
            static constexpr Key kWayPointKeys[] = {{"name", ""}, {"lat", ""}, {"lon", ""}};
            std::map<std::string, std::string, std::less<>> fields;
            ForEachKey(list[i], item, kWayPointKeys, [&](const Key& key, const YAML::Node& value, const std::string& where) {
                fields[std::string(key.name)] = Scalar(value, where);
            });
            if (fields.size() != 3) {
                Fail(list[i], item + ": a waypoint needs name, lat and lon");
            }
            Add("--waypoint", fields["name"] + "," + fields["lat"] + "," + fields["lon"], item, list[i], true);
        }
    }

    void ReadRoutes(const YAML::Node& list) {
        RequireList(list, "routes", "routes ({name, waypoints})");
        for (std::size_t i = 0; i < list.size(); ++i) {
            const std::string item = "routes[" + std::to_string(i) + "]";
            static constexpr Key kRouteKeys[] = {{"name", ""}, {"waypoints", ""}};
            std::string name, points;
            bool named = false;
            ForEachKey(list[i], item, kRouteKeys, [&](const Key& key, const YAML::Node& value, const std::string& where) {
                if (key.name == "name") {
                    name = Scalar(value, where);
                    named = true;
                } else {
                    RequireList(value, where, "waypoint names");
                    points = Joined(value, where);
                }
            });
            if (!named || name.empty()) {
                Fail(list[i], item + ": a route needs a name");
            }
            for (const auto& [other, _] : routes_) {
                if (SameName(other, name)) {
                    Fail(list[i], item + ": route " + engine::QuotedValue(name) +
                                      " is given twice (names match without regard to letter case)");
                }
            }
            routes_.emplace_back(name, name + ":" + points);
        }
    }

    void ReadVessels(const YAML::Node& list, const std::string& at) {
        RequireList(list, at, "vessels");
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (i > 0) {
                arguments_ = &out_.vessels.emplace_back();
            }
            ReadKeys(list[i], at + "[" + std::to_string(i) + "]", kVesselKeys);
            arguments_ = &out_.arguments;
        }
    }

    void ReadFleet(const YAML::Node& node, const std::string& at) {
        FleetSpec fleet;
        fleet.where = Where(node);
        ForEachKey(node, at, kFleetKeys, [&](const Key& key, const YAML::Node& value, const std::string& where) {
            const std::string_view name = key.name;
            if (name == "template") {
                std::vector<FileArgument>* outer = arguments_;
                arguments_ = &fleet.vesselKeys;
                ReadKeys(value, where, kVesselKeys);
                arguments_ = outer;
            } else if (name == "area") {
                ForEachKey(value, where, kAreaKeys, [&](const Key& part, const YAML::Node& v, const std::string& w) {
                    if (part.name == "radius_km") {
                        fleet.radiusKm = Within(v, w, 0, 20'000, "kilometres");
                        return;
                    }
                    double lat = 0, lon = 0;
                    ForEachKey(v, w, kCentreKeys, [&](const Key& c, const YAML::Node& d, const std::string& dw) {
                        (c.name == "lat" ? lat : lon) = Within(d, dw, c.name == "lat" ? -90 : -180,
                                                               c.name == "lat" ? 90 : 180, "degrees");
                    });
                    fleet.center = {lat, lon};
                });
            } else if (name == "outputs") {
                RequireList(value, where, "outputs (udp: HOST:PORT+i, tcp-connect: HOST:PORT, …)");
                for (std::size_t i = 0; i < value.size(); ++i) {
                    const std::string item = where + "[" + std::to_string(i) + "]";
                    ForEachKey(value[i], item, kOutputKeys, [&](const Key& output, const YAML::Node& v, const std::string& w) {
                        fleet.outputs.push_back({std::string(output.option), Scalar(v, w), Where(v)});
                    });
                }
            } else if (name == "count") {
                fleet.count = static_cast<std::size_t>(Within(value, where, 1, 100'000, "vessels"));
            } else {
                const std::string text = Scalar(value, where);
                (name == "name" ? fleet.name : name == "along" ? fleet.along.emplace() : fleet.routes) = text;
            }
        });
        if (fleet.count == 0) {
            Fail(node, at + ": a fleet needs its count");
        }
        if (fleet.center.has_value() == fleet.along.has_value()) {
            Fail(node, at + ": a fleet starts in an area (center and radius_km) or along a route, one of them");
        }
        YAML::Emitter text;
        text << YAML::Flow << node;
        fleet.text = text.c_str();
        out_.fleet = std::move(fleet);
    }

    // A number of the file's own keys, within its range.
    double Within(const YAML::Node& value, const std::string& where, double low, double high,
                  const std::string& unit) const {
        const std::string text = Scalar(value, where);
        const std::optional<double> number = Number(text);
        if (!number || *number < low || *number > high) {
            Fail(value, where + ": " + engine::QuotedValue(text) + " is not from " + FloatText(low) + " to " +
                            FloatText(high) + " " + unit);
        }
        return *number;
    }
    static std::string FloatText(double value) {
        if (value == std::floor(value) && std::fabs(value) < 1e15) {
            return std::to_string(static_cast<long long>(value));
        }
        char text[32];
        return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
    }

    void ReadEvent(const YAML::Node& node, const std::string& at) {
        FileEvent event;
        event.where = Where(node);
        bool acts = false;
        ForEachKey(node, at, kEventKeys, [&](const Key& key, const YAML::Node& value, const std::string& where) {
            const std::string_view name = key.name;
            acts = acts || (name != "at" && name != "vessel");
            if (key.shape == Shape::Map) {
                ReadChances(value, where, event);
            } else if (key.shape == Shape::Flag) {
                const bool on = Boolean(value, where);
                if (name == "pause" || name == "resume") {
                    event.action.pause = on == (name == "pause");
                } else if (on) {
                    event.action.stop = true;
                }
            } else if (name == "systems_off" || name == "systems_on") {
                ReadSystems(value, where, name == "systems_off" ? event.action.systemsOff : event.action.systemsOn);
            } else if (name == "outage" || name == "freeze") {
                ReadWindow(value, where, name == "outage" ? event.action.outage : event.action.freeze,
                           name == "outage" ? event.outageFor : event.freezeFor);
            } else {
                ReadEventValue(key, value, where, event);
            }
        });
        if (!acts) {
            Fail(node, at + ": an event needs something to do (" + KeyList(std::span(kEventKeys).subspan(2)) + ")");
        }
        if (!event.seconds && !event.time) {
            Fail(node, at + ": an event needs its time: at, seconds from the start or a UTC time");
        }
        YAML::Emitter text;
        text << YAML::Flow << node;
        event.text = text.c_str();
        out_.events.push_back(std::move(event));
    }

    void ReadEventValue(const Key& key, const YAML::Node& value, const std::string& where, FileEvent& event) const {
        const std::string text = Scalar(value, where);
        const std::string_view name = key.name;
        if (name == "at") {
            if (const std::optional<double> seconds = Number(text)) {
                if (*seconds < 0) {
                    Fail(value, where + ": " + engine::QuotedValue(text) + " is before the start");
                }
                event.seconds = *seconds;
            } else {
                event.time = text;
            }
            return;
        }
        if (name == "vessel") {
            event.vessel = text;
        } else if (name == "goto") {
            event.action.goTo = text;
        } else if (name == "route") {
            event.action.route = text;
        } else {
            event.checks.push_back({std::string(key.option), text, where, Where(value)});
            const double number = Number(text).value_or(0);
            if (name == "course") event.action.course = number;
            if (name == "speed") event.action.speed = number;
            if (name == "altitude") event.action.altitude = number;
            if (name == "rate_of_turn") event.action.rateOfTurn = number;
            if (name == "speedup") event.action.speedup = number;
            if (name == "depth") event.action.depth = number;
            try {  // a value these do not take is told by its check, with where it stands
                if (name == "wind") event.action.wind = ParseWind(text);
                if (name == "current") event.action.current = ParseCurrent(text);
            } catch (const UsageError&) {
            }
        }
    }

    void ReadChances(const YAML::Node& map, const std::string& at, FileEvent& event) const {
        ForEachKey(map, at, kChanceKeys, [&](const Key& key, const YAML::Node& value, const std::string& where) {
            const std::string text = Scalar(value, where);
            event.checks.push_back({std::string(key.option), text, where, Where(value)});
            const double chance = Number(text).value_or(0);
            engine::SentenceChances& c = event.action.chances;
            (key.name == "drop" ? c.drop : key.name == "corrupt" ? c.corrupt : key.name == "truncate" ? c.truncate : c.garbage) =
                chance;
        });
    }

    void ReadSystems(const YAML::Node& value, const std::string& where, std::vector<engine::Gnss>& systems) const {
        const std::vector<YAML::Node> items = value.IsSequence() ? std::vector<YAML::Node>(value.begin(), value.end())
                                                                 : std::vector<YAML::Node>{value};
        for (const YAML::Node& item : items) {
            const std::string name = Scalar(item, where);
            const std::optional<engine::Gnss> system = SystemNamed(name);
            if (!system) {
                Fail(item, where + ": unknown system " + engine::QuotedValue(name) + " (use gps, glonass, galileo, beidou)");
            }
            systems.push_back(*system);
        }
    }

    // true or false starts or ends it; a number of seconds does both.
    void ReadWindow(const YAML::Node& value, const std::string& where, std::optional<bool>& on,
                    std::optional<double>& length) const {
        const std::string text = Scalar(value, where);
        if (const std::optional<double> seconds = Number(text)) {
            if (*seconds <= 0) {
                Fail(value, where + ": " + engine::QuotedValue(text) + " is not above 0 seconds");
            }
            on = true;
            length = *seconds;
            return;
        }
        on = Boolean(value, where + " (true, false or seconds)");
    }

    std::string file_;
    ScenarioFile out_;
    std::vector<FileArgument>* arguments_ = &out_.arguments;  // the vessel's being read
    std::optional<FileArgument> skySystems_;
    std::vector<std::pair<std::string, std::string>> routes_;  // name, "NAME:WP,…" as --route takes it
};

// ---- Writing a scenario back -------------------------------------------------

using Given = std::map<std::string, std::vector<std::string>, std::less<>>;

bool AnyGiven(std::span<const Key> keys, const Given& given) {
    return std::any_of(keys.begin(), keys.end(), [&](const Key& key) {
        return key.shape == Shape::Map ? AnyGiven(key.keys, given) : given.contains(key.option);
    });
}

void EmitWayPoints(YAML::Emitter& out, const std::vector<std::string>& values) {
    out << YAML::Key << "waypoints" << YAML::Value << YAML::BeginSeq;
    for (const std::string& text : values) {
        const std::size_t second = text.rfind(',');
        const std::size_t first = second == std::string::npos || second == 0 ? std::string::npos : text.rfind(',', second - 1);
        if (first == std::string::npos) {
            continue;  // refused by the options before any dump
        }
        out << YAML::Flow << YAML::BeginMap << YAML::Key << "name" << YAML::Value << text.substr(0, first)
            << YAML::Key << "lat" << YAML::Value << text.substr(first + 1, second - first - 1) << YAML::Key << "lon"
            << YAML::Value << text.substr(second + 1) << YAML::EndMap;
    }
    out << YAML::EndSeq;
}

void EmitRoutes(YAML::Emitter& out, const std::vector<std::string>& values) {
    out << YAML::Key << "routes" << YAML::Value << YAML::BeginSeq;
    for (const std::string& text : values) {
        const std::size_t colon = text.find(':');
        const std::string points = colon == std::string::npos ? "" : text.substr(colon + 1);
        out << YAML::BeginMap << YAML::Key << "name" << YAML::Value << text.substr(0, colon) << YAML::Key
            << "waypoints" << YAML::Value << YAML::Flow << YAML::BeginSeq;
        for (const std::string& point : points.empty() ? std::vector<std::string>{} : Split(points, ',')) {
            out << point;
        }
        out << YAML::EndSeq << YAML::EndMap;
    }
    out << YAML::EndSeq;
}

void EmitOutputs(YAML::Emitter& out, const Given& given) {
    if (!AnyGiven(kOutputKeys, given)) {
        return;
    }
    out << YAML::Key << "outputs" << YAML::Value << YAML::BeginSeq;
    for (const Key& key : kOutputKeys) {
        const auto found = given.find(key.option);
        if (found == given.end()) {
            continue;
        }
        for (const std::string& target : found->second.empty() ? std::vector<std::string>{""} : found->second) {
            out << YAML::Flow << YAML::BeginMap << YAML::Key << std::string(key.name) << YAML::Value << target
                << YAML::EndMap;
        }
    }
    out << YAML::EndSeq;
}

// The keys whose options were given, in the table's order; an option two
// keys give (the sky's systems, a vessel's) is written once, at the first.
void EmitKeys(YAML::Emitter& out, std::span<const Key> keys, const Given& given, std::set<std::string>& written,
              const std::function<void(const Key&)>& special) {
    for (const Key& key : keys) {
        if (key.shape == Shape::Special) {
            special(key);
            continue;
        }
        if (key.shape == Shape::Map) {
            if (AnyGiven(key.keys, given)) {
                const bool small = key.keys.size() <= 3 && key.name != "sky";
                out << YAML::Key << std::string(key.name) << YAML::Value;
                if (small) {
                    out << YAML::Flow;
                }
                out << YAML::BeginMap;
                EmitKeys(out, key.keys, given, written, special);
                out << YAML::EndMap;
            }
            continue;
        }
        const auto found = given.find(key.option);
        if (found == given.end() || !written.insert(std::string(key.option)).second) {
            continue;
        }
        const std::vector<std::string>& values = found->second;
        out << YAML::Key << std::string(key.name) << YAML::Value;
        switch (key.shape) {
            case Shape::Flag: out << true; break;
            case Shape::NoFlag: out << false; break;
            case Shape::Each: out << values; break;
            case Shape::Joined: out << YAML::Flow << Split(values.empty() ? "" : values.front(), ','); break;
            default: out << (values.empty() ? std::string() : values.front()); break;
        }
    }
}

// "course=90,for=60" as the map it came from, {course: 90, for: 60}.
void EmitMap(YAML::Emitter& out, const std::string& text) {
    out << YAML::Flow << YAML::BeginMap;
    for (const std::string& part : Split(text, ',')) {
        const std::size_t equals = part.find('=');
        out << YAML::Key << part.substr(0, equals) << YAML::Value << part.substr(equals + 1);
    }
    out << YAML::EndMap;
}

// Each value of a repeated option (--leg, --ais-target) as a map of a list.
void EmitMaps(YAML::Emitter& out, const char* key, const std::vector<std::string>& texts) {
    out << YAML::Key << key << YAML::Value << YAML::BeginSeq;
    for (const std::string& text : texts) {
        EmitMap(out, text);
    }
    out << YAML::EndSeq;
}

// A vessel's own keys: what the run gives every vessel is written with the run.
void EmitVessel(YAML::Emitter& out, const Given& given, std::set<std::string>& written) {
    out << YAML::BeginMap;
    EmitKeys(out, kVesselKeys, given, written, [&](const Key& inner) {
        const auto route = given.find(inner.option);
        if (inner.name == "outputs") {
            EmitOutputs(out, given);
        } else if (inner.name == "route" && route != given.end()) {
            out << YAML::Key << "route" << YAML::Value << route->second.front().substr(0, route->second.front().find(':'));
        } else if (inner.name == "motion" && route != given.end()) {
            EmitMaps(out, "motion", route->second);
        } else if (inner.name == "ais" && route != given.end()) {
            out << YAML::Key << "ais" << YAML::Value;
            EmitMap(out, route->second.front());
        } else if (inner.name == "settings" && route != given.end()) {
            std::string joined;
            for (const std::string& setting : route->second) {
                joined += (joined.empty() ? "" : ",") + setting;
            }
            out << YAML::Key << "settings" << YAML::Value;
            EmitMap(out, joined);
        }
    });
    out << YAML::EndMap;
}

}  // namespace

ScenarioFile ReadScenarioText(const std::string& text, const std::string& file) {
    YAML::Node root;
    try {
        root = YAML::Load(text);
    } catch (const YAML::Exception& e) {
        throw UsageError(file + ":" + std::to_string(e.mark.line + 1) + ":" + std::to_string(e.mark.column + 1) +
                         ": " + e.msg);
    }
    return Reader(file).Read(root);
}

ScenarioFile ReadScenarioFile(const std::string& file) {
    const std::optional<std::string> text = ReadDataFile(ToPath(FileNameFromUtf8(file)));
    if (!text) {
        throw UsageError("cannot read scenario file " + engine::QuotedValue(file) + ": No such file or directory");
    }
    return ReadScenarioText(*text, file);
}

std::string ScenarioText(const std::vector<GivenOption>& options, const std::vector<std::vector<GivenOption>>& vessels,
                         const std::vector<FileEvent>& events, const std::optional<FleetSpec>& fleet) {
    const auto givenOf = [](const std::vector<GivenOption>& list) {
        Given given;
        for (const GivenOption& option : list) {
            auto& values = given[option.option];
            values.insert(values.end(), option.values.begin(), option.values.end());
        }
        return given;
    };
    const Given given = givenOf(options);
    std::set<std::string> written;
    YAML::Emitter out;
    out << YAML::Comment("a kovra-nmea scenario: kovra-nmea --scenario FILE runs it") << YAML::Newline;
    out << YAML::BeginMap;
    const auto special = [&](const Key& key) {
        const auto found = key.option.empty() ? given.end() : given.find(key.option);
        if (key.name == "waypoints" && found != given.end()) {
            EmitWayPoints(out, found->second);
        } else if (key.name == "routes" && found != given.end()) {
            EmitRoutes(out, found->second);
        } else if (key.name == "outputs") {
            EmitOutputs(out, given);
        } else if (key.name == "vessels" && (AnyGiven(kVesselKeys, given) || AnyGiven(kOutputKeys, given) || !vessels.empty())) {
            out << YAML::Key << "vessels" << YAML::Value << YAML::BeginSeq;
            EmitVessel(out, given, written);
            for (const std::vector<GivenOption>& vessel : vessels) {
                std::set<std::string> own;
                EmitVessel(out, givenOf(vessel), own);
            }
            out << YAML::EndSeq;
        } else if (key.name == "ais_targets" && found != given.end()) {
            EmitMaps(out, "ais_targets", found->second);
        } else if (key.name == "fleet" && fleet) {
            out << YAML::Key << "fleet" << YAML::Value << YAML::Load(fleet->text);
        } else if (key.name == "events" && !events.empty()) {
            out << YAML::Key << "events" << YAML::Value << YAML::BeginSeq;
            for (const FileEvent& event : events) {
                out << YAML::Flow << YAML::Load(event.text);
            }
            out << YAML::EndSeq;
        }
    };
    EmitKeys(out, kRunKeys, given, written, special);
    out << YAML::EndMap;
    return std::string(out.c_str()) + "\n";
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool RunOption(const std::string& option) {
    const std::function<bool(std::span<const Key>)> in = [&](std::span<const Key> keys) {
        return std::any_of(keys.begin(), keys.end(), [&](const Key& key) {
            return key.option == option || in(key.keys);
        });
    };
    return in(kRunKeys) && !in(kVesselKeys);
}

std::vector<std::string> ScenarioOptions() {
    std::vector<std::string> options;
    const std::function<void(std::span<const Key>)> collect = [&](std::span<const Key> keys) {
        for (const Key& key : keys) {
            if (!key.option.empty() &&
                std::find(options.begin(), options.end(), key.option) == options.end()) {
                options.emplace_back(key.option);
            }
            collect(key.keys);
        }
    };
    collect(kRunKeys);
    collect(kVesselKeys);
    return options;
}

}  // namespace kovra::app
