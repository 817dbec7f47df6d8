// How long a hand-over to the sender thread takes while the line is stalled:
// build/bin/kovra-handover-bench-<generation>. The generator writes to a
// pseudo-terminal that nobody reads; one write is stuck for its whole
// time-out while the hand-overs are timed.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>

#include <chrono>
#include <string>
#include <thread>

#include "generator/KovraNMEAGenerator.h"
#include "foundation/FileDescriptor.h"

namespace kovra {
namespace {

void BM_HandOverOnAStalledLine(benchmark::State& state) {
    FileDescriptor master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    char name[128];
    if (!master.Valid() || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0 ||
        ::ptsname_r(master.Get(), name, sizeof name) != 0) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    TKovraNMEAGenerator g;
    if (!g.Connect(name, 4800)) {
        state.SkipWithError("cannot connect");
        return;
    }
    // Fill the line, then leave one write stuck on it: 100,000 bytes wait up to 300 s.
    while (g.Send(std::string(256, 'x')) == 256) {
    }
    g.SendOnNewThread(std::string(100'000, 'x'));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::string update(600, 'u');
    for (auto _ : state) {
        g.SendOnNewThread(update);
    }
    g.Disconnect();  // aborts the stuck write
}
// Few iterations: in the oldest generation every hand-over is a thread of its own.
BENCHMARK(BM_HandOverOnAStalledLine)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kovra

BENCHMARK_MAIN();
