// Scenario files read the way the options are: the same checks and words,
// with the file's line and column; every option has its key; a bad file
// runs nothing. In-process, through the program's own parsing.
#include <gtest/gtest.h>

#include <algorithm>

#include "CommandLine.h"
#include "FileSupport.h"
#include "Options.h"
#include "ScenarioFile.h"

namespace kovra::app {
namespace {

using ScenarioFiles = test::TempDir;

// What the program makes of `text` as --scenario, with the arguments after it.
struct Parsed {
    std::optional<int> exit;
    std::string error;
    Options options;
};

Parsed ParseWith(const std::filesystem::path& file, std::vector<std::string> more = {}) {
    std::vector<std::string> arguments{"kovra-nmea", "--scenario", file.string()};
    arguments.insert(arguments.end(), more.begin(), more.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    testing::internal::CaptureStderr();
    ParseResult result = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
    return {result.exitNow, testing::internal::GetCapturedStderr(), std::move(result.options)};
}

TEST(ScenarioKeys, EveryOptionOfARunHasItsKey) {
    Options o;
    const std::unique_ptr<CLI::App> app = MakeApp(o);
    const std::vector<std::string> keyed = ScenarioOptions();
    // Not part of a run: what reads or writes the file, help, and a second name for --heading.
    const std::vector<std::string> apart = {"--help",     "--version",  "--man-page", "--bash-completion",
                                            "--scenario", "--dump-scenario", "--course"};
    for (const CLI::Option* option : app->get_options()) {
        const std::string name = option->get_name(false, true).substr(option->get_name(false, true).rfind(',') + 1);
        if (std::find(apart.begin(), apart.end(), name) == apart.end()) {
            EXPECT_NE(std::find(keyed.begin(), keyed.end(), name), keyed.end()) << name << " has no scenario key";
        }
    }
}

TEST_F(ScenarioFiles, ABadFileIsToldWithItsPlaceAndNothingRuns) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"rate: 0\n", "s.yaml:1:7: rate: '0' is not from 0.001 to 1000 updates a second"},
        {"vessels:\n  - speed: -3\n", "s.yaml:2:12: vessels[0].speed: '-3' is not at least 0 knots"},
        {"vessels:\n  - sped: 3\n", "s.yaml:2:5: unknown key 'sped' in vessels[0] (expected one of: name, kind, position,"},
        {"colour: red\n", "s.yaml:1:1: unknown key 'colour' (expected one of: start, seed,"},
        {"fast: maybe\n", "s.yaml:1:7: fast: expected true or false"},
        {"rate: [1]\n", "s.yaml:1:7: rate: expected a single value"},
        {"sky: gps\n", "s.yaml:1:6: sky: expected a map of keys (systems, almanac, elevation_mask)"},
        {"rate: 1\nrate: 2\n", "s.yaml:2:1: rate is given twice"},
        {"{rate: 1\n", "s.yaml:2:1: end of map flow not found"},
        {"- 1\n", "s.yaml:1:1: a scenario is a map of keys"},
        {"start: yesterday\n", "s.yaml:1:8: start: malformed time 'yesterday'"},
        {"vessels: [{position: {lat: 95}}]\n", "s.yaml:1:28: vessels[0].position.lat: Latitude Degree must be between 0 and 90."},
        {"vessels: [{receiver: {profile: classic, sentences: [GNS]}}]\n",
         "s.yaml:1:52: vessels[0].receiver.sentences: unknown sentence kind 'GNS' (the classic profile sends"},
        {"vessels: [{receiver: {profile: nmea5}}]\n", "vessels[0].receiver.profile: 'nmea5' is not nmea4 or classic"},
        {"vessels: [{outputs: [{udp: nohost}]}]\n", "s.yaml:1:28: vessels[0].outputs[0].udp: malformed address 'nohost'"},
        {"vessels: [{route: R}]\n", "s.yaml:1:19: vessels[0].route: no route named 'R' in routes"},
        {"routes: [{name: R, waypoints: []}, {name: r, waypoints: []}]\n", "routes[1]: route 'r' is given twice"},
        {"events: [{at: 3, vessel: Bob, course: 9}]\n", "s.yaml:1:10: no vessel named 'Bob' (the scenario has 'vessel 1')"},
        {"events: [{at: 3, wind: \"400,5\"}]\n",
         "s.yaml:1:24: events[0].wind: '400,5' is not DEGREES,KNOTS[,GUSTS]: where the true wind blows from (0 to below 360)"},
        {"vessels: [{instruments: {depth: -2}}]\n", "vessels[0].instruments.depth: '-2' is not from 0 to 11000 metres"},
        {"vessels: [{name: A}, {name: B}]\nevents: [{at: 3, vessel: C, course: 9}]\n",
         "no vessel named 'C' (the scenario has 'A', 'B')"},
        {"vessels: [{name: A}, {name: a}]\n", "s.yaml: two vessels are named 'a' (names match without regard to letter case)"},
        {"vessels: [{}, {speed: -1}]\n", "s.yaml:1:23: vessels[1].speed: '-1' is not at least 0 knots"},
        {"fleet: {count: 0}\n", "fleet.count: '0' is not from 1 to 100000 vessels"},
        {"fleet: {count: 2, area: {center: {lat: 1, lon: 2}, radius_km: 1}, along: R}\n",
         "fleet: a fleet starts in an area (center and radius_km) or along a route, one of them"},
        {"fleet: {count: 2, along: R}\n", "fleet: no route named 'R' in routes"},
        {"fleet: {count: 2, area: {center: {lat: 1, lon: 2}, radius_km: 1}, outputs: [{udp: '127.0.0.1:65535+i'}]}\n",
         "'127.0.0.1:65535+i' gives no port from 1 to 65535 for vessel 2 of the fleet"},
        {"fleet: {count: 2, area: {center: {lat: 1, lon: 2}, radius_km: 1}, template: {speed: fast}}\n",
         "fleet.template.speed: 'fast' is not at least 0 knots"},
        {"events: [{at: -3, course: 9}]\n", "s.yaml:1:15: events[0].at: '-3' is before the start"},
        {"start: 2026-12-08T12:00:00Z\nevents: [{at: 2026-12-08T11:59:59Z, course: 9}]\n",
         "s.yaml:2:10: '2026-12-08T11:59:59Z' is before the start, '2026-12-08T12:00:00Z'"},
        {"events: [{at: 2026-12-08T12:00:00Z, course: 9}]\n", "an event at a UTC time needs the scenario's start"},
        {"events: [{at: 1}]\n", "s.yaml:1:10: events[0]: an event needs something to do (course, speed,"},
        {"events: [{course: 1}]\n", "events[0]: an event needs its time"},
        {"events: [{at: 1, speed: -1}]\n", "s.yaml:1:25: events[0].speed: '-1' is not at least 0 knots"},
        {"events: [{at: 1, fault: {corrupt: 2}}]\n", "events[0].fault.corrupt: '2' is not from 0 to 1 (a probability)"},
        {"events: [{at: 1, systems_off: [gps, galileo, compass]}]\n",
         "events[0].systems_off: unknown system 'compass' (use gps, glonass, galileo, beidou)"},
        {"events: [{at: 1, outage: 0}]\n", "events[0].outage: '0' is not above 0 seconds"},
        {"events: [{at: 1, speedup: 5000}]\n", "events[0].speedup: '5000' is not from 0.1 to 1000"},
        {"replay: log.nmea\nevents: [{at: 1, pause: true}]\n", "a replay sends the log as recorded; events do not apply"},
        {"vessels: [{motion: [{course: 400}]}]\n", "vessels[0].motion[0]: 'course=400': course '400' is not from 0 to below 360"},
        {"vessels: [{motion: [{course: 90, goto: A}]}]\n", "a leg steers by one of course, goto and route"},
        {"vessels: [{motion: [{for: 10}]}]\n", "a leg needs a course, a goto, a route, a speed or an altitude"},
        {"vessels: [{motion: [{turn: 10}]}]\n", "unknown key 'turn' in vessels[0].motion[0] (expected one of: course,"},
        {"vessels: [{motion: [{course: 1}, {gpx_track: T}]}]\n", "a GPX track is sailed at its recorded times"},
        {"vessels: [{ais: {mmsi: 12}}]\n", "vessels[0].ais: 'mmsi=12': mmsi '12' is not nine digits"},
        {"vessels: [{ais: {class: sart, mmsi: 211000001}}]\n", "the MMSI of a SART begins 970"},
        {"vessels: [{ais: {mmsi: 211000001, cpa: 1, in: 60, bearing: 9}}]\n",
         "the first vessel is own ship; cpa, in and bearing place the others"},
        {"vessels: [{}, {ais: {mmsi: 211000002, cpa: 1, in: 60}}]\n", "a closest approach needs cpa, in and bearing together"},
        {"vessels: [{}, {speed: 0, ais: {mmsi: 211000002, cpa: 1, in: 60, bearing: 9}}]\n",
         "passes the first vessel at no speed: give it a speed"},
        {"ais_targets: [{mmsi: 211000002, speed: 3}]\n", "a target needs lat and lon, or cpa, in and bearing"},
        {"ais_targets: [{mmsi: 211000002, lat: 1, lon: 2, colour: red}]\n", "'colour' is not a key of --ais-target"},
        // A ship's report tells tenths of a knot to 102.2; an aircraft's whole knots.
        {"ais_targets: [{mmsi: 211000002, lat: 1, lon: 2, speed: 150}]\n", "speed 150 is more than a ship reports"},
        {"vessels: [{receiver: {model: garmin9}}]\n", "vessels[0].receiver.model: 'garmin9' is not nmea4 or ublox-m8"},
        {"vessels: [{}, {receiver: {profile: classic, model: ublox-m8}}]\n",
         "--receiver ublox-m8: a receiver model speaks in the nmea4 profile, not the classic one"},
        {"vessels: [{receiver: {model: ublox-m9, settings: {numSV: 7}}}]\n",
         "vessels[0].receiver.settings.numSV: 'numSV=7': numSV takes 0 (all), 8, 12 or 16"},
        {"vessels: [{receiver: {settings: {highPrec: 1}}}]\n", "'highPrec' is not a setting of nmea4 (it has none)"},
        {"vessels: [{kind: boat}]\n", "vessels[0].kind: 'boat' is not vessel or car or pedestrian or aircraft or fixed"},
        {"vessels: [{limits: {climb_rate: -1}}]\n", "vessels[0].limits.climb_rate: '-1' is not from 0 to 1000 metres a second"},
    };
    for (const auto& c : cases) {
        Write(Path("s.yaml"), c.text);
        const Parsed parsed = ParseWith(Path("s.yaml"));
        EXPECT_EQ(parsed.exit, 2) << c.text;
        EXPECT_NE(parsed.error.find(c.error), std::string::npos) << c.text << " gave: " << parsed.error;
        EXPECT_EQ(std::count(parsed.error.begin(), parsed.error.end(), '\n'), 1) << parsed.error;
    }
}

