// From power-on to a fix, as receivers go through it: with no time, then
// tracking satellites one by one (before their orbits are known after a
// cold start), a 2D fix, then 3D with the dilution falling as the solution
// settles; the firmware's own UTC offset until the current one is decoded.
#pragma once

#include <cstdint>

namespace kovra::engine {

// fixed: a fix from the first update, as this simulator always did.
enum class Start : std::uint8_t { Fixed, Cold, Warm, Hot };

// Seconds from power-on to the first fix, as a model's data sheet gives them.
struct StartTimes {
    double cold = 30, warm = 25, hot = 1.5;
};

// The leap seconds are broadcast once every 12.5 minutes: a cold start
// reports the firmware's own offset until then.
inline constexpr double kLeapSecondsDecodedAfter = 750;

// What the receiver knows `elapsed` seconds after power-on.
struct PowerOnState {
    bool timeKnown = true;
    bool orbitsKnown = true;     // elevation and azimuth of the satellites it tracks
    double trackedShare = 1;     // of the satellites in view, from the highest
    int mostFix = 3;             // 0 none, 2 a 2D fix, 3 a 3D fix
    double dopFactor = 1;        // on the dilution, falling to 1 as the solution settles
    bool leapSecondsKnown = true;
    bool Settled() const { return mostFix == 3 && dopFactor < 1.01; }
};

PowerOnState PowerOnAt(Start start, const StartTimes& times, double elapsed);

}  // namespace kovra::engine
