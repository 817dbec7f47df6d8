// Scenario files: a run written down in YAML (JSON, being YAML, is read
// too). The run's keys and the first vessel's stand for the options they
// name and are checked by the options' own rules; the events go on the
// timeline. A run's options written back as a file give the same run.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/scenario/Timeline.h"

namespace kovra::app {

// A value the file gives an option, and where it stands.
struct FileArgument {
    std::string option;                // "--speed"
    std::optional<std::string> value;  // none for a flag
    std::string key;                   // "vessels[0].speed", for messages
    std::string where;                 // "ferry.yaml:7:12"
    // As the command line writes it: "--speed=6", "--fast".
    std::string Text() const { return value ? option + "=" + *value : option; }
};

// An event as the file gives it. Its time and vessel are resolved once the
// start and the vessels are known.
struct FileEvent {
    std::string where;
    std::string text;                   // the event in YAML's flow style, for a dump
    std::optional<double> seconds;      // from the start
    std::optional<std::string> time;    // or at this UTC time
    std::string vessel = "all";
    int vesselIndex = -1;               // resolved: the vessel's place in the scenario; -1 for all
    engine::Action action;
    std::optional<double> outageFor, freezeFor;  // an outage or freeze that ends this long after it starts
    // The event's values, checked as the options that take them check them.
    std::vector<FileArgument> checks;
};

// N vessels from one template: where they start, how they steer, where
// each one's updates go; made deterministically from the seed.
struct FleetSpec {
    std::string where;                       // the block's place, for messages
    std::string text;                        // the block in YAML's flow style, for a dump
    std::size_t count = 0;
    std::string name = "fleet";              // the vessels are "NAME 1", "NAME 2", …
    std::vector<FileArgument> vesselKeys;    // the template's, as a vessel's own
    std::optional<std::pair<double, double>> center;  // latitude, longitude of the area
    double radiusKm = 0;
    std::optional<std::string> along;        // or starting along this route
    std::string routes;                      // "random": a route each through the area; or a route's name
    struct Output {
        std::string option, pattern, where;  // "--udp", "127.0.0.1:20000+i"
    };
    std::vector<Output> outputs;
};

struct ScenarioFile {
    std::vector<FileArgument> arguments;             // the run's and the first vessel's
    std::vector<std::vector<FileArgument>> vessels;  // each further vessel's own
    std::vector<FileEvent> events;
    std::optional<FleetSpec> fleet;
    std::vector<std::pair<std::string, std::string>> routes;  // name, and the route as --route takes it
    bool hasVessels = false;  // a vessels list of its own, beside any fleet
};

// UsageError "FILE:LINE:COLUMN: what was expected" for a file that cannot
// be used: a key it does not know, a value of the wrong kind, a name given twice.
ScenarioFile ReadScenarioFile(const std::string& file);
ScenarioFile ReadScenarioText(const std::string& text, const std::string& file);

// An option as the run was given it, with its values (none for a flag).
struct GivenOption {
    std::string option;
    std::vector<std::string> values;
};
// The scenario file that gives these options (the run's and the first
// vessel's), the further vessels' own and the events.
std::string ScenarioText(const std::vector<GivenOption>& given, const std::vector<std::vector<GivenOption>>& vessels,
                         const std::vector<FileEvent>& events, const std::optional<FleetSpec>& fleet = std::nullopt);

// The parts of `text` between each `separator`: "a,,b" is "a", "", "b".
std::vector<std::string> Split(const std::string& text, char separator);

// Whether an option is the run's, given to every vessel, rather than a vessel's own.
bool RunOption(const std::string& option);

// The options a scenario file can give, each once.
std::vector<std::string> ScenarioOptions();

}  // namespace kovra::app