TEST_F(ScenarioFiles, TheCommandLineOverridesTheFileAndJsonReadsAsYaml) {
    Write(Path("s.json"),
          R"({"rate": 2, "sky": {"systems": ["gps"]}, "vessels": [{"name": "Ferry", "speed": 6, "course": 45,
              "receiver": {"systems": ["gps", "galileo"]}, "outputs": [{"udp": "127.0.0.1:10110@RMC"}]}],
              "events": [{"at": 1, "vessel": "ferry", "course": 90}]})");
    const Parsed parsed = ParseWith(Path("s.json"), {"--speed", "12", "--course", "10"});
    ASSERT_FALSE(parsed.exit) << parsed.error;
    EXPECT_EQ(parsed.options.rate, 2);
    EXPECT_EQ(parsed.options.speed, 12);
    EXPECT_EQ(parsed.options.heading, 10);
    EXPECT_EQ(parsed.options.name, "Ferry");
    EXPECT_EQ(parsed.options.gnss, "gps,galileo");  // the vessel's own systems over the sky's
    ASSERT_EQ(parsed.options.udp.size(), 1U);
    EXPECT_EQ(parsed.options.udp.front().target, "127.0.0.1:10110");
    ASSERT_EQ(parsed.options.events.size(), 1U);
    EXPECT_EQ(parsed.options.events.front().action.course, 90);
    // A list the command line gives replaces the file's.
    const Parsed udp = ParseWith(Path("s.json"), {"--udp", "127.0.0.1:20000"});
    ASSERT_EQ(udp.options.udp.size(), 1U);
    EXPECT_EQ(udp.options.udp.front().target, "127.0.0.1:20000");
}

