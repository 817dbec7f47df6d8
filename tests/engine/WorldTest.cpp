// The engine's world driven in-process on a clock of the test's own: no
// process is spawned and nothing sleeps. Events steer the vessels without
// losing their progress, the pace follows a speedup changed mid-run, an
// outage starts and ends at its updates, a failing output still leaves the
// recording whole, vessels move each by its own orders and turn within
// their limits.
#include <gtest/gtest.h>

#include <numbers>

#include "FileSupport.h"
#include "engine/Simulator.h"
#include "engine/scenario/Movers.h"

namespace kovra::engine {
namespace {

using namespace std::chrono_literals;

// Keeps every update it is given; fails from its `failAt`th write on, when given.
class KeptOutput final : public Output {
public:
    explicit KeptOutput(std::vector<std::string>& updates, std::optional<std::size_t> failAt = std::nullopt)
        : updates_(updates), failAt_(failAt) {}
    void Write(std::string_view update) override {
        if (failAt_ && updates_.size() + 1 >= *failAt_) {
            throw OutputError("the line went away");
        }
        updates_.emplace_back(update);
    }
    void Finish() override { finished = true; }
    bool finished = false;

private:
    std::vector<std::string>& updates_;
    std::optional<std::size_t> failAt_;
};

// A simulator on a fake clock, its time fixed, sending `kinds` only.
struct Bench {
    explicit Bench(TNMEACommands kinds = {TNMEACommand::GPRMC}) : simulator([this](const std::string& line) {
                                                                   notices.push_back(line);
                                                               }) {
        simulator.UseClock(clock);
        simulator.Motion().fixedTime = true;
        simulator.Motion().startTime = EncodeDateTime(2026, 12, 8, 12, 0);
        simulator.Receiver().UseSystemDateTime(false);
        simulator.Receiver().UTCDateTime(simulator.Motion().startTime);
        simulator.Receiver().Commands(kinds);
    }
    std::uint64_t Run(RunSettings settings) {
        auto output = std::make_unique<KeptOutput>(updates);
        kept = output.get();
        simulator.AddOutput(std::move(output));
        return simulator.Run(settings, stop);
    }
    const Vessel& First() const { return simulator.CurrentWorld().vessels.front(); }

