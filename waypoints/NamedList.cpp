#include "waypoints/NamedList.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "waypoints/Route.h"
#include "waypoints/WayPoint.h"

namespace kovra {

template <typename T>
std::vector<std::unique_ptr<T>> NamedList<T>::Replace(std::vector<std::unique_ptr<T>> items) {
    std::swap(FItems, items);
    return items;
}

template <typename T>
bool NamedList<T>::InRange(int idx) const {
    if (idx < 0) {
        throw std::out_of_range("list index " + std::to_string(idx) + " is negative");
    }
    return idx < Count();
}

template <typename T>
bool NamedList<T>::Add(std::unique_ptr<T>&& item) {
    if (!item || IndexOf(item->Name()) != -1) {
        return false;
    }
    FItems.push_back(std::move(item));
    return true;
}

template <typename T>
bool NamedList<T>::Insert(int idx, std::unique_ptr<T>&& item) {
    if (!item || idx < 0 || idx >= Count() || IndexOf(item->Name()) != -1) {
        return false;
    }
    FItems.insert(FItems.begin() + idx, std::move(item));
    return true;
}

template <typename T>
std::unique_ptr<T> NamedList<T>::Delete(int idx) {
    if (!InRange(idx)) {
        return nullptr;
    }
    std::unique_ptr<T> removed = std::move(FItems[static_cast<std::size_t>(idx)]);
    FItems.erase(FItems.begin() + idx);
    return removed;
}

template <typename T>
std::unique_ptr<T> NamedList<T>::SetItem(int idx, std::unique_ptr<T>&& item) {
    if (!InRange(idx)) {
        return nullptr;  // refused: the caller keeps `item`
    }
    std::unique_ptr<T>& slot = FItems[static_cast<std::size_t>(idx)];
    if (item.get() == slot.get()) {
        // The very item the slot holds: keep one owner only.
        (void)item.release();
        return nullptr;
    }
    return std::exchange(slot, std::move(item));
}

template <typename T>
T* NamedList<T>::GetItem(int idx) const {
    return InRange(idx) ? FItems[static_cast<std::size_t>(idx)].get() : nullptr;
}

template <typename T>
int NamedList<T>::IndexOf(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        const auto& item = FItems[static_cast<std::size_t>(i)];
        if (item && SameName(item->Name(), name)) {
            return i;
        }
    }
    return -1;
}

template <typename T>
int NamedList<T>::LastIndexOf(std::string_view name) const {
    for (int i = Count() - 1; i >= 0; --i) {
        const auto& item = FItems[static_cast<std::size_t>(i)];
        if (item && SameName(item->Name(), name)) {
            return i;
        }
    }
    return -1;
}

template <typename T>
void NamedList<T>::Swap(std::string_view sourceName, std::string_view destinationName) {
    const int source = IndexOf(sourceName);
    const int destination = IndexOf(destinationName);
    if (source == -1 || destination == -1) {
        return;
    }
    std::swap(FItems[static_cast<std::size_t>(source)], FItems[static_cast<std::size_t>(destination)]);
}

template class NamedList<TWayPoint>;
template class NamedList<TRoute>;

}  // namespace kovra
