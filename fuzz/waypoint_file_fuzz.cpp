#include <cstdint>

#include "FuzzFile.h"
#include "foundation/Exception.h"
#include "foundation/Text.h"
#include "waypoints/WayPoint.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kovra::TWayPoints list;
    const std::string file = kovra::fuzz::InputFile(data, size);
    try {
        list.LoadFromFile(kovra::ToMessage<kovra::TFileName>(file));
    } catch (const kovra::EKovraNMEAException&) {
    }
    for (int i = 0; i < list.Count(); ++i) {
        (void)list.GetByName(list.GetItem(i)->Name());
    }
    return 0;
}
