// Scenario files end to end: a command line written as a file gives the
// same bytes, and the file's events act exactly at their updates.
#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "FileSupport.h"
#include "Process.h"
#include "SimulatorSupport.h"

namespace kovra::test {
namespace {

using ScenarioRuns = TempDir;

std::vector<std::string> With(std::vector<std::string> arguments, const std::vector<std::string>& more) {
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
}

TEST_F(ScenarioRuns, ADumpedScenarioGivesTheOptionsBytes) {
    const std::vector<std::vector<std::string>> commandLines = {
        // The library's own sentences for a state given in full.
        {"--profile", "classic", "--lat", "48:07:02.28N", "--lon", "011:31:00E", "--alt", "520", "--speed", "12.5",
         "--heading", "33", "--mag-var", "3.1W", "--fix", "2", "--hdop", "0.9", "--time", "2026-12-08T12:00:00Z",
         "--sat", "3,40,120,45", "--sat", "7,15,300,30", "--waypoint", "A,48.2,11.6", "--waypoint", "B,48.3,11.7",
         "--route", "R:A,B", "--follow-route", "--sentences", "ALL", "--rate", "2", "--count", "12"},
        // The nmea4 receiver with its sky, faults and limits.
        {"--time", "2026-12-08T12:00:00Z", "--lat", "-33.865", "--lon", "151.21", "--speed", "20", "--course", "270",
         "--gnss", "gps,galileo", "--elevation-mask", "10", "--talker", "GN", "--rate-of-turn", "1", "--seed", "9",
         "--noise", "3", "--corrupt", "0.1", "--outage", "3+2", "--extra", "PKOV,X,1", "--route-interval", "5",
         "--kind", "car", "--climb-rate", "2", "--leg", "course=90,speed=30,for=4", "--leg", "speed=4,altitude=20",
         "--count", "10"},
        // Own ship's AIS and two targets, one placed by its closest approach.
        {"--time", "2026-12-08T12:00:00Z", "--lat", "54.36", "--lon", "10.17", "--speed", "10", "--course", "0",
         "--ais", "class=A,mmsi=211000001,name=OWN", "--ais-target", "mmsi=211000002,lat=54.37,lon=10.18,course=200,speed=8",
         "--ais-target", "class=B,mmsi=211000003,cpa=0.2,in=300,bearing=45,speed=12",
         "--ais-faults", "lose_fragment=0.3,checksum=0.2", "--count", "12"},
        // A receiver model with settings of its own.
        {"--time", "2026-12-08T12:00:00Z", "--receiver", "ublox-m8", "--receiver-setting", "highPrec=1",
         "--receiver-setting", "nmeaVersion=4.11", "--count", "3"},
        // The built-in scenario with a clock of its own.
        {"--time", "2026-12-08T12:00:00Z", "--rate", "5", "--count", "15", "--sentences", "RMC,GGA,GSV,RTE,WPL"},
    };
    for (const std::vector<std::string>& options : commandLines) {
        const Result direct = RunProgram(With(options, {"--fast"}));
        ASSERT_EQ(direct.status, 0) << direct.error;
        const Result dumped = RunProgram(With(options, {"--dump-scenario", Path("s.yaml").string()}));
        ASSERT_EQ(dumped.status, 0) << dumped.error;
        EXPECT_TRUE(dumped.output.empty());  // nothing runs
        const Result replayed = RunProgram({"--scenario", Path("s.yaml").string(), "--fast"});
        ASSERT_EQ(replayed.status, 0) << replayed.error << Read(Path("s.yaml"));
        EXPECT_EQ(replayed.output, direct.output) << Read(Path("s.yaml"));
        // And a dump of the file is the file.
        ASSERT_EQ(RunProgram({"--scenario", Path("s.yaml").string(), "--dump-scenario", Path("again.yaml").string()})
                      .status, 0);
        EXPECT_EQ(Read(Path("again.yaml")), Read(Path("s.yaml")));
    }
}

// Runs `yaml` at 1 Hz from 12:00:00 and gives the updates, one text each.
std::vector<std::string> Updates(const std::filesystem::path& file, const std::string& yaml, const std::string& head) {
    std::ofstream(file) << "start: 2026-12-08T12:00:00Z\nrate: 1\n" + yaml;
    const Result r = RunProgram({"--scenario", file.string(), "--fast"});
    EXPECT_EQ(r.status, 0) << r.error;
    std::vector<std::string> updates;
    for (const std::string& line : Lines(r.output)) {
        if (line.rfind(head, 0) == 0 || updates.empty()) {
            updates.emplace_back();
        }
        updates.back() += line + "\n";
    }
    return updates;
}

TEST_F(ScenarioRuns, EventsActAtTheirUpdates) {
    // Classic: the library's sentences change at the update an event falls in.
    const std::vector<std::string> classic = Updates(Path("events.yaml"), R"(count: 6
vessels:
  - {position: {lat: 10, lon: 20}, speed: 6, course: 45, receiver: {profile: classic, sentences: [RMC]}}
events:
  - {at: 2, course: 90}
  - {at: 3, speed: 12}
  - {at: 2026-12-08T12:00:04Z, vessel: all, pause: true}
)", "$GPRMC");
    ASSERT_EQ(classic.size(), 6U);
    EXPECT_EQ(Field(classic[1], 8), "45");
    EXPECT_EQ(Field(classic[2], 8), "90");
    EXPECT_EQ(Field(classic[2], 7), "6");
    EXPECT_EQ(Field(classic[3], 7), "12");
    EXPECT_NE(Field(classic[2], 5), Field(classic[3], 5));
    EXPECT_EQ(Field(classic[3], 5), Field(classic[4], 5));  // paused from update 4 on: no step into it
    EXPECT_EQ(Field(classic[4], 5), Field(classic[5], 5));
    EXPECT_EQ(Field(classic[4], 7) + Field(classic[5], 7), "00");  // lying still, it reports no speed

    // nmea4: an outage of two seconds, GLONASS switched off and on, a fault
    // whose chance changes, a freeze, and the end of the run.
    const std::vector<std::string> nmea4 = Updates(Path("events.yaml"), R"(vessels:
  - {position: {lat: 54.32, lon: 10.15}, speed: 6, receiver: {sentences: [RMC, GSV]}}
events:
  - {at: 1, outage: 2}
  - {at: 4, systems_off: [glonass]}
  - {at: 5, systems_on: glonass}
  - {at: 6, fault: {corrupt: 1}}
  - {at: 7, fault: {corrupt: 0}}
  - {at: 8, freeze: 2}
  - {at: 11, stop: true}
)", "$GNRMC");
    ASSERT_EQ(nmea4.size(), 11U);
    const auto fix = [](const std::string& update) { return Field(update, 2); };
    EXPECT_EQ(fix(nmea4[0]) + fix(nmea4[1]) + fix(nmea4[2]) + fix(nmea4[3]), "AVVA");
    EXPECT_NE(nmea4[3].find("$GLGSV"), std::string::npos);
    EXPECT_EQ(nmea4[4].find("$GLGSV"), std::string::npos);
    EXPECT_NE(nmea4[4].find("$GPGSV"), std::string::npos);
    EXPECT_NE(nmea4[5].find("$GLGSV"), std::string::npos);
    const auto checksumsRight = [](const std::string& update) {
        std::istringstream lines(update);
        std::string line;
        bool right = true;
        while (std::getline(lines, line)) {
            right = right && ChecksumRight(line);
        }
        return right;
    };
    EXPECT_TRUE(checksumsRight(nmea4[5]));
    EXPECT_FALSE(checksumsRight(nmea4[6]));
    EXPECT_TRUE(checksumsRight(nmea4[7]));
    EXPECT_EQ(nmea4[8], nmea4[7]);  // frozen: the last update again
    EXPECT_EQ(nmea4[9], nmea4[7]);
    EXPECT_NE(nmea4[10], nmea4[7]);
}

// A vessel's motion leg after leg: a course and speed for a time, a waypoint
// gone to until it is reached (at the last leg's speed when none is given),
// then a course held; a fixed receiver stays where it is whatever its
// orders; an aircraft climbs at its kind's rate to the altitude an event gives.
TEST_F(ScenarioRuns, LegsFollowOneAnotherAndKindsMoveAsTheyDo) {
    const std::vector<std::string> arrived = Updates(Path("legs.yaml"), R"(count: 260
waypoints: [{name: MARK, lat: 54.33, lon: 10.15}]
vessels:
  - position: {lat: 54.32, lon: 10.15}
    limits: {rate_of_turn: 0, acceleration: 0}
    receiver: {sentences: [RMC]}
    motion:
      - {course: 90, speed: 10, for: 5}
      - {goto: MARK}
      - {course: 180, speed: 4}
)", "$GNRMC");
    ASSERT_EQ(arrived.size(), 260U);
    EXPECT_EQ(Field(arrived[0], 8), "90.00");
    EXPECT_EQ(Field(arrived[4], 8), "90.00");
    EXPECT_NE(Field(arrived[5], 8), "90.00");    // the second leg from the update its time is up
    EXPECT_EQ(Field(arrived[5], 7), "10.000");   // at the first leg's speed
    EXPECT_EQ(Field(arrived[200], 8), Field(arrived[5], 8));  // 0.6 nm at 10 knots: about 216 s
    EXPECT_EQ(Field(arrived[259], 8), "180.00");
    EXPECT_EQ(Field(arrived[259], 7), "4.000");
    const auto reached = std::find_if(arrived.begin(), arrived.end(), [](const std::string& u) { return Field(u, 8) == "180.00"; });
    ASSERT_NE(reached, arrived.end());
    EXPECT_EQ(Field(*(reached - 1), 3) + Field(*(reached - 1), 5), "5419.80000" "01009.00000");  // on the mark

    const std::vector<std::string> kinds = Updates(Path("kinds.yaml"), R"(count: 8
vessels:
  - {kind: aircraft, position: {lat: 54.32, lon: 10.15}, altitude: 100, speed: 120, receiver: {sentences: [GGA]}}
  - {name: beacon, kind: fixed, position: {lat: 54.4, lon: 10.2}, speed: 6, receiver: {talker: GP, sentences: [GGA]}}
events:
  - {at: 2, vessel: vessel 1, altitude: 140}
)", "$GNGGA,120");
    ASSERT_EQ(kinds.size(), 8U);
    const auto altitude = [](const std::string& update) { return Field(update, 9); };
    EXPECT_EQ(altitude(kinds[1]), "100.0");
    EXPECT_EQ(altitude(kinds[2]), "110.0");  // 10 m a second, from the update the event falls in
    EXPECT_EQ(altitude(kinds[4]), "130.0");
    EXPECT_EQ(altitude(kinds[5]), "140.0");
    EXPECT_EQ(altitude(kinds[7]), "140.0");
    const auto beacon = [](const std::string& update) { return update.substr(update.find("$GPGGA")); };
    EXPECT_EQ(Field(beacon(kinds[0]), 2), Field(beacon(kinds[7]), 2));  // fixed: not a step
    EXPECT_EQ(Field(beacon(kinds[0]), 4), Field(beacon(kinds[7]), 4));
}

}  // namespace
}  // namespace kovra::test

