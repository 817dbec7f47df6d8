// The slot list behind TWayPoints and TRoutes: an ordered sequence of owned
// items, any slot possibly empty, looked up by name without regard to ASCII
// letter case.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Export.h"
#include "foundation/Names.h"

namespace kovra {


template <typename T>
class NamedList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }

    // Appends `item` unless it is none or its name is taken; moves from it only when accepted.
    bool Add(std::unique_ptr<T>&& item);
    // Places `item` at 0 <= idx < Count unless it is none or its name is taken.
    bool Insert(int idx, std::unique_ptr<T>&& item);
    // Removes slot idx and hands its item back; nothing when idx >= Count.
    std::unique_ptr<T> Delete(int idx);
    // Puts `item` into slot idx and hands back the item it replaces; moves
    // from `item` only when idx < Count.
    std::unique_ptr<T> SetItem(int idx, std::unique_ptr<T>&& item);
    // The item of slot idx; none when idx >= Count or the slot is empty.
    T* GetItem(int idx) const;

    // Replaces every slot with `items`, in order; the caller has made sure
    // that no two names match. Hands back what the list held.
    std::vector<std::unique_ptr<T>> Replace(std::vector<std::unique_ptr<T>> items);

    // Lowest position whose item's name matches, or -1.
    int IndexOf(std::string_view name) const;
    // Highest position whose item's name matches, or -1.
    int LastIndexOf(std::string_view name) const;
    void Swap(std::string_view sourceName, std::string_view destinationName);

private:
    // Throws std::out_of_range for a negative index; false when idx >= Count.
    bool InRange(int idx) const;

    std::vector<std::unique_ptr<T>> FItems;
};

}  // namespace kovra
