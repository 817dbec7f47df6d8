#include <cstdint>
#include <stdexcept>

#include "FuzzFile.h"
#include "foundation/Exception.h"
#include "foundation/Text.h"
#include "waypoints/Route.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kovra::TRoute route("R");
    const std::string file = kovra::fuzz::InputFile(data, size);
    try {
        route.LoadFromFile(kovra::ToMessage<kovra::TFileName>(file));
    } catch (const kovra::EKovraNMEAException&) {
    } catch (const std::out_of_range&) {
    }
    (void)route.WayPointListToStr();
    return 0;
}
