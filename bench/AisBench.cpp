// Encoding and framing AIS messages, beside BM_GetGPRMC of the same run:
// build/bin/kovra-bench --benchmark_filter='Ais|GetGPRMC'
#include <benchmark/benchmark.h>

#include "engine/ais/Ais.h"

namespace kovra::engine::ais {
namespace {

void BM_AisPositionReport(benchmark::State& state) {
    PositionReportA report{.mmsi = 211234560, .status = 0, .rateOfTurn = 12.0,
                           .movement = {.speed = 12.3, .position = GeoPoint{54.3312, 10.1581}, .course = 45.1,
                                        .heading = 44, .second = 17}};
    std::string out;
    for (auto _ : state) {
        out.clear();
        AppendSentences(out, Encode(report), {.channel = 'A'});
        benchmark::DoNotOptimize(out.data());
        report.movement.second = (report.movement.second + 1) % 60;
    }
}
BENCHMARK(BM_AisPositionReport);

void BM_AisStaticAndVoyage(benchmark::State& state) {
    const StaticAndVoyage voyage{.mmsi = 211234560, .imo = 9134270, .callSign = "DABC", .name = "KIEL FERRY",
                                 .destination = "OSLO", .shipType = 60, .dimensions = {120, 30, 10, 12}, .draught = 5.5};
    for (auto _ : state) {
        benchmark::DoNotOptimize(Sentences(voyage, {.sequence = 3}));
    }
}
BENCHMARK(BM_AisStaticAndVoyage);

}  // namespace
}  // namespace kovra::engine::ais
