// Scenarios people bring and control of time, end to end: faster and slower
// than the wall clock, runs bounded by simulated time, runs that do not wait.
#include <gtest/gtest.h>

#include <chrono>

#include "Process.h"
#include "SimulatorSupport.h"

namespace kovra::test {
namespace {

TEST(TimeControl, SpeedupAndDurationTogether) {
    // Three simulated seconds at 10 Hz, ten times faster than the wall clock:
    // 30 updates whose clock runs in steps of 0.1 s from the start.
    const auto started = std::chrono::steady_clock::now();
    const Result r = RunProgram({"--profile", "classic", "--time", "2026-12-08T12:00:00Z", "--rate", "10", "--speedup",
                                 "10", "--duration", "3", "--sentences", "ZDA"});
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> zda = Kind(r.output, "$GPZDA");
    ASSERT_EQ(zda.size(), 30U);
    EXPECT_EQ(Field(zda.front(), 1), "120000.000");
    EXPECT_EQ(Field(zda[15], 1), "120001.500");
    EXPECT_EQ(Field(zda.back(), 1), "120002.900");
    // Paced, not at once: 29 periods of 10 ms lie between first and last.
    EXPECT_GE(wall, 0.28);
    // --count ends it first when it comes first.
    const Result counted = RunProgram({"--profile", "classic", "--time", "2026-12-08T12:00:00Z", "--rate", "10",
                                       "--speedup", "100", "--duration", "3", "--count", "7", "--sentences", "ZDA"});
    EXPECT_EQ(Kind(counted.output, "$GPZDA").size(), 7U);
}

TEST(TimeControl, FastRunsFollowTheSimulatedClockAndTheMotion) {
    // Without --time the clock starts from the system's and then advances by
    // one period an update; the vessel covers what the simulated time allows.
    const Result r = RunProgram({"--profile", "classic", "--lat", "0", "--lon", "0", "--speed", "3600", "--heading",
                                 "90", "--rate", "1", "--count", "61", "--fast", "--sentences", "ZDA,GLL"});
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> zda = Kind(r.output, "$GPZDA");
    ASSERT_EQ(zda.size(), 61U);
    const auto seconds = [](const std::string& sentence) {
        const std::string t = Field(sentence, 1);
        return std::stoi(t.substr(0, 2)) * 3600 + std::stoi(t.substr(2, 2)) * 60 + std::stoi(t.substr(4, 2));
    };
    EXPECT_EQ((seconds(zda.back()) - seconds(zda.front()) + 86'400) % 86'400, 60);
    // 3600 knots for 60 s: one degree of longitude on the equator, less the
    // ellipsoid's 0.2 %.
    const std::string lon = Field(Kind(r.output, "$GPGLL").back(), 3);
    EXPECT_EQ(lon.substr(0, 5), "00059") << lon;
}

TEST(TimeControl, RefusedValues) {
    for (const auto& [options, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--speedup", "0.05"}, "--speedup must be between 0.1 and 1000"},
             {{"--speedup", "2000"}, "--speedup must be between 0.1 and 1000"},
             {{"--duration", "0"}, "--duration must be above 0"},
             {{"--duration", "nan"}, "--duration must be above 0"},
         }) {
        const Result r = RunProgram(options);
        EXPECT_EQ(r.status, 2) << options[0];
        EXPECT_NE(r.error.find(message), std::string::npos) << r.error;
        EXPECT_EQ(r.output, "");
    }
}

}  // namespace
}  // namespace kovra::test
