// Scenarios people bring and control of time, end to end: faster and slower
// than the wall clock, runs bounded by simulated time, runs that do not wait.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

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

// A file in the test's own temporary directory, removed at the end.
class TempFile {
public:
    explicit TempFile(const std::string& name)
        : path_(::testing::TempDir() + "kovra-" + std::to_string(::getpid()) + "-" + name) {}
    ~TempFile() { std::filesystem::remove(path_); }
    const std::string& Path() const { return path_; }
    void Write(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

private:
    std::string path_;
};

TEST(Replay, ARecordedRunComesBackByteForByte) {
    // Both profiles, across midnight, at its own pace (sped up) and fast.
    for (const std::vector<std::string>& run :
         {std::vector<std::string>{"--profile", "classic", "--time", "2026-12-08T23:59:58Z", "--rate", "2"},
          std::vector<std::string>{"--time", "2026-12-08T23:59:58Z", "--rate", "5"}}) {
        std::vector<std::string> recording = run;
        recording.insert(recording.end(), {"--count", "10", "--fast"});
        const Result recorded = RunProgram(recording);
        ASSERT_EQ(recorded.status, 0) << recorded.error;
        TempFile log("recorded.nmea");
        log.Write(recorded.output);
        const auto started = std::chrono::steady_clock::now();
        const Result paced = RunProgram({"--replay", log.Path(), "--speedup", "20"});
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        ASSERT_EQ(paced.status, 0) << paced.error;
        EXPECT_EQ(paced.output, recorded.output);
        const double span = 9 / std::stod(run.back());  // ten updates at the run's rate
        EXPECT_GE(wall, span / 20);  // twenty times faster, still paced
        EXPECT_EQ(RunProgram({"--replay", log.Path(), "--fast"}).output, recorded.output);
        // Epoch by epoch too: a count bounds the replay in updates.
        const Result three = RunProgram({"--replay", log.Path(), "--fast", "--count", "3"});
        EXPECT_EQ(Kind(three.output, run[1] == "classic" ? "$GPZDA" : "$GNRMC").size(), 3U) << three.output;
    }
}

TEST(Replay, CheckedLoopedAndBoundedInTime) {
    const Result recorded = RunProgram({"--profile", "classic", "--time", "2026-12-08T12:00:00Z", "--rate", "1",
                                        "--count", "3", "--fast", "--sentences", "RMC,GGA"});
    std::string text = recorded.output;
    // Corrupt the second GGA's checksum.
    const std::size_t second = text.find("$GPGGA", text.find("$GPGGA") + 1);
    text[text.find('*', second) + 1] ^= 1;
    TempFile log("checked.nmea");
    log.Write(text);
    const Result checked = RunProgram({"--replay", log.Path(), "--replay-check", "--fast", "--loop", "--count", "6"});
    ASSERT_EQ(checked.status, 0) << checked.error;
    EXPECT_EQ(Kind(checked.output, "$GPRMC").size(), 6U);
    EXPECT_EQ(Kind(checked.output, "$GPGGA").size(), 4U);  // the bad one left out of both passes
    EXPECT_NE(checked.error.find("2 lines of the log left out for a wrong checksum"), std::string::npos)
        << checked.error;
    // --duration counts the log's own time: 1.5 s take the epochs at 0 and 1 s.
    const Result bounded = RunProgram({"--replay", log.Path(), "--duration", "1.5", "--speedup", "50"});
    EXPECT_EQ(Kind(bounded.output, "$GPRMC").size(), 2U) << bounded.output;
    // State options do not apply to a replay, and a missing log is refused.
    EXPECT_EQ(RunProgram({"--replay", log.Path(), "--lat", "10"}).status, 2);
    const Result missing = RunProgram({"--replay", log.Path() + ".missing"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.error.find("cannot read --replay file"), std::string::npos) << missing.error;
}

}  // namespace
}  // namespace kovra::test
