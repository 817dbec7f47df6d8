// kovra-nmea attacked and misused: signals at every wait, lost and stalled
// lines, consumers that come late or read slowly, crowds of TCP clients,
// closed standard streams, files that must not be touched. The time bounds
// are what the program promises (a second to stop), far below what the
// faults they catch would take.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "Process.h"
#include "SimulatorSupport.h"
#include "generator/KovraNMEAGenerator.h"
#include "nmea/Format.h"
#include "serial/PseudoTerminal.h"

namespace kovra::test {
namespace {

using Clock = std::chrono::steady_clock;

// A whole sentence: "$", a body, "*", the right checksum (the line end removed).
bool WellFramed(const std::string& line) {
    const std::size_t star = line.rfind('*');
    return line.size() > 4 && line[0] == '$' && star == line.size() - 3 &&
           nmea::GetNMEACheckSum(line.substr(0, star)) == line.substr(star + 1);
}

std::string Unique(const std::string& stem) {
    return ::testing::TempDir() + "kovra-" + stem + "-" + std::to_string(::getpid());
}

// Reads what arrives on `fd` for `duration`, `chunk` bytes at a time with
// `pause` between reads (a slow reader), bounded in count and time.
std::string ReadFor(int fd, std::chrono::milliseconds duration, std::size_t chunk = 4096,
                    std::chrono::milliseconds pause = 0ms) {
    std::string data;
    std::vector<char> buffer(chunk);
    const auto end = Clock::now() + duration;
    for (int turn = 0; turn < 100000 && Clock::now() < end; ++turn) {
        pollfd request{fd, POLLIN, 0};
        if (::poll(&request, 1, 20) > 0) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n <= 0) {
                break;
            }
            data.append(buffer.data(), static_cast<std::size_t>(n));
        }
        std::this_thread::sleep_for(pause);
    }
    return data;
}

// Sends `signal` and measures how long the run takes to end; its exit status.
std::pair<std::optional<int>, Clock::duration> StopWith(Process& p, int signal) {
    const auto start = Clock::now();
    p.Signal(signal);
    const std::optional<int> status = p.ExitWithin(10s);
    return {status, Clock::now() - start};
}

TEST(Stopping, EverySignalEndsARunBlockedOnStandardOutput) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        Process p(Classic({"--rate", "1000"}));  // nobody reads: the pipe is full within a fraction of a second
        std::this_thread::sleep_for(500ms);
        const auto [status, took] = StopWith(p, signal);
        ASSERT_TRUE(status.has_value()) << "still running after signal " << signal;
        EXPECT_EQ(*status, 0) << "a stop during a write is not an error";
        EXPECT_LT(took, 1s) << signal;
    }
}

TEST(Stopping, ASignalEndsARunOnAStalledSerialLineAndReleasesThePort) {
    for (const bool threaded : {false, true}) {
        PseudoTerminal pty;  // nobody reads the master: the line fills, then stalls
        std::vector<std::string> options = {"--port", pty.SlavePath(), "--rate", "100"};
        if (threaded) {
            options.push_back("--threaded");
        }
        Process p(Classic(options));
        std::this_thread::sleep_for(1500ms);
        const auto [status, took] = StopWith(p, SIGTERM);
        ASSERT_TRUE(status.has_value()) << (threaded ? "threaded" : "direct");
        EXPECT_EQ(*status, 0);
        EXPECT_LT(took, 1s) << (threaded ? "threaded" : "direct");
        TKovraNMEAGenerator other;  // the port's exclusive mode has been released
        EXPECT_TRUE(other.Connect(pty.SlavePath())) << (threaded ? "threaded" : "direct");
        other.Disconnect();
    }
}

TEST(Stopping, TheDrainBeforeDisconnectIsCappedAndEndsOnASignal) {
    // About 700 bytes at 300 baud take 23 s on the line; the drain waits 2 s at most.
    for (const bool signalled : {false, true}) {
        PseudoTerminal pty;
        Process p(Classic({"--port", pty.SlavePath(), "--baud", "300", "--count", "1"}));
        ASSERT_FALSE(pty.Read(100, 3000ms).empty());
        const auto start = Clock::now();
        if (signalled) {
            p.Signal(SIGTERM);
        }
        const std::optional<int> status = p.ExitWithin(10s);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 0);
        EXPECT_LT(Clock::now() - start, signalled ? 1s : 2500ms);
    }
}

