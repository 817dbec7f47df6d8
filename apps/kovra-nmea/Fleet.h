// A fleet's vessels made from its template: member by member from the
// seed, so that a member's start, course, route and faults do not depend
// on how many others the fleet has.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ScenarioFile.h"

namespace kovra::app {

// The seed of stream `index` of a run seeded `seed` (splitmix64 of both).
std::uint64_t StreamSeed(std::uint64_t seed, std::uint64_t index);

// The seed of a further vessel's faults, from its name: its bytes do not
// depend on which vessels run beside it.
std::uint64_t VesselSeed(std::uint64_t seed, const std::string& name);

// What each member has of its own beside the template: name, start,
// course, route and outputs, as a vessel's keys. `file` gives the routes and
// waypoints the fleet names. UsageError for an output pattern that runs
// out of ports, or a route the file does not have.
std::vector<std::vector<FileArgument>> FleetVessels(const ScenarioFile& file, std::uint64_t seed);

}  // namespace kovra::app
