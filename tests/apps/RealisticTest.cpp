// The nmea4 profile end to end: a multi-system receiver whose GSA dilution
// agrees with the geometry its GSV reports, computed here independently.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>

#include "Process.h"
#include "SimulatorSupport.h"

namespace kovra::test {
namespace {

std::vector<std::string> Fields(const std::string& sentence) {
    std::vector<std::string> fields;
    std::stringstream body(sentence.substr(0, sentence.find('*')));
    for (std::string field; std::getline(body, field, ',');) {
        fields.push_back(field);
    }
    if (!sentence.empty() && sentence[sentence.find('*') - 1] == ',') {
        fields.emplace_back();
    }
    return fields;
}

// The inverse of a small symmetric matrix by Gauss-Jordan elimination.
std::vector<std::vector<double>> Inverse(std::vector<std::vector<double>> a) {
    const std::size_t n = a.size();
    std::vector<std::vector<double>> inverse(n, std::vector<double>(n, 0));
    for (std::size_t i = 0; i < n; ++i) {
        inverse[i][i] = 1;
    }
    for (std::size_t c = 0; c < n; ++c) {
        std::size_t pivot = c;
        for (std::size_t r = c; r < n; ++r) {
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c])) {
                pivot = r;
            }
        }
        std::swap(a[c], a[pivot]);
        std::swap(inverse[c], inverse[pivot]);
        const double d = a[c][c];
        for (std::size_t j = 0; j < n; ++j) {
            a[c][j] /= d;
            inverse[c][j] /= d;
        }
        for (std::size_t r = 0; r < n; ++r) {
            if (r != c) {
                const double f = a[r][c];
                for (std::size_t j = 0; j < n; ++j) {
                    a[r][j] -= f * a[c][j];
                    inverse[r][j] -= f * inverse[c][j];
                }
            }
        }
    }
    return inverse;
}

TEST(RealisticProfile, DilutionAgreesWithTheGeometryReported) {
    const Result r = RunProgram({"--profile", "nmea4", "--time", "2026-12-08T12:00:00Z", "--count", "1", "--no-move"});
    ASSERT_EQ(r.status, 0) << r.error;
    // Azimuth and elevation of every satellite in view, by system and number.
    const std::map<std::string, int> systemOfTalker = {{"GP", 1}, {"GL", 2}, {"GA", 3}, {"GB", 4}};
    std::map<std::pair<int, int>, std::pair<double, double>> view;
    for (const std::string& line : Lines(r.output)) {
        if (line.size() > 6 && line.substr(3, 3) == "GSV") {
            const std::vector<std::string> f = Fields(line);
            for (std::size_t i = 4; i + 3 < f.size(); i += 4) {
                view[{systemOfTalker.at(line.substr(1, 2)), std::stoi(f[i])}] = {std::stod(f[i + 1]),
                                                                                std::stod(f[i + 2])};
            }
        }
    }
    EXPECT_GE(view.size(), 20U);
    // The used satellites from GSA, one sentence per system; DOPs from any.
    std::vector<std::pair<int, std::pair<double, double>>> used;
    double pdop = 0, hdop = 0, vdop = 0;
    std::set<int> systems;
    for (const std::string& line : Lines(r.output)) {
        if (line.size() < 6 || line.substr(3, 3) != "GSA") {
            continue;
        }
        const std::vector<std::string> f = Fields(line);
        ASSERT_EQ(f.size(), 19U) << line;
        const int system = std::stoi(f[18]);
        systems.insert(system);
        for (std::size_t i = 3; i < 15; ++i) {
            if (!f[i].empty()) {
                used.push_back({system, view.at({system, std::stoi(f[i])})});
            }
        }
        pdop = std::stod(f[15]);
        hdop = std::stod(f[16]);
        vdop = std::stod(f[17]);
    }
    EXPECT_EQ(systems, (std::set<int>{1, 2, 3, 4}));
    // Our own least squares: east, north, up and one clock per system.
    const std::size_t n = 3 + systems.size();
    std::vector<std::vector<double>> normal(n, std::vector<double>(n, 0));
    const double degree = std::numbers::pi / 180;
    for (const auto& [system, angles] : used) {
        const auto [el, az] = angles;
        std::vector<double> row(n, 0);
        row[0] = std::cos(el * degree) * std::sin(az * degree);
        row[1] = std::cos(el * degree) * std::cos(az * degree);
        row[2] = std::sin(el * degree);
        row[2 + static_cast<std::size_t>(std::distance(systems.begin(), systems.find(system))) + 1] = 1;
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t j = 0; j < n; ++j) {
                normal[i][j] += row[i] * row[j];
            }
        }
    }
    const auto q = Inverse(normal);
    EXPECT_NEAR(pdop, std::sqrt(q[0][0] + q[1][1] + q[2][2]), 0.006);
    EXPECT_NEAR(hdop, std::sqrt(q[0][0] + q[1][1]), 0.006);
    EXPECT_NEAR(vdop, std::sqrt(q[2][2]), 0.006);
    // A 3D fix from all of them, reported alike in GGA.
    const std::vector<std::string> gga = Fields(Kind(r.output, "$GNGGA").at(0));
    EXPECT_EQ(gga[6], "1");
    EXPECT_EQ(std::stoul(gga[7]), used.size());
}

