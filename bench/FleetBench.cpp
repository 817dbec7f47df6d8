// Many vessels in one world, each with its receiver and an output of its
// own: the cost of a vessel's update as the fleet grows, and the memory a
// vessel takes. build/bin/kovra-bench --benchmark_filter=Fleet
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>

#include "engine/Simulator.h"
#include "engine/receiver/Realistic.h"

namespace kovra::engine {
namespace {

// Small blocks and those mapped on their own (a large vector's).
std::size_t HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Takes each update and keeps nothing, as a socket to a fast reader does;
// given a place, notes there the heap in use at its first update, when the
// whole fleet is afloat.
class Discarding final : public Output {
public:
    explicit Discarding(std::size_t* heapAtFirst = nullptr) : heapAtFirst_(heapAtFirst) {}
    void Write(std::string_view update) override {
        benchmark::DoNotOptimize(update.data());
        if (heapAtFirst_ != nullptr) {
            *heapAtFirst_ = HeapInUse();
            heapAtFirst_ = nullptr;
        }
    }

private:
    std::size_t* heapAtFirst_;
};

// `vessels` vessels spread over 0.4 degrees, at 10 knots, RMC and GGA each
// (classic) or the nmea4 receiver's default sentences on four systems.
void AddFleet(Simulator& simulator, std::int64_t vessels, bool realistic, std::size_t& heapAfloat) {
    for (std::int64_t i = 0; i < vessels; ++i) {
        auto state = std::make_unique<TKovraNMEAGenerator>();
        SetPosition(*state, {52.3 + 0.4 * static_cast<double>(i % 100) / 100, 13.2 + 0.4 * static_cast<double>(i / 100 % 100) / 100});
        state->Speed(10);
        state->Heading(static_cast<double>(i % 360));
        state->FixQuality(1);
        state->Commands({TNMEACommand::GPRMC, TNMEACommand::GPGGA});
        Outputs outputs;
        outputs.push_back(std::make_unique<Discarding>(i + 1 == vessels ? &heapAfloat : nullptr));
        Device device{.name = "v" + std::to_string(i), .start = ClassicStartOf(*state), .plan = {}, .outputs = std::move(outputs)};
        if (realistic) {
            device.realistic = RealisticSettings{};
        }
        simulator.AddDevice(std::move(device));
    }
}

void RunFleet(benchmark::State& state, bool realistic) {
    constexpr std::uint64_t kUpdates = 30;
    const std::int64_t vessels = state.range(0);
    double bytesPerVessel = 0;
    FakeClock clock;
    Stop stop;
    for (auto _ : state) {
        state.PauseTiming();
        auto simulator = std::make_unique<Simulator>([](const std::string&) {});
        simulator->UseClock(clock);
        simulator->Motion().fixedTime = true;
        simulator->Motion().startTime = EncodeDateTime(2026, 12, 8, 12, 0);
        simulator->Receiver().UseSystemDateTime(false);
        simulator->Receiver().UTCDateTime(simulator->Motion().startTime);
        simulator->AddOutput(std::make_unique<Discarding>());
        if (realistic) {
            simulator->UseRealisticOutput(RealisticSettings{});
        }
        const std::size_t before = HeapInUse();
        std::size_t afloat = before;
        AddFleet(*simulator, vessels - 1, realistic, afloat);  // the first vessel is the simulator's own
        state.ResumeTiming();
        benchmark::DoNotOptimize(simulator->Run({.count = kUpdates, .fast = true}, stop));
        state.PauseTiming();  // the fleet's teardown is not an update
        bytesPerVessel = vessels > 1 ? static_cast<double>(afloat - before) / static_cast<double>(vessels - 1) : 0;
        simulator.reset();
        state.ResumeTiming();
    }
    state.counters["vessel-updates"] = benchmark::Counter(static_cast<double>(vessels * kUpdates),
                                                          benchmark::Counter::kIsIterationInvariantRate |
                                                              benchmark::Counter::kInvert);
    state.counters["bytes/vessel"] = bytesPerVessel;
}

// Seconds a vessel-update (the "vessel-updates" counter, inverted), and the
// heap a vessel takes while the run goes, its output included.
void BM_Fleet_Classic(benchmark::State& state) { RunFleet(state, false); }
BENCHMARK(BM_Fleet_Classic)->Arg(1)->Arg(100)->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Fleet_NMEA4(benchmark::State& state) { RunFleet(state, true); }
BENCHMARK(BM_Fleet_NMEA4)->Arg(1)->Arg(1'000)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
}  // namespace kovra::engine
