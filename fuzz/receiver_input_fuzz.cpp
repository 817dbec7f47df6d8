// Any bytes a consumer sends are cut into frames and answered by every
// receiver family without crashing; a frame is at most what a receiver
// takes, and no answer asks for a rate beyond the receiver's.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/input/Commands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kovra::engine;
    using namespace kovra::engine::input;
    static const Firmware kFirmware{"EXT CORE 4.04 (7f89f7)", "00190000", {"PROTVER=32.01"}};
    Running present;
    present.mostRate = 10;
    present.kinds = {{"GGA", 1}, {"RMC", 0}};
    Framer framer;
    std::vector<Frame> frames;
    // In two pieces, as a line delivers it: a frame split across reads must come out whole.
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    framer.Feed(bytes.substr(0, size / 2), frames);
    framer.Feed(bytes.substr(size / 2), frames);
    for (const Frame& frame : frames) {
        if (frame.body.size() > Framer::kMostPayload + 2) {
            std::abort();
        }
        for (const CommandSet set : {CommandSet::Ublox, CommandSet::Mtk, CommandSet::Sirf, CommandSet::Casic}) {
            const Answer a = AnswerTo(set, frame, kFirmware, present);
            if ((a.change.rate && !(*a.change.rate > 0 && *a.change.rate <= present.mostRate + 1e-9)) || a.reply.size() > 4096) {
                std::abort();
            }
        }
    }
    const InputCounts& n = framer.Counts();
    if (n.bytes != size || n.sentences + n.frames != frames.size()) {
        std::abort();
    }
    return 0;
}
