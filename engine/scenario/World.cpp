#include "engine/scenario/World.h"

#include <algorithm>

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

}  // namespace

const WayPoint* World::FindWayPoint(std::string_view name) const { return FindLast(waypoints, name); }

const Route* World::FindRoute(std::string_view name) const { return FindLast(routes, name); }

void World::PutRoute(Route route) {
    std::erase_if(routes, [&](const Route& r) { return SameName(r.name, route.name); });
    routes.push_back(std::move(route));
}

}  // namespace kovra::engine