namespace kovra::test {
namespace {

// Each vessel's part of each update, when every vessel sends `lines` lines an update.
std::vector<std::vector<std::string>> PartsOf(const std::string& output, std::size_t vessels, std::size_t lines) {
    const std::vector<std::string> all = Lines(output);
    std::vector<std::vector<std::string>> parts(vessels);
    for (std::size_t at = 0; at + lines <= all.size(); at += lines) {
        std::string part;
        for (std::size_t k = 0; k < lines; ++k) {
            part += all[at + k] + "\n";
        }
        parts[(at / lines) % vessels].push_back(part);
    }
    return parts;
}

TEST_F(ScenarioRuns, AFleetIsTheSameFromItsSeedWhateverItsSizeAndSplitIntoShards) {
    const auto write = [&](int fleet, int seed) {
        std::ofstream(Path("fleet.yaml")) << "start: 2026-12-08T12:00:00Z\ncount: 4\nseed: " << seed << R"(
vessels:
  - {name: Ferry, position: {lat: 54.3, lon: 10.1}, speed: 6, receiver: {profile: classic, sentences: [RMC, GGA]}}
fleet:
  count: )" << fleet << R"(
  name: car
  template: {speed: 30, receiver: {profile: classic, sentences: [RMC, GGA]}, faults: {noise: 3}}
  area: {center: {lat: 52.5, lon: 13.4}, radius_km: 20}
  routes: random
)";
    };
    const auto run = [&](std::vector<std::string> more = {}) {
        const Result r = RunProgram(With({"--scenario", Path("fleet.yaml").string(), "--fast"}, more));
        EXPECT_EQ(r.status, 0) << r.error;
        return r.output;
    };
    write(5, 3);
    const std::string whole = run();
    EXPECT_EQ(run(), whole);
    const auto parts = PartsOf(whole, 6, 2);
    EXPECT_EQ(parts[5].size(), 4U);
    EXPECT_NE(parts[1], parts[2]);  // each car starts somewhere of its own
    // A seventh vessel leaves the six as they were.
    write(6, 3);
    const auto more = PartsOf(run(), 7, 2);
    for (std::size_t v = 0; v < 6; ++v) {
        EXPECT_EQ(more[v], parts[v]) << "vessel " << v;
    }
    // Another seed, another fleet (the ferry's own state has no chance in it).
    write(5, 4);
    const auto reseeded = PartsOf(run(), 6, 2);
    EXPECT_EQ(reseeded[0], parts[0]);
    EXPECT_NE(reseeded[1], parts[1]);
    // Three shards: every vessel sends in its shard what it sends in the whole run.
    write(5, 3);
    for (std::size_t shard = 0; shard < 3; ++shard) {
        const auto own = PartsOf(run({"--shard", std::to_string(shard) + "/3"}), 2, 2);
        EXPECT_EQ(own[0], parts[shard]) << "shard " << shard;
        EXPECT_EQ(own[1], parts[shard + 3]) << "shard " << shard;
    }
    // And a dump of the whole gives the whole again.
    ASSERT_EQ(RunProgram({"--scenario", Path("fleet.yaml").string(), "--dump-scenario", Path("d.yaml").string()}).status, 0);
    EXPECT_EQ(RunProgram({"--scenario", Path("d.yaml").string(), "--fast"}).output, whole);
}

}  // namespace
}  // namespace kovra::test

