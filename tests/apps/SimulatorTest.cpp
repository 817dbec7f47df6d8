// End-to-end tests of the kovra-nmea program.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include "Process.h"
#include "SimulatorSupport.h"
#include "serial/PseudoTerminal.h"

namespace kovra::test {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kWorkedExample = {
    "--time", "2002-07-04T20:15:30.123Z", "--lat", "48:07:02.28N", "--lon", "011:31:00E", "--speed", "22.4",
    "--heading", "84.4", "--mag-heading", "81.35", "--mag-var", "3.1W", "--alt", "545.4", "--geoid", "46.9",
    "--hdop", "0.9", "--sat", "2,40,100,30", "--sat", "5,40,100,30", "--sat", "9,40,100,30", "--sat",
    "12,40,100,30", "--sat", "15,40,100,30", "--sat", "18,40,100,30", "--sat", "21,40,100,30", "--sat",
    "24,40,100,30"};

std::vector<std::string> With(std::vector<std::string> base, std::initializer_list<std::string> more) {
    base.insert(base.end(), more);
    return base;
}

TEST(Simulator, WorkedExampleByteForByte) {
    const Result r = RunProgram(Classic(With(kWorkedExample, {"--sentences", "zda,GGA,gll,VTG,rmc", "--count", "1"})));
    ASSERT_EQ(r.status, 0) << r.error;
    EXPECT_EQ(r.output,
              "$GPZDA,201530.123,04,07,2002,00,00*50\r\n"
              "$GPGGA,201530.123,4807.038000,N,01131.000000,E,1,8,0.9,545.4,M,46.9,M,,*61\r\n"
              "$GPGLL,4807.038000,N,01131.000000,E,201530.123,A*33\r\n"
              "$GPVTG,84.4,T,81.35,M,22.4,N,41.5045395590143,K,A*14\r\n"
              "$GPRMC,201530.123,A,4807.038000,N,01131.000000,E,22.4,84.4,040702,3.1,W,A*1F\r\n");
}

TEST(Simulator, CountAndRateAdvanceTheClock) {
    const Result r = RunProgram(Classic(With(kWorkedExample, {"--sentences", "ZDA", "--count", "4", "--rate", "20", "--no-move"})));
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> zda = Kind(r.output, "$GPZDA");
    ASSERT_EQ(zda.size(), 4U);
    EXPECT_EQ(Field(zda[0], 1), "201530.123");
    EXPECT_EQ(Field(zda[1], 1), "201530.173");
    EXPECT_EQ(Field(zda[3], 1), "201530.273");
}

TEST(Simulator, DefaultScenarioRunsAlongItsRoute) {
    const Result r = RunProgram(Classic({"--count", "3", "--rate", "50"}));
    ASSERT_EQ(r.status, 0) << r.error;
    EXPECT_EQ(Kind(r.output, "$GPRMC").size(), 3U);
    EXPECT_EQ(Kind(r.output, "$GPGSV").size(), 6U);  // 8 satellites: two lines an update
    EXPECT_EQ(Kind(r.output, "$GPRTE").size(), 3U);
}

struct Crossing {
    const char* name;
    std::vector<std::string> options;
    int field;          // of $GPRMC: 4 the latitude letter, 6 the longitude letter
    const char* before;
    const char* after;
};

TEST(Simulator, MotionCrossesTheEquatorTheMeridianAndTheAntimeridian) {
    // 180000 knots for a fiftieth of a second is one nautical mile: one minute of arc.
    const Crossing crossings[] = {
        {"equator", {"--lat", "0:00:20N", "--lon", "10", "--heading", "180"}, 4, "N", "S"},
        {"prime meridian", {"--lat", "0", "--lon", "0:00:20W", "--heading", "90"}, 6, "W", "E"},
        {"antimeridian", {"--lat", "0", "--lon", "179:59:40E", "--heading", "90"}, 6, "E", "W"},
        {"antimeridian westward", {"--lat", "-10", "--lon", "-179.999", "--heading", "270"}, 6, "W", "E"},
    };
    for (const Crossing& c : crossings) {
        std::vector<std::string> options = c.options;
        options.insert(options.end(), {"--speed", "180000", "--rate", "50", "--count", "2", "--sentences", "RMC"});
        const Result r = RunProgram(Classic(options));
        ASSERT_EQ(r.status, 0) << c.name << ": " << r.error;
        const std::vector<std::string> rmc = Kind(r.output, "$GPRMC");
        ASSERT_EQ(rmc.size(), 2U) << c.name;
        EXPECT_EQ(Field(rmc[0], c.field), c.before) << c.name;
        EXPECT_EQ(Field(rmc[1], c.field), c.after) << c.name << ": " << rmc[1];
    }
}

TEST(Simulator, FollowRouteReachesEveryWaypointAndStops) {
    // 36000 knots at 50 updates a second: 0.2 nautical mile a step.
    const Result r = RunProgram(Classic({"--lat", "10:00:00N", "--lon", "20:00:00E", "--speed", "36000", "--rate", "50",
                          "--count", "30", "--follow-route", "--waypoint", "A,10:00:30N,20:00:00E",
                          "--waypoint", "B,10:00:30N,20:00:40E", "--waypoint", "C,10:01:00N,20:00:40E",
                          "--route", "TRIP:A,B,C", "--sentences", "RMC,AAM", "--time", "2020-01-01T00:00:00Z"}));
    ASSERT_EQ(r.status, 0) << r.error;
    std::string arrivals;
    for (const std::string& aam : Kind(r.output, "$GPAAM")) {
        const std::string name = aam.substr(aam.rfind(',') + 1, aam.find('*') - aam.rfind(',') - 1);
        if (arrivals.empty() || arrivals.back() != name.back()) {
            arrivals += name;
        }
    }
    EXPECT_EQ(arrivals, "ABC");
    const std::vector<std::string> rmc = Kind(r.output, "$GPRMC");
    EXPECT_EQ(Field(rmc.back(), 3), "1001.000000");  // at C ...
    EXPECT_EQ(Field(rmc.back(), 5), "02000.666667");
    EXPECT_EQ(Field(rmc.back(), 7), "0");  // ... and stopped
}

TEST(Simulator, WritesToASerialPortThroughTheLibrary) {
    for (const bool threaded : {false, true}) {
        PseudoTerminal pty;
        std::vector<std::string> options =
            With(kWorkedExample, {"--sentences", "ZDA", "--count", "2", "--rate", "5", "--port", pty.SlavePath()});
        if (threaded) {
            // The sender thread writes the latest update every 50 ms: updates
            // 200 ms apart each get their turn, however loaded the machine.
            options.push_back("--threaded");
        }
        Process p(Classic(options));
        // Read while it runs: disconnecting discards what the line has not taken.
        const std::string expected =
            "$GPZDA,201530.123,04,07,2002,00,00*50\r\n$GPZDA,201530.323,04,07,2002,00,00*52\r\n";
        EXPECT_EQ(pty.Read(expected.size(), 2000ms), expected) << (threaded ? "threaded" : "direct");
        EXPECT_EQ(p.Wait(), 0) << p.Error();
        EXPECT_EQ(p.Output(), "");
    }
}

TEST(Simulator, ServesAPseudoTerminalAndRemovesItsLinkOnSigterm) {
    const std::string link = ::testing::TempDir() + "kovra-gps-" + std::to_string(::getpid());
    Process p(Classic({"--pty", link, "--rate", "20", "--sentences", "RMC"}));
    const std::string announced = p.ReadErrorUntil("\n", 5s);
    ASSERT_NE(announced.find("/dev/pts/"), std::string::npos) << announced;
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    std::this_thread::sleep_for(200ms);  // updates with nobody reading are dropped
    FileDescriptor consumer(::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
    ASSERT_TRUE(consumer.Valid());
    std::this_thread::sleep_for(300ms);
    char buffer[8192];
    const ssize_t n = ::read(consumer.Get(), buffer, sizeof buffer);
    ASSERT_GT(n, 0);
    const std::string received(buffer, static_cast<std::size_t>(n));
    EXPECT_EQ(received.rfind("$GPRMC,", 0), 0U);
    // About 6 updates in 300 ms; the 4 of the time before the consumer came are not among them.
    EXPECT_LE(Kind(received, "$GPRMC").size(), 8U) << received;
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0) << p.Error();
    EXPECT_FALSE(std::filesystem::exists(link) || std::filesystem::is_symlink(link));
}

// Two TCP ports, the second with its own list, as --udp may be repeated.
TEST(Simulator, ServesEveryTcpClientAndRefusesAPortInUse) {
    const int port = FreePort(), rmcPort = FreePort();
    ASSERT_GT(port, 0);
    Process p(Classic({"--tcp", std::to_string(port), "--tcp", std::to_string(rmcPort) + "@RMC", "--rate", "20",
                       "--sentences", "GGA,RMC", "--count", "40"}));
    const std::string announced = p.ReadErrorUntil("tcp://127.0.0.1:" + std::to_string(rmcPort), 5s);
    ASSERT_NE(announced.find("tcp://127.0.0.1:" + std::to_string(port)), std::string::npos) << announced;
    FileDescriptor slow(ConnectTcp(port));  // connects and never reads
    FileDescriptor reader(ConnectTcp(port));
    FileDescriptor rmcReader(ConnectTcp(rmcPort));
    ASSERT_TRUE(reader.Valid() && slow.Valid() && rmcReader.Valid());

    const Result busy = RunProgram(Classic({"--tcp", std::to_string(port), "--count", "1"}));
    EXPECT_EQ(busy.status, 1);
    EXPECT_NE(busy.error.find("cannot listen on 127.0.0.1:" + std::to_string(port)), std::string::npos) << busy.error;

    // What a client reads until it holds `count` sentences of `head`, each read within 3 s.
    const auto readUntil = [](const FileDescriptor& client, const std::string& head, std::size_t count) {
        std::string received;
        char buffer[4096];
        while (Kind(received, head).size() < count) {
            pollfd request{client.Get(), POLLIN, 0};
            const ssize_t n = ::poll(&request, 1, 3000) > 0 ? ::read(client.Get(), buffer, sizeof buffer) : 0;
            if (n <= 0) {
                ADD_FAILURE() << "no " << head << " from the simulator";
                break;
            }
            received.append(buffer, static_cast<std::size_t>(n));
        }
        return received;
    };
    EXPECT_EQ(readUntil(reader, "$GPGGA", 5).rfind("$GPGGA,", 0), 0U);  // updates arrive whole
    const std::string rmcOnly = readUntil(rmcReader, "$GPRMC", 3);
    EXPECT_EQ(rmcOnly.find("$GPGGA"), std::string::npos) << rmcOnly;
    EXPECT_EQ(p.Wait(), 0) << p.Error();
}

// A position as charts write it: degrees and decimal minutes, or decimal
// degrees with the hemisphere, the same place as in degrees, minutes and seconds.
TEST(Simulator, APositionReadsAsChartsWriteIt) {
    const struct {
        const char *lat, *lon, *gga;
    } forms[] = {
        {"54:19:12N", "010:09:00E", "5419.200000,N,01009.000000,E"},
        {"54:19.2N", "10:09E", "5419.200000,N,01009.000000,E"},
        {"54.32N", "10.15E", "5419.200000,N,01009.000000,E"},
        {"54.32", "10.15", "5419.200000,N,01009.000000,E"},
        {"33:52.5S", "151:12.6E", "3352.500000,S,15112.600000,E"},
        {"0.5S", "0.25W", "0030.000000,S,00015.000000,W"},
    };
    for (const auto& f : forms) {
        const Result r = RunProgram({"--profile", "classic", "--time", "2002-07-04T20:15:30Z", "--lat", f.lat, "--lon",
                                     f.lon, "--count", "1", "--sentences", "GGA"});
        ASSERT_EQ(r.status, 0) << f.lat << " " << r.error;
        EXPECT_EQ(r.output.substr(18, 28), f.gga) << f.lat << " " << f.lon;
    }
}

struct BadInput {
    std::vector<std::string> options;
    std::string message;
    int status;
};

TEST(Simulator, BadInputIsAClearErrorBeforeAnythingIsWritten) {
    const std::string missing = ::testing::TempDir() + "kovra-no-such-file.ini";
    const BadInput cases[] = {
        {{"--lat", "91"}, "Latitude Degree must be between 0 and 90.", 2},
        {{"--lat", "91:00:00N"}, "Latitude Degree must be between 0 and 90.", 2},
        {{"--lon", "011:31:00N"}, "malformed position '011:31:00N' for --lon", 2},
        {{"--lat", "48:07"}, "malformed position '48:07' for --lat", 2},
        {{"--lat", "54.32E"}, "malformed position '54.32E' for --lat (N or S expected)", 2},
        {{"--lat", "54:61N"}, "malformed position '54:61N' for --lat", 2},
        {{"--lat", "nan:30N"}, "malformed position 'nan:30N' for --lat", 2},
        {{"--lon", "-10.15E"}, "malformed position '-10.15E' for --lon", 2},
        {{"--hdop", "100"}, "HDOP must be between 0 and 99.9.", 2},
        {{"--heading", "360"}, "Heading must be between 0 and 360.", 2},
        {{"--mag-var", "3.1Q"}, "malformed magnetic variation '3.1Q'", 2},
        {{"--sentences", "ZDA,XYZ"}, "unknown sentence kind 'XYZ'", 2},
        {{"--sat", "33,10,10,10"}, "PseudoRandomCode must be between 1 and 32.", 2},
        {{"--sat", "5,91,10,10"}, "Elevation must be between 0 and 90.", 2},
        {{"--sat", "5,10"}, "malformed satellite '5,10'", 2},
        {{"--waypoint", "A,48:00:00N"}, "malformed waypoint 'A,48:00:00N'", 2},
        {{"--time", "2002-13-04T20:15:30Z"}, "is not a valid date and time", 2},
        {{"--time", "yesterday"}, "malformed time 'yesterday'", 2},
        {{"--rate", "0"}, "--rate: '0' is not from 0.001 to 1000 updates a second", 2},
        {{"--rate", "1000.5"}, "--rate: '1000.5' is not from 0.001 to 1000", 2},
        {{"--count", "-1"}, "malformed count '-1' for --count", 2},
        {{"--count", "18446744073709551616"}, "malformed count", 2},
        {{"--count", "3x"}, "malformed count '3x'", 2},
        {{"--time", "1899-12-31T23:59:59Z"}, "must lie in the years 1900 to 9999", 2},
        {{"--lat", "90:59:59N"}, "position '90:59:59N' for --lat is beyond 90 degrees", 2},
        {{"--lon", "180.5"}, "position '180.5' for --lon is beyond 180 degrees", 2},
        {{"--lat", "-90.0001"}, "is beyond 90 degrees", 2},
        {{"--waypoint", "A,90:30:00N,0"}, "position '90:30:00N' for --waypoint is beyond 90 degrees", 2},
        {{"--speed", "-1"}, "--speed: '-1' is not at least 0 knots", 2},
        {{"--speed", "inf"}, "Speed must be a number.", 2},
        {{"--alt", "inf"}, "Altitude must be a number.", 2},
        {{"--fix", "9"}, "--fix: '9' is not from 0 to 8", 2},
        {{"--fix", "-1"}, "--fix: '-1' is not from 0 to 8", 2},
        {{"--skyplot-radius", "1073741825"}, "--skyplot-radius must be between 1 and 32767", 2},
        {{"--save-satellites", "sub\xC0\xAFx.ini"}, "--save-satellites: The file name \"sub^C0^AFx.ini\" is not valid UTF-8.", 2},
        {{"--waypoints", "a\xC0\x80" "b"}, "is not valid UTF-8", 2},
        {{"--tcp-max-clients", "0"}, "--tcp-max-clients: '0' is not at least 1", 2},
        {{"--rate", "fast"}, "--rate", 2},
        {{"--no-such-option"}, "no-such-option", 2},
        {{"--satellites", missing}, "cannot read --satellites file", 2},
        {{"--follow-route", "--lat", "1"}, "--follow-route needs a route", 2},
        {{"--port", "/dev/kovra-missing", "--count", "1"}, "cannot open serial port '/dev/kovra-missing'", 1},
        // Values of any length are read in linear time and quoted cut short.
        {{"--lat", std::string(50'000, '1')}, "malformed position '" + std::string(64, '1') + "…' for --lat", 2},
        {{"--lat", std::string(50'000, '1') + ":00:00N"}, "malformed position", 2},
        {{"--sat", std::string(100'000, ' ')}, "malformed satellite", 2},
        {{"--sat", "5," + std::string(100'000, '1') + ",1,1"}, "malformed satellite", 2},
        {{"--time", "2002-07-04T20:15:30." + std::string(100'000, '1')}, "malformed time", 2},
        {{"--mag-var", std::string(100'000, '1') + ".5Q"}, "malformed magnetic variation", 2},
        // A seed is a whole number that fits: nothing wraps round or saturates.
        {{"--seed", "-1"}, "malformed seed '-1' for --seed", 2},
        {{"--seed", "18446744073709551616"}, "malformed seed", 2},
        {{"--seed", "1e23"}, "malformed seed '1e23'", 2},
        {{"--tcp-idle", "0"}, "--tcp-idle: '0' is not from 0.1 to 86400 seconds", 2},
    };
    for (const BadInput& c : cases) {
        const Result r = RunProgram(Classic(c.options));
        EXPECT_EQ(r.status, c.status) << c.options[0] << " " << r.error;
        EXPECT_NE(r.error.find(c.message), std::string::npos) << "stderr was: " << r.error;
        EXPECT_EQ(std::count(r.error.begin(), r.error.end(), '\n'), 1) << r.error;
        EXPECT_LT(r.error.size(), 400U) << c.options[0];
        EXPECT_EQ(r.output, "") << c.options[0];
    }
}

TEST(Simulator, SavesWhatTheOptionsBuiltAndDrawsTheSkyPlot) {
    const std::string dir = ::testing::TempDir();
    const std::string pid = std::to_string(::getpid());
    const std::string satellites = dir + "kovra-sat-" + pid, waypoints = dir + "kovra-wp-" + pid,
                      route = dir + "kovra-route-" + pid, svg = dir + "kovra-sky-" + pid + ".svg";
    const Result saved = RunProgram(Classic({"--sat", "5,45,90,40", "--waypoint", "W1,45:30:15.5N,012:20:00E", "--route", "R:W1",
                              "--save-satellites", satellites, "--save-waypoints", waypoints, "--save-route", route,
                              "--skyplot", svg, "--skyplot-radius", "100", "--count", "1", "--sentences", "RTE"}));
    ASSERT_EQ(saved.status, 0) << saved.error;
    EXPECT_EQ(saved.output, "$GPRTE,1,1,C,R,W1*0F\r\n");
    const Result loaded = RunProgram(Classic({"--satellites", satellites, "--waypoints", waypoints, "--route-file", route,
                               "--count", "1", "--sentences", "GSA,WPL,RTE"}));
    ASSERT_EQ(loaded.status, 0) << loaded.error;
    EXPECT_NE(loaded.output.find("$GPGSA,A,3,5,,"), std::string::npos) << loaded.output;
    EXPECT_NE(loaded.output.find("$GPWPL,4530.258333,N,01220.000000,E,W1*"), std::string::npos) << loaded.output;
    EXPECT_NE(loaded.output.find("$GPRTE,1,1,C,R,W1*0F"), std::string::npos);
    std::ifstream picture(svg);
    const std::string text((std::istreambuf_iterator<char>(picture)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<ellipse cx=\"150\" cy=\"100\""), std::string::npos);
    for (const std::string& file : {satellites, waypoints, route, svg}) {
        std::filesystem::remove(file);
    }
}

TEST(Simulator, VersionAndHelp) {
    const Result version = RunProgram(Classic({"--version"}));
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.output.find("kovra-nmea"), std::string::npos);
    EXPECT_NE(version.output.find("KovraNMEAGenPack 1.62"), std::string::npos);
    const Result help = RunProgram(Classic({"--help"}));
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--follow-route"), std::string::npos);
}

}  // namespace
}  // namespace kovra::test
