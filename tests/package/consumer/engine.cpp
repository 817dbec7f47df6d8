#include "engine/Simulator.h"

int main() {
    kovra::engine::Stop stop;  // any thread may Request() it to end the run
    kovra::engine::Simulator simulator;
    simulator.UseBuiltInScenario();  // Kiel harbour, 8 satellites, a route to follow
    simulator.Receiver().UseSystemDateTime(false);
    // A fixed clock that advances one period an update: the same bytes every run.
    simulator.Motion().fixedTime = true;
    simulator.Motion().startTime = kovra::EncodeDateTime(2002, 7, 4, 20, 15, 30, 123);
    simulator.Receiver().UTCDateTime(simulator.Motion().startTime);
    simulator.AddOutput(kovra::engine::OpenStandardOutput(stop));
    simulator.Run({.rate = 10, .count = 3}, stop);
}
