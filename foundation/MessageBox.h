// The modal error message that a generator shows before it rejects a value
// when MessageAlert is set. A host installs its own dialog as a hook; the
// default writes one line on standard error.
#pragma once

#include <functional>

#include "foundation/BuildProfile.h"
#include "foundation/Export.h"

namespace kovra {

using TMessageBoxHook = std::function<void(const TMessageString& message)>;

// Installs `hook` for the whole process and returns the one it replaces.
// An empty hook restores the default.
KOVRA_API TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook);

// Shows `message` through the installed hook and returns once it is closed.
KOVRA_API void ShowErrorMessageBox(const TMessageString& message);

}  // namespace kovra
