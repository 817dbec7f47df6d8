// Reading a GPX track of 100,000 points (a day at about one point a
// second) and making it ready to sail: build/bin/kovra-bench --benchmark_filter=Gpx
#include <benchmark/benchmark.h>

#include <string>

#include "engine/scenario/Gpx.h"
#include "engine/scenario/Track.h"

namespace kovra::engine {
namespace {

std::string TrackOf(int points) {
    std::string text = "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
                       "<trk><name>DAY</name><trkseg>\n";
    for (int i = 0; i < points; ++i) {
        const double lat = 54.3 + i * 1e-5, lon = 10.1 + i * 2e-5;
        const int second = i % 86'400, day = 8 + i / 86'400;
        char point[200];
        std::snprintf(point, sizeof point,
                      "<trkpt lat=\"%.7f\" lon=\"%.7f\"><ele>%.1f</ele><time>2026-12-%02dT%02d:%02d:%02dZ</time></trkpt>\n",
                      lat, lon, 2.0 + i % 10, day, second / 3600, second / 60 % 60, second % 60);
        text += point;
    }
    return text + "</trkseg></trk></gpx>\n";
}

void BM_LoadGpx_100kTrackPoints(benchmark::State& state) {
    const std::string text = TrackOf(100'000);
    for (auto _ : state) {
        Gpx gpx = ParseGpx(text, "day.gpx");
        TrackSailor sailor(std::move(gpx.tracks.front()), false);
        benchmark::DoNotOptimize(sailor.Duration());
    }
    state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_LoadGpx_100kTrackPoints)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kovra::engine
