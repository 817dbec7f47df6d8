// Data-file loading speed: build/bin/kovra-bench --benchmark_filter=Load
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "foundation/Text.h"
#include "waypoints/WayPoint.h"

namespace kovra {
namespace {

// A waypoint file of state.range(0) sections, loaded whole.
void BM_LoadWayPoints(benchmark::State& state) {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("kovra-bench-" + std::to_string(::getpid()) + ".ini");
    {
        std::ofstream out(file, std::ios::binary);
        for (std::int64_t i = 0; i < state.range(0); ++i) {
            out << "[W" << i << "]\nName=W" << i << "\nLatitude_Degree=" << i % 90 << "\nLatitude_Minute=" << i % 60
                << "\nLatitude_Second=12.5\nLatitude_Direction=N\nLongitude_Degree=" << i % 180
                << "\nLongitude_Minute=7\nLongitude_Second=0\nLongitude_Direction=E\n";
        }
    }
    TWayPoints list;
    for (auto _ : state) {
        list.LoadFromFile(FileNameFromUtf8(file.string()));
        benchmark::DoNotOptimize(list.Count());
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_LoadWayPoints)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kovra
