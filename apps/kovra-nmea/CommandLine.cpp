#include "CommandLine.h"

#include "AisOptions.h"

#include <cctype>
#include <charconv>
#include <limits>
#include <map>
#include <set>

#include "engine/Simulator.h"
#include "engine/receiver/Models.h"
#include "engine/receiver/SentenceKinds.h"
#include "foundation/BuildProfile.h"
#include "nmea/Format.h"

namespace kovra::app {

namespace {

using engine::QuotedValue;

constexpr const char* kProgramVersion = "1.0.0";

constexpr double kNoLimit = std::numeric_limits<double>::infinity();

// What an option's number may be; a bound may be left out (kNoLimit) or
// excluded.
struct Bounds {
    double low = 0;
    double high = kNoLimit;
    std::string unit{};
    bool aboveLow = false;   // the low bound itself is refused
    bool belowHigh = false;  // … the high one
};


// "from 0.001 to 1000 updates a second", "above 0 and at most 1e+09 seconds", "at least 1".
std::string Described(const Bounds& b) {
    std::string text = b.high == kNoLimit ? (b.aboveLow ? "above " : "at least ") + Shown(b.low)
                       : b.aboveLow       ? "above " + Shown(b.low) + " and " + (b.belowHigh ? "below " : "at most ")
                                          : "from " + Shown(b.low) + " to " + (b.belowHigh ? "below " : "");
    if (b.high != kNoLimit) {
        text += Shown(b.high);
    }
    return b.unit.empty() ? text : text + " " + b.unit;
}

// The rule of an option's number, on the option: the check, its message
// ("--rate: '0' is not from 0.001 to 1000 updates a second", CLI11 adding
// the option's name) and the help's "0.001 to 1000" come from one place.
CLI::Validator Within(Bounds b) {
    return CLI::Validator(
        [b](std::string& input) -> std::string {
            double value = 0;
            const auto [end, error] = std::from_chars(input.data(), input.data() + input.size(), value);
            const bool inside = (b.aboveLow ? value > b.low : value >= b.low) &&
                                (b.high == kNoLimit || (b.belowHigh ? value < b.high : value <= b.high));
            if (error != std::errc() || end != input.data() + input.size() || !inside) {
                return QuotedValue(input) + " is not " + Described(b);
            }
            return {};
        },
        Described(b));
}

// A value the engine reads, checked by the engine's own reading.
template <typename Read>
CLI::Validator ReadBy(Read read) {
    return CLI::Validator(
        [read](std::string& input) -> std::string {
            try {
                (void)read(input);
            } catch (const UsageError& e) {
                return e.what();
            }
            return {};
        },
        "");
}

const CLI::Validator kProbability = Within({0, 1, "(a probability)"});

// One of a few words, as written.
CLI::Validator OneOf(std::vector<std::string> words) {
    std::string list;
    for (const std::string& word : words) {
        list += (list.empty() ? "" : " or ") + word;
    }
    return CLI::Validator(
        [words, list](std::string& input) -> std::string {
            return std::find(words.begin(), words.end(), input) != words.end() ? ""
                                                                               : QuotedValue(input) + " is not " + list;
        },
        "");  // the value's name in the help lists them
}

// The kinds of each profile, from the table the receivers send by.
std::string SentencesHelp() {
    const std::vector<std::string> classic = engine::KindsOf(engine::Profile::Classic);
    std::vector<std::string> more;
    for (const std::string& kind : engine::KindsOf(engine::Profile::Nmea4)) {
        if (std::find(classic.begin(), classic.end(), kind) == classic.end()) {
            more.push_back(kind);
        }
    }
    return "Comma list of the profile's kinds or ALL: classic " + Joined(classic) + "; nmea4 also " + Joined(more) +
           "; the u-blox models also their UBX NAV messages (NAV-PVT, NAV-SAT, NAV-DOP …)";
}

}  // namespace

std::unique_ptr<CLI::App> MakeApp(Options& o) {
    auto made = std::make_unique<CLI::App>("kovra-nmea: a simulated GPS receiver writing NMEA 0183 sentences.\n"
                 "It starts from its built-in scenario, a vessel leaving a harbour, under a sky computed\n"
                 "for the time; each state option overrides what it names. --profile classic sends the\n"
                 "library's own sentences for exactly the state the options give.",
                 "kovra-nmea");
    CLI::App& app = *made;
    app.get_formatter()->column_width(40);
    app.set_version_flag("--version",
                         std::string("kovra-nmea ") + kProgramVersion + " (library " +
                             std::string(kProfile.libraryName) + " " + nmea::FloatToStr(kProfile.version) + ")");

    app.add_option("--lat", o.lat, "Latitude: 48:07:02.28N, 48:07.038N, 48.1173N or decimal degrees (south negative)")->group("State");
    app.add_option("--lon", o.lon, "Longitude: 011:31:00E, 011:31.0E, 11.5167E or decimal degrees (west negative)")->group("State");
    app.add_option("--alt", o.alt, "Altitude, metres")->group("State");
    app.add_option("--geoid", o.geoid, "Height of the geoid above the ellipsoid, metres")->group("State");
    app.add_option("--speed", o.speed, "Speed over ground, knots (0 or more)")->check(Within({0, kNoLimit, "knots"}))
        ->group("State");
    app.add_option("--heading", o.heading, "Course over ground, degrees true")->group("State");
    app.add_option("--mag-heading", o.magHeading, "Course over ground, degrees magnetic")->group("State");
    app.add_option("--mag-var", o.magVar, "Magnetic variation with its side, e.g. 3.1W")->group("State");
    app.add_option("--pdop", o.pdop, "Position dilution of precision")->group("State");
    app.add_option("--hdop", o.hdop, "Horizontal dilution of precision")->group("State");
    app.add_option("--vdop", o.vdop, "Vertical dilution of precision")->group("State");
    app.add_option("--fix", o.fix, "GGA fix quality, 0 to 8 (default 1)")->check(Within({0, 8, "(the fix qualities of GGA)"}))
        ->group("State");
    app.add_option("--time", o.time, "Fixed start time in UTC, e.g. 2002-07-04T20:15:30.123Z")->group("State");
    app.add_option("--sat", o.sats, "A satellite in view (repeatable); nmea4 takes PRN,EL,AZ[,SNR][,unused]")->group("State");
    app.add_option("--satellites", o.satellitesFile, "Load satellites from FILE")->group("State");
    app.add_option("--waypoint", o.waypoints, "Waypoint NAME,LAT,LON (repeatable)")->group("State");
    app.add_option("--waypoints", o.waypointsFile, "Load waypoints from FILE")->group("State");
    app.add_option("--route", o.route, "Active route NAME:WP1,WP2,...")->group("State");
    app.add_option("--route-file", o.routeFile, "Load a route from FILE and make it active")->group("State");

    app.add_option("--sentences", o.sentences, SentencesHelp())
        ->group("Pacing");
    app.add_option("--rate", o.rateOption, "Updates per second, 0.001 to 1000 (default 1; a receiver model's own, such as garmin's 0.5)")->check(Within({engine::kRates.low, engine::kRates.high, "updates a second"}))
        ->group("Pacing");
    app.add_option("--count", o.countText, "Number of updates; 0 runs until interrupted")->group("Pacing");
    app.add_option("--scenario", o.scenario,
                   "Run the scenario FILE (YAML or JSON); the options given beside it override its values")
        ->group("Scenario");
    app.add_option("--dump-scenario", o.dumpScenario,
                   "Write the scenario these options (and --scenario) give to FILE ('-': standard output), and run nothing")
        ->group("Scenario");
    app.add_option("--truth", o.truth,
                   "Write the truth as JSON Lines to FILE: a line a vessel an update, the true and reported "
                   "state, the faults and events, what each output was sent")
        ->group("Scenario");
    app.add_option("--shard", o.shard,
                   "Run only the vessels whose index (from 0) is I modulo N, each sending as in the whole run")
        ->check(ReadBy([](const std::string& text) { return ParseShard(text); }))
        ->group("Scenario");
    app.add_option("--name", o.name, "Name of the vessel, as a scenario's events and the truth name it")
        ->group("State");
    app.add_option("--gpx", o.gpx, "Waypoints, routes and tracks from a GPX 1.0 or 1.1 file")->group("Scenario");
    app.add_option("--gpx-route", o.gpxRoute, "Make this route of --gpx active (default: its only route)")
        ->group("Scenario");
    app.add_option("--gpx-track", o.gpxTrack, "Sail this track of --gpx at its recorded times")->group("Scenario");
    app.add_option("--record-gpx", o.recordGpx,
                   "Record the run as GPX (track, waypoints, active route), whole after every write (every 10 s and at the end)")
        ->group("Scenario");
    app.add_option("--seed", o.seedText, "Seed of every fault's chances: the same seed and options give the same bytes")
        ->group("Faults");
    app.add_option("--outage", o.outages, "Lose the fix from START for LENGTH seconds of simulated time (repeatable)")
        ->check(ReadBy([](const std::string& text) { return engine::ParseTimeWindow(text); }))
        ->group("Faults");
    app.add_option("--freeze", o.freezes, "Repeat the last update unchanged from START for LENGTH seconds")
        ->check(ReadBy([](const std::string& text) { return engine::ParseTimeWindow(text); }))
        ->group("Faults");
    app.add_option("--drop", o.drop, "Leave each sentence out with probability P")->check(kProbability)
        ->group("Faults");
    app.add_option("--corrupt", o.corrupt, "Send each sentence with a wrong checksum with probability P")
        ->check(kProbability)
        ->group("Faults");
    app.add_option("--truncate", o.truncate, "Cut each sentence short, without its end, with probability P")
        ->check(kProbability)
        ->group("Faults");
    app.add_option("--garbage", o.garbage, "Random bytes after each sentence with probability P")->check(kProbability)
        ->group("Faults");
    app.add_option("--jitter", o.jitter, "Send each update up to MS milliseconds late")->check(Within({0, engine::kMaxJitterMs, "milliseconds"}))
        ->group("Faults");
    app.add_option("--noise", o.noise,
                   "Wander the reported position around the true one, METRES per axis, 60 s correlation")
        ->check(Within({0, engine::kMaxNoiseMetres, "metres"}))
        ->group("Faults");
    app.add_option("--extra", o.extra, "Send SENTENCE (e.g. PKOV,TEST,1) after each update, checksum added")
        ->check(ReadBy([](const std::string& text) { return engine::FrameUserSentence(text); }))
        ->group("Faults");
    app.add_option("--replay", o.replay, "Send a recorded NMEA log with its own timing instead of the simulation")
        ->group("Scenario");
    app.add_flag("--replay-check", o.replayCheck, "Leave out the log's lines with a wrong checksum, and count them")
        ->group("Scenario");
    app.add_option("--duration", o.duration, "End after this much simulated time")->check(Within({engine::kDurations.low, engine::kDurations.high, "seconds", true}))
        ->group("Pacing");
    app.add_option("--speedup", o.speedup, "Simulated time runs FACTOR times the wall clock, 0.1 to 1000")
        ->check(Within({engine::kSpeedups.low, engine::kSpeedups.high}))
        ->group("Pacing");
    app.add_flag("--fast", o.fast, "Do not wait: each update as soon as the outputs took the last")->group("Pacing");
    app.add_flag("--no-move", o.noMove, "Keep the position still")->group("Pacing");
    app.add_flag("--follow-route", o.followRoute, "Steer toward each waypoint of the active route")->group("Pacing");
    app.add_flag("--autopilot", o.autopilot,
                 "Steer by the APB, RMB, XTE and HSC sentences a plotter sends back, within the rate of turn")
        ->group("Pacing");
    app.add_option("--autopilot-timeout", o.autopilotTimeout,
                   "Seconds without autopilot sentences after which the vessel holds its course (default 5)")
        ->check(Within({0, 3600, "seconds", true}))
        ->group("Pacing");
    app.add_flag("--loop", o.loop, "Start the route, the track or the replayed log again at its end")
        ->group("Pacing");

    app.add_option("--port", o.port,
                   "Write to serial port NAME (COM1, ttyUSB0 or a device path); any output takes @KINDS after it, "
                   "e.g. --udp 127.0.0.1:10110@RMC,GGA")
        ->group("Output");
    app.add_option("--baud", o.baudOption, "Baud rate of --port (4800; 9600 in the nmea4 profile, whose receiver then sends what the line carries)")->check(Within({0, kNoLimit, "baud", true}))
        ->group("Output");
    app.add_option("--pty", o.ptyLink, "Create a pseudo-terminal and print its path; LINK becomes a symbolic link to it")
        ->expected(0, 1)
        ->group("Output");
    app.add_option("--tcp", o.tcpTexts, "Serve the stream to TCP clients on PORT (repeatable)")->group("Output");
    app.add_option("--udp", o.udpTexts, "Send to HOST:PORT over UDP, unicast or multicast ([v6]:PORT; repeatable)")
        ->group("Output");
    app.add_option("--udp-broadcast", o.udpBroadcastTexts, "Send to the broadcast address on PORT over UDP")
        ->group("Output");
    app.add_flag("--udp-batch", o.udpBatch, "One datagram an update (split within 1472 bytes), not one a sentence")
        ->group("Output");
    app.add_option("--udp-ttl", o.udpTtl, "Hops of multicast datagrams")->check(Within({1, 255, "hops"}))
        ->group("Output");
    app.add_option("--http", o.http, "Serve the live view and control on [ADDR:]PORT (address 127.0.0.1 unless given)")
        ->group("Output");
    app.add_flag("--http-read-only", o.httpReadOnly, "The live view without control")->group("Output");
    app.add_option("--listen-udp", o.listenUdp,
                   "Take configuration commands on a UDP port of the receiver's own, [ADDR:]PORT (127.0.0.1 unless given)");
    app.add_option("--tcp-connect", o.tcpConnectTexts,
                   "Connect to the server at HOST:PORT and send it the stream, reconnecting (repeatable)")
        ->group("Output");
    app.add_option("--bind", o.bind, "Address for --tcp")->group("Output");
    app.add_option("--tcp-max-clients", o.tcpMaxClients, "Clients served at once by --tcp; more are closed at once, unless one has taken nothing for --tcp-idle")
        ->check(Within({1, kNoLimit}))
        ->group("Output");
    app.add_option("--tcp-idle", o.tcpIdle,
                   "Seconds a --tcp client may take nothing before a newcomer takes its place when all are served")
        ->check(Within({0.1, 86400, "seconds"}))
        ->group("Output");
    app.add_flag("--threaded", o.threaded, "Hand updates for --port to the background sender thread")
        ->group("Output");
    app.add_option("--skyplot", o.skyplot, "Write the sky plot to FILE.svg")->group("Output");
    app.add_option("--skyplot-radius", o.skyplotRadius, "Radius of the sky plot in pixels")->group("Output");
    app.add_option("--save-satellites", o.saveSatellites, "Save the satellites to FILE")->group("Output");
    app.add_option("--save-waypoints", o.saveWaypoints, "Save the waypoints to FILE")->group("Output");
    app.add_option("--save-route", o.saveRoute, "Save the active route to FILE")->group("Output");
    app.add_flag("-v,--verbose", o.verbose, "One status line per update on standard error");
    app.add_flag("--man-page", o.manPage, "Print this manual as a man page (kovra-nmea(1)) and exit");
    app.add_flag("--bash-completion", o.bashCompletion, "Print the bash completion of these options and exit");

    app.add_option("--profile", o.profile,
                   "nmea4: a multi-system receiver (NMEA 0183 4.11) with a computed sky; classic: the "
                   "library's own sentences for the state given (the built-in scenario only without state options)")
        ->check(OneOf({"nmea4", "classic"}))
        ->group("Receiver");
    app.add_option("--gnss", o.gnss, "Systems of the nmea4 sky, a comma list (default: the receiver's)")
        ->type_name("SYSTEMS")
        ->group("Receiver");
    std::vector<std::string> models;
    for (const engine::ReceiverModel& model : engine::ReceiverModels()) {
        models.emplace_back(model.name);
    }
    models.emplace_back("list");
    app.add_option("--receiver", o.receiver,
                   "The receiver model the nmea4 profile speaks as: its dialect, systems and sentences; list prints "
                   "them")
        ->check(OneOf(models))
        ->group("Receiver");
    app.add_option("--start", o.start,
                   "cold, warm or hot: the receiver starts from power-on and goes through what receivers do "
                   "to its first fix (its model's times, about 30, 25 and 1-2 s); fixed: a fix from the first update")
        ->check(OneOf({"fixed", "cold", "warm", "hot"}))
        ->type_name("fixed|cold|warm|hot")
        ->group("Receiver");
    app.add_flag("--sbas-corrections", o.sbasCorrections,
                 "The SBAS corrections are received: a model that tracks SBAS (u-blox, MTK) reports a differential "
                 "fix (GGA quality 2) while it uses an SBAS satellite")
        ->group("Receiver");
    app.add_option("--leap-second", o.leapSecond,
                   "Insert a leap second at the end of DAY (2026-12-31): 23:59:60 where the model writes it, "
                   "23:59:59 twice where it does not")
        ->check(ReadBy([](const std::string& text) { return ParseDay(text); }))
        ->type_name("DAY")
        ->group("Receiver");
    app.add_option("--week-base", o.weekBase,
                   "The firmware counts GPS weeks from WEEK: 1024 weeks on, its dates fall back 19.6 years, as at a "
                   "week rollover")
        ->check(Within({0, 100'000, "GPS weeks"}))
        ->type_name("WEEK")
        ->group("Receiver");
    app.add_option("--receiver-setting", o.receiverSettings,
                   "A setting of the receiver model, as the receiver names it (repeatable): the u-blox models "
                   "nmeaVersion=2.3|4.0|4.10|4.11, highPrec=0|1, numSV=0|8|12|16")
        ->type_name("KEY=VALUE")
        ->group("Receiver");
    app.add_option("--elevation-mask", o.elevationMask, "Lower satellites are in view but not used")
        ->check(Within({0, 90, "degrees"}))
        ->group("Receiver");
    app.add_option("--almanac", o.almanacFile, "A GPS almanac (YUMA) that places the GPS satellites")
        ->group("Receiver");
    app.add_option("--talker", o.talker, "Talker of the position sentences (default: by the systems used)")
        ->check(OneOf({"GP", "GN"}))
        ->group("Receiver");
    app.add_option("--true-heading", o.trueHeading, "Heading of HDT (default: the course)")->check(Within({0, 360, "degrees", false, true}))
        ->group("Receiver");
    app.add_option("--course", o.heading, "Course over ground, degrees true (as --heading)")->group("State");
    app.add_option("--rate-of-turn", o.rateOfTurn,
                   "Most degrees a second the vessel turns, a course change or a waypoint turn sailed as a curve; "
                   "0 turns at once (default 3; classic 0)")
        ->check(Within({0, 180, "degrees a second"}))
        ->type_name("DEG/S")
        ->group("Pacing");
    app.add_option("--acceleration", o.acceleration,
                   "Most metres a second squared the vessel's speed changes by; 0 at once (default 0.5; classic 0)")
        ->check(Within({0, 100, "metres a second squared"}))
        ->type_name("M/S2")
        ->group("Pacing");
    app.add_option("--climb-rate", o.climbRate, "Most metres a second the vessel climbs or sinks by; 0 at once (default 0; an aircraft's 10)")
        ->check(Within({0, 1000, "metres a second"}))
        ->type_name("M/S")
        ->group("Pacing");
    app.add_option("--kind", o.kind,
                   "What carries the receiver: its limits when none are given (vessel 3 deg/s and 0.5 m/s2, car 30 "
                   "and 3, pedestrian 90 and 1, aircraft 3 and 2 climbing 10 m/s); a fixed one does not move")
        ->check(OneOf({"vessel", "car", "pedestrian", "aircraft", "fixed"}))
        ->type_name("vessel|car|pedestrian|aircraft|fixed")
        ->group("Pacing");
    app.add_option("--leg", o.legs,
                   "A leg of the motion, in order: course=DEG,speed=KN,for=S (for a time), goto=WAYPOINT or "
                   "route=NAME (until arrived, speed=KN and for=S may go with them), altitude=M; the last leg holds on")
        ->check(ReadBy(ParseLeg))
        ->type_name("KEY=VALUE,...")
        ->group("Pacing");
    app.add_option("--ais", o.ais,
                   "The vessel's AIS station: class=A|B|base|aton|sar|sart|mob|epirb,mmsi=9 DIGITS and name, callsign, "
                   "imo, type, bow, stern, port, starboard, draught, destination, eta=MM-DDTHH:MM, status, aid, "
                   "virtual, test, interval; the first vessel's sends !AIVDO; a further vessel without outputs is an "
                   "AIS target only; cpa=NM,in=S,bearing=DEG places it to pass the first vessel so")
        ->check(ReadBy([](const std::string& text) { return ParseAis(text, false); }))
        ->type_name("KEY=VALUE,...")
        ->group("AIS");
    app.add_option("--ais-faults", o.aisFaults,
                   "What goes wrong with AIS messages, a chance each a message: lose_fragment (its second sentence), "
                   "fill (a wrong fill-bit count), sequence (its sequential ID empty or out of range), order "
                   "(sentences reversed), duplicate, checksum; from the run's seed")
        ->check(ReadBy(ParseAisFaults))
        ->type_name("KEY=P,...")
        ->group("Faults");
    app.add_option("--ais-target", o.aisTargets,
                   "An AIS target beside the vessels: the keys of --ais with lat, lon, course and speed, or cpa, in, "
                   "bearing and speed (it passes own ship at cpa nautical miles in `in` seconds, seen first on the "
                   "bearing)")
        ->check(ReadBy([](const std::string& text) { return ParseAis(text, true); }))
        ->type_name("KEY=VALUE,...")
        ->group("AIS");
    app.add_option("--route-interval", o.routeInterval, "Time between the WPL and RTE of the active route")
        ->check(Within({0, 86400, "seconds", true}))
        ->group("Receiver");
    app.add_option("--current", o.current,
                   "The current the vessel sails in: where it flows toward and its knots; the vessel holds its "
                   "course over the ground, its heading and speed through the water make up for it (HDT, HDG, VHW)")
        ->check(ReadBy([](const std::string& text) { return ParseCurrent(text); }))
        ->group("Instruments");
    app.add_option("--leeway", o.leeway, "The wind's leeway, degrees the vessel is pushed to starboard (negative: to port)")
        ->check(Within({-45, 45, "degrees"}))
        ->group("Instruments");
    app.add_option("--depth", o.depth, "The echo sounder's depth below the transducer, metres (DPT, DBT)")
        ->check(Within({0, 11000, "metres"}))
        ->group("Instruments");
    app.add_option("--depth-profile", o.depthProfile,
                   "Depths at the route's waypoints, WAYPOINT=METRES,...; the sounder reads between them along each "
                   "leg (the first from --depth, where given), and --depth off the route")
        ->check(ReadBy([](const std::string& text) { return ParseDepthProfile(text); }))
        ->group("Instruments");
    app.add_option("--instrument-rate", o.instrumentRates,
                   "Updates a second of instruments, INSTRUMENT=RATE,... (compass, gyro, sounder, wind, log), each at "
                   "most the receiver's --rate; by default each sends with every update")
        ->check(ReadBy([](const std::string& text) { return ParseInstrumentRates(text); }))
        ->group("Instruments");
    app.add_option("--transducer-offset", o.transducerOffset,
                   "From the transducer to the waterline (positive) or the keel (negative), metres (DPT)")
        ->check(Within({-100, 100, "metres"}))
        ->group("Instruments");
    app.add_option("--wind", o.wind, "The true wind: where it blows from and its speed, and the gusts' speed after a second comma (270,15,25), "
                   "drawn from --seed (MWV relative and true, MWD)")
        ->check(ReadBy([](const std::string& text) { return ParseWind(text); }))
        ->group("Instruments");
    app.add_option("--water-temperature", o.waterTemperature, "The water's temperature, degrees Celsius (MTW)")
        ->check(Within({-5, 45, "degrees Celsius"}))
        ->group("Instruments");
    app.add_option("--instrument-talker", o.instrumentTalker,
                   "One talker for every instrument, as an integrated system has (II); by default each its own: "
                   "HC compass, HE gyro, SD sounder, WI wind, VW log")
        ->check(ReadBy([](const std::string& text) {
            if (text.size() != 2 || !std::isupper(static_cast<unsigned char>(text[0])) ||
                !std::isupper(static_cast<unsigned char>(text[1]))) {
                throw UsageError(QuotedValue(text) + " is not a talker of two capital letters");
            }
            return text;
        }))
        ->group("Instruments");
    app.add_option("--arrival-radius", o.arrivalRadius,
                   "The arrival circle round the destination of the leg steered, nautical miles (AAM, APB, RMB); "
                   "a followed route goes on to the next leg once inside it or past the perpendicular")
        ->check(Within({0.001, 100, "nautical miles"}))
        ->group("Receiver");

    // Which options go together, stated once; CLI11 refuses the rest
    // ("--gpx-route requires --gpx", "--record-gpx excludes --replay").
    for (const auto& [option, needed] : {std::pair{"--gpx-route", "--gpx"}, std::pair{"--gpx-track", "--gpx"},
                                         std::pair{"--replay-check", "--replay"}, std::pair{"--http-read-only", "--http"}}) {
        app.get_option(option)->needs(needed);
    }
    for (const char* option : {"--record-gpx", "--http", "--truth"}) {
        app.get_option(option)->excludes("--replay");
    }

    // Values named by what they are, not by their type.
    static const std::map<std::string, std::string> kValueNames = {
        {"--lat", "LAT"}, {"--lon", "LON"}, {"--alt", "METRES"}, {"--geoid", "METRES"}, {"--speed", "KNOTS"},
        {"--heading", "DEG"}, {"--course", "DEG"}, {"--mag-heading", "DEG"}, {"--true-heading", "DEG"},
        {"--mag-var", "DEG{E|W}"}, {"--pdop", "DOP"}, {"--hdop", "DOP"}, {"--vdop", "DOP"}, {"--fix", "QUALITY"},
        {"--time", "UTC"}, {"--sat", "PRN,EL,AZ[,SNR]"}, {"--satellites", "FILE"}, {"--waypoint", "NAME,LAT,LON"},
        {"--waypoints", "FILE"}, {"--route", "NAME:WP,..."}, {"--route-file", "FILE"}, {"--sentences", "KINDS"},
        {"--scenario", "FILE"}, {"--dump-scenario", "FILE"}, {"--name", "NAME"}, {"--shard", "I/N"}, {"--truth", "FILE"}, {"--rate", "HZ"}, {"--count", "N"}, {"--duration", "SECONDS"}, {"--replay", "FILE"}, {"--gpx", "FILE"}, {"--gpx-route", "NAME"}, {"--gpx-track", "NAME"}, {"--record-gpx", "FILE"}, {"--speedup", "FACTOR"}, {"--port", "PORT"}, {"--baud", "BAUD"}, {"--pty", "LINK"},
        {"--tcp", "PORT"}, {"--udp", "HOST:PORT"}, {"--udp-broadcast", "PORT"}, {"--udp-ttl", "HOPS"},
        {"--tcp-connect", "HOST:PORT"}, {"--listen-udp", "[ADDR:]PORT"}, {"--autopilot-timeout", "SECONDS"}, {"--http", "[ADDR:]PORT"}, {"--seed", "N"}, {"--outage", "START+LENGTH"}, {"--freeze", "START+LENGTH"},
        {"--drop", "P"}, {"--corrupt", "P"}, {"--truncate", "P"}, {"--garbage", "P"}, {"--jitter", "MS"},
        {"--noise", "METRES"}, {"--extra", "SENTENCE"}, {"--bind", "ADDR"}, {"--tcp-max-clients", "N"}, {"--tcp-idle", "SECONDS"}, {"--skyplot", "FILE"},
        {"--skyplot-radius", "PIXELS"}, {"--save-satellites", "FILE"}, {"--save-waypoints", "FILE"},
        {"--save-route", "FILE"}, {"--profile", "nmea4|classic"}, {"--gnss", "SYSTEMS"},
        {"--elevation-mask", "DEG"}, {"--almanac", "FILE"}, {"--talker", "GP|GN"}, {"--route-interval", "SECONDS"},
        {"--arrival-radius", "NM"}, {"--depth", "METRES"}, {"--depth-profile", "WAYPOINT=METRES,..."}, {"--instrument-rate", "INSTRUMENT=RATE,..."}, {"--transducer-offset", "METRES"},
        {"--wind", "DEG,KNOTS[,GUSTS]"}, {"--current", "SET,DRIFT"}, {"--leeway", "DEG"}, {"--water-temperature", "CELSIUS"}, {"--instrument-talker", "XX"}};
    static const std::set<std::string> kShownDefaults = {
        "--rate", "--count", "--speedup", "--bind", "--tcp-max-clients", "--tcp-idle", "--skyplot-radius", "--profile", "--gnss",
        "--elevation-mask", "--route-interval", "--arrival-radius"};
    for (CLI::Option* option : app.get_options()) {
        const std::string name = option->get_name(false, true);
        if (const auto found = kValueNames.find(name); found != kValueNames.end()) {
            option->type_name(found->second);
        }
        if (kShownDefaults.contains(name)) {
            option->capture_default_str();
        }
    }
    return made;
}

}  // namespace kovra::app
