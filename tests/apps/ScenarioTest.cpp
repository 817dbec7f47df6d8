// Scenarios people bring and control of time, end to end: faster and slower
// than the wall clock, runs bounded by simulated time, runs that do not wait.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "Process.h"
#include "SimulatorSupport.h"
#include "nmea/Format.h"
#include "serial/PseudoTerminal.h"

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

TEST(TimeControl, AFiniteRunOnATerminalShowsItsProgress) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    Process p({"--count", "30", "--rate", "20", "--sentences", "RMC"}, Closed{.errorTerminal = terminal});
    EXPECT_EQ(p.Wait(), 0);
    std::string drawn;
    char buffer[4096];
    for (pollfd ready{master, POLLIN, 0}; ::poll(&ready, 1, 200) > 0;) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        drawn.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(master);
    // Redrawn in place at most ten times a second over 1.5 s, then the last state.
    const auto redraws = std::count(drawn.begin(), drawn.end(), '\r');
    EXPECT_GE(redraws, 2);
    EXPECT_LE(redraws, 20);
    EXPECT_NE(drawn.find("100% 30/30 updates"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("done in 0:0"), std::string::npos) << drawn;
    EXPECT_NE(drawn.find("left"), std::string::npos) << drawn;  // while it ran
    // Not on a pipe, nor with the status lines of -v.
    EXPECT_EQ(RunProgram({"--count", "3", "--rate", "50"}).error, "");
}

