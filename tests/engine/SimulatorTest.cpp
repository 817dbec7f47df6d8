// The engine driven in-process: a recording output, a stop from another
// thread, motion on the ellipsoid.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/scenario/Movers.h"
#include "engine/Simulator.h"

namespace kovra::engine {
namespace {

using namespace std::chrono_literals;

// Keeps every update it is given.
class RecordingOutput final : public Output {
public:
    explicit RecordingOutput(std::vector<std::string>& updates) : updates_(updates) {}
    void Write(std::string_view update) override { updates_.emplace_back(update); }
    void Finish() override { finished_ = true; }
    static inline bool finished_ = false;

private:
    std::vector<std::string>& updates_;
};

std::size_t Count(const std::string& text, const std::string& head) {
    std::size_t n = 0;
    for (std::size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
        ++n;
    }
    return n;
}

TEST(EngineSimulator, RunsTheBuiltInScenarioThroughEveryOutput) {
    std::vector<std::string> first, second, notices;
    Simulator simulator([&](const std::string& line) { notices.push_back(line); });
    simulator.UseBuiltInScenario();
    simulator.Receiver().UseSystemDateTime(false);
    simulator.Receiver().UTCDateTime(EncodeDateTime(2002, 7, 4, 20, 15, 30, 123));
    simulator.AddOutput(std::make_unique<RecordingOutput>(first));
    simulator.AddOutput(std::make_unique<RecordingOutput>(second));
    RecordingOutput::finished_ = false;
    Stop stop;
    EXPECT_EQ(simulator.Run({.rate = 1000, .count = 3, .verbose = true}, stop), 3U);
    ASSERT_EQ(first.size(), 3U);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(RecordingOutput::finished_);
    EXPECT_EQ(first[0].rfind("$GPZDA,201530.123,04,07,2002", 0), 0U);
    EXPECT_EQ(Count(first[0], "$GPGSV"), 2U);  // 8 satellites in view
    EXPECT_EQ(Count(first[0], "$GPRTE,1,1,C,DEPART,HARBOUR,BUOY,FAIRWAY*"), 1U);
    ASSERT_EQ(notices.size(), 4U);  // a status line per update, then the summary
    EXPECT_NE(notices[0].find("next HARBOUR"), std::string::npos) << notices[0];  // it starts there
}

TEST(EngineSimulator, AStopFromAnotherThreadEndsTheRun) {
    std::vector<std::string> updates;
    Simulator simulator([](const std::string&) {});
    simulator.AddOutput(std::make_unique<RecordingOutput>(updates));
    Stop stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(300ms);
        stop.Request();
    });
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t written = simulator.Run({.rate = 10}, stop);  // no count: until stopped
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_GE(written, 2U);
    EXPECT_EQ(updates.size(), written);
    EXPECT_THROW(simulator.Run({.rate = 0}, stop), SettingError);
}

TEST(EngineSimulator, AFixedClockAdvancesByOnePeriodAnUpdate) {
    std::vector<std::string> updates;
    Simulator simulator([](const std::string&) {});
    simulator.Receiver().UseSystemDateTime(false);
    simulator.Receiver().Commands({TNMEACommand::GPZDA});
    simulator.Motion().fixedTime = true;
    simulator.Motion().startTime = EncodeDateTime(2020, 1, 1);
    simulator.Receiver().UTCDateTime(simulator.Motion().startTime);
    simulator.AddOutput(std::make_unique<RecordingOutput>(updates));
    Stop stop;
    simulator.Run({.rate = 1000, .count = 3}, stop);
    ASSERT_EQ(updates.size(), 3U);
    EXPECT_EQ(updates[2].substr(0, 17), "$GPZDA,000000.002");
}

// Without a time given, a receiver's epochs fall on its rate's instants of
// the system clock, the first waited for; the classic profile keeps the
// library's own clock.
TEST(EngineSimulator, AReceiversEpochsFallOnTheInstantsOfItsRate) {
    FakeClock clock(EncodeDateTime(2026, 12, 8, 12, 0, 0, 370));
    std::vector<std::string> updates;
    Simulator simulator([](const std::string&) {});
    simulator.UseClock(clock);
    simulator.UseBuiltInScenario();
    simulator.UseRealisticOutput(RealisticSettings{});
    simulator.AddOutput(std::make_unique<RecordingOutput>(updates));
    Stop stop;
    simulator.Run({.rate = 5, .count = 3}, stop);
    ASSERT_EQ(updates.size(), 3U);
    EXPECT_EQ(updates[0].substr(0, 17), "$GNRMC,120000.40,");
    EXPECT_EQ(updates[1].substr(0, 17), "$GNRMC,120000.60,");
    EXPECT_EQ(updates[2].substr(0, 17), "$GNRMC,120000.80,");
    // 30 ms to the first instant, two periods after it.
    EXPECT_NEAR(std::chrono::duration<double>(clock.Now().time_since_epoch()).count(), 0.430, 1e-6);

    EXPECT_EQ(NextEpoch(EncodeDateTime(2026, 12, 8, 23, 59, 59, 999), 1), EncodeDateTime(2026, 12, 9));
    EXPECT_EQ(DecodeDateTime(NextEpoch(EncodeDateTime(2026, 12, 8, 12, 0, 1, 0), 1)).second, 1);  // on it already
    EXPECT_EQ(DecodeDateTime(NextEpoch(EncodeDateTime(2026, 12, 8, 12, 0, 1, 0), 0.5)).second, 2);
}

