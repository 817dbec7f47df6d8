// A small component base: a name, a tag, and an owner that frees the
// components it owns together with itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/Export.h"

namespace kovra {

class KOVRA_API TComponent {
public:
    TComponent() = default;
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    const std::string& Name() const { return FName; }
    void Name(std::string value) { FName = std::move(value); }
    std::intptr_t Tag() const { return FTag; }
    void Tag(std::intptr_t value) { FTag = value; }

    // The component that owns this one, or none.
    TComponent* Owner() const { return FOwner; }

    // Takes ownership of `component`; it is freed with this component, the
    // components inserted last first.
    template <typename T>
    T& InsertComponent(std::unique_ptr<T> component) {
        T& inserted = *component;
        Adopt(std::unique_ptr<TComponent>(std::move(component)));
        return inserted;
    }
    // Hands an owned component back to the caller; none when it is not owned here.
    std::unique_ptr<TComponent> RemoveComponent(TComponent& component);

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int index) const;

private:
    void Adopt(std::unique_ptr<TComponent> component);

    std::string FName;
    std::intptr_t FTag = 0;
    TComponent* FOwner = nullptr;
    std::vector<std::unique_ptr<TComponent>> FComponents;
};

}  // namespace kovra
