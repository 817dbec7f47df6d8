// Any bytes are read as GPX without crashing: what is read goes into a
// receiver, and every track that can be sailed is sailed end to end.
#include <cstdint>
#include <string_view>

#include "engine/run/Errors.h"
#include "engine/scenario/Gpx.h"
#include "engine/scenario/Track.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kovra::engine;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const Gpx gpx = ParseGpx(text, "fuzz.gpx");
        kovra::TKovraNMEAGenerator gps;
        (void)AddGpx(gps, gpx);
        for (const GpxTrack& track : gpx.tracks) {
            try {
                TrackSailor sailor(track, false);
                const double step = sailor.Duration() / 16 + 1e-3;
                VesselState state;
                for (double t = 0; sailor.Place(state, t) && t < 1e9; t += step) {
                }
            } catch (const SettingError&) {
            }
        }
    } catch (const SettingError&) {
    }
    return 0;
}
