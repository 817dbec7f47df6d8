#include <cstdint>

#include "FuzzFile.h"
#include "generator/KovraNMEAGenerator.h"
#include "foundation/Text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static kovra::TKovraNMEAGenerator generator;
    const std::string file = kovra::fuzz::InputFile(data, size);
    try {
        generator.LoadSatellitesFromFile(kovra::ToMessage<kovra::TFileName>(file));
    } catch (const kovra::EKovraNMEAException&) {
    }
    (void)generator.GetNMEA();
    return 0;
}
