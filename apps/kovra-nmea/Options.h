// Command-line options of kovra-nmea and the parsing of their values.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/run/Errors.h"
#include "ScenarioFile.h"
#include "engine/faults/Faults.h"
#include "engine/receiver/Instruments.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra::app {

// A bad option or value: exit status 2, before anything is written.
using UsageError = engine::SettingError;
// An output that cannot be opened or written: exit status 1.
using OutputError = engine::OutputError;
using engine::Printable;

struct Options {
    // State.
    std::optional<std::string> lat, lon, magVar, time, satellitesFile, waypointsFile, route, routeFile;
    std::optional<double> alt, geoid, speed, heading, magHeading, pdop, hdop, vdop;
    std::optional<int> fix;
    std::vector<std::string> sats, waypoints;
    // Pacing and motion.
    std::optional<std::string> sentences;  // the profile's own default when not given
    std::optional<double> rateOption;
    double rate = 1;  // from rateOption, or the receiver model's as shipped
    std::string countText = "0";
    std::uint64_t count = 0;  // from countText
    bool noMove = false, followRoute = false, loop = false;
    bool autopilot = false;        // steers by the autopilot sentences its consumers send
    double autopilotTimeout = 5;   // seconds of silence after which it holds its course
    double speedup = 1;
    // Scenarios from files.
    std::optional<std::string> scenario, dumpScenario;
    std::string name = "vessel 1";          // the first vessel's, for the events and the truth
    std::vector<FileEvent> events;        // the scenario file's
    std::vector<Options> moreVessels;     // the scenario's further vessels, each with the run's options
    std::optional<std::string> shard;     // "I/N": the vessels whose index is I modulo N
    std::optional<std::string> replay, gpx, gpxRoute, gpxTrack, recordGpx, truth;
    bool replayCheck = false;
    std::optional<double> duration;
    bool fast = false;
    // Outputs.
    std::optional<std::string> port, ptyLink, skyplot, saveSatellites, saveWaypoints, saveRoute;
    bool pty = false;
    std::optional<int> baudOption;
    int baud = 4800;  // from baudOption, or the profile's default
    std::vector<std::string> tcpTexts;  // PORT[@KINDS] each
    std::string bind = "127.0.0.1";
    // An output's own sentence list, after "@"; none carries the run's.
    std::optional<std::vector<std::string>> portKinds, ptyKinds;
    struct Destination {
        std::string target;
        std::optional<std::vector<std::string>> kinds;
    };
    std::vector<std::string> udpTexts, udpBroadcastTexts, tcpConnectTexts;
    std::optional<std::string> listenUdp;  // [ADDR:]PORT for commands
    std::vector<Destination> udp, udpBroadcast, tcpConnect, tcp;  // from the texts; tcp's target a port
    std::optional<std::string> http;  // [ADDR:]PORT of the live view
    std::string httpAddress = "127.0.0.1";
    int httpPort = 0;
    bool httpReadOnly = false;
    bool udpBatch = false;
    int udpTtl = 1;
    // The kinds the run's --sentences gives, and those generated (with every output's own).
    std::vector<std::string> runKinds, generatedKinds;
    // Faults.
    std::optional<std::string> seedText;
    std::optional<std::uint64_t> seed;  // from seedText
    std::vector<std::string> outages, freezes, extra;
    double drop = 0, corrupt = 0, truncate = 0, garbage = 0, jitter = 0, noise = 0;
    int tcpMaxClients = 64;
    double tcpIdle = 30;  // seconds a client may take nothing before a newcomer takes its place
    bool threaded = false;
    int skyplotRadius = 150;
    bool verbose = false;
    bool manPage = false, bashCompletion = false;  // print one and exit
    // The realistic receiver.
    std::string profile = "nmea4";
    std::optional<std::string> gnss;          // the model's systems when not given
    std::string receiver = "nmea4";           // the receiver model of the nmea4 profile, or "list"
    std::vector<std::string> receiverSettings;  // KEY=VALUE, as the model names its settings
    std::string start = "fixed";              // cold, warm, hot: from power-on; fixed: a fix at once
    std::optional<std::string> leapSecond;    // the day at whose end a leap second is inserted
    std::optional<int> weekBase;              // the first GPS week the firmware's dates count from
    bool sbasCorrections = false;             // the SBAS corrections are received
    double elevationMask = 5;
    std::optional<std::string> almanacFile, talker;
    std::optional<double> trueHeading;
    std::optional<double> rateOfTurn, acceleration, climbRate;  // the vessel's limits; its kind's default when not given
    std::string kind = "vessel";    // vessel, car, pedestrian, aircraft or fixed
    std::vector<std::string> legs;  // its motion, leg after leg, as --leg takes them
    std::optional<std::string> ais;        // its AIS station, as --ais takes it
    std::vector<std::string> aisTargets;   // the run's quick AIS targets, as --ais-target takes them
    std::optional<std::string> aisFaults;  // what goes wrong with AIS messages, as --ais-faults takes it
    double routeInterval = 10;
    double arrivalRadius = 0.1;  // nautical miles
    // The vessel's instruments.
    std::optional<double> depth, transducerOffset, waterTemperature;
    std::optional<std::string> depthProfile;     // "HARBOUR=4.5,BUOY=20": soundings at the route's waypoints
    std::optional<std::string> instrumentRates;  // "compass=10,sounder=0.5"
    std::optional<std::string> wind, instrumentTalker;
    std::optional<std::string> current;  // "SET,DRIFT"
    double leeway = 0;