TEST_F(ScenarioFiles, ADumpWritesNothingWhenTheOptionsAreRefused) {
    Write(Path("kept.yaml"), "rate: 1\n");
    Write(Path("s.yaml"), "rate: 5000\n");
    const Parsed parsed = ParseWith(Path("s.yaml"), {"--dump-scenario", Path("kept.yaml").string()});
    EXPECT_EQ(parsed.exit, 2);
    EXPECT_EQ(Read(Path("kept.yaml")), "rate: 1\n");
}

// AIS goes to the outputs that name no kinds and to those naming VDM or
// VDO; a serial port for AIS alone runs at 38400 baud unless told otherwise.
TEST_F(ScenarioFiles, AisFindsItsOutputsAndItsLine) {
    Write(Path("s.yaml"), "vessels: [{ais: {mmsi: 211000001}}]\nais_targets: [{mmsi: 211000002, lat: 54.3, lon: 10.1}]\n");
    const Parsed plain = ParseWith(Path("s.yaml"));
    ASSERT_FALSE(plain.exit) << plain.error;
    EXPECT_NE(std::find(plain.options.runKinds.begin(), plain.options.runKinds.end(), "VDM"), plain.options.runKinds.end());
    ASSERT_EQ(plain.options.moreVessels.size(), 1U);
    EXPECT_EQ(plain.options.moreVessels.front().name, "AIS 211000002");
    EXPECT_FALSE(plain.options.moreVessels.front().HasOutputs());  // a target only
    const Parsed chosen = ParseWith(Path("s.yaml"), {"--sentences", "RMC", "--port", "/dev/null@VDM,VDO"});
    ASSERT_FALSE(chosen.exit) << chosen.error;
    // The receiver's sentences chosen, AIS beside them; AIS chosen too: as given.
    EXPECT_EQ(chosen.options.runKinds, (std::vector<std::string>{"RMC", "VDM", "VDO"}));
    EXPECT_EQ(ParseWith(Path("s.yaml"), {"--sentences", "RMC,VDO"}).options.runKinds,
              (std::vector<std::string>{"RMC", "VDO"}));
    EXPECT_EQ(chosen.options.baud, 38'400);
    EXPECT_EQ(ParseWith(Path("s.yaml"), {"--port", "/dev/null@VDM", "--baud", "4800"}).options.baud, 4800);
    EXPECT_NE(ParseWith(Path("s.yaml"), {"--port", "/dev/null"}).options.baud, 38'400);
}

}  // namespace
}  // namespace kovra::app