TEST(RealisticProfile, TheOptionsOverrideOnlyWhatTheyName) {
    // The default profile; --time alone keeps the harbour, its route and a computed sky.
    const Result timed = RunProgram({"--time", "2026-12-08T12:00:00Z", "--count", "1"});
    ASSERT_EQ(timed.status, 0) << timed.error;
    EXPECT_NE(timed.output.find(",5419.20000,N,01009.00000,E,"), std::string::npos);
    EXPECT_EQ(Kind(timed.output, "$GNRTE").size(), 1U);
    // --sat replaces the sky: three used satellites give a 2D fix, one unused is in view only.
    const Result given = RunProgram({"--profile", "nmea4", "--time", "2026-12-08T12:00:00Z", "--count", "1", "--sat",
                                     "5,45,90,40", "--sat", "12,30,200", "--sat", "20,60,300", "--sat",
                                     "25,10,10,unused", "--sentences", "GSA,GSV,RMC"});
    ASSERT_EQ(given.status, 0) << given.error;
    const std::vector<std::string> gsa = Kind(given.output, "$GPGSA");
    ASSERT_EQ(gsa.size(), 1U) << given.output;
    EXPECT_EQ(gsa[0].substr(0, 26), "$GPGSA,A,2,05,12,20,,,,,,,");
    EXPECT_NE(given.output.find("$GPGSV,1,1,04,05,45,090,40,12,30,200,"), std::string::npos) << given.output;
    // Fewer than three: no fix at all.
    const Result lost = RunProgram({"--profile", "nmea4", "--count", "1", "--sat", "5,45,90", "--sentences", "RMC,GGA"});
    EXPECT_NE(lost.output.find(",V,,,,,,,"), std::string::npos) << lost.output;
    EXPECT_NE(lost.output.find(",0,01,99.99,"), std::string::npos) << lost.output;
}

