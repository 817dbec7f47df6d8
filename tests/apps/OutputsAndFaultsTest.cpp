// The software at the other end: UDP and TCP-client outputs received by
// listeners here on loopback, per-output sentence lists, and every fault
// at its rate, reproducible from its seed.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <thread>

#include "Process.h"
#include "SimulatorSupport.h"
#include "foundation/FileDescriptor.h"

namespace kovra::test {
namespace {

// A UDP socket on a free loopback port.
class UdpListener {
public:
    UdpListener() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        const int big = 4 << 20;
        (void)::setsockopt(fd_.Get(), SOL_SOCKET, SO_RCVBUF, &big, sizeof big);
        if (::bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd_.Get(), reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Every datagram that arrives until none has for `quiet`.
    std::vector<std::string> Receive(std::chrono::milliseconds quiet = 300ms) const {
        std::vector<std::string> datagrams;
        for (int i = 0; i < 100'000; ++i) {
            pollfd request{fd_.Get(), POLLIN, 0};
            if (::poll(&request, 1, static_cast<int>(quiet.count())) <= 0) {
                break;
            }
            char buffer[2048];
            const ssize_t n = ::recv(fd_.Get(), buffer, sizeof buffer, 0);
            if (n < 0) {
                break;
            }
            datagrams.emplace_back(buffer, static_cast<std::size_t>(n));
        }
        return datagrams;
    }

private:
    FileDescriptor fd_;
    int port_ = 0;
};

std::vector<std::string> LinesOfRun(std::vector<std::string> options) {
    const Result r = RunProgram(options);
    EXPECT_EQ(r.status, 0) << r.error;
    return Lines(r.output);
}

const std::vector<std::string> kFixedRun = {"--profile", "classic", "--time", "2026-12-08T12:00:00Z", "--lat",
                                            "54.32",     "--lon",     "10.15",  "--speed", "6",   "--heading",
                                            "45",        "--fast",    "--sentences", "ZDA,GGA,GLL,VTG,RMC"};

std::vector<std::string> With(std::vector<std::string> base, const std::vector<std::string>& more) {
    base.insert(base.end(), more.begin(), more.end());
    return base;
}

TEST(UdpOutput, OneDatagramASentenceOrAnUpdateToEachListener) {
    UdpListener rmcOnly, runs, batched;
    const Result r = RunProgram({"--time", "2026-12-08T12:00:00Z", "--count", "3", "--rate", "20", "--sentences",
                                 "GGA,GSA", "--udp", rmcOnly.Address() + "@RMC", "--udp", runs.Address()});
    ASSERT_EQ(r.status, 0) << r.error;
    // The first carries only its own list, the second the run's --sentences.
    const std::vector<std::string> rmc = rmcOnly.Receive();
    ASSERT_EQ(rmc.size(), 3U);
    for (const std::string& datagram : rmc) {
        EXPECT_EQ(datagram.rfind("$GNRMC,", 0), 0U) << datagram;
        EXPECT_EQ(datagram.find("\r\n"), datagram.size() - 2);
    }
    const std::vector<std::string> run = runs.Receive();
    ASSERT_EQ(run.size(), 15U);  // GGA and four GSA, three times
    EXPECT_EQ(run[0].rfind("$GNGGA,", 0), 0U);
    // --udp-batch: one datagram an update, whole sentences.
    const Result b = RunProgram({"--time", "2026-12-08T12:00:00Z", "--count", "3", "--rate", "20", "--udp-batch",
                                 "--udp", batched.Address()});
    ASSERT_EQ(b.status, 0) << b.error;
    const std::vector<std::string> updates = batched.Receive();
    ASSERT_EQ(updates.size(), 3U);  // about 1,270 bytes an update
    for (const std::string& datagram : updates) {
        EXPECT_LE(datagram.size(), 1472U);
        EXPECT_EQ(datagram.rfind("$GNRMC,", 0), 0U);
        EXPECT_EQ(datagram.substr(datagram.size() - 2), "\r\n");
    }
}

// A u-blox's NAV messages chosen like sentences: each output takes those
// of its list, a frame whole in one datagram though its bytes hold newlines.
TEST(UdpOutput, NavMessagesChosenLikeSentencesGoWholeToTheOutputsThatListThem) {
    UdpListener nav, rmc;
    const Result r = RunProgram({"--receiver", "ublox-m8", "--time", "2026-12-08T12:00:00Z", "--count", "3",
                                 "--rate", "10", "--sentences", "RMC,NAV-PVT,nav-timegps", "--udp",
                                 nav.Address() + "@NAV-PVT,NAV-TIMEGPS", "--udp", rmc.Address() + "@RMC"});
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> frames = nav.Receive();
    ASSERT_EQ(frames.size(), 6U);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const std::string_view expected = i % 2 == 0 ? std::string_view("\xB5\x62\x01\x07\x5C\x00", 6)
                                                     : std::string_view("\xB5\x62\x01\x20\x10\x00", 6);
        EXPECT_EQ(frames[i].substr(0, 6), expected) << i;
        EXPECT_EQ(frames[i].size(), i % 2 == 0 ? 100U : 24U);
    }
    const std::vector<std::string> sentences = rmc.Receive();
    ASSERT_EQ(sentences.size(), 3U);
    EXPECT_EQ(sentences[0].rfind("$GNRMC,", 0), 0U);
    const Result mtk = RunProgram({"--receiver", "mtk", "--sentences", "RMC,NAV-PVT", "--count", "1"});
    EXPECT_EQ(mtk.status, 2);
    EXPECT_NE(mtk.error.find("'NAV-PVT' is a UBX message of the u-blox receivers (--receiver ublox-m8, ublox-m9, "
                             "ublox-f9p)"),
              std::string::npos)
        << mtk.error;
}

TEST(UdpOutput, AnUpdateTooLargeForOneDatagramIsSplitAtSentences) {
    UdpListener listener;
    const Result r = RunProgram({"--time", "2026-12-08T12:00:00Z", "--count", "2", "--rate", "20", "--sentences",
                                 "ALL", "--udp-batch", "--udp", listener.Address()});
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> datagrams = listener.Receive();
    ASSERT_EQ(datagrams.size(), 4U);  // every kind and the route's: each update takes two
    for (const std::string& datagram : datagrams) {
        EXPECT_LE(datagram.size(), 1472U);
        EXPECT_EQ(datagram[0], '$');
        EXPECT_EQ(datagram.substr(datagram.size() - 2), "\r\n");
    }
}

TEST(UdpOutput, OverIpv6Loopback) {
    FileDescriptor fd(::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    socklen_t length = sizeof address;
    if (!fd.Valid() || ::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        GTEST_SKIP() << "no IPv6 loopback here";
    }
    const std::string to = "[::1]:" + std::to_string(ntohs(address.sin6_port));
    const Result r = RunProgram({"--count", "2", "--rate", "50", "--sentences", "GGA", "--udp", to});
    ASSERT_EQ(r.status, 0) << r.error;
    std::vector<std::string> received;
    for (pollfd ready{fd.Get(), POLLIN, 0}; received.size() < 2 && ::poll(&ready, 1, 1000) > 0;) {
        char buffer[2048];
        const ssize_t n = ::recv(fd.Get(), buffer, sizeof buffer, 0);
        received.emplace_back(buffer, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }
    ASSERT_EQ(received.size(), 2U);
    EXPECT_EQ(received[0].rfind("$GNGGA,", 0), 0U);
}

TEST(UdpOutput, AnUnreachableDestinationIsAWarningOnce) {
    const int closed = FreePort();
    const Result r = RunProgram({"--count", "5", "--rate", "50", "--sentences", "RMC", "--udp",
                                 "127.0.0.1:" + std::to_string(closed)});
    EXPECT_EQ(r.status, 0);
    std::size_t warnings = 0;
    for (std::size_t at = r.error.find("warning"); at != std::string::npos; at = r.error.find("warning", at + 1)) {
        ++warnings;
    }
    EXPECT_EQ(warnings, 1U) << r.error;
    EXPECT_NE(r.error.find("Connection refused"), std::string::npos) << r.error;
    // Malformed destinations are refused before anything is sent.
    for (const char* bad : {"127.0.0.1", "127.0.0.1:0", "[::1:10110", "127.0.0.1:10110@XYZ"}) {
        const Result refused = RunProgram({"--count", "1", "--udp", bad});
        EXPECT_EQ(refused.status, 2) << bad << ": " << refused.error;
    }
}

// A TCP server on loopback that the simulator connects to.
class TcpServer {
public:
    explicit TcpServer(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        const int yes = 1;
        (void)::setsockopt(fd_.Get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        const sockaddr_in address = Loopback(port);
        listening_ = ::bind(fd_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                     ::listen(fd_.Get(), 4) == 0;
    }
    bool Listening() const { return listening_; }
    // Accepts the simulator within `limit` and reads until `text` has come.
    std::string AcceptAndRead(const std::string& text, std::chrono::milliseconds limit) {
        pollfd request{fd_.Get(), POLLIN, 0};
        if (::poll(&request, 1, static_cast<int>(limit.count())) <= 0) {
            return {};
        }
        client_ = FileDescriptor(::accept4(fd_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        std::string received;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (received.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
            pollfd data{client_.Get(), POLLIN, 0};
            char buffer[4096];
            if (::poll(&data, 1, 100) > 0) {
                const ssize_t n = ::recv(client_.Get(), buffer, sizeof buffer, 0);
                if (n <= 0) {
                    break;
                }
                received.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return received;
    }

private:
    FileDescriptor fd_;
    FileDescriptor client_;
    bool listening_ = false;
};

// A server that takes the connection and never reads: the updates it cost are told.
TEST(TcpClientOutput, AServerThatReadsTooSlowlyIsToldOfAtTheEnd) {
    const int port = FreePort();
    FileDescriptor listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    const int small = 4096;
    (void)::setsockopt(listener.Get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);  // taken by what it accepts
    const sockaddr_in address = Loopback(port);
    ASSERT_EQ(::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener.Get(), 1), 0);
    Process p({"--tcp-connect", "127.0.0.1:" + std::to_string(port), "--fast", "--count", "20000", "--time",
               "2026-12-08T12:00:00Z"});
    pollfd request{listener.Get(), POLLIN, 0};
    ASSERT_GT(::poll(&request, 1, 5000), 0);
    const FileDescriptor client(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));  // and never read
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_NE(p.Error().find("updates were left out: the server read too slowly"), std::string::npos) << p.Error();
}

// With every place taken, a newcomer takes the place of a client that has
// taken nothing for --tcp-idle; a client that reads keeps its place.
TEST(TcpOutput, AClientThatTakesNothingGivesItsPlaceUp) {
    const int port = FreePort();
    Process p({"--tcp", std::to_string(port), "--tcp-max-clients", "3", "--tcp-idle", "0.5", "--rate", "50"});
    std::vector<FileDescriptor> idle;
    for (int i = 0; i < 3; ++i) {
        FileDescriptor fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const int small = 2048;
        (void)::setsockopt(fd.Get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        const sockaddr_in address = Loopback(port);
        for (int attempt = 0; attempt < 100 && ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address),
                                                         sizeof address) != 0; ++attempt) {
            std::this_thread::sleep_for(20ms);
        }
        idle.push_back(std::move(fd));
    }
    std::this_thread::sleep_for(3s);  // their buffers fill, and half a second passes with nothing taken
    const FileDescriptor reader(ConnectTcp(port));
    std::string received;
    for (int turn = 0; turn < 100 && received.find("$GNRMC") == std::string::npos; ++turn) {
        pollfd data{reader.Get(), POLLIN, 0};
        char buffer[4096];
        if (::poll(&data, 1, 50) > 0) {
            const ssize_t n = ::recv(reader.Get(), buffer, sizeof buffer, 0);
            if (n <= 0) {
                break;
            }
            received.append(buffer, static_cast<std::size_t>(n));
        }
    }
    EXPECT_NE(received.find("$GNRMC"), std::string::npos) << "the newcomer is served";
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
}

// A subnet's broadcast address is an address like any other to send to.
TEST(UdpOutput, ASubnetBroadcastAddressIsSentTo) {
    FileDescriptor any(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(any.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::getsockname(any.Get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    const Result r = RunProgram(With(kFixedRun, {"--count", "3", "--udp",
                                                 "127.255.255.255:" + std::to_string(ntohs(address.sin_port))}));
    EXPECT_EQ(r.status, 0) << r.error;
    pollfd request{any.Get(), POLLIN, 0};
    ASSERT_GT(::poll(&request, 1, 2000), 0);
    char buffer[2048];
    const ssize_t n = ::recv(any.Get(), buffer, sizeof buffer, 0);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0).rfind("$GPZDA,", 0), 0U);
}

TEST(TcpClientOutput, ReconnectsAfterTheServerRestarts) {
    const int port = FreePort();
    std::optional<TcpServer> server(std::in_place, port);
    ASSERT_TRUE(server->Listening());
    Process p({"--tcp-connect", "127.0.0.1:" + std::to_string(port) + "@GGA", "--rate", "20", "-v"});
    EXPECT_NE(server->AcceptAndRead("$GNGGA", 5s).find("$GNGGA,"), std::string::npos);
    server.reset();  // the server goes away, and its connection with it
    std::this_thread::sleep_for(700ms);
    server.emplace(port);
    ASSERT_TRUE(server->Listening());
    const std::string again = server->AcceptAndRead("\r\n$GNGGA", 8s);  // the retry comes within 0.5 to 2 s
    EXPECT_NE(again.find("$GNGGA,"), std::string::npos);
    EXPECT_EQ(again.find("$GNRMC"), std::string::npos);  // its own list
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
    // The outage is told once, and its end.
    const std::string& error = p.Error();
    EXPECT_NE(error.find("trying again"), std::string::npos) << error;
    EXPECT_EQ(error.find("trying again"), error.rfind("trying again")) << error;
    EXPECT_NE(error.find("connected again"), std::string::npos) << error;
}

TEST(Faults, EachAtItsRateWithinStatisticalBounds) {
    // 600 updates of five sentences: 3,000 chances each. Four standard
    // deviations either side: a correct program fails about once in 16,000 runs.
    const std::size_t total = 3000;
    const auto within = [total](std::size_t count, double p) {
        const double mean = total * p, sd = std::sqrt(total * p * (1 - p));
        return std::fabs(static_cast<double>(count) - mean) <= 4 * sd;
    };
    const std::vector<std::string> base = With(kFixedRun, {"--count", "600", "--seed", "11"});
    // Left out: fewer lines, every one still whole and right.
    const std::vector<std::string> dropped = LinesOfRun(With(base, {"--drop", "0.1"}));
    EXPECT_TRUE(within(total - dropped.size(), 0.1)) << dropped.size();
    for (const std::string& line : dropped) {
        ASSERT_TRUE(ChecksumRight(line)) << line;
    }
    // Corrupted: every line whole, a tenth with the wrong checksum.
    const std::vector<std::string> corrupted = LinesOfRun(With(base, {"--corrupt", "0.1"}));
    ASSERT_EQ(corrupted.size(), total);
    const auto wrong = static_cast<std::size_t>(std::count_if(corrupted.begin(), corrupted.end(),
                                                              [](const std::string& l) { return !ChecksumRight(l); }));
    EXPECT_TRUE(within(wrong, 0.1)) << wrong;
    // Cut short: a sentence that loses its end runs into the next one.
    const Result truncated = RunProgram(With(base, {"--truncate", "0.1"}));
    const auto starts = static_cast<std::size_t>(std::count(truncated.output.begin(), truncated.output.end(), '$'));
    const std::size_t whole = Lines(truncated.output).size();
    EXPECT_EQ(starts, total);
    EXPECT_TRUE(within(starts - whole, 0.1)) << starts - whole;
    // Line noise: bytes between a line end and the next "$".
    const Result noisy = RunProgram(With(base, {"--garbage", "0.1"}));
    std::size_t gaps = 0;
    for (std::size_t at = noisy.output.find("\r\n"); at != std::string::npos; at = noisy.output.find("\r\n", at + 2)) {
        gaps += at + 2 < noisy.output.size() && noisy.output[at + 2] != '$' ? 1 : 0;
    }
    EXPECT_TRUE(within(gaps, 0.1 * 255 / 256)) << gaps;  // noise that starts with "$" cannot be seen
}

TEST(Faults, OneSeedGivesTheSameBytesAndAnotherSeedOthers) {
    const std::vector<std::string> faults = {"--count", "200", "--drop", "0.05", "--corrupt", "0.05", "--truncate",
                                             "0.05", "--garbage", "0.05", "--noise", "5", "--extra", "PKOV,T,1"};
    const std::vector<std::string> run = With(kFixedRun, faults);
    const Result a = RunProgram(With(run, {"--seed", "42"})), b = RunProgram(With(run, {"--seed", "42"}));
    const Result c = RunProgram(With(run, {"--seed", "43"}));
    ASSERT_EQ(a.status, 0) << a.error;
    EXPECT_TRUE(a.output == b.output);
    EXPECT_TRUE(a.output != c.output);
    // Jitter delays updates, not their bytes; one fault more leaves the others' choices.
    const Result late = RunProgram(With(run, {"--seed", "42", "--jitter", "20"}));
    EXPECT_TRUE(late.output == a.output);
    const Result fewer = RunProgram(With(kFixedRun, {"--count", "200", "--drop", "0.05", "--seed", "42"}));
    const Result more = RunProgram(With(kFixedRun, {"--count", "200", "--drop", "0.05", "--seed", "42", "--corrupt",
                                                    "0.05"}));
    EXPECT_EQ(Lines(fewer.output).size(), Lines(more.output).size());
}

TEST(Faults, WhatALineDoesAppliesToAReplayToo) {
    const Result recorded = RunProgram(With(kFixedRun, {"--count", "400"}));
    const std::string log = ::testing::TempDir() + "kovra-faulted-" + std::to_string(::getpid()) + ".nmea";
    {
        std::ofstream(log, std::ios::binary) << recorded.output;
    }
    const Result replayed = RunProgram({"--replay", log, "--fast", "--drop", "0.5", "--seed", "3"});
    const std::size_t left = Lines(replayed.output).size();
    EXPECT_GT(left, 850U);  // of 2,000: half, four standard deviations either side
    EXPECT_LT(left, 1150U);
    EXPECT_EQ(RunProgram({"--replay", log, "--outage", "1+1"}).status, 2);
    std::filesystem::remove(log);
}

TEST(Faults, AnOutageAndAFreezeExactToTheUpdate) {
    // At 2 Hz the updates at 3.0, 3.5, 4.0 and 4.5 s lie in 3+2.
    const Result r = RunProgram({"--time", "2026-12-08T12:00:00Z", "--rate", "2", "--count", "12", "--fast",
                                 "--sentences", "RMC,GGA,GSV", "--outage", "3+2"});
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> rmc = Kind(r.output, "$GNRMC"), gga = Kind(r.output, "$GNGGA");
    ASSERT_EQ(rmc.size(), 12U);
    for (std::size_t i = 0; i < rmc.size(); ++i) {
        const bool out = i >= 6 && i < 10;
        EXPECT_EQ(Field(rmc[i], 2), out ? "V" : "A") << i;
        EXPECT_EQ(Field(gga[i], 6), out ? "0" : "1") << i;
        EXPECT_EQ(Field(rmc[i], 3).empty(), out) << rmc[i];  // no position without a fix
    }
    // Without a fix the satellites are in view, without signal.
    EXPECT_NE(r.output.find("$GPGSV,3,1,10,02,45,075,,"), std::string::npos);
    // A frozen receiver repeats its last update: same time, same position.
    const std::vector<std::string> frozen = Kind(
        RunProgram(With(kFixedRun, {"--count", "6", "--rate", "1", "--freeze", "2+2"})).output, "$GPRMC");
    ASSERT_EQ(frozen.size(), 6U);
    EXPECT_EQ(frozen[2], frozen[1]);
    EXPECT_EQ(frozen[3], frozen[1]);
    EXPECT_NE(frozen[4], frozen[1]);
    EXPECT_EQ(Field(frozen[4], 1), "120004.000");
}

TEST(Faults, NoiseWandersAroundTheTruthAsGstSays) {
    // An hour at 1 Hz, still: offsets from the true place, metres per axis.
    const std::vector<std::string> still = {"--time", "2026-12-08T12:00:00Z", "--lat", "0", "--lon", "0", "--speed",
                                            "0", "--count", "3600", "--fast", "--sentences", "GGA,GST",
                                            "--noise", "10", "--seed", "5"};
    const Result r = RunProgram(still);
    ASSERT_EQ(r.status, 0) << r.error;
    const double metresPerMinute = 6378137 * std::numbers::pi / 10800;  // on the equator, either axis near enough
    double north = 0, east = 0;
    std::size_t n = 0;
    for (const std::string& gga : Kind(r.output, "$GNGGA")) {
        const double lat = (std::stod(Field(gga, 2).substr(2))) * (Field(gga, 3) == "S" ? -1 : 1) * metresPerMinute;
        const double lon = (std::stod(Field(gga, 4).substr(3))) * (Field(gga, 5) == "W" ? -1 : 1) * metresPerMinute;
        north += lat * lat;
        east += lon * lon;
        ++n;
    }
    ASSERT_EQ(n, 3600U);
    // About 60 independent samples in an hour: the spread within ±35 %.
    EXPECT_NEAR(std::sqrt(north / n), 10, 3.5);
    EXPECT_NEAR(std::sqrt(east / n), 10, 3.5);
    // GST's latitude and longitude errors agree: 10 m per axis on the whole.
    const std::string gst = Kind(r.output, "$GNGST").front();
    const double sigmaLat = std::stod(Field(gst, 6)), sigmaLon = std::stod(Field(gst, 7));
    EXPECT_NEAR(std::hypot(sigmaLat, sigmaLon), 10 * std::numbers::sqrt2, 0.15) << gst;
}

// What the faults do on purpose is no warning, and any line of a log can be
// damaged, whatever follows its "*" (binary data between sentences).
TEST(Faults, DeliberateDamageIsNoWarningAndAnyLogCanBeDamaged) {
    const Result damaged =
        RunProgram(With(kFixedRun, {"--count", "300", "--truncate", "0.5", "--garbage", "0.5", "--seed", "3"}));
    EXPECT_EQ(damaged.status, 0) << damaged.error;
    EXPECT_EQ(damaged.error.find("warning"), std::string::npos) << damaged.error;
    const std::string log = ::testing::TempDir() + "kovra-binary-" + std::to_string(::getpid()) + ".nmea";
    std::ofstream(log, std::ios::binary) << "$GPGGA,120000.00,5419.2,N,01009.0,E,1,05,1.0,2.0,M,40.1,M,,*ZZ\r\n"
                                         << std::string("\xB5\x62\x01\x07*\xFF\x00\x10", 8) << "\n"
                                         << "$GPGGA,120001.00,5419.2,N,01009.0,E,1,05,1.0,2.0,M,40.1,M,,*\r\n";
    const Result replayed = RunProgram({"--replay", log, "--corrupt", "1", "--fast", "--count", "10"});
    EXPECT_EQ(replayed.status, 0) << replayed.error;
    EXPECT_NE(replayed.output.find("$GPGGA,120000.00,"), std::string::npos) << replayed.output;
    EXPECT_NE(replayed.output.find("$GPGGA,120001.00,"), std::string::npos) << replayed.output;
    std::filesystem::remove(log);
}

TEST(Faults, SentencesOfTheUsersOwn) {
    const std::vector<std::string> lines = LinesOfRun(With(kFixedRun, {"--count", "2", "--extra", "PKOV,TEST,1", "--extra",
                                                                "$PKOV,B"}));
    ASSERT_EQ(lines.size(), 14U);
    EXPECT_EQ(lines[5], "$PKOV,TEST,1*25");
    EXPECT_TRUE(ChecksumRight(lines[6])) << lines[6];
    const std::string tooLong(90, 'A');
    for (const std::string& bad : {std::string("PKOV*1"), std::string("PKOV,\x01"), std::string("PKOV,!"),
                                   std::string("PKOV,^"), tooLong}) {
        const Result r = RunProgram({"--count", "1", "--extra", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.error.find("--extra"), std::string::npos) << r.error;
    }
    for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
             {"--drop", "1.5"}, {"--corrupt", "-0.1"}, {"--outage", "5"}, {"--freeze", "a+b"}, {"--jitter", "-1"}}) {
        EXPECT_EQ(RunProgram({"--count", "1", option, value}).status, 2) << option;
    }
}

}  // namespace
}  // namespace kovra::test
