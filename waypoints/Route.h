// Routes (named, ordered lists of waypoint names) and the owning route list
// with its active route.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/BuildProfile.h"
#include "foundation/Export.h"
#include "waypoints/NamedList.h"

namespace kovra {

// Waypoint names in travelling order; duplicates and any text allowed.
using TNameList = std::vector<std::string>;

class KOVRA_API TRoute {
public:
    explicit TRoute(std::string RouteName) : FName(std::move(RouteName)) {}
    virtual ~TRoute() = default;

    const std::string& Name() const { return FName; }
    void Name(std::string value) { FName = std::move(value); }

    // The name list, edited in place by the host.
    TNameList& WayPoints() { return FWayPoints; }
    const TNameList& WayPoints() const { return FWayPoints; }
    void WayPoints(TNameList value) { FWayPoints = std::move(value); }

    // The last name, or the empty text.
    std::string Destination() const { return FWayPoints.empty() ? std::string() : FWayPoints.back(); }
    std::string GetDestination() const { return Destination(); }
    // The names joined by ",".
    std::string WayPointListToStr() const;

    // Writes the section "Route" with the route's name, then one section per
    // waypoint name; replaces the file as a whole.
    void SaveToFile(const TFileName& FileName) const;
    // Reads a route file into this route; a missing file changes nothing, a
    // file without sections throws std::out_of_range and changes nothing.
    void LoadFromFile(const TFileName& FileName);

private:
    std::string FName;
    TNameList FWayPoints;
};

// An ordered list of slots, each holding one owned route or empty, and the
// active route (borrowed: any route, listed or not). Removing a route from
// the list always releases it; releasing the active route clears ActiveRoute.
class KOVRA_API TRoutes {
public:
    TRoutes() = default;
    TRoutes(const TRoutes&) = delete;
    TRoutes& operator=(const TRoutes&) = delete;
    virtual ~TRoutes();

    // Appends Item unless it is none or its name is already present; moves
    // from Item only when it accepts it.
    bool Add(std::unique_ptr<TRoute>&& Item);
    bool Insert(int Idx, std::unique_ptr<TRoute>&& Item);
    void Delete(int Idx);
    // Deletes the matching route of highest position.
    void Delete(std::string_view RouteName);
    void Clear();
    int IndexOf(std::string_view RouteName) const;
    void Swap(std::string_view SourceName, std::string_view DestinationName);
    TRoute* GetByName(std::string_view RouteName) const;

    TRoute* GetItem(int Idx) const;
    // Replaces the route in slot Idx, releasing the one it held; none leaves
    // the slot empty. Moves from Item only when Idx < Count().
    void SetItem(int Idx, std::unique_ptr<TRoute>&& Item);
    TRoute* Items(int Idx) const { return GetItem(Idx); }
    void Items(int Idx, std::unique_ptr<TRoute>&& Item) { SetItem(Idx, std::move(Item)); }
    int GetCount() const;
    int Count() const { return GetCount(); }

    TRoute* ActiveRoute() const { return FActiveRoute; }
    void ActiveRoute(TRoute* value) { FActiveRoute = value; }

private:
    void Release(std::unique_ptr<TRoute> route);

    NamedList<TRoute> FItems;
    TRoute* FActiveRoute = nullptr;
};

}  // namespace kovra
