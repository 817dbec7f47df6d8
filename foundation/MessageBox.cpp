#include "foundation/MessageBox.h"

#include <cstdio>
#include <mutex>

#include "foundation/Text.h"

namespace kovra {

namespace {
std::mutex gHookMutex;
TMessageBoxHook gHook;

void WriteToStandardError(const TMessageString& message) {
    const std::string line = "KovraNMEA error: " + ToUtf8(message) + "\n";
    // Nothing sensible is left to do when standard error itself fails.
    (void)std::fputs(line.c_str(), stderr);
}
}  // namespace

TMessageBoxHook SetMessageBoxHook(TMessageBoxHook hook) {
    const std::lock_guard lock(gHookMutex);
    std::swap(gHook, hook);
    return hook;
}

void ShowErrorMessageBox(const TMessageString& message) {
    TMessageBoxHook hook;
    {
        const std::lock_guard lock(gHookMutex);
        hook = gHook;
    }
    if (hook) {
        hook(message);
    } else {
        WriteToStandardError(message);
    }
}

}  // namespace kovra
