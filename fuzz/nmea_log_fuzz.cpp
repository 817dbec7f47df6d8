// Any bytes are read as a recorded NMEA log without crashing, checked and
// unchecked; every byte read comes out again in an epoch when unchecked.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzFile.h"
#include "engine/receiver/Replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kovra::engine;
    const std::string& path = kovra::fuzz::InputFile(data, size);
    for (const bool check : {false, true}) {
        NmeaLog log(path, check);
        std::string all;
        double seconds = 0, last = 0;
        while (log.Next(all, seconds)) {
            if (seconds < last) {
                std::abort();  // time only moves on, whatever the log's times do
            }
            last = seconds;
        }
        if (!check && all.size() != size) {
            std::abort();
        }
    }
    return 0;
}
