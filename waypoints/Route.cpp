#include "waypoints/Route.h"

namespace kovra {

std::string TRoute::WayPointListToStr() const {
    std::string text;
    for (std::size_t i = 0; i < FWayPoints.size(); ++i) {
        if (i != 0) {
            text += ',';
        }
        text += FWayPoints[i];
    }
    return text;
}

TRoutes::~TRoutes() { Clear(); }

void TRoutes::Release(std::unique_ptr<TRoute> route) {
    if (route && route.get() == FActiveRoute) {
        FActiveRoute = nullptr;
    }
}

void TRoutes::Delete(int Idx) { Release(FItems.Delete(Idx)); }

void TRoutes::Delete(std::string_view RouteName) {
    const int idx = FItems.LastIndexOf(RouteName);
    if (idx != -1) {
        Delete(idx);
    }
}

void TRoutes::Clear() {
    for (int i = Count() - 1; i >= 0; --i) {
        Delete(i);
    }
    FActiveRoute = nullptr;
}

TRoute* TRoutes::GetByName(std::string_view RouteName) const {
    const int idx = FItems.LastIndexOf(RouteName);
    return idx == -1 ? nullptr : FItems.GetItem(idx);
}

void TRoutes::SetItem(int Idx, std::unique_ptr<TRoute>&& Item) {
    Release(FItems.SetItem(Idx, std::move(Item)));
}

bool TRoutes::Add(std::unique_ptr<TRoute>&& Item) { return FItems.Add(std::move(Item)); }
bool TRoutes::Insert(int Idx, std::unique_ptr<TRoute>&& Item) { return FItems.Insert(Idx, std::move(Item)); }
int TRoutes::IndexOf(std::string_view RouteName) const { return FItems.IndexOf(RouteName); }
void TRoutes::Swap(std::string_view SourceName, std::string_view DestinationName) { FItems.Swap(SourceName, DestinationName); }
TRoute* TRoutes::GetItem(int Idx) const { return FItems.GetItem(Idx); }
int TRoutes::GetCount() const { return FItems.Count(); }

}  // namespace kovra
