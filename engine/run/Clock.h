// The clocks a run keeps time by, injected so that a test can run the
// engine on a clock of its own without sleeping.
#pragma once

#include <algorithm>
#include <chrono>

#include "foundation/DateTime.h"

namespace kovra::engine {

class Clock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    using duration = std::chrono::steady_clock::duration;
    virtual ~Clock() = default;
    // The wall clock the updates are paced by.
    virtual time_point Now() const = 0;
    // The date and time now, UTC: the sentences' clock when the run does not fix one.
    virtual TDateTime Utc() const = 0;
    // Whether waiting takes time; a clock that does not jump to the deadline instead.
    virtual bool Waits() const { return true; }
    // Moves a clock that does not wait to `deadline`.
    virtual void JumpTo(time_point /*deadline*/) {}
};

// The system's clocks.
class SystemClock final : public Clock {
public:
    time_point Now() const override { return std::chrono::steady_clock::now(); }
    TDateTime Utc() const override { return SystemUTCNow(); }
};

// A clock that stands until it is moved: every wait ends at once, at its deadline.
class FakeClock final : public Clock {
public:
    explicit FakeClock(TDateTime utc = EncodeDateTime(2026, 12, 8, 12, 0)) : utc_(utc) {}
    time_point Now() const override { return now_; }
    TDateTime Utc() const override {
        return utc_ + std::chrono::duration<double>(now_.time_since_epoch()).count() / 86'400;
    }
    bool Waits() const override { return false; }
    void JumpTo(time_point deadline) override { now_ = std::max(now_, deadline); }

private:
    TDateTime utc_;
    time_point now_{};
};

}  // namespace kovra::engine
