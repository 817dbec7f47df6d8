#include "waypoints/WayPoint.h"

#include <algorithm>

#include "foundation/Exception.h"

namespace kovra {

namespace {
// The waypoint's validators raise without any message box.
void Require(Refusal refused) {
    if (refused) {
        throw EKovraNMEAException(*refused);
    }
}
}  // namespace

TWayPoint::TWayPoint(std::string WayPointName) : FName(std::move(WayPointName)) {}

void TWayPoint::SetLatDeg(std::int32_t value) { Require(FPosition.SetLatDeg(value)); }
void TWayPoint::SetLatMin(std::int32_t value) { Require(FPosition.SetLatMin(value)); }
void TWayPoint::SetLatSec(Extended value) { Require(FPosition.SetLatSec(value)); }
void TWayPoint::SetLatDir(TCardinalPoint value) { Require(FPosition.SetLatDir(value)); }
void TWayPoint::SetLongDeg(std::int32_t value) { Require(FPosition.SetLongDeg(value)); }
void TWayPoint::SetLongMin(std::int32_t value) { Require(FPosition.SetLongMin(value)); }
void TWayPoint::SetLongSec(Extended value) { Require(FPosition.SetLongSec(value)); }
void TWayPoint::SetLongDir(TCardinalPoint value) { Require(FPosition.SetLongDir(value)); }

std::vector<std::unique_ptr<TWayPoint>> TWayPoints::Dispose(std::unique_ptr<TWayPoints> list, bool DisposeItems) {
    if (!list) {
        return {};
    }
    return list->Clear(DisposeItems);
}

std::unique_ptr<TWayPoint> TWayPoints::Delete(int Idx, bool DisposeItems) {
    std::unique_ptr<TWayPoint> removed = FItems.Delete(Idx);
    if (DisposeItems) {
        removed.reset();
    }
    return removed;
}

std::unique_ptr<TWayPoint> TWayPoints::Delete(std::string_view WayPointName, bool DisposeItems) {
    const int idx = FItems.LastIndexOf(WayPointName);
    return idx == -1 ? nullptr : Delete(idx, DisposeItems);
}

std::vector<std::unique_ptr<TWayPoint>> TWayPoints::Clear(bool DisposeItems) {
    std::vector<std::unique_ptr<TWayPoint>> handedBack;
    for (int i = Count() - 1; i >= 0; --i) {
        if (auto removed = Delete(i, DisposeItems)) {
            handedBack.push_back(std::move(removed));
        }
    }
    std::reverse(handedBack.begin(), handedBack.end());
    return handedBack;
}

TWayPoint* TWayPoints::GetByName(std::string_view WayPointName) const {
    const int idx = FItems.LastIndexOf(WayPointName);
    return idx == -1 ? nullptr : FItems.GetItem(idx);
}

bool TWayPoints::Add(std::unique_ptr<TWayPoint>&& Item) { return FItems.Add(std::move(Item)); }
bool TWayPoints::Insert(int Idx, std::unique_ptr<TWayPoint>&& Item) { return FItems.Insert(Idx, std::move(Item)); }
void TWayPoints::Swap(std::string_view SourceName, std::string_view DestinationName) { FItems.Swap(SourceName, DestinationName); }
int TWayPoints::IndexOf(std::string_view WayPointName) const { return FItems.IndexOf(WayPointName); }
TWayPoint* TWayPoints::GetItem(int Idx) const { return FItems.GetItem(Idx); }
void TWayPoints::SetItem(int Idx, std::unique_ptr<TWayPoint>&& Item) { (void)FItems.SetItem(Idx, std::move(Item)); }
int TWayPoints::GetCount() const { return FItems.Count(); }

}  // namespace kovra
