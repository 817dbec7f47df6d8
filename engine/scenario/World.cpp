#include "engine/scenario/World.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "foundation/Names.h"

namespace kovra::engine {

namespace {

// Names match in any letter case; of two with one name the later counts, as
// in the receiver's own lists.
template <typename Named>
const Named* FindLast(const std::vector<Named>& items, std::string_view name) {
    const auto found = std::find_if(items.rbegin(), items.rend(), [name](const Named& n) { return SameName(n.name, name); });
    return found == items.rend() ? nullptr : &*found;
}

// A gust's strength from 0 to 1, the same for the same seed and gust.
double GustStrength(std::uint64_t seed, std::int64_t gust) {
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ULL * (static_cast<std::uint64_t>(gust) + 1);  // splitmix64
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / 9007199254740992.0;  // 53 bits: [0, 1)
}

constexpr double kGustSeconds = 6;  // from one gust's peak to the next

}  // namespace

Wind WindAt(const Wind& wind, std::uint64_t seed, double elapsed) {
    if (wind.gusts <= wind.knots) {
        return wind;
    }
    // Between two gusts' peaks the speed follows a half cosine: smooth, and
    // at each peak exactly as strong as drawn.
    const double at = elapsed / kGustSeconds;
    const double whole = std::floor(at);
    const auto gust = static_cast<std::int64_t>(whole);
    const double blend = (1 - std::cos((at - whole) * std::numbers::pi)) / 2;
    const double strength = GustStrength(seed, gust) * (1 - blend) + GustStrength(seed, gust + 1) * blend;
    // Squared: mostly near the mean, now and then near the gusts' speed.
    return {wind.from, wind.knots + (wind.gusts - wind.knots) * strength * strength, wind.gusts};
}

const WayPoint* World::FindWayPoint(std::string_view name) const { return FindLast(waypoints, name); }

const Route* World::FindRoute(std::string_view name) const { return FindLast(routes, name); }

void World::PutRoute(Route route) {
    std::erase_if(routes, [&](const Route& r) { return SameName(r.name, route.name); });
    routes.push_back(std::move(route));
}

}  // namespace kovra::engine