    FakeClock clock;
    std::vector<std::string> notices, updates;
    Simulator simulator;
    KeptOutput* kept = nullptr;
    Stop stop;
};

std::string Field(const std::string& sentence, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = sentence.find(',', start) + 1;
    }
    return sentence.substr(start, sentence.find_first_of(",*", start) - start);
}

// At 60 knots the built-in vessel reaches BUOY after some 45 s.
TEST(EngineWorld, SpeedAndCourseEventsKeepTheRouteProgress) {
    Bench bench;
    bench.simulator.UseBuiltInScenario();
    bench.simulator.Receiver().Speed(60);
    bench.simulator.Schedule({60, -1, {.speed = 30, .atOnce = true}});
    ASSERT_EQ(bench.Run({.count = 100, .fast = true}), 100U);
    EXPECT_EQ(bench.First().progress.next, 2U);  // past HARBOUR and BUOY, steering for FAIRWAY
    EXPECT_EQ(bench.First().progress.arrivals, 2U);
    EXPECT_DOUBLE_EQ(bench.First().state.speed, 30 * kMetresPerSecondPerKnot);

    Bench steered;
    steered.simulator.UseBuiltInScenario();
    steered.simulator.Receiver().Speed(60);
    steered.simulator.Schedule({60, -1, {.course = 270, .atOnce = true}});
    steered.Run({.count = 61, .fast = true});
    EXPECT_EQ(steered.First().steering, Steering::Course);  // by hand from then on
    EXPECT_EQ(steered.First().progress.next, 2U);            // and the route where it was
    EXPECT_EQ(Field(steered.updates.back(), 8), "270");
}

TEST(EngineWorld, ASpeedupChangedMidRunPacesTheUpdatesAfterIt) {
    Bench bench;
    const auto start = bench.clock.Now();
    bench.simulator.Schedule({5, -1, {.speedup = 10}});
    ASSERT_EQ(bench.Run({.count = 10}), 10U);
    // Five seconds at the wall clock's pace, then four updates a tenth of a second apart.
    EXPECT_NEAR(std::chrono::duration<double>(bench.clock.Now() - start).count(), 5.4, 1e-6);
    EXPECT_EQ(Field(bench.updates[9], 1), "120009.000");  // simulated time keeps its period
}

TEST(EngineWorld, AnOutageStartsAndEndsAtItsUpdates) {
    Bench bench({TNMEACommand::GPGGA});
    FaultSettings faults;
    faults.outages = {{3, 2}};
    bench.simulator.UseFaults(faults);
    bench.simulator.Receiver().FixQuality(1);
    bench.Run({.count = 7, .fast = true});
    std::string fixes;
    for (const std::string& update : bench.updates) {
        fixes += Field(update, 6);
    }
    EXPECT_EQ(fixes, "1110011");
}

using RecordingDir = kovra::test::TempDir;

TEST_F(RecordingDir, AnOutputFailingMidRunLeavesTheRecordingWholeAndTheOthersFinished) {
    Bench bench;
    bench.simulator.UseBuiltInScenario();
    bench.simulator.RecordGpx(Path("run.gpx"));
    std::vector<std::string> failing;
    bench.simulator.AddOutput(std::make_unique<KeptOutput>(failing, 8));
    EXPECT_THROW(bench.Run({.rate = 10, .count = 100, .fast = true}), OutputError);
    // The eighth update was sailed, then its write failed.
    const Gpx recorded = LoadGpx(Path("run.gpx").string());
    ASSERT_EQ(recorded.tracks.size(), 1U);
    EXPECT_EQ(recorded.tracks.front().points.size(), 8U);
    EXPECT_EQ(recorded.routes.front().name, "DEPART");
    EXPECT_TRUE(bench.kept->finished);
}

TEST(EngineWorld, TwoVesselsMoveEachByItsOwnOrders) {
    Bench bench;
    bench.simulator.Receiver().Speed(20);  // north at 20 knots from 0° 0°
    Vessel other;
    other.name = "tanker";
    other.state.position = {0, 1};
    other.state.course = other.orderedCourse = 90;
    other.state.speed = other.orderedSpeed = 10 * kMetresPerSecondPerKnot;
    bench.simulator.AddVessel(other);
    bench.Run({.count = 361, .fast = true});  // six minutes
    const World& world = bench.simulator.CurrentWorld();
    ASSERT_EQ(world.vessels.size(), 2U);
    EXPECT_NEAR(DistanceNm({0, 0}, world.vessels[0].state.position), 2.0, 1e-9);
    EXPECT_NEAR(world.vessels[0].state.position.lon, 0, 1e-12);
    EXPECT_NEAR(DistanceNm({0, 1}, world.vessels[1].state.position), 1.0, 1e-9);
    EXPECT_NEAR(world.vessels[1].state.position.lat, 0, 1e-12);
    EXPECT_EQ(world.vessels[1].id, 1);
}

TEST(EngineWorld, ATurnGoesAtTheVesselsRateOfTurn) {
    Bench bench;
    bench.simulator.Receiver().Speed(6);
    bench.simulator.Motion().limits = Dynamics{3, 0.5};
    bench.simulator.Schedule({0, -1, {.course = 90, .speed = 7}});
    bench.Run({.count = 11, .fast = true});  // ten steps of a second
    EXPECT_DOUBLE_EQ(bench.First().state.course, 30);
    EXPECT_DOUBLE_EQ(bench.First().state.rateOfTurn, 3);
    EXPECT_DOUBLE_EQ(bench.First().state.speed, 7 * kMetresPerSecondPerKnot);  // reached after two seconds
    std::vector<std::string> courses;
    for (const std::string& update : bench.updates) {
        courses.push_back(Field(update, 8));
    }
    EXPECT_EQ(courses, (std::vector<std::string>{"0", "3", "6", "9", "12", "15", "18", "21", "24", "27", "30"}));

    Bench turned;
    turned.simulator.Receiver().Speed(6);
    turned.simulator.Motion().limits = Dynamics{3, 0.5};
    turned.simulator.Schedule({0, -1, {.course = 90}});
    turned.Run({.count = 41, .fast = true});
    EXPECT_NEAR(turned.First().state.course, 90, 1e-6);  // out of the turn: the geodesic's course
    EXPECT_EQ(turned.First().state.rateOfTurn, 0);
}

// A route's corner sailed as a curve: the vessel passes its waypoint within
// its turning circle and comes out on the next leg's bearing.
TEST(EngineWorld, AWaypointTurnIsACurve) {
    World world;
    world.waypoints = {{"A", {0, 0.01}}, {"B", {0.01, 0.01}}};
    world.routes = {{"R", {"A", "B"}}};
    Vessel v;
    v.state.speed = v.orderedSpeed = 5;
    v.state.course = v.orderedCourse = 90;
    v.limits = {3, 0};
    v.steering = Steering::Route;
    v.progress.route = "R";
    Mover mover;
    double largestTurn = 0, previous = v.state.course;
    for (int second = 1; second <= 600 && !v.progress.arrived; ++second) {
        ASSERT_TRUE(mover.Advance(v, world, second, 1));
        largestTurn = std::max(largestTurn, std::fabs(std::remainder(v.state.course - previous, 360.0)));
        previous = v.state.course;
    }
    EXPECT_TRUE(v.progress.arrived);
    EXPECT_EQ(v.progress.arrivals, 2U);
    EXPECT_LE(largestTurn, 3 + 1e-9);
    // Reached within the turning circle's diameter: 2 · 5 m/s ÷ 3°/s.
    EXPECT_LT(DistanceNm(v.state.position, {0.01, 0.01}), 2 * 5 / (3 * std::numbers::pi / 180) / 1852);
}

}  // namespace
}  // namespace kovra::engine
