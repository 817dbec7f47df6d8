// Any bytes are read as a body of POST /control without crashing; what is
// accepted holds only values in range and names the receiver has.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/web/WebView.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kovra::engine;
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto parsed = ParseControl(body, {"HARBOUR", "BUOY"}, {"DEPART"});
    if (const auto* request = std::get_if<ControlRequest>(&parsed)) {
        const bool inRange = (!request->course || (*request->course >= 0 && *request->course < 360)) &&
                             (!request->speed || (*request->speed >= 0 && *request->speed <= 1000)) &&
                             (!request->speedup || (*request->speedup >= 0.1 && *request->speedup <= 1000));
        if (!inRange) {
            std::abort();
        }
    }
    return 0;
}