TEST(Stopping, ASignalEndsARunWhoseConsumerStopsReading) {
    const std::string link = Unique("full-pty");
    Process p(Classic({"--pty", link, "--rate", "1000"}));
    ASSERT_NE(p.ReadErrorUntil("\n", 5s).find("/dev/pts/"), std::string::npos);
    FileDescriptor consumer(::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
    ASSERT_TRUE(consumer.Valid());
    std::this_thread::sleep_for(500ms);  // never read: the terminal fills
    const auto [status, took] = StopWith(p, SIGINT);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    EXPECT_LT(took, 1s);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST(SerialOutput, ADeviceThatGoesAwayEndsTheRunOnce) {
    for (const bool threaded : {false, true}) {
        PseudoTerminal pty;
        std::vector<std::string> options = {"--port", pty.SlavePath(), "--rate", "20", "--sentences", "RMC"};
        if (threaded) {
            options.push_back("--threaded");
        }
        Process p(Classic(options));
        ASSERT_FALSE(pty.Read(10, 3000ms).empty()) << "nothing arrived";
        pty.CloseMaster();  // the far end hangs up, as an unplugged adapter does
        const std::optional<int> status = p.ExitWithin(5s);
        ASSERT_TRUE(status.has_value()) << (threaded ? "threaded" : "direct");
        EXPECT_EQ(*status, 1);
        p.Wait();
        const std::string& error = p.Error();
        const std::string lost = "serial port '" + pty.SlavePath() + "' was lost: Input/output error\n";
        EXPECT_NE(error.find(lost), std::string::npos) << error;
        EXPECT_EQ(error.find(lost), error.rfind(lost)) << "reported once";
    }
}

TEST(PseudoTerminalOutput, AConsumerGetsOnlyUpdatesFromAfterItOpened) {
    const std::string link = Unique("late-pty");
    const auto spawned = Clock::now();
    Process p(Classic({"--pty", link, "--rate", "20", "--time", "2020-01-01T00:00:00Z", "--sentences", "ZDA,GGA"}));
    ASSERT_NE(p.ReadErrorUntil("\n", 5s).find("/dev/pts/"), std::string::npos);
    {
        // A first consumer opens, reads nothing for two seconds and goes.
        FileDescriptor idle(::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
        ASSERT_TRUE(idle.Valid());
        std::this_thread::sleep_for(2s);
    }
    std::this_thread::sleep_for(20ms);  // the program sees the close as it happens, not at its next update
    FileDescriptor late(::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
    const double openedAt = std::chrono::duration<double>(Clock::now() - spawned).count();
    ASSERT_TRUE(late.Valid());
    const std::vector<std::string> lines = Lines(ReadFor(late.Get(), 600ms));
    ASSERT_FALSE(lines.empty());
    ASSERT_EQ(lines.front().rfind("$GPZDA,", 0), 0U) << lines.front();  // an update from its start
    const std::string time = Field(lines.front(), 1);  // hhmmss.sss after 00:00:00
    const double simulated = std::stoi(time.substr(2, 2)) * 60 + std::stod(time.substr(4));
    // The simulated clock starts when the program does, a little after the
    // spawn; data left from the first consumer would be two seconds older.
    EXPECT_GT(simulated, openedAt - 0.8) << lines.front();
    for (const std::string& line : lines) {
        EXPECT_TRUE(WellFramed(line)) << line;
    }
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
}

TEST(PseudoTerminalOutput, ASlowConsumerMissesWholeUpdatesAndNeverACutSentence) {
    const std::string link = Unique("slow-pty");
    Process p(Classic({"--pty", link, "--rate", "50"}));  // about 35 kB a second, all sentences
    ASSERT_NE(p.ReadErrorUntil("\n", 5s).find("/dev/pts/"), std::string::npos);
    FileDescriptor consumer(::open(link.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK));
    ASSERT_TRUE(consumer.Valid());
    const std::string received = ReadFor(consumer.Get(), 2500ms, 97, 10ms);  // about 10 kB a second
    const std::vector<std::string> lines = Lines(received);
    ASSERT_GT(lines.size(), 20U);
    for (const std::string& line : lines) {
        ASSERT_TRUE(WellFramed(line)) << line;
    }
    // Every update that arrived, arrived whole: as many RMC as ZDA lines.
    EXPECT_NEAR(static_cast<double>(Kind(received, "$GPZDA").size()),
                static_cast<double>(Kind(received, "$GPRMC").size()), 1.0);
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
}

TEST(PseudoTerminalOutput, NeverTakesOverALiveLinkButReplacesAStaleOne) {
    const std::string link = Unique("shared-pty");
    Process first(Classic({"--pty", link, "--rate", "20"}));
    ASSERT_NE(first.ReadErrorUntil("\n", 5s).find("/dev/pts/"), std::string::npos);
    const std::filesystem::path target = std::filesystem::read_symlink(link);
    const Result second = RunProgram(Classic({"--pty", link, "--count", "1"}));
    EXPECT_EQ(second.status, 1);
    EXPECT_NE(second.error.find("in use"), std::string::npos) << second.error;
    EXPECT_EQ(std::filesystem::read_symlink(link), target);  // still the first one's
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(), 0);

    std::filesystem::create_symlink("/dev/pts/kovra-gone", link);  // left by a run that was killed
    const Result third = RunProgram(Classic({"--pty", link, "--count", "2", "--rate", "20"}));
    EXPECT_EQ(third.status, 0) << third.error;
    EXPECT_FALSE(std::filesystem::is_symlink(link));

    const Result unnamed = RunProgram(Classic({"--pty", "--count", "1"}));
    EXPECT_EQ(unnamed.status, 0) << unnamed.error;
    EXPECT_NE(unnamed.error.find("NMEA stream on /dev/pts/"), std::string::npos) << unnamed.error;
}

TEST(TcpOutput, ManyClientsAreServedAsTheyArriveAndTheLimitHolds) {
    const int port = FreePort();
    ASSERT_GT(port, 0);
    Process p(Classic({"--tcp", std::to_string(port), "--rate", "1", "--sentences", "GGA", "--tcp-max-clients", "150"}));
    ASSERT_NE(p.ReadErrorUntil("\n", 5s).find("tcp://"), std::string::npos);
    std::vector<FileDescriptor> clients;
    for (int i = 0; i < 150; ++i) {
        clients.emplace_back(ConnectTcp(port));
        ASSERT_TRUE(clients.back().Valid()) << "client " << i;
    }
    for (const FileDescriptor& client : clients) {  // the next update reaches every one
        pollfd request{client.Get(), POLLIN, 0};
        ASSERT_EQ(::poll(&request, 1, 3000), 1);
    }
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);

    const int limited = FreePort();
    Process q(Classic({"--tcp", std::to_string(limited), "--rate", "10", "--sentences", "GGA", "--tcp-max-clients", "2"}));
    ASSERT_NE(q.ReadErrorUntil("\n", 5s).find("tcp://"), std::string::npos);
    FileDescriptor a(ConnectTcp(limited)), b(ConnectTcp(limited));
    std::this_thread::sleep_for(300ms);
    FileDescriptor refused(ConnectTcp(limited));
    ASSERT_TRUE(refused.Valid());
    char byte = 0;
    pollfd request{refused.Get(), POLLIN, 0};
    ASSERT_EQ(::poll(&request, 1, 3000), 1);
    EXPECT_EQ(::read(refused.Get(), &byte, 1), 0) << "a client beyond the limit is closed at once";
    EXPECT_FALSE(ReadFor(a.Get(), 300ms).empty());
    q.Signal(SIGTERM);
    EXPECT_EQ(q.Wait(), 0);
}

TEST(TcpOutput, AnUpdateLargerThan64KiBReachesAClientWhole) {
    std::string names = "R:";
    for (int i = 0; i < 2000; ++i) {
        names += i == 0 ? "A" : ",A";
    }
    const int port = FreePort();
    Process p(Classic({"--tcp", std::to_string(port), "--rate", "2", "--sentences", "ZDA,WPL", "--waypoint",
               "A,10:00:00N,020:00:00E", "--route", names, "--lat", "10", "--lon", "20"}));
    ASSERT_NE(p.ReadErrorUntil("\n", 5s).find("tcp://"), std::string::npos);
    FileDescriptor client(ConnectTcp(port));
    const std::string received = ReadFor(client.Get(), 1800ms);
    const std::size_t first = received.find("$GPZDA");
    const std::size_t second = received.find("$GPZDA", first + 1);
    ASSERT_NE(second, std::string::npos) << received.size() << " bytes received";
    EXPECT_EQ(Kind(received.substr(first, second - first), "$GPWPL").size(), 2000U);  // about 84 kB
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
}

TEST(StandardStreams, ClosedOutputAndErrorNeverCarryTheStream) {
    const int port = FreePort();
    Process p(Classic({"--tcp", std::to_string(port), "-v", "--rate", "20", "--count", "40", "--sentences", "GGA"}),
              Closed{true, true});
    FileDescriptor client(ConnectTcp(port));
    ASSERT_TRUE(client.Valid());
    const std::string received = ReadFor(client.Get(), 1000ms);
    ASSERT_FALSE(received.empty());
    for (const std::string& line : Lines(received)) {
        EXPECT_TRUE(WellFramed(line)) << "not a sentence: " << line;
    }
    EXPECT_EQ(p.ExitWithin(5s), 0);
}

TEST(Verbose, NamesReachTheTerminalEscaped) {
    const Result r = RunProgram(Classic({"--lat", "10", "--lon", "20", "--speed", "1", "--waypoint",
                                 "A\x1b[2J\r,10:00:30N,020:00:00E", "--route", "R:A\x1b[2J\r", "--follow-route", "-v",
                                 "--count", "2", "--rate", "50", "--sentences", "RTE"}));
    ASSERT_EQ(r.status, 0) << r.error;
    EXPECT_NE(r.error.find("next A^1B[2J^0D"), std::string::npos) << r.error;
    EXPECT_EQ(r.error.find('\x1b'), std::string::npos);
    EXPECT_EQ(Lines(r.output).size(), 2U);
    EXPECT_NE(r.output.find("A^1B[2J^0D"), std::string::npos) << r.output;
}

TEST(Saving, NothingIsRemovedReplacedOrCreatedThatShouldNotBe) {
    const std::string waypoints = Unique("keep-wp"), route = Unique("keep-route"), fifo = Unique("fifo"),
                      svg = Unique("sky.svg"), link = Unique("never-pty");
    std::ofstream(waypoints) << "[W]\nName=W\n";
    std::ofstream(route) << "[Route]\nName=R\n";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);

    const Result noWayPoints = RunProgram(Classic({"--sat", "5,45,90,40", "--save-waypoints", waypoints, "--count", "1"}));
    EXPECT_EQ(noWayPoints.status, 2);
    EXPECT_NE(noWayPoints.error.find("no waypoints to save"), std::string::npos) << noWayPoints.error;
    const Result noRoute = RunProgram(Classic({"--sat", "5,45,90,40", "--save-route", route, "--count", "1"}));
    EXPECT_EQ(noRoute.status, 2);
    EXPECT_EQ(noWayPoints.output + noRoute.output, "");
    std::ifstream wp(waypoints), rt(route);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(wp), {}), "[W]\nName=W\n");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(rt), {}), "[Route]\nName=R\n");

    for (const char* option : {"--save-satellites", "--skyplot"}) {
        const Result onFifo = RunProgram(Classic({option, fifo, "--count", "1"}));
        EXPECT_EQ(onFifo.status, 1) << option;
        EXPECT_NE(onFifo.error.find("not a regular file"), std::string::npos) << onFifo.error;
        EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    }

    // A bad radius is refused before any output is opened or file written.
    const Result badRadius = RunProgram(Classic({"--skyplot", svg, "--skyplot-radius", "1073741825", "--save-satellites",
                                         svg + ".ini", "--pty", link, "--count", "1"}));
    EXPECT_EQ(badRadius.status, 2);
    EXPECT_FALSE(std::filesystem::exists(svg) || std::filesystem::exists(svg + ".ini") ||
                 std::filesystem::is_symlink(link));
    // A live view that cannot listen ends the run before anything is saved.
    const int taken = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback();
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(taken, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(taken, 1), 0);
    ASSERT_EQ(::getsockname(taken, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const Result portTaken =
        RunProgram({"--http", "127.0.0.1:" + std::to_string(ntohs(address.sin_port)), "--skyplot", svg,
                    "--waypoint", "W,1,1", "--save-waypoints", waypoints, "--count", "1"});
    ::close(taken);
    EXPECT_EQ(portTaken.status, 1);
    EXPECT_NE(portTaken.error.find("cannot serve the live view"), std::string::npos) << portTaken.error;
    EXPECT_FALSE(std::filesystem::exists(svg));
    std::ifstream kept(waypoints);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "[W]\nName=W\n");
    for (const std::string& file : {waypoints, route, fifo}) {
        std::filesystem::remove(file);
    }
}

}  // namespace
}  // namespace kovra::test
