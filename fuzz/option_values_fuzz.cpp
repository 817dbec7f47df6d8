// Any bytes as the value of an option that takes a structured value
// (coordinates, times, satellites, waypoints, routes, output lists, fault
// windows) are parsed and applied without crashing, in time linear in their
// length. The first byte picks the option ("a" --lat, "b" --lon, …), the rest is its value.
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "Options.h"
#include "Setup.h"

namespace {

struct Case {
    const char* option;
    std::vector<std::string> before;  // what the value needs beside it
};

const Case kCases[] = {
    {"--lat", {}},
    {"--lon", {}},
    {"--time", {}},
    {"--sat", {"--profile", "classic"}},
    {"--sat", {}},
    {"--waypoint", {}},
    {"--route", {"--waypoint", "A,54,10", "--waypoint", "B,54.1,10.1"}},
    {"--mag-var", {}},
    {"--sentences", {}},
    {"--sentences", {"--profile", "classic"}},
    {"--udp", {}},
    {"--tcp", {}},
    {"--tcp-connect", {}},
    {"--outage", {}},
    {"--freeze", {}},
    {"--http", {}},
    {"--gnss", {}},
    {"--extra", {}},
    {"--count", {}},
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kovra::app;
    if (size == 0) {
        return 0;
    }
    // Refusals are reported on standard error as they would be; not here.
    static std::ostringstream quiet;
    static const bool silenced = (std::cerr.rdbuf(quiet.rdbuf()), std::cout.rdbuf(quiet.rdbuf()), true);
    (void)silenced;
    quiet.str({});

    const Case& c = kCases[static_cast<unsigned char>(data[0] - 'a') % std::size(kCases)];  // "a..." is --lat
    std::vector<std::string> words = {"kovra-nmea"};
    words.insert(words.end(), c.before.begin(), c.before.end());
    words.push_back(std::string(c.option) + "=" + std::string(reinterpret_cast<const char*>(data + 1), size - 1));
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    const ParseResult parsed = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    if (parsed.exitNow) {
        return 0;
    }
    try {
        kovra::TKovraNMEAGenerator gps;
        (void)BuildScenario(parsed.options, gps);
    } catch (const UsageError&) {
        // refused with its message, as it should be
    }
    return 0;
}
