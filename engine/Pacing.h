// When each update goes out on the wall clock, while the outputs are served
// between updates; and how far a finite run has got.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/outputs/Outputs.h"
#include "engine/run/Clock.h"
#include "engine/run/Stop.h"

namespace kovra::engine {

using Outputs = std::vector<std::unique_ptr<Output>>;

// Every update goes to every output; false once the reader of standard
// output has gone.
bool WriteAll(const Outputs& outputs, std::string_view update);
bool WriteAll(const std::vector<Output*>& outputs, std::string_view update);

// Due times from the start: simulated seconds divided by the speedup, or at
// once when running fast (the outputs are still served now and then, and a
// stop still ends the run).
class Pacer {
public:
    Pacer(Clock& clock, bool fast, double speedup, const Outputs& outputs, const Stop& stop);

    // The run's time 0 falls `delay` from now, not now.
    void StartIn(std::chrono::nanoseconds delay);
    // From simulated time `at` on, a new speedup, paced from now.
    void ChangeSpeedup(double speedup, double at);
    // Waits until simulated time `at` (`late` after it); false when a stop came first.
    bool WaitUntil(double at, std::chrono::nanoseconds late = std::chrono::nanoseconds(0));
    // Running fast: serves the outputs every so many updates; false when a stop came.
    bool Breathe(std::uint64_t n);
    std::string Summary(std::uint64_t updates) const;

private:
    // Waits until `deadline` while serving the outputs (new TCP clients,
    // readers catching up); false when a stop came first.
    bool WaitServing(Clock::time_point deadline);

    Clock& clock_;
    bool fast_;
    double speedup_;
    const Outputs& outputs_;
    const Stop& stop_;
    Clock::time_point start_;
    Clock::duration worstLateness_{0};
};

// How far a finite run has got.
struct RunProgress {
    double done = 0;
    double total = 0;
    std::string_view unit;   // what done and total count: "updates", "bytes"
    double wallSeconds = 0;  // since the run started
    bool finished = false;
};

// Tells the host how far a finite run has got, at most 10 times a second.
class ProgressReport {
public:
    ProgressReport(const std::function<void(const RunProgress&)>& report, const Clock& clock, double total,
                   std::string_view unit);
    void Report(double done);
    void Finish(double done);

private:
    const std::function<void(const RunProgress&)>& report_;
    const Clock& clock_;
    double total_;
    std::string_view unit_;
    Clock::time_point start_;
    Clock::time_point last_;
};

}  // namespace kovra::engine
