// Named waypoints and the owning waypoint list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Position.h"
#include "foundation/Types.h"
#include "foundation/BuildProfile.h"
#include "foundation/Export.h"
#include "waypoints/NamedList.h"

namespace kovra {

class KOVRA_API TWayPoint {
public:
    // A waypoint at 0° 0′ 0″ N, 0° 0′ 0″ E; any name is taken.
    explicit TWayPoint(std::string WayPointName);

    const std::string& Name() const { return FName; }
    void Name(std::string value) { FName = std::move(value); }

    // Each setter throws EKovraNMEAException with its fixed message and keeps
    // the old value when the new one is out of range.
    std::int32_t Latitude_Degree() const { return FPosition.latDeg; }
    void Latitude_Degree(std::int32_t value) { SetLatDeg(value); }
    std::int32_t Latitude_Minute() const { return FPosition.latMin; }
    void Latitude_Minute(std::int32_t value) { SetLatMin(value); }
    Extended Latitude_Second() const { return FPosition.latSec; }
    void Latitude_Second(Extended value) { SetLatSec(value); }
    TCardinalPoint Latitude_Direction() const { return FPosition.latDir; }
    void Latitude_Direction(TCardinalPoint value) { SetLatDir(value); }
    std::int32_t Longitude_Degree() const { return FPosition.longDeg; }
    void Longitude_Degree(std::int32_t value) { SetLongDeg(value); }
    std::int32_t Longitude_Minute() const { return FPosition.longMin; }
    void Longitude_Minute(std::int32_t value) { SetLongMin(value); }
    Extended Longitude_Second() const { return FPosition.longSec; }
    void Longitude_Second(Extended value) { SetLongSec(value); }
    TCardinalPoint Longitude_Direction() const { return FPosition.longDir; }
    void Longitude_Direction(TCardinalPoint value) { SetLongDir(value); }

    // The whole position at once.
    const GeoPosition& Position() const { return FPosition; }

private:
    void SetLatDeg(std::int32_t value);
    void SetLatMin(std::int32_t value);
    void SetLatSec(Extended value);
    void SetLatDir(TCardinalPoint value);
    void SetLongDeg(std::int32_t value);
    void SetLongMin(std::int32_t value);
    void SetLongSec(Extended value);
    void SetLongDir(TCardinalPoint value);

    std::string FName;
    GeoPosition FPosition;
};

// An ordered list of slots, each holding one owned waypoint or empty.
// Indexes count from 0; a negative index throws std::out_of_range and changes
// nothing, an index at or beyond Count() is ignored.
class KOVRA_API TWayPoints {
public:
    TWayPoints() = default;
    TWayPoints(const TWayPoints&) = delete;
    TWayPoints& operator=(const TWayPoints&) = delete;

    // Ends the list's life; with DisposeItems false its waypoints are handed
    // back, in list order. Given no list, does nothing.
    static std::vector<std::unique_ptr<TWayPoint>> Dispose(std::unique_ptr<TWayPoints> list, bool DisposeItems);
    static void Free(std::unique_ptr<TWayPoints> list) { Dispose(std::move(list), true); }

    // Appends Item unless it is none or its name is already present. The list
    // moves from Item only when it accepts it; a refused Item stays the caller's.
    bool Add(std::unique_ptr<TWayPoint>&& Item);
    // Places Item at 0 <= Idx < Count(), same conditions as Add; never appends.
    bool Insert(int Idx, std::unique_ptr<TWayPoint>&& Item);

    // Removes slot Idx. Its waypoint is released, or handed back when
    // DisposeItems is false.
    std::unique_ptr<TWayPoint> Delete(int Idx, bool DisposeItems = true);
    // Removes the matching waypoint of highest position.
    std::unique_ptr<TWayPoint> Delete(std::string_view WayPointName, bool DisposeItems = true);
    // Removes every slot, last first; with DisposeItems false the waypoints
    // are handed back in list order.
    std::vector<std::unique_ptr<TWayPoint>> Clear(bool DisposeItems = true);
    // Exchanges the places of the first waypoints matching the two names.
    void Swap(std::string_view SourceName, std::string_view DestinationName);

    // Position of the lowest matching waypoint, or -1.
    int IndexOf(std::string_view WayPointName) const;
    // The matching waypoint of highest position, or none.
    TWayPoint* GetByName(std::string_view WayPointName) const;

    // Writes one section per waypoint, replacing the file as a whole.
    void SaveToFile(const TFileName& FileName) const;
    // Empties the list, then adds a waypoint per section of the file (if it
    // exists), each through the validating setters; stops at the first bad
    // value with its message, keeping the waypoints loaded before it.
    void LoadFromFile(const TFileName& FileName);

    TWayPoint* GetItem(int Idx) const;
    // Replaces the waypoint in slot Idx, releasing the one it held; none
    // leaves the slot empty. Moves from Item only when Idx < Count().
    void SetItem(int Idx, std::unique_ptr<TWayPoint>&& Item);
    TWayPoint* Items(int Idx) const { return GetItem(Idx); }
    void Items(int Idx, std::unique_ptr<TWayPoint>&& Item) { SetItem(Idx, std::move(Item)); }

    // Number of slots, empty ones included.
    int GetCount() const;
    int Count() const { return GetCount(); }

private:
    NamedList<TWayPoint> FItems;
};

}  // namespace kovra
