// Any text is read as a YUMA almanac without crashing; what it yields can be
// placed in the sky.
#include <cstdint>
#include <string_view>

#include "engine/run/Errors.h"
#include "engine/receiver/Sky.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kovra::engine;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const auto satellites = ReadYumaAlmanac(text, "fuzz.alm", 2235 * kSecondsPerWeek);
        (void)SkyAt(satellites, 2235 * kSecondsPerWeek + 3600, 54.3, 10.1, 0);
    } catch (const SettingError&) {
    }
    return 0;
}