TEST(RealisticProfile, ASavedSkyLoadsBackAsTheSkyReported) {
    // The GPS satellites of the computed sky go to the file (it holds GPS
    // only); loaded with --satellites they are the sky again, exactly.
    const std::string file = ::testing::TempDir() + "kovra-sky-" + std::to_string(::getpid()) + ".ini";
    const std::vector<std::string> at = {"--time", "2026-12-08T12:00:00Z", "--count", "1", "--sentences", "GSV"};
    std::vector<std::string> saving = at;
    saving.insert(saving.end(), {"--gnss", "gps", "--save-satellites", file});
    const Result saved = RunProgram(saving);
    ASSERT_EQ(saved.status, 0) << saved.error;
    ASSERT_EQ(Kind(saved.output, "$GPGSV").size(), 3U) << saved.output;
    std::vector<std::string> loading = at;
    loading.insert(loading.end(), {"--satellites", file});
    const Result loaded = RunProgram(loading);
    ASSERT_EQ(loaded.status, 0) << loaded.error;
    EXPECT_EQ(loaded.output, saved.output);
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace kovra::test

namespace kovra::test {
namespace {

// The program on a scenario file of `text`, at a fixed time, as fast as it goes.
Result RunScenario(const std::string& text, const std::string& count) {
    const std::string file = ::testing::TempDir() + "kovra-scenario-" + std::to_string(::getpid()) + ".yaml";
    std::ofstream(file) << text;
    const Result r = RunProgram({"--scenario", file, "--time", "2026-12-08T12:00:00Z", "--count", count, "--fast"});
    std::filesystem::remove(file);
    return r;
}

// A receiver that navigates: the garmin model, at its own 2 s cycle, on a
// two-leg route it follows at 30 knots. Its RMB and BOD name the leg being
// steered and the range closes at the speed sailed. The vessel stays on the
// first leg and, as a plotter's autopilot does, steers straight for B once
// A's arrival circle (0.1 nm) is entered: right of the leg from A by what
// it cut of the corner, less as it closes on B. The epoch that enters the
// circle still reports A (its arrival); the next steers for B.
TEST(RealisticProfile, AGpsOnARouteReportsTheLegItSteers) {
    const Result r = RunProgram({"--receiver", "garmin", "--time", "2026-12-08T12:00:00Z", "--count", "100", "--fast",
                                 "--lat", "54.0", "--lon", "10.0", "--course", "0", "--speed", "30",
                                 "--acceleration", "0", "--rate-of-turn", "0", "--waypoint", "A,54.02,10.0",
                                 "--waypoint", "B,54.02,10.05", "--route", "TRIP:A,B", "--follow-route"});
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> rmc = Kind(r.output, "$GPRMC"), rmb = Kind(r.output, "$GPRMB"),
                                   bod = Kind(r.output, "$GPBOD");
    ASSERT_EQ(rmb.size(), 100U);
    ASSERT_EQ(bod.size(), 100U);
    EXPECT_EQ(Field(rmc[0], 1) + " " + Field(rmc[1], 1), "120000 120002");  // every 2 s
    EXPECT_EQ(Kind(r.output, "$GPRTE")[0].substr(0, 22), "$GPRTE,1,1,c,TRIP,A,B*");
    // From the start: no waypoint left yet, A due north 1.2 nm away, closing at 30 knots.
    EXPECT_EQ(rmb[0].substr(0, 61), "$GPRMB,A,0.00,R,,A,5401.2000,N,01000.0000,E,1.2,0.0,30.0,V,A*");
    EXPECT_EQ(bod[0].substr(0, 23), "$GPBOD,0.0,T,356.9,M,A,");  // the harbour's 3.1° east
    double last = 1e9;
    std::size_t toB = 0;
    for (std::size_t i = 0; i < rmb.size(); ++i) {
        const double range = std::stod(Field(rmb[i], 10));
        if (Field(rmb[i], 5) == "B") {
            toB = toB == 0 ? i : toB;
            EXPECT_EQ(Field(rmb[i], 4), "A") << rmb[i];
            EXPECT_EQ(Field(bod[i], 5) + Field(bod[i], 6), "BA") << bod[i];
            EXPECT_EQ(Field(rmb[i], 3), "L") << rmb[i];
            EXPECT_NEAR(std::stod(Field(rmb[i], 2)), 0.09 * range / 1.76, 0.015) << rmb[i];  // B 1.76 nm east of A
        } else {
            EXPECT_EQ(Field(rmb[i], 2), "0.00") << rmb[i];
            EXPECT_LE(range, last) << rmb[i];
            EXPECT_NEAR(range, 1.2 - i * 2 * 30 / 3600.0, 0.06) << rmb[i];
        }
        last = range;
    }
    EXPECT_NEAR(static_cast<double>(toB), 67.5, 1);  // 1.1 nm at 30 knots: 132 s, 66 updates of 2 s, and one
    // Its estimated errors as its recording's: twice its range error (3.98 m) times the dilution.
    const Result errors = RunProgram({"--receiver", "garmin", "--time", "2026-12-08T12:00:00Z", "--count", "1",
                                      "--hdop", "2.5", "--vdop", "1.0", "--pdop", "2.7", "--sentences", "PGRME"});
    ASSERT_EQ(errors.status, 0) << errors.error;
    EXPECT_EQ(errors.output, "$PGRME,19.9,M,8.0,M,21.4,M*20\r\n");
    // The model sends at most what the receiver can.
    const Result fast = RunProgram({"--receiver", "garmin", "--rate", "1", "--count", "1"});
    EXPECT_EQ(fast.status, 2);
    EXPECT_EQ(fast.error, "kovra-nmea: --rate 1: the garmin receiver sends at most 0.5 updates a second\n");
}

// The instruments read the world: a depth, a wind and a current set in the
// file and changed by its events, each instrument as an integrated system's.
TEST(RealisticProfile, TheInstrumentsReadTheScenariosWaterAndWind) {
    const Result r = RunScenario("vessels:\n"
                           "  - {position: {lat: 54.32, lon: 10.15}, speed: 6, course: 45, current: \"90,1\",\n"
                           "     instruments: {depth: 20, wind: \"270,12\", talker: II},\n"
                           "     receiver: {sentences: [DPT, MWD, VHW]}}\n"
                           "events:\n"
                           "  - {at: 2, depth: 8.5}\n"
                           "  - {at: 3, wind: \"300,20\", current: \"0,0\"}\n",
                                 "4");
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> dpt = Kind(r.output, "$IIDPT"), mwd = Kind(r.output, "$IIMWD"),
                                   vhw = Kind(r.output, "$IIVHW");
    ASSERT_EQ(dpt.size(), 4U);
    EXPECT_EQ(Field(dpt[1], 1) + " " + Field(dpt[2], 1), "20.0 8.5");
    EXPECT_EQ(Field(mwd[2], 1) + " " + Field(mwd[3], 1) + " " + Field(mwd[3], 5), "270.0 300.0 20.0");
    // 6 knots made good toward 045° in a knot toward 090°: through the water
    // (4.243 − 1, 4.243), 37.4° at 5.34 knots; in still water again the course and speed.
    EXPECT_EQ(vhw[0].substr(0, 34), "$IIVHW,37.4,T,34.3,M,5.34,N,9.89,K");
    EXPECT_EQ(vhw[3].substr(0, 35), "$IIVHW,45.0,T,41.9,M,6.00,N,11.11,K");
}

// A depth profile along the route: the sounder reads between the soundings
// of each leg's ends in proportion to the way made, from the vessel's own
// depth on the first leg, and the last waypoint's once the route is done.
TEST(RealisticProfile, TheSounderReadsTheDepthsAlongTheRoute) {
    const Result r = RunScenario("waypoints: [{name: A, lat: 54.02, lon: 10.0}, {name: B, lat: 54.02, lon: 10.05}]\n"
                           "routes: [{name: TRIP, waypoints: [A, B]}]\n"
                           "vessels:\n"
                           "  - {position: {lat: 54.0, lon: 10.0}, speed: 36, route: TRIP, follow_route: true,\n"
                           "     limits: {rate_of_turn: 0, acceleration: 0},\n"
                           "     instruments: {depth: 30, depth_profile: [A=20, B=10]},\n"
                           "     receiver: {sentences: [DBT], arrival_radius: 0.001}}\n",
                                 "300");
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> dbt = Kind(r.output, "$SDDBT");
    ASSERT_EQ(dbt.size(), 300U);
    // 0.01 nm a second: A (1.2 nm north) at 120 s, B (1.76 nm east of A) at 296 s.
    const struct {
        std::size_t second;
        const char* metres;
    } soundings[] = {{0, "30.0"}, {60, "25.0"}, {120, "20.0"}, {208, "15.0"}, {299, "10.0"}};
    for (const auto& s : soundings) {
        EXPECT_EQ(Field(dbt[s.second], 3), s.metres) << s.second << " s: " << dbt[s.second];
    }
    const Result misspelt = RunProgram({"--waypoint", "A,54.02,10.0", "--depth-profile", "BOUY=3", "--count", "1"});
    EXPECT_EQ(misspelt.status, 2);
    EXPECT_EQ(misspelt.error, "kovra-nmea: depth profile: 'BOUY' is not a waypoint\n");
}

// Each instrument at its own rate, on the bus beside the GPS: it sends with
// the first update at or after each of its instants, so it keeps its rate
// whatever the GPS's; none is faster than the updates it goes with.
TEST(RealisticProfile, EachInstrumentSendsAtItsOwnRate) {
    const struct {
        const char* gpsRate;
        const char* instrumentRates;
        const char* count;
        const char* sounderTimes;  // of the updates that carry DPT
        std::size_t windLines;     // MWV, relative and true
    } cases[] = {
        {"1", "sounder=0.5,wind=0.25", "10", "120000.00 120002.00 120004.00 120006.00 120008.00", 6},
        {"5", "sounder=2", "10", "120000.00 120000.60 120001.00 120001.60", 20},
        {"1", "sounder=0.3", "8", "120000.00 120004.00 120007.00", 16},
    };
    for (const auto& c : cases) {
        const Result r = RunProgram({"--time", "2026-12-08T12:00:00Z", "--fast", "--rate", c.gpsRate, "--count", c.count,
                                     "--instrument-rate", c.instrumentRates, "--depth", "12", "--wind", "270,10",
                                     "--sentences", "RMC,DPT,MWV"});
        ASSERT_EQ(r.status, 0) << r.error;
        std::string times, time;
        for (const std::string& line : Lines(r.output)) {
            time = line.rfind("$GNRMC", 0) == 0 ? Field(line, 1) : time;
            times += line.rfind("$SDDPT", 0) == 0 ? (times.empty() ? "" : " ") + time : "";
        }
        EXPECT_EQ(times, c.sounderTimes) << c.instrumentRates;
        EXPECT_EQ(Kind(r.output, "$WIMWV").size(), c.windLines) << c.instrumentRates;
        EXPECT_EQ(Kind(r.output, "$GNRMC").size(), static_cast<std::size_t>(std::stoi(c.count)));
    }
    const Result faster = RunProgram({"--instrument-rate", "compass=10", "--count", "1"});
    EXPECT_EQ(faster.status, 2);
    EXPECT_EQ(faster.error, "kovra-nmea: --instrument-rate: compass=10 is faster than the receiver's 1 updates a "
                            "second (--rate): an instrument sends with them\n");
}

// AAM, APB and BWC for the destination of the leg steered: on the leg at
// 30 knots the arrival circle (0.2 nm) is entered when the range is within
// it, which the epoch of the arrival reports, and the route goes on to the
// next waypoint at once after; 0.3 nm beside the waypoint, never entered,
// the perpendicular through it is passed where the leg's geometry puts it.
TEST(RealisticProfile, ArrivalIsTheCircleEnteredOrThePerpendicularPassed) {
    const std::vector<std::string> common = {"--time", "2026-12-08T12:00:00Z", "--fast", "--course", "0", "--speed",
                                             "30", "--acceleration", "0", "--rate-of-turn", "0", "--waypoint",
                                             "A,54.02,10.0", "--waypoint", "B,54.02,10.05", "--route", "TRIP:A,B",
                                             "--sentences", "AAM,APB,BWC", "--arrival-radius", "0.2", "--lat", "54.0"};
    std::vector<std::string> onTheLeg = common;
    onTheLeg.insert(onTheLeg.end(), {"--lon", "10.0", "--count", "160", "--follow-route"});
    const Result r = RunProgram(onTheLeg);
    ASSERT_EQ(r.status, 0) << r.error;
    const std::vector<std::string> aam = Kind(r.output, "$GNAAM"), bwc = Kind(r.output, "$GNBWC");
    ASSERT_EQ(aam.size(), 160U);
    std::size_t entered = 0, namedB = 0;
    for (std::size_t i = 0; i < aam.size(); ++i) {
        const double range = std::stod(Field(bwc[i], 10));
        EXPECT_EQ(Field(aam[i], 5), Field(bwc[i], 12)) << aam[i];  // the destination steered for
        if (std::fabs(range - 0.2) > 0.01) {
            EXPECT_EQ(Field(aam[i], 1), range < 0.2 ? "A" : "V") << aam[i] << bwc[i];
        }
        entered += Field(aam[i], 1) == "A" && Field(aam[i], 5) == "A" ? 1 : 0;
        namedB = namedB == 0 && Field(aam[i], 5) == "B" ? i : namedB;
    }
    EXPECT_EQ(entered, 1U);                             // the epoch of the arrival
    EXPECT_NEAR(static_cast<double>(namedB), 121.5, 1);  // 1 nm at 30 knots: 120 s, and one
    EXPECT_EQ(aam[0].substr(0, 20), "$GNAAM,V,V,0.20,N,A*");

    // A model whose own epoch has no route sentences sends them when asked, after its own.
    const Result mtk = RunProgram({"--receiver", "mtk", "--time", "2026-12-08T12:00:00Z", "--count", "1",
                                   "--sentences", "XTE,RMC,APB"});
    ASSERT_EQ(mtk.status, 0) << mtk.error;
    const std::vector<std::string> lines = Lines(mtk.output);
    ASSERT_EQ(lines.size(), 3U) << mtk.output;
    EXPECT_EQ(lines[0].substr(0, 7) + lines[1].substr(0, 7) + lines[2].substr(0, 7), "$GPRMC,$GPAPB,$GPXTE,");

    std::vector<std::string> beside = common;
    // 0.3 nm east of A's meridian, sailing north past it. The leg from the
    // start to A bears 345.9°; the line through A square to it lies 0.075 nm
    // north of A there (0.3 · tan 14.1°): 1.275 nm from the start, 153 s.
    beside.insert(beside.end(), {"--lon", "10.0085", "--count", "180", "--leg", "course=0,speed=30"});
    const Result b = RunProgram(beside);
    ASSERT_EQ(b.status, 0) << b.error;
    const std::vector<std::string> passing = Kind(b.output, "$GNAAM"), apb = Kind(b.output, "$GNAPB");
    ASSERT_EQ(passing.size(), 180U);
    for (std::size_t i = 0; i < passing.size(); ++i) {
        EXPECT_EQ(Field(passing[i], 1), "V") << passing[i];
        EXPECT_EQ(Field(passing[i], 2), Field(apb[i], 7)) << apb[i];
        if (i <= 152 || i >= 155) {
            EXPECT_EQ(Field(passing[i], 2), i <= 152 ? "V" : "A") << i << " " << passing[i];
        }
    }
}

}  // namespace
}  // namespace kovra::test
