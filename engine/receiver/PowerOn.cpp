#include "engine/receiver/PowerOn.h"

#include <algorithm>
#include <cmath>

namespace kovra::engine {

namespace {

constexpr double kTimeAfter = 1;        // a cold receiver's first signal brings the time
constexpr double kTwoDFor = 2;          // the first seconds of a fix, before the height is solved
constexpr double kSettling = 5;         // seconds for the dilution to fall by e
constexpr double kFirstDop = 4;         // the dilution at the first fix, over the settled one

}  // namespace

PowerOnState PowerOnAt(Start start, const StartTimes& times, double elapsed) {
    PowerOnState state;
    if (start == Start::Fixed) {
        return state;
    }
    const double fixAt = start == Start::Cold ? times.cold : start == Start::Warm ? times.warm : times.hot;
    // Satellites are found one after another until the fix; a hot start keeps them.
    const double searchFrom = start == Start::Cold ? 2 : start == Start::Warm ? 0.5 : 0;
    state.timeKnown = start != Start::Cold || elapsed >= kTimeAfter;
    state.orbitsKnown = start != Start::Cold || elapsed >= 0.8 * fixAt;
    state.trackedShare =
        start == Start::Hot ? 1 : std::clamp((elapsed - searchFrom) / std::max(fixAt - searchFrom, 0.1), 0.0, 1.0);
    state.mostFix = elapsed < fixAt ? 0 : elapsed < fixAt + kTwoDFor ? 2 : 3;
    state.dopFactor = elapsed < fixAt ? 1 : 1 + (kFirstDop - 1) * std::exp(-(elapsed - fixAt) / kSettling);
    state.leapSecondsKnown = start != Start::Cold || elapsed >= kLeapSecondsDecodedAfter;
    return state;
}

}  // namespace kovra::engine