TEST(TimeControl, RefusedValues) {
    for (const auto& [options, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--speedup", "0.05"}, "--speedup: '0.05' is not from 0.1 to 1000"},
             {{"--speedup", "2000"}, "--speedup: '2000' is not from 0.1 to 1000"},
             {{"--duration", "0"}, "--duration: '0' is not above 0 and at most 1e9 seconds"},
             {{"--duration", "nan"}, "--duration: 'nan' is not above 0"},
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

// A looped log emptied while it plays (a rotated log) ends the run.
TEST(Replay, ALoopedLogEmptiedWhilePlayingEndsTheRun) {
    TempFile log("rotated.nmea");
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "$GPGGA,120000.00,5419.2,N,01009.0,E,1,05,1.0,2.0,M,40.1,M,,*55\r\n";
    }
    log.Write(text);
    Process p({"--replay", log.Path(), "--loop", "--fast"});
    p.ReadOutputUntil(std::string(200'000, 'x'), 1s);  // well into its loops
    std::filesystem::resize_file(log.Path(), 0);
    std::optional<int> status;
    for (int turn = 0; turn < 100 && !status; ++turn) {
        p.ReadOutputUntil("never in the stream", 100ms);  // the pipe read all along, so only the loop can hold it
        status = p.ExitWithin(0ms);
    }
    EXPECT_EQ(status, 0);
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
    EXPECT_NE(missing.error.find("--replay: cannot read the log"), std::string::npos) << missing.error;
}

// Minutes of a GLL or GGA coordinate field pair: "ddmm.mmmmmm" and "dddmm.mmmmmm".
double Minutes(const std::string& field, int degreeDigits) {
    return std::stoi(field.substr(0, static_cast<std::size_t>(degreeDigits))) * 60 +
           std::stod(field.substr(static_cast<std::size_t>(degreeDigits)));
}

TEST(Gpx, ARouteIsSailedFromItsFirstPoint) {
    // Along the equator, east: a route point without a waypoint becomes one.
    TempFile gpx("route.gpx");
    gpx.Write(R"(<?xml version="1.0"?>
<gpx version="1.0" xmlns="http://www.topografix.com/GPX/1/0">
  <wpt lat="0" lon="0"><name>A</name><sym>Flag</sym></wpt>
  <wpt lat="0" lon="0.05"><name>B&amp;B</name></wpt>
  <rte><name>EAST</name>
    <rtept lat="0" lon="0"><name>A</name></rtept>
    <rtept lat="0" lon="0.05"><name>B&amp;B</name></rtept>
    <rtept lat="0.05" lon="0.05"/>
  </rte>
</gpx>)");
    const Result r = RunProgram({"--profile", "classic", "--gpx", gpx.Path(), "--follow-route", "--speed", "360",
                                 "--time", "2026-12-08T12:00:00Z", "--count", "11", "--fast",
                                 "--sentences", "GLL,WPL,RTE"});
    ASSERT_EQ(r.status, 0) << r.error;
    EXPECT_NE(r.output.find("$GPRTE,1,1,C,EAST,A,B&B,EAST 3*"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("$GPWPL,0003.000000,N,00003.000000,E,EAST 3*"), std::string::npos) << r.output;
    const std::vector<std::string> gll = Kind(r.output, "$GPGLL");
    ASSERT_EQ(gll.size(), 11U);
    EXPECT_EQ(Field(gll[0], 1) + Field(gll[0], 3), "0000.00000000000.000000");
    // 360 knots for 10 s is 1 nm, 1852 m; a minute of longitude on the
    // equator is 6378137 m × π / 10800 = 1855.3248 m: 0.998208′ east.
    EXPECT_NEAR(Minutes(Field(gll[10], 3), 3), 1852 / 1855.3248, 2e-6) << gll[10];
    EXPECT_NEAR(Minutes(Field(gll[10], 1), 2), 0, 1e-6) << gll[10];
}

TEST(Gpx, ATrackIsSailedAtItsRecordedTimes) {
    TempFile gpx("track.gpx");
    gpx.Write(R"(<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
  <trk><name>Survey</name>
    <trkseg>
      <trkpt lat="0" lon="0"><ele>10</ele><time>2026-12-08T12:00:00Z</time></trkpt>
      <trkpt lat="0" lon="0.01"><ele>20</ele><time>2026-12-08T12:00:10Z</time></trkpt>
    </trkseg>
    <trkseg>
      <trkpt lat="0.01" lon="0.01"><ele>20</ele><time>2026-12-08T12:00:20Z</time></trkpt>
    </trkseg>
  </trk>
</gpx>)");
    const Result r = RunProgram({"--profile", "classic", "--gpx", gpx.Path(), "--gpx-track", "survey", "--rate",
                                 "0.2", "--fast", "--sentences", "GGA,RMC"});
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> gga = Kind(r.output, "$GPGGA"), rmc = Kind(r.output, "$GPRMC");
    ASSERT_EQ(gga.size(), 5U) << r.output;  // 0, 5, 10, 15 and 20 s: the run ends at the last point
    // The clock is the track's; halfway along each leg, half of 0.01° (0.3′).
    EXPECT_EQ(Field(gga[1], 1), "120005.000");
    EXPECT_NEAR(Minutes(Field(gga[1], 4), 3), 0.3, 1e-6);
    EXPECT_NEAR(Minutes(Field(gga[3], 2), 2), 0.3, 1e-6);
    EXPECT_NEAR(Minutes(Field(gga[3], 4), 3), 0.6, 1e-6);
    EXPECT_EQ(Field(gga[1], 9), "15");  // between the elevations 10 and 20
    // 0.01° of the equator, 1113.1949 m, in 10 s: 216.39 knots, east; then north.
    EXPECT_EQ(Field(rmc[1], 7), "216.39");
    EXPECT_EQ(Field(rmc[1], 8), "90");
    EXPECT_EQ(Field(rmc[3], 8), "0");
    // --time shifts the whole track.
    const Result shifted = RunProgram({"--profile", "classic", "--gpx", gpx.Path(), "--gpx-track", "Survey", "--time",
                                       "2030-01-01T00:00:00Z", "--rate", "0.2", "--fast", "--sentences", "ZDA"});
    EXPECT_EQ(Kind(shifted.output, "$GPZDA").back().substr(0, 33), "$GPZDA,000020.000,01,01,2030,00,0");
}

TEST(Gpx, ARecordedRunReadsBackAsTheSameTrack) {
    TempFile recorded("recorded.gpx");
    const std::vector<std::string> common = {"--profile", "classic", "--time", "2026-12-08T12:00:00Z",
                                             "--rate", "10", "--fast", "--sentences", "GGA"};
    std::vector<std::string> sailing = common;
    sailing.insert(sailing.end(), {"--count", "50", "--record-gpx", recorded.Path(), "--lat", "54.32", "--lon",
                                   "10.15", "--speed", "600", "--heading", "30", "--waypoint", "HOME,54.32,10.15",
                                   "--route", "OUT:HOME"});
    const Result sailed = RunProgram(sailing);
    ASSERT_EQ(sailed.status, 0) << sailed.error;
    std::vector<std::string> reading = common;
    reading.insert(reading.end(), {"--gpx", recorded.Path(), "--gpx-track", "kovra-nmea"});
    const Result read = RunProgram(reading);
    ASSERT_EQ(read.status, 0) << read.error;
    const std::vector<std::string> a = Kind(sailed.output, "$GPGGA"), b = Kind(read.output, "$GPGGA");
    ASSERT_EQ(a.size(), 50U);
    ASSERT_EQ(b.size(), 50U);
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(Field(a[i], 1), Field(b[i], 1));
        EXPECT_NEAR(Minutes(Field(a[i], 2), 2), Minutes(Field(b[i], 2), 2), 2e-6) << i;
        EXPECT_NEAR(Minutes(Field(a[i], 4), 3), Minutes(Field(b[i], 4), 3), 2e-6) << i;
    }
    // The file carries the waypoints and the route, and the motion.
    const std::string text = recorded.Read();
    EXPECT_NE(text.find("<wpt lat=\"54.32000000\" lon=\"10.15000000\"><name>HOME</name></wpt>"), std::string::npos);
    EXPECT_NE(text.find("<rte><name>OUT</name>"), std::string::npos);
    EXPECT_NE(text.find("<gpxtpx:speed>308.667</gpxtpx:speed><gpxtpx:course>30.00</gpxtpx:course>"),
              std::string::npos);  // 600 knots
}

TEST(Gpx, AnInterruptedRecordingKeepsWhatWasSailed) {
    TempFile recorded("interrupted.gpx");
    Process p({"--record-gpx", recorded.Path(), "--rate", "20", "--sentences", "RMC"});
    p.ReadOutputUntil("$GNRMC", 5s);
    EXPECT_NE(recorded.Read().find("<trkseg>"), std::string::npos);  // written before the first update
    p.ReadOutputUntil(std::string(200, 'x'), 500ms);                  // some updates more
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
    const std::string text = recorded.Read();
    EXPECT_GE(std::count(text.begin(), text.end(), '\n'), 10) << text;
    EXPECT_NE(text.find("</gpx>"), std::string::npos);
}

// The recording keeps what was sailed however the run ends: a lost line, a
// file that can grow no more, a save that a killed run left behind.
TEST(Gpx, ARecordingSurvivesWhatEndsOrHindersTheRun) {
    const auto whole = [](const std::string& text) {
        return text.rfind("<?xml", 0) == 0 && text.size() > 30 &&
               text.substr(text.size() - 30) == "    </trkseg>\n  </trk>\n</gpx>\n";
    };
    const auto points = [](const std::string& text) {
        std::size_t count = 0;
        for (std::size_t at = text.find("<trkpt "); at != std::string::npos; at = text.find("<trkpt ", at + 1)) {
            ++count;
        }
        return count;
    };
    TempFile recorded("survives.gpx");
    {
        PseudoTerminal pty;
        Process p(Classic({"--port", pty.SlavePath(), "--rate", "10", "--sentences", "RMC", "--record-gpx",
                           recorded.Path()}));
        ASSERT_FALSE(pty.Read(200, 3000ms).empty());
        pty.CloseMaster();  // unplugged
        ASSERT_EQ(p.ExitWithin(5s), 1);
        const std::string text = recorded.Read();
        EXPECT_TRUE(whole(text)) << text;
        EXPECT_GE(points(text), 2U) << "what was sailed before the line went";
    }
    {
        // A file that cannot grow past 200 KiB: a warning, and the stream goes on.
        rlimit old{};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 200 * 1024;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        Process p(Classic({"--fast", "--count", "3000", "--rate", "10", "--sentences", "GGA", "--record-gpx",
                           recorded.Path()}));
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
        EXPECT_EQ(p.Wait(), 0) << p.Error();
        EXPECT_EQ(Kind(p.Output(), "$GPGGA").size(), 3000U);
        const std::string& error = p.Error();
        const std::string warning = "warning: --record-gpx: cannot write '" + recorded.Path() + "': File too large";
        EXPECT_NE(error.find(warning), std::string::npos) << error;
        EXPECT_EQ(error.find(warning), error.rfind(warning)) << "warned once";
        const std::string text = recorded.Read();
        EXPECT_TRUE(whole(text)) << text.substr(text.size() > 200 ? text.size() - 200 : 0);
        EXPECT_GE(points(text), 100U) << "what was written before the file was full stays";
        EXPECT_LE(text.size(), 200U * 1024);
    }
    {
        // Through a link to a file not there yet: the file is written where the link leads.
        const std::filesystem::path link = recorded.Path() + ".link";
        const std::filesystem::path target = recorded.Path() + ".target";
        std::filesystem::create_symlink(target.filename(), link);
        const Result r = RunProgram(Classic({"--count", "2", "--record-gpx", link.string(), "--sentences", "GGA"}));
        EXPECT_EQ(r.status, 0) << r.error;
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_TRUE(std::filesystem::is_regular_file(target));
        std::filesystem::remove(link);
        std::filesystem::remove(target);
    }
    {
        // The hidden copy a killed save left is removed; another program's files stay.
        const std::filesystem::path file(recorded.Path());
        const std::filesystem::path leftover = file.parent_path() / ("." + file.filename().string() + ".123456789.tmp");
        const std::filesystem::path other = file.parent_path() / ("." + file.filename().string() + ".mine.tmp");
        std::ofstream(leftover) << std::string(100'000, 'x');
        std::ofstream(other) << "keep";
        const Result r = RunProgram(Classic({"--count", "1", "--record-gpx", recorded.Path(), "--sentences", "GGA"}));
        EXPECT_EQ(r.status, 0) << r.error;
        EXPECT_FALSE(std::filesystem::exists(leftover));
        EXPECT_TRUE(std::filesystem::exists(other));
        std::filesystem::remove(other);
    }
}

// Many waypoints of one name are named "A (2)", "A (3)" … as fast as any
// others; a file with more than a receiver holds is refused.
TEST(Gpx, ManyWaypointsOfOneNameLoadAtOnce) {
    TempFile gpx("same-names.gpx");
    std::string text = "<gpx>\n";
    for (int i = 0; i < 8000; ++i) {
        text += "<wpt lat=\"" + std::to_string(10 + i * 1e-4) + "\" lon=\"20\"><name>A</name></wpt>\n";
    }
    // The route's points: at the third waypoint's place, and at a new one.
    text += "<rte><name>R</name><rtept lat=\"" + std::to_string(10 + 2e-4) +
            "\" lon=\"20\"><name>A</name></rtept><rtept lat=\"1\" lon=\"1\"><name>a</name></rtept></rte>\n</gpx>\n";
    gpx.Write(text);
    const Result r = RunProgram(Classic({"--gpx", gpx.Path(), "--count", "1", "--sentences", "RTE"}));
    EXPECT_EQ(r.status, 0) << r.error;
    EXPECT_EQ(r.output, nmea::FrameSentence("$GPRTE,1,1,C,R,A (3),a (8001)"));

    text = "<gpx>\n";
    for (int i = 0; i <= 10'000; ++i) {
        text += "<wpt lat=\"1\" lon=\"" + std::to_string(i * 1e-3) + "\"><name>W" + std::to_string(i) + "</name></wpt>\n";
    }
    gpx.Write(text + "</gpx>\n");
    const Result tooMany = RunProgram(Classic({"--gpx", gpx.Path(), "--count", "1"}));
    EXPECT_EQ(tooMany.status, 2);
    EXPECT_NE(tooMany.error.find("more than 10000 waypoints with its route points, more than a receiver holds"),
              std::string::npos)
        << tooMany.error;
}

// A track whose points lie a millisecond apart is sailed at 1000 knots at
// most, said once, and no sentence grows past 82 characters; a run that
// would pass the end of 9999 stops there.
TEST(Gpx, TracksThatNoVesselCouldSail) {
    TempFile gpx("odd-track.gpx");
    gpx.Write(R"(<gpx><trk><name>T</name><trkseg>
<trkpt lat="54.3" lon="10.1"><time>2026-12-08T12:00:00.000Z</time></trkpt>
<trkpt lat="54.4" lon="10.2"><time>2026-12-08T12:00:00.001Z</time></trkpt>
<trkpt lat="54.5" lon="10.3"><time>2026-12-08T12:00:01.000Z</time></trkpt>
</trkseg></trk></gpx>)");
    for (const bool classic : {false, true}) {
        std::vector<std::string> options = {"--gpx", gpx.Path(), "--gpx-track", "T", "--rate", "1000", "--fast"};
        const Result r = RunProgram(classic ? Classic(options) : options);
        EXPECT_EQ(r.status, 0) << r.error;
        const std::string warning = "its speed is held at 1000 knots";
        EXPECT_NE(r.error.find(warning), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find(warning), r.error.rfind(warning));
        for (const std::string& line : Lines(r.output)) {
            EXPECT_LE(line.size() + 2, 82U) << line;
        }
    }
    gpx.Write(R"(<gpx><trk><name>Y</name><trkseg>
<trkpt lat="54.3" lon="10.1"><time>9999-12-31T23:59:57Z</time></trkpt>
<trkpt lat="54.3001" lon="10.1"><time>9999-12-31T23:59:59Z</time></trkpt>
</trkseg></trk></gpx>)");
    const Result end = RunProgram({"--gpx", gpx.Path(), "--gpx-track", "Y", "--loop", "--fast", "--count", "10",
                                   "--sentences", "ZDA"});
    EXPECT_EQ(end.status, 0) << end.error;
    EXPECT_NE(end.error.find("the simulated clock has reached the end of the year 9999"), std::string::npos)
        << end.error;
    EXPECT_EQ(Kind(end.output, "$GNZDA").size(), 3U) << end.output;
    EXPECT_EQ(end.output.find(",10000,"), std::string::npos);
}

TEST(Gpx, MalformedFilesAreOneLineNamingWhere) {
    TempFile gpx("bad.gpx");
    const std::string whole = R"(<gpx version="1.1">
  <wpt lat="54.3" lon="10.1"><name>A</name></wpt>
  <trk><name>T</name><trkseg><trkpt lat="1" lon="2"><time>2026-12-08T12:00:00Z</time></trkpt></trkseg></trk>
</gpx>)";
    for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
             {whole.substr(0, 60), ":2:"},  // cut off inside the waypoint
             {"", ":1:1: not well-formed XML"},
             {"<kml></kml>", ":1:1: not a GPX file"},
             {R"(<gpx version="2.0"/>)", "GPX version 2.0"},
             {"<gpx>\n <wpt lat=\"95\" lon=\"0\"/></gpx>", ":2:2: <wpt> lat '95' is beyond"},
             {R"(<gpx><wpt lat="x" lon="0"/></gpx>)", "<wpt> lat 'x' is not a number"},
             {R"(<gpx><wpt lat="1" lon="0"><time>noon</time></wpt></gpx>)", "<time> 'noon' is not a UTC time"},
             {R"(<gpx><wpt lat="1" lon="0"><ele>1e305</ele></wpt></gpx>)", "<ele> value '1e305' is beyond ±100000 m"},
         }) {
        gpx.Write(text);
        const Result r = RunProgram({"--gpx", gpx.Path(), "--count", "1"});
        EXPECT_EQ(r.status, 2) << text;
        const std::string expected = message[0] == ':' ? gpx.Path() + message : message;
        EXPECT_NE(r.error.find(expected), std::string::npos) << r.error;
        EXPECT_EQ(r.output, "");
        EXPECT_EQ(std::count(r.error.begin(), r.error.end(), '\n'), 1);
    }
    // A track without times cannot be sailed; a name the file lacks is listed against what it has.
    gpx.Write(R"(<gpx><trk><name>T</name><trkseg><trkpt lat="1" lon="2"/><trkpt lat="1" lon="3"/></trkseg></trk></gpx>)");
    const Result timeless = RunProgram({"--gpx", gpx.Path(), "--gpx-track", "T"});
    EXPECT_NE(timeless.error.find("track 'T': point 1 has no <time>"), std::string::npos) << timeless.error;
    const Result unknown = RunProgram({"--gpx", gpx.Path(), "--gpx-route", "R"});
    EXPECT_NE(unknown.error.find("has no such route (it has none)"), std::string::npos) << unknown.error;
}

}  // namespace
}  // namespace kovra::test
