// One update of the realistic receiver: build/bin/kovra-bench --benchmark_filter=NMEA4
#include <benchmark/benchmark.h>

#include "engine/receiver/Classic.h"
#include "engine/receiver/Realistic.h"
#include "engine/scenario/BuiltIn.h"

namespace kovra::engine {
namespace {

// Four systems, about 36 satellites in view from Kiel: the sky, the used
// satellites, the dilution, the fix and the sentences of one update at
// 1 Hz on a 9600-baud line (the sky is computed every other update, the
// oldest a receiver may write).
void BM_Update_NMEA4_AllSystems(benchmark::State& state) {
    TKovraNMEAGenerator gps;
    Plan plan;
    LoadBuiltInScenario(gps, plan);
    gps.UseSystemDateTime(false);
    const TDateTime start = EncodeDateTime(2026, 12, 8, 12);
    RealisticSettings settings;
    settings.geoidSeparation = static_cast<double>(gps.Geo_Height());  // as the built-in scenario gives them
    settings.magneticVariation = static_cast<double>(gps.Magnetic_Variation());
    settings.lineBytesPerUpdate = 960;  // 9600 baud at 1 Hz
    RealisticReceiver receiver(settings);
    const World world = WorldFrom(gps);
    std::size_t bytes = 0;
    double second = 0;
    for (auto _ : state) {
        const std::string update = receiver.Update({world, world.vessels.front(), start + second / 86'400, second});
        bytes = update.size();
        second += 1;
        benchmark::DoNotOptimize(update.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["in view"] = static_cast<double>(receiver.LastEpoch().satellites.size());
}
BENCHMARK(BM_Update_NMEA4_AllSystems)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kovra::engine

