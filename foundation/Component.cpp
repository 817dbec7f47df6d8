#include "foundation/Component.h"

#include <algorithm>
#include <stdexcept>

namespace kovra {

TComponent::~TComponent() {
    while (!FComponents.empty()) {
        FComponents.pop_back();
    }
}

void TComponent::Adopt(std::unique_ptr<TComponent> component) {
    if (!component) {
        throw std::invalid_argument("InsertComponent: no component given");
    }
    if (component->FOwner != nullptr) {
        throw std::logic_error("InsertComponent: the component already has an owner");
    }
    component->FOwner = this;
    FComponents.push_back(std::move(component));
}

std::unique_ptr<TComponent> TComponent::RemoveComponent(TComponent& component) {
    const auto it = std::find_if(FComponents.begin(), FComponents.end(),
                                 [&](const auto& owned) { return owned.get() == &component; });
    if (it == FComponents.end()) {
        return nullptr;
    }
    std::unique_ptr<TComponent> removed = std::move(*it);
    FComponents.erase(it);
    removed->FOwner = nullptr;
    return removed;
}

TComponent* TComponent::Components(int index) const {
    if (index < 0 || index >= ComponentCount()) {
        throw std::out_of_range("Components: index " + std::to_string(index) + " out of range");
    }
    return FComponents[static_cast<std::size_t>(index)].get();
}

}  // namespace kovra