namespace kovra::test {
namespace {

double Degrees(const std::string& field, const std::string& side, int degreeDigits) {
    const double value = std::stod(field.substr(0, degreeDigits)) + std::stod(field.substr(degreeDigits)) / 60;
    return side == "S" || side == "W" ? -value : value;
}

TEST_F(ScenarioRuns, TheTruthLogTellsWhatTheBytesShow) {
    std::ofstream(Path("truth.yaml")) << R"(start: 2026-12-08T12:00:00Z
count: 12
seed: 11
vessels:
  - name: Ferry
    position: {lat: 54.32, lon: 10.15}
    speed: 6
    receiver: {sentences: [RMC, GGA, GSA]}
    faults: {noise: 4, corrupt: 0.3}
events:
  - {at: 3, outage: 2}
  - {at: 6, vessel: Ferry, course: 90}
)";
    const Result r = RunProgram({"--scenario", Path("truth.yaml").string(), "--fast", "--truth", Path("t.jsonl").string()});
    ASSERT_EQ(r.status, 0) << r.error;
    std::vector<std::vector<std::string>> updates;
    for (const std::string& line : Lines(r.output)) {
        if (line.find("RMC,") != std::string::npos) {
            updates.emplace_back();
        }
        updates.back().push_back(line);
    }
    std::ifstream truth(Path("t.jsonl"));
    std::string text;
    std::size_t n = 0;
    for (; std::getline(truth, text); ++n) {
        ASSERT_LT(n, updates.size());
        const nlohmann::json t = nlohmann::json::parse(text);
        const std::vector<std::string>& sent = updates[n];
        EXPECT_EQ(t["update"], n + 1);
        EXPECT_EQ(t["vessel"], "Ferry");
        const std::string& rmc = sent.front();
        EXPECT_EQ(t["outage"], n == 3 || n == 4) << n;
        EXPECT_EQ(Field(rmc, 2), t["outage"] ? "V" : "A");
        if (!t["outage"]) {
            // The reported position, noise on, as RMC writes it to its five decimals of a minute.
            EXPECT_NEAR(Degrees(Field(rmc, 3), Field(rmc, 4), 2), t["reported"]["lat"].get<double>(), 1e-5 / 60 * 0.51);
            EXPECT_NEAR(Degrees(Field(rmc, 5), Field(rmc, 6), 3), t["reported"]["lon"].get<double>(), 1e-5 / 60 * 0.51);
            EXPECT_GT(std::fabs(t["reported"]["lat"].get<double>() - t["true"]["lat"].get<double>()), 0);
        } else {
            EXPECT_TRUE(t["reported"].is_null());
        }
        const auto wrong = static_cast<int>(
            std::count_if(sent.begin(), sent.end(), [](const std::string& line) { return !ChecksumRight(line); }));
        EXPECT_EQ(t["faults"].value("corrupted", 0), wrong) << n;
        std::size_t bytes = 0;
        for (const std::string& line : sent) {
            bytes += line.size() + 2;
        }
        ASSERT_EQ(t["outputs"].size(), 1U);
        EXPECT_EQ(t["outputs"][0]["bytes"], bytes);
        EXPECT_EQ(t["outputs"][0]["kinds"], nlohmann::json({"RMC", "GGA", "GSA"}));
        const nlohmann::json events = n == 3 ? nlohmann::json{"outage on"}
                                      : n == 5 ? nlohmann::json{"outage off"}
                                      : n == 6 ? nlohmann::json{"course 90"}
                                               : nlohmann::json::array();
        EXPECT_EQ(t["events"], events) << n;
    }
    EXPECT_EQ(n, 12U);
}

}  // namespace
}  // namespace kovra::test

