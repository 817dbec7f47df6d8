#include "engine/Pacing.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <span>

namespace kovra::engine {

namespace {

constexpr std::uint64_t kServeEvery = 256;  // updates between turns of the outputs, running fast

Clock::duration Seconds(double seconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

bool WriteAll(const Outputs& outputs, std::string_view update) {
    std::vector<Output*> all;
    for (const auto& output : outputs) {
        all.push_back(output.get());
    }
    return WriteAll(all, update);
}

bool WriteAll(const std::vector<Output*>& outputs, std::string_view update) {
    try {
        for (const auto& output : outputs) {
            output->Write(update);
        }
    } catch (const StreamClosed&) {
        return false;
    }
    return true;
}

Pacer::Pacer(Clock& clock, bool fast, double speedup, const Outputs& outputs, const Stop& stop)
    : clock_(clock), fast_(fast), speedup_(speedup), outputs_(outputs), stop_(stop), start_(clock.Now()) {}

void Pacer::StartIn(std::chrono::nanoseconds delay) {
    start_ = clock_.Now() + std::chrono::duration_cast<Clock::duration>(delay);
}

void Pacer::ChangeSpeedup(double speedup, double at) {
    speedup_ = speedup;
    start_ = clock_.Now() - Seconds(at / speedup);
}

bool Pacer::WaitUntil(double at, std::chrono::nanoseconds late) {
    if (fast_) {
        return !stop_.Requested();
    }
    // How late the update goes out after the time it was due (a fault's
    // deliberate delay apart): the work before the wait, and the wait's own overshoot.
    const Clock::time_point due = start_ + Seconds(at / speedup_) + std::chrono::duration_cast<Clock::duration>(late);
    const bool waited = WaitServing(due);
    worstLateness_ = std::max(worstLateness_, clock_.Now() - due);
    return waited;
}

bool Pacer::Breathe(std::uint64_t n) {
    if (n % kServeEvery == 0) {
        return WaitServing(clock_.Now()) || !stop_.Requested();
    }
    return !stop_.Requested();
}

bool Pacer::WaitServing(Clock::time_point deadline) {
    std::vector<pollfd> waits;
    std::vector<std::size_t> firsts;
    while (!stop_.Requested()) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - clock_.Now());
        if (left.count() <= 0) {
            return true;
        }
        waits.assign(1, pollfd{stop_.Descriptor(), POLLIN, 0});
        firsts.clear();
        for (const auto& output : outputs_) {
            firsts.push_back(waits.size());
            output->Watch(waits);
        }
        firsts.push_back(waits.size());
        // An output's own turn (a reconnection due) may come before the update.
        Clock::time_point wake = Clock::time_point::max();
        for (const auto& output : outputs_) {
            wake = std::min(wake, output->WakeAt());
        }
        // To the nanosecond, so that an update goes out when due, not on the next millisecond.
        std::int64_t timeout = std::min<std::int64_t>(left.count(), 60'000'000'000);
        if (wake != Clock::time_point::max()) {
            timeout = std::clamp<std::int64_t>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(wake - clock_.Now()).count(), 0, timeout);
        }
        if (!clock_.Waits()) {
            timeout = 0;  // a clock of a test's own: the outputs get their turn, the deadline comes at once
            clock_.JumpTo(deadline);
        }
        const timespec wait{static_cast<time_t>(timeout / 1'000'000'000), static_cast<long>(timeout % 1'000'000'000)};
        const int ready = ::ppoll(waits.data(), waits.size(), &wait, nullptr);
        if (ready < 0 && errno != EINTR) {
            throw OutputError(SystemError("cannot wait for the next update"));
        }
        for (std::size_t i = 0; ready > 0 && i < outputs_.size(); ++i) {
            outputs_[i]->Serve(std::span<const pollfd>(waits).subspan(firsts[i], firsts[i + 1] - firsts[i]));
        }
        for (const auto& output : outputs_) {
            if (output->WakeAt() <= clock_.Now()) {
                output->Wake();
            }
        }
    }
    return false;
}

std::string Pacer::Summary(std::uint64_t updates) const {
    char summary[160];
    const double seconds = std::chrono::duration<double>(clock_.Now() - start_).count();
    if (fast_) {
        std::snprintf(summary, sizeof summary, "%llu updates in %.3f s", static_cast<unsigned long long>(updates),
                      seconds);
    } else {
        std::snprintf(summary, sizeof summary, "%llu updates, worst lateness %.3f ms",
                      static_cast<unsigned long long>(updates),
                      std::chrono::duration<double, std::milli>(worstLateness_).count());
    }
    return summary;
}

ProgressReport::ProgressReport(const std::function<void(const RunProgress&)>& report, const Clock& clock,
                               double total, std::string_view unit)
    : report_(report), clock_(clock), total_(total), unit_(unit), start_(clock.Now()), last_(start_) {}

void ProgressReport::Report(double done) {
    if (!report_ || total_ <= 0) {
        return;
    }
    const Clock::time_point now = clock_.Now();
    if (now - last_ >= std::chrono::milliseconds(100)) {
        last_ = now;
        report_({done, total_, unit_, std::chrono::duration<double>(now - start_).count(), false});
    }
}

void ProgressReport::Finish(double done) {
    if (report_ && total_ > 0) {
        report_({done, total_, unit_, std::chrono::duration<double>(clock_.Now() - start_).count(), true});
    }
}

}  // namespace kovra::engine