// Motion on WGS84: a nautical mile north of the equator is 1852 m of
// meridian, 0.016749° (on the library's sphere it would be 0.016638°).
TEST(EngineMotion, StepsFollowTheGeodesicOnTheEllipsoid) {
    Vessel vessel;
    vessel.state.speed = vessel.orderedSpeed = 1852;  // a nautical mile a second
    Mover mover;
    ASSERT_TRUE(mover.Advance(vessel, World{}, 1.0, 1.0));
    EXPECT_NEAR(vessel.state.position.lat, 0.0167490, 2e-6);
    EXPECT_NEAR(vessel.state.position.lon, 0.0, 1e-12);
    // Distances and bearings to waypoints come from the same geodesics.
    EXPECT_NEAR(DistanceNm({0, 0}, {0, 1}), 60.1077, 1e-3);  // a degree of the equator: 111,319.49 m
    EXPECT_NEAR(InitialBearing({0, 0}, {1, 0}), 0.0, 1e-9);
    EXPECT_NEAR(InitialBearing({0, 0}, {0, -1}), 270.0, 1e-9);
}

// Set and drift against the triangle of velocities: the vessel makes good
// its course over the ground; through the water it heads and goes as the
// ground's motion less the current's says, its leeway turning the heading.
TEST(EngineMotion, TheHeadingAndSpeedThroughTheWaterMakeUpForTheCurrent) {
    const struct {
        const char* what;
        double course, knots;
        Water water;
        double heading, waterKnots;
    } cases[] = {
        {"still water", 45, 6, {}, 45, 6},
        {"a head current", 0, 6, {180, 2, 0}, 0, 8},
        {"a following current", 0, 6, {0, 2, 0}, 0, 4},
        // Over the ground (4.243, 4.243) less (2, 0): (2.243, 4.243), 27.86° at 4.80 knots.
        {"a current from the west", 45, 6, {90, 2, 0}, 27.86, 4.799},
        {"with 3° of leeway", 45, 6, {90, 2, 3}, 24.86, 4.799},
        {"at rest, leeway alone", 0, 0, {0, 0, 5}, 355, 0},
    };
    for (const auto& c : cases) {
        Vessel vessel;
        vessel.state.course = vessel.orderedCourse = c.course;
        vessel.state.speed = vessel.orderedSpeed = c.knots * 1852 / 3600;
        vessel.water = c.water;
        Mover mover;
        ASSERT_TRUE(mover.Advance(vessel, World{}, 0, 0));
        EXPECT_NEAR(std::remainder(vessel.state.heading - c.heading, 360), 0, 0.01) << c.what;
        EXPECT_NEAR(vessel.state.waterSpeed * 3600 / 1852, c.waterKnots, 0.001) << c.what;
        EXPECT_EQ(vessel.state.course, c.course) << c.what;  // the course over the ground is held
    }
}


// A route followed as a plotter's autopilot does: on to the next leg once
// in the arrival circle, from where the vessel is, or once past the line
// square to the leg through the waypoint; the route's end is sailed to
// the mark, where the vessel stops.
TEST(EngineMotion, AFollowedRouteGoesOnAtTheArrivalCircleOrThePerpendicular) {
    World world;
    world.waypoints = {{"A", {0.1, 0}}, {"B", {0.1, 0.1}}, {"C", {0, 0.1}}};  // 5.97 nm apart
    world.routes = {{"R", {"A", "B", "C"}}};
    Vessel vessel;
    vessel.steering = Steering::Route;
    vessel.progress.route = "R";
    vessel.arrivalRadiusNm = 1;
    vessel.state.speed = vessel.orderedSpeed = 0.4 * 1852;  // 0.4 nm a step of a second
    Mover mover;
    double northmost = 0;
    for (int step = 0; step < 16; ++step) {
        ASSERT_TRUE(mover.Advance(vessel, world, step, 1.0));
        northmost = std::max(northmost, vessel.state.position.lat);
    }
    // 5.2 nm sailed north, 0.77 nm short of A: B steered for from there, A never reached.
    EXPECT_EQ(vessel.progress.next, 1U);
    EXPECT_EQ(vessel.progress.arrivals, 1U);
    EXPECT_LT(northmost, 0.1 - 0.3 / 60);
    EXPECT_NEAR(vessel.state.course, InitialBearing(vessel.state.position, {0.1, 0.1}), 0.5);
    for (int step = 16; step < 60 && !vessel.progress.arrived; ++step) {
        ASSERT_TRUE(mover.Advance(vessel, world, step, 1.0));
    }
    EXPECT_TRUE(vessel.progress.arrived);
    EXPECT_EQ(vessel.state.position.lat, 0.0);  // on C
    EXPECT_EQ(vessel.state.position.lon, 0.1);
    EXPECT_EQ(vessel.state.speed, 0.0);

    // Past B's perpendicular, 3 nm from it: on for C, not back to B.
    Vessel beyond = vessel;
    beyond.progress = {"R", 1, false, 1, std::nullopt};
    beyond.state.position = {0.05, 0.11};
    beyond.state.speed = beyond.orderedSpeed = 0.4 * 1852;
    ASSERT_TRUE(mover.Advance(beyond, world, 0, 1.0));
    EXPECT_EQ(beyond.progress.next, 2U);
    beyond.arrivalRadiusNm = 0;  // without a plotter's arrival it turns back for the mark
    beyond.progress = {"R", 1, false, 1, std::nullopt};
    beyond.state.position = {0.05, 0.11};
    ASSERT_TRUE(mover.Advance(beyond, world, 0, 1.0));
    EXPECT_EQ(beyond.progress.next, 1U);
}

}  // namespace
}  // namespace kovra::engine