namespace kovra::test {
namespace {

const std::filesystem::path kScenarios = KOVRA_SCENARIOS;

std::vector<nlohmann::json> TruthOf(const std::filesystem::path& file) {
    std::vector<nlohmann::json> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    return lines;
}

TEST_F(ScenarioRuns, TheHarbourDepartureLosesItsFixAndTurns) {
    const Result r = RunProgram({"--scenario", (kScenarios / "harbour-departure.yaml").string(), "--pty",
                                 Path("gps").string(), "--fast", "--truth", Path("t.jsonl").string()});
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<nlohmann::json> truth = TruthOf(Path("t.jsonl"));
    ASSERT_EQ(truth.size(), 180U);
    EXPECT_FALSE(truth[29]["outage"]);
    EXPECT_TRUE(truth[30]["outage"]);
    EXPECT_TRUE(truth[39]["outage"]);
    EXPECT_FALSE(truth[40]["outage"]);
    EXPECT_EQ(truth[60]["events"], nlohmann::json({"course 90"}));
    EXPECT_NEAR(truth[59]["true"]["course"].get<double>(), 45, 0.1);
    EXPECT_NEAR(truth[90]["true"]["course"].get<double>(), 90, 0.1);  // 45 degrees at 3 a second, then held
}

TEST_F(ScenarioRuns, TheReadmesScenarioRunsAsItSays) {
    std::ifstream in(KOVRA_README);
    const std::string readme((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t start = readme.find("```yaml\n", readme.find("### Scenario files")) + 8;
    const std::string yaml = readme.substr(start, readme.find("```", start) - start);
    EXPECT_EQ(std::count(yaml.begin(), yaml.end(), '\n'), 10);
    Write(Path("harbour.yaml"), yaml);
    const Result r = RunProgram({"--scenario", Path("harbour.yaml").string(), "--pty", Path("gps").string(), "--fast",
                                 "--truth", Path("t.jsonl").string()});
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<nlohmann::json> truth = TruthOf(Path("t.jsonl"));
    ASSERT_EQ(truth.size(), 180U);
    EXPECT_TRUE(truth[35]["outage"]);
    EXPECT_NEAR(truth[120]["true"]["course"].get<double>(), 90, 0.1);
}

TEST_F(ScenarioRuns, TheRegressionDayIsTheSameEveryRun) {
    const std::vector<std::string> command = {"--scenario", (kScenarios / "ci-regression.yaml").string()};
    const Result first = RunProgram(command);
    ASSERT_EQ(first.status, 0) << first.error;
    EXPECT_EQ(RunProgram(command).output, first.output);
    const auto update = [&](const std::string& time) {
        const std::size_t at = first.output.find("RMC," + time);
        return first.output.substr(at, first.output.find("RMC,", at + 4) - at);
    };
    EXPECT_NE(update("110000.00").find("$GLGSV"), std::string::npos);
    EXPECT_EQ(update("123000.00").find("$GLGSV"), std::string::npos);  // GLONASS and BeiDou off
    EXPECT_EQ(update("123000.00").find("$GBGSV"), std::string::npos);
    EXPECT_NE(update("133000.00").find("$GLGSV"), std::string::npos);
    const std::size_t days = Kind(first.output, "$GNZDA").size() + Kind(first.output, "$GPZDA").size();
    EXPECT_GT(days, 86'000U);  // one a second, less the one in a thousand left out
    EXPECT_LT(days, 86'400U);
}

// A back-end taking every connection that comes, and what each sends.
class BackEnd {
public:
    BackEnd() : listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)) {
        sockaddr_in address = Loopback();
        socklen_t length = sizeof address;
        if (::bind(listener_.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(listener_.Get(), 512) == 0 &&
            ::getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            port_ = ntohs(address.sin_port);
        }
    }
    int Port() const { return port_; }
    // Serves until `until` returns true or the time is up; what each connection sent.
    std::vector<std::string> Serve(std::chrono::seconds most,
                                   const std::function<bool(const std::vector<std::string>&)>& until) {
        const auto deadline = std::chrono::steady_clock::now() + most;
        while (std::chrono::steady_clock::now() < deadline && !until(received_)) {
            std::vector<pollfd> waits{{listener_.Get(), POLLIN, 0}};
            for (const FileDescriptor& client : clients_) {
                waits.push_back({client.Get(), POLLIN, 0});
            }
            if (::poll(waits.data(), waits.size(), 100) <= 0) {
                continue;
            }
            for (int fd; (fd = ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK)) >= 0;) {
                clients_.emplace_back(fd);
                received_.emplace_back();
            }
            for (std::size_t i = 0; i + 1 < waits.size(); ++i) {
                char buffer[4096];
                for (ssize_t n; (n = ::recv(clients_[i].Get(), buffer, sizeof buffer, 0)) > 0;) {
                    received_[i].append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
        return received_;
    }

private:
    FileDescriptor listener_;
    int port_ = 0;
    std::vector<FileDescriptor> clients_;
    std::vector<std::string> received_;
};

TEST_F(ScenarioRuns, TheFleetFeedsItsBackEndOneConnectionAVehicle) {
    BackEnd backEnd;
    std::ifstream in(kScenarios / "fleet-tcp.yaml");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    text.replace(text.rfind("127.0.0.1:5055"), 14, "127.0.0.1:" + std::to_string(backEnd.Port()));
    Write(Path("fleet.yaml"), text);
    Process simulator({"--scenario", Path("fleet.yaml").string(), "--count", "3"});
    const auto allSent = [&](const std::vector<std::string>& received) {
        return received.size() == 200 && std::all_of(received.begin(), received.end(), [](const std::string& r) {
                   return Kind(r, "$GNRMC").size() + Kind(r, "$GPRMC").size() >= 2;
               });
    };
    (void)backEnd.Serve(20s, allSent);
    const std::vector<std::string> received = backEnd.Serve(1s, [](const auto&) { return false; });  // and since
    EXPECT_EQ(simulator.Wait(), 0) << simulator.Error();
    ASSERT_EQ(received.size(), 200U);
    std::set<std::string> starts;
    for (const std::string& r : received) {
        const std::vector<std::string> rmc = Kind(r, "$G");
        ASSERT_FALSE(rmc.empty());
        starts.insert(Field(rmc.front(), 3) + Field(rmc.front(), 5));
        for (const std::string& line : Lines(r)) {
            EXPECT_TRUE(ChecksumRight(line)) << line;
        }
    }
    EXPECT_EQ(starts.size(), 200U);  // each van where it is
}

}  // namespace
}  // namespace kovra::test