    bool Realistic() const { return profile == "nmea4"; }
    // Whether any output is given (otherwise the updates go to standard output).
    bool HasOutputs() const;
    // Whether the serial port carries AIS alone (its list names only VDM and VDO).
    bool AisOnlyPort() const;

    // True when any option describes the state, so the built-in scenario is not used.
    bool HasStateOption() const;
};

// What main() should do after parsing.
struct ParseResult {
    Options options;
    std::optional<int> exitNow;  // --help, --version or a parse error, already reported
};

// Parses and checks every option, so that a bad one is refused before
// anything is opened or written.
ParseResult ParseCommandLine(int argc, char** argv);

// The faults the options ask for, and whether they ask for any.
engine::FaultSettings FaultsFrom(const Options& options);
bool HasFaults(const Options& options);

// Throws UsageError for a value out of range or a file name that cannot be used.
void CheckOptions(Options& options);


// Degrees, minutes and seconds with a hemisphere.
struct Coordinate {
    std::int32_t degree = 0;
    std::int32_t minute = 0;
    Extended second = 0;
    TCardinalPoint direction = TCardinalPoint::cpNorth;
};

// "48:07:02.28N", "011:31:00E" or signed decimal degrees ("-33.865"); a
// position beyond 90 (180) degrees in all is refused.
Coordinate ParseCoordinate(const std::string& text, bool latitude, const std::string& option);
// "2002-07-04T20:15:30.123Z", years 1900 to 9999.
TDateTime ParseTime(const std::string& text);
// "2026-12-31", the start of that day.
TDateTime ParseDay(const std::string& text);
// "I/N" of --shard: I from 0 to N - 1.
std::pair<std::size_t, std::size_t> ParseShard(const std::string& text);
// "270,15": the true wind, from 270° at 15 knots.
engine::Wind ParseWind(const std::string& text);
// The systems as options and files name them.
inline constexpr std::pair<std::string_view, engine::Gnss> kSystemNames[] = {
    {"gps", engine::Gnss::Gps}, {"glonass", engine::Gnss::Glonass}, {"galileo", engine::Gnss::Galileo},
    {"beidou", engine::Gnss::BeiDou}};

// "compass=10,sounder=0.5": updates a second of each instrument named; 0 for the others.
std::array<double, engine::instruments::kInstrumentCount> ParseInstrumentRates(const std::string& text);
// "HARBOUR=4.5,BUOY=20": the soundings at waypoints, metres.
std::vector<engine::Sounding> ParseDepthProfile(const std::string& text);
// "90,1.5": a current flowing toward 090° at 1.5 knots.
engine::Water ParseCurrent(const std::string& text);
// A leg of --leg: "course=90,speed=6,for=60", "goto=BUOY", "route=DEPART,speed=8";
// UsageError naming what is wrong.
engine::Leg ParseLeg(const std::string& text);
// The limits of a kind of vehicle, for the realistic receiver.
engine::Dynamics DynamicsOfKind(const std::string& kind);
// "lose_fragment=0.1,fill=0.05": the AIS faults' chances; UsageError naming what is wrong.
engine::AisChances ParseAisFaults(const std::string& text);
// "A,B,C" of a list.
std::string Joined(const std::vector<std::string>& items);
// A number as people write it: 0.5, 10, 1e9.
std::string Shown(double value);

}  // namespace kovra::app
