// What the library offers a host that lists components on a palette: the
// registration of the generator class, its palette bitmap, the library's
// description text and product version.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "foundation/BuildProfile.h"
#include "foundation/Component.h"
#include "foundation/Export.h"

namespace kovra {

// A component class as the host's palette sees it.
struct TComponentClass {
    std::string_view ClassName;
    // A new component of the class, owned by the caller (who may hand it to an owner).
    std::unique_ptr<TComponent> (*Create)();
};

// The host's registration function: the palette page name and its classes.
using TRegisterComponentsProc = void (*)(const TMessageString& Page, std::span<const TComponentClass> Classes,
                                         void* Context);

}  // namespace kovra

extern "C" {
// Hands the page "Kovraworks" and the one class TKovraNMEAGenerator to
// RegisterComponents, with Context passed on; does nothing else.
KOVRA_API void Register(kovra::TRegisterComponentsProc RegisterComponents, void* Context);

// A resource of the library by name: "TKOVRANMEAGENERATOR" (the palette
// bitmap as a device-independent bitmap: header, 256-entry colour table,
// 16 × 16 pixels of 8 bits), "DESCRIPTION" and "PRODUCTVERSION" (8-bit text).
// False when there is no resource of that name.
KOVRA_API bool KovraFindResource(const char* Name, const std::uint8_t** Data, std::size_t* Size);
}
