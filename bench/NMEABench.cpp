// Sentence building speed: build/bin/kovra-bench
#include <benchmark/benchmark.h>

#include "generator/KovraNMEAGenerator.h"

namespace kovra {
namespace {

using K = TNMEACommand;

// The worked-example state with 8 active satellites, at a fixed time.
std::unique_ptr<TKovraNMEAGenerator> TypicalReceiver() {
    auto g = TKovraNMEAGenerator::Create();
    g->UseSystemDateTime(false);
    g->UTCDateTime(EncodeDateTime(2002, 7, 4, 20, 15, 30, 123));
    g->Latitude_Degree(48);
    g->Latitude_Minute(7);
    g->Latitude_Second(2.28L);
    g->Longitude_Degree(11);
    g->Longitude_Minute(31);
    g->Speed(22.4L);
    g->Heading(84.4L);
    g->Magnetic_Heading(81.35L);
    g->Magnetic_Variation(3.1L);
    g->Altitude(545.4L);
    g->Geo_Height(46.9L);
    g->PDOP(1.8L);
    g->HDOP(0.9L);
    g->VDOP(1.5L);
    g->FixQuality(1);
    const int satellites[][4] = {{2, 45, 120, 40}, {5, 10, 300, 8},  {9, 78, 45, 35},  {12, 5, 200, 20},
                                 {15, 30, 90, 42}, {18, 60, 10, 38}, {21, 22, 250, 31}, {24, 15, 170, 27}};
    for (const auto& s : satellites) {
        g->SetSatellite(static_cast<std::uint16_t>(s[0]), true, s[1], s[2], s[3]);
    }
    return g;
}

void AddWayPoint(TKovraNMEAGenerator& g, const char* name, int latMin, Extended latSec, int longMin) {
    auto w = std::make_unique<TWayPoint>(name);
    w->Latitude_Degree(48);
    w->Latitude_Minute(latMin);
    w->Latitude_Second(latSec);
    w->Longitude_Degree(11);
    w->Longitude_Minute(longMin);
    g.WayPoints().Add(std::move(w));
}

void BM_GetGPRMC(benchmark::State& state) {
    const auto g = TypicalReceiver();
    for (auto _ : state) {
        benchmark::DoNotOptimize(g->GetGPRMC());
    }
}
BENCHMARK(BM_GetGPRMC);

// Times GetNMEA and reports the size of one update.
void MeasureGetNMEA(benchmark::State& state, const TKovraNMEAGenerator& g) {
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = g.GetNMEA();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}

void BM_GetNMEA_Epoch8(benchmark::State& state) {
    const auto g = TypicalReceiver();
    g->Commands({K::GPZDA, K::GPGGA, K::GPGLL, K::GPVTG, K::GPRMC, K::GPGSA, K::GPGSV});
    MeasureGetNMEA(state, *g);
}
BENCHMARK(BM_GetNMEA_Epoch8);

void BM_GetNMEA_Full(benchmark::State& state) {
    const auto g = TypicalReceiver();
    AddWayPoint(*g, "START", 7, 4, 31);  // within the arrival circle
    AddWayPoint(*g, "MIDDLE", 8, 0, 33);
    AddWayPoint(*g, "END", 9, 0, 35);
    auto route = std::make_unique<TRoute>("TRIP");
    route->WayPoints({"START", "MIDDLE", "END"});
    g->Routes().ActiveRoute(route.get());
    g->Routes().Add(std::move(route));
    MeasureGetNMEA(state, *g);
}
BENCHMARK(BM_GetNMEA_Full);

}  // namespace
}  // namespace kovra

BENCHMARK_MAIN();
