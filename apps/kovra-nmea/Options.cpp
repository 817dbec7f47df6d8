#include "Options.h"

#include "AisOptions.h"
#include "CommandLine.h"
#include "Fleet.h"
#include "Manual.h"

#include <sys/socket.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <cstdio>
#include <iostream>
#include <limits>
#include <map>
#include <set>

#include "ValueScanner.h"
#include "engine/Simulator.h"
#include "engine/outputs/Network.h"
#include "engine/receiver/Models.h"
#include "engine/receiver/SentenceKinds.h"
#include "files/DataFile.h"
#include "foundation/Names.h"
#include "foundation/Validation.h"
#include "nmea/Format.h"
#include "foundation/BuildProfile.h"
#include "foundation/Text.h"
#include "nmea/Format.h"

namespace kovra::app {

namespace {

double ParseNumber(const std::string& text, const std::string& what) {
    double value = 0;
    const char* begin = text.data() + (!text.empty() && text.front() == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        throw UsageError("malformed " + what + " " + QuotedValue(text));
    }
    return value;
}

// Each field may be in range while the whole is not: 90:59:59N, 180.5. A
// degree beyond the limit is left to the library's own message.
void RequireWithinLimit(const Coordinate& c, const std::string& text, bool latitude, const std::string& option) {
    const std::int32_t limit = latitude ? 90 : 180;
    if (c.degree == limit && (c.minute != 0 || c.second != 0)) {
        throw UsageError("position " + QuotedValue(text) + " for " + option + " is beyond " + std::to_string(limit) +
                         " degrees");
    }
}

// A whole number from 0 to 2^64 - 1, digits only; none otherwise.
std::optional<std::uint64_t> WholeNumber(const std::string& text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.front() == '-' || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::uint64_t ParseCount(const std::string& text) {
    const std::optional<std::uint64_t> count = WholeNumber(text);
    if (!count) {
        throw UsageError("malformed count " + QuotedValue(text) + " for --count (a whole number; 0 runs until interrupted)");
    }
    return *count;
}

void RequireFileName(const std::optional<std::string>& name, const std::string& option) {
    if (!name) {
        return;
    }
    try {
        (void)ToPath(FileNameFromUtf8(*name));
    } catch (const EKovraNMEAException& e) {
        throw UsageError(option + ": " + e.what());
    }
}

engine::Profile ProfileOf(const Options& o) { return o.Realistic() ? engine::Profile::Nmea4 : engine::Profile::Classic; }

// What the receiver sends unless told: its model's sentences, or the profile's.
std::vector<std::string> DefaultKinds(const Options& o) {
    const engine::ReceiverModel* model = o.Realistic() ? engine::FindReceiverModel(o.receiver) : nullptr;
    if (model == nullptr || model->sentences.empty()) {
        return engine::DefaultKindsOf(ProfileOf(o));
    }
    return {model->sentences.begin(), model->sentences.end()};
}

// A comma list of kinds ("rmc,GPGGA", "ALL") as the profile names them.
std::vector<std::string> KindList(const Options& o, const std::string& text, const std::string& option) {
    try {
        return engine::ParseKindList(text, ProfileOf(o), o.receiver);
    } catch (const UsageError& e) {
        throw UsageError(option + ": " + e.what());
    }
}

// "TARGET@KINDS": the target, and the output's own list when given.
std::pair<std::string, std::optional<std::vector<std::string>>> SplitKinds(const Options& o, const std::string& text,
                                                                           const std::string& option) {
    const std::size_t at = text.rfind('@');
    if (at == std::string::npos) {
        return {text, std::nullopt};
    }
    return {text.substr(0, at), KindList(o, text.substr(at + 1), option)};
}

int PortNumber(const std::string& text, const std::string& option) {
    char* end = nullptr;
    const long port = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || port < 1 || port > 65535) {
        throw UsageError(option + ": port " + QuotedValue(text) + " is not from 1 to 65535");
    }
    return static_cast<int>(port);
}

// Each output's own sentence list, and the kinds the run generates: its
// --sentences and every output's own.
void SplitOutputLists(Options& o) {
    if (o.port) {
        std::tie(o.port, o.portKinds) = SplitKinds(o, *o.port, "--port");
    }
    if (o.ptyLink) {
        std::tie(o.ptyLink, o.ptyKinds) = SplitKinds(o, *o.ptyLink, "--pty");
    }
    const auto destinations = [&o](const std::vector<std::string>& texts, const std::string& option) {
        std::vector<Options::Destination> list;
        for (const std::string& text : texts) {
            auto [target, kinds] = SplitKinds(o, text, option);
            list.push_back({target, kinds});
        }
        return list;
    };
    o.udp = destinations(o.udpTexts, "--udp");
    o.udpBroadcast = destinations(o.udpBroadcastTexts, "--udp-broadcast");
    o.tcpConnect = destinations(o.tcpConnectTexts, "--tcp-connect");
    o.tcp = destinations(o.tcpTexts, "--tcp");
    for (const Options::Destination& d : o.udpBroadcast) {
        (void)PortNumber(d.target, "--udp-broadcast");
    }
    for (const Options::Destination& d : o.tcp) {
        (void)PortNumber(d.target, "--tcp");
    }
    o.runKinds = o.sentences ? KindList(o, *o.sentences, "--sentences") : DefaultKinds(o);
    o.generatedKinds = o.runKinds;
    const auto add = [&o](const std::optional<std::vector<std::string>>& kinds) {
        for (const std::string& kind : kinds.value_or(std::vector<std::string>{})) {
            if (std::find(o.generatedKinds.begin(), o.generatedKinds.end(), kind) == o.generatedKinds.end()) {
                o.generatedKinds.push_back(kind);
            }
        }
    };
    add(o.portKinds);
    add(o.ptyKinds);
    for (const auto* list : {&o.udp, &o.udpBroadcast, &o.tcpConnect, &o.tcp}) {
        for (const Options::Destination& d : *list) {
            add(d.kinds);
        }
    }
}

}  // namespace

engine::FaultSettings FaultsFrom(const Options& o) {
    engine::FaultSettings faults;
    faults.seed = o.seed.value_or(1);
    for (const std::string& window : o.outages) {
        faults.outages.push_back(engine::ParseTimeWindow(window));
    }
    for (const std::string& window : o.freezes) {
        faults.freezes.push_back(engine::ParseTimeWindow(window));
    }
    faults.drop = o.drop;
    faults.corrupt = o.corrupt;
    faults.truncate = o.truncate;
    faults.garbage = o.garbage;
    faults.jitterMs = o.jitter;
    faults.noiseMetres = o.noise;
    faults.extra = o.extra;
    if (o.aisFaults) {
        faults.ais = ParseAisFaults(*o.aisFaults);
    }
    return faults;
}

bool HasFaults(const Options& o) {
    return !o.outages.empty() || !o.freezes.empty() || o.drop > 0 || o.corrupt > 0 || o.truncate > 0 ||
           o.garbage > 0 || o.jitter > 0 || o.noise > 0 || !o.extra.empty() ||
           (o.aisFaults && ParseAisFaults(*o.aisFaults).Any());
}

std::string Shown(double value) {
    char text[32];
    std::string shown(text, std::to_chars(text, text + sizeof text, value).ptr);
    if (const std::size_t e = shown.find("e+"); e != std::string::npos) {
        shown.erase(e + 1, shown[e + 2] == '0' ? 2 : 1);  // 1e9, as people write it
    }
    return shown;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) {
        text += (text.empty() ? "" : ",") + item;
    }
    return text;
}

void CheckOptions(Options& o) {
    if (!o.Realistic() && o.receiver != "nmea4") {
        throw UsageError("--receiver " + o.receiver + ": a receiver model speaks in the nmea4 profile, not the classic one");
    }
    if (!o.Realistic() && (o.leapSecond || o.weekBase)) {
        throw UsageError(std::string(o.leapSecond ? "--leap-second" : "--week-base") +
                         ": the classic profile sends the time given as it is");
    }
    if (!o.Realistic() && o.start != "fixed") {
        throw UsageError("--start " + o.start + ": the classic profile sends the state given from the first update");
    }
    if (const engine::ReceiverModel* model = engine::FindReceiverModel(o.receiver)) {
        try {
            (void)engine::ConfigurationOf(*model, o.receiverSettings);
        } catch (const engine::SettingError& e) {
            throw UsageError(std::string("--receiver-setting: ") + e.what());
        }
        o.rate = o.rateOption.value_or(o.Realistic() ? model->defaultRate : 1);
        if (o.Realistic() && o.rate > model->mostRate) {
            throw UsageError("--rate " + Shown(o.rate) + ": the " + o.receiver +
                             " receiver sends at most " + Shown(model->mostRate) + " updates a second");
        }
    }
    o.count = ParseCount(o.countText);
    if (o.seedText) {
        o.seed = WholeNumber(*o.seedText);
        if (!o.seed) {
            throw UsageError("malformed seed " + QuotedValue(*o.seedText) + " for --seed (a whole number from 0 to " +
                             std::to_string(std::numeric_limits<std::uint64_t>::max()) + ")");
        }
    }
    // A realistic update of four systems needs the faster line.
    o.baud = o.baudOption.value_or(o.Realistic() ? 9600 : 4800);
    SplitOutputLists(o);
    if (o.AisOnlyPort() && !o.baudOption) {
        o.baud = 38'400;  // an AIS line's rate, as transponders and plotters set theirs
    }
    if (!validation::IsSkyPlotRadius(o.skyplotRadius)) {
        throw UsageError("--skyplot-radius must be between 1 and 32767");
    }
    if (o.replay && (o.HasStateOption() || o.followRoute || o.noMove)) {
        throw UsageError("--replay sends the log as recorded; state and motion options do not apply to it");
    }
    if (o.gpxTrack && (o.followRoute || o.noMove || o.lat || o.lon || o.speed || o.heading || !o.legs.empty())) {
        throw UsageError("--gpx-track sails the track as recorded; position and motion options do not apply to it");
    }
    if (o.replay && (!o.outages.empty() || !o.freezes.empty() || o.noise > 0)) {
        throw UsageError("--outage, --freeze and --noise change the receiver's state; a replay sends the log as "
                         "recorded (--drop, --corrupt, --truncate, --garbage, --jitter and --extra apply to it)");
    }
    if (o.ptyLink && o.ptyLink->empty()) {
        o.ptyLink.reset();  // --pty alone: the terminal's own path is printed
    }
    if (o.http) {
        const std::size_t colon = o.http->rfind(':');
        std::string address = colon == std::string::npos ? "127.0.0.1" : o.http->substr(0, colon);
        if (address.size() > 1 && address.front() == '[' && address.back() == ']') {
            address = address.substr(1, address.size() - 2);
        }
        o.httpAddress = address;
        o.httpPort = PortNumber(colon == std::string::npos ? *o.http : o.http->substr(colon + 1), "--http");
    }
    const std::pair<const std::optional<std::string>*, const char*> files[] = {
        {&o.satellitesFile, "--satellites"},     {&o.waypointsFile, "--waypoints"},
        {&o.routeFile, "--route-file"},          {&o.saveSatellites, "--save-satellites"},
        {&o.saveWaypoints, "--save-waypoints"},  {&o.saveRoute, "--save-route"},
        {&o.recordGpx, "--record-gpx"},          {&o.gpx, "--gpx"},
        {&o.skyplot, "--skyplot"},              {&o.scenario, "--scenario"},
        {&o.dumpScenario, "--dump-scenario"},   {&o.truth, "--truth"},
    };
    for (const auto& [file, option] : files) {
        RequireFileName(*file, option);
    }
}

bool Options::HasOutputs() const {
    return port || pty || !tcp.empty() || !udp.empty() || !udpBroadcast.empty() || !tcpConnect.empty();
}

bool Options::AisOnlyPort() const {
    return port && portKinds && !portKinds->empty() &&
           std::all_of(portKinds->begin(), portKinds->end(), [](const std::string& k) { return k == "VDM" || k == "VDO"; });
}

bool Options::HasStateOption() const {
    return lat || lon || magVar || time || satellitesFile || waypointsFile || route || routeFile || alt || geoid ||
           speed || heading || magHeading || pdop || hdop || vdop || fix || !sats.empty() || !waypoints.empty() || gpx;
}

namespace {

// "DDD:MM:SS.ss" and its hemisphere, when the text has that form.
struct DmsText {
    std::string_view degree, minute, second;
    char hemisphere = 0;
};

std::optional<DmsText> ScanDms(std::string_view text) {
    ValueScanner scan(text);
    const auto degree = scan.Digits(1, 3);
    if (!degree || !scan.Take(':')) return std::nullopt;
    const auto minute = scan.Digits(1, 2);
    if (!minute || !scan.Take(':')) return std::nullopt;
    const auto second = scan.Decimal(2);
    const auto hemisphere = second ? scan.TakeOneOf("NSEWnsew") : std::nullopt;
    if (!hemisphere || !scan.AtEnd()) return std::nullopt;
    return DmsText{*degree, *minute, *second,
                   static_cast<char>(std::toupper(static_cast<unsigned char>(*hemisphere)))};
}

int Whole(std::string_view digits) {
    int value = 0;
    (void)std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

// "54:19.2N" (degrees and decimal minutes) or "54.32N" (decimal degrees and
// the hemisphere), as charts write them: the signed decimal degrees; none
// for text of another form.
std::optional<double> ChartDegrees(const std::string& text, bool latitude, const std::string& malformed) {
    const char hemisphere = text.empty() ? 0 : text.back();
    if (std::string_view("NSEW").find(hemisphere) == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string body = text.substr(0, text.size() - 1);
    const std::size_t colon = body.find(':');
    if (colon != std::string::npos && body.find(':', colon + 1) != std::string::npos) {
        return std::nullopt;  // degrees, minutes and seconds
    }
    if ((hemisphere == 'N' || hemisphere == 'S') != latitude) {
        throw UsageError(malformed + " (" + (latitude ? "N or S" : "E or W") + " expected)");
    }
    const auto unsigned_number = [&](std::string_view part) {
        double value = -1;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || part.front() == '-' || error != std::errc() || end != part.data() + part.size() ||
            !std::isfinite(value)) {
            throw UsageError(malformed);
        }
        return value;
    };
    double degrees = 0;
    if (colon == std::string::npos) {
        degrees = unsigned_number(body);
    } else {
        const std::string_view whole = std::string_view(body).substr(0, colon);
        const double minutes = unsigned_number(std::string_view(body).substr(colon + 1));
        if (whole.find('.') != std::string_view::npos || minutes >= 60) {
            throw UsageError(malformed);
        }
        degrees = unsigned_number(whole) + minutes / 60;
    }
    return hemisphere == 'S' || hemisphere == 'W' ? -degrees : degrees;
}

}  // namespace

Coordinate ParseCoordinate(const std::string& text, bool latitude, const std::string& option) {
    const std::string malformed = "malformed position " + QuotedValue(text) + " for " + option;
    Coordinate c;
    if (const std::optional<DmsText> dms = ScanDms(text)) {
        const char hemisphere = dms->hemisphere;
        if ((hemisphere == 'N' || hemisphere == 'S') != latitude) {
            throw UsageError(malformed + " (" + (latitude ? "N or S" : "E or W") + " expected)");
        }
        c.degree = Whole(dms->degree);
        c.minute = Whole(dms->minute);
        c.second = ParseNumber(std::string(dms->second), "position");
        c.direction = hemisphere == 'N'   ? TCardinalPoint::cpNorth
                      : hemisphere == 'S' ? TCardinalPoint::cpSouth
                      : hemisphere == 'E' ? TCardinalPoint::cpEast
                                          : TCardinalPoint::cpWest;
        RequireWithinLimit(c, text, latitude, option);
        return c;
    }
    double decimal = 0;
    if (const std::optional<double> chart = ChartDegrees(text, latitude, malformed)) {
        decimal = *chart;
    } else {
        try {
            decimal = ParseNumber(text, "position");
        } catch (const UsageError&) {
            throw UsageError(malformed);
        }
    }
    if (std::fabs(decimal) > 1e6) {
        throw UsageError(malformed);
    }
    // The library's conversions count west as negative, as this option does.
    if (latitude) {
        TKovraNMEAGenerator::LatitudeDecimalDegreesToDMS(decimal, c.degree, c.minute, c.second, c.direction);
    } else {
        TKovraNMEAGenerator::LongitudeDecimalDegreesToDMS(decimal, c.degree, c.minute, c.second, c.direction);
    }
    // Truncation may leave a hair below 60 as exactly 60 after rounding.
    if (c.second >= 60) {
        c.second = std::nextafter(Extended(60), Extended(0));
    }
    RequireWithinLimit(c, text, latitude, option);
    return c;
}

TDateTime ParseTime(const std::string& text) {
    // 2002-07-04T20:15:30.123Z: the fraction and the Z may be left out.
    ValueScanner scan(text);
    std::optional<std::string_view> fields[7];
    const char separators[] = {'-', '-', 0, ':', ':'};
    bool wellFormed = true;
    for (int i = 0; i < 6 && wellFormed; ++i) {
        fields[i] = scan.Digits(i == 0 ? 4 : 2, i == 0 ? 4 : 2);
        wellFormed = fields[i].has_value() &&
                     (i == 5 || (i == 2 ? scan.TakeOneOf("T ").has_value() : scan.Take(separators[i])));
    }
    if (wellFormed && scan.Take('.')) {
        fields[6] = scan.Digits(1, 3);
        wellFormed = fields[6].has_value();
    }
    if (wellFormed) {
        (void)scan.Take('Z');
        wellFormed = scan.AtEnd();
    }
    if (!wellFormed) {
        throw UsageError("malformed time " + QuotedValue(text) + " for --time (expected like 2002-07-04T20:15:30.123Z)");
    }
    const int year = Whole(*fields[0]), month = Whole(*fields[1]), day = Whole(*fields[2]);
    if (year < 1900) {
        throw UsageError("time '" + text + "' for --time must lie in the years 1900 to 9999");
    }
    const int hour = Whole(*fields[3]), minute = Whole(*fields[4]), second = Whole(*fields[5]);
    std::string fraction(fields[6].value_or("0"));
    fraction.resize(3, '0');
    const int millisecond = Whole(fraction);
    const TDateTime value = EncodeDateTime(year, month, day, hour, minute, second, millisecond);
    if (month < 1 || month > 12 || hour > 23 || minute > 59 || second > 59 ||
        DecodeDateTime(value) != DecodedDateTime{year, month, day, hour, minute, second, millisecond}) {
        throw UsageError("time '" + text + "' for --time is not a valid date and time");
    }
    return value;
}

TDateTime ParseDay(const std::string& text) {
    ValueScanner scan(text);
    const std::optional<std::string_view> year = scan.Digits(4, 4);
    const bool first = year && scan.Take('-');
    const std::optional<std::string_view> month = first ? scan.Digits(2, 2) : std::nullopt;
    const bool second = month && scan.Take('-');
    const std::optional<std::string_view> day = second ? scan.Digits(2, 2) : std::nullopt;
    if (!day || !scan.AtEnd()) {
        throw UsageError("malformed day " + QuotedValue(text) + " (expected like 2026-12-31)");
    }
    const int y = Whole(*year), m = Whole(*month), d = Whole(*day);
    const TDateTime value = EncodeDateTime(y, m, d);
    if (y < 1900 || m < 1 || m > 12 || DecodeDateTime(value) != DecodedDateTime{y, m, d, 0, 0, 0, 0}) {
        throw UsageError("day " + QuotedValue(text) + " is not a date from 1900 to 9999");
    }
    return value;
}


namespace {

// Options whose values name files: in a scenario file relative to its folder.
constexpr std::string_view kFileOptions[] = {"--almanac",     "--gpx",          "--satellites",      "--waypoints",
                                             "--route-file",  "--replay",       "--record-gpx",      "--save-satellites",
                                             "--save-waypoints", "--save-route", "--skyplot",        "--pty", "--truth"};

bool NamesFile(const std::string& option) {
    return std::find(std::begin(kFileOptions), std::end(kFileOptions), option) != std::end(kFileOptions);
}

// A file's name as the scenario in `folder` gives it, as seen from here.
std::string FromFolder(const std::string& name, const std::filesystem::path& folder) {
    const std::filesystem::path path(name);
    return name.empty() || path.is_absolute() || folder.empty() ? name : (folder / path).lexically_normal().string();
}

// A name as seen from here, as a scenario in `folder` gives it.
std::string ToFolder(const std::string& name, const std::filesystem::path& folder) {
    const std::filesystem::path path(name);
    if (name.empty() || path.is_absolute() || folder.empty()) {
        return name;
    }
    return std::filesystem::absolute(path).lexically_proximate(std::filesystem::absolute(folder)).string();
}

// Options that set what another sets, counted as that one.
constexpr std::pair<const char*, const char*> kOtherNames[] = {{"--course", "--heading"}};

bool GivenOn(const CLI::App& app, const std::string& option) {
    return app.count(option) > 0 || std::any_of(std::begin(kOtherNames), std::end(kOtherNames), [&](const auto& other) {
               return option == other.second && app.count(other.first) > 0;
           });
}

// Values the run reads only as it starts, read now so that a file's are
// told with their place: positions and the start, the network's addresses.
void ReadAhead(const FileArgument& argument) {
    if (!argument.value) {
        return;
    }
    const std::string& value = *argument.value;
    const bool latitude = argument.option == "--lat";
    if (latitude || argument.option == "--lon") {
        const Coordinate c = ParseCoordinate(value, latitude, argument.option);
        TKovraNMEAGenerator gps;
        try {
            latitude ? gps.Latitude_Degree(c.degree) : gps.Longitude_Degree(c.degree);
        } catch (const EKovraNMEAException& e) {
            throw UsageError(e.what());  // the library's own message
        }
    } else if (argument.option == "--time") {
        (void)ParseTime(value);
    } else if (argument.option == "--udp" || argument.option == "--tcp-connect") {
        (void)engine::ResolveEndpoint(value.substr(0, value.rfind('@')),
                                      argument.option == "--udp" ? SOCK_DGRAM : SOCK_STREAM);
    }
}

// The options a value is read in the light of: the profile's words for
// sentence kinds, the receiver model's settings.
constexpr std::string_view kContextOptions[] = {"--profile", "--receiver"};

// A file's value checked alone by its option's rules (and its context);
// what goes together is checked for the whole run.
void CheckAlone(const FileArgument& argument, const std::vector<std::string>& context) {
    Options scratch;
    const std::unique_ptr<CLI::App> app = MakeApp(scratch);
    const std::string text = argument.Text();
    std::vector<const char*> argv{"kovra-nmea", text.c_str()};
    for (const std::string& given : context) {
        if (!given.starts_with(argument.option + "=")) {
            argv.push_back(given.c_str());
        }
    }
    const auto fail = [&](std::string message) {
        const std::string named = argument.option + ": ";
        if (message.starts_with(named)) {
            message.erase(0, named.size());
        }
        throw UsageError(argument.where + ": " + argument.key + ": " + message);
    };
    try {
        app->parse(static_cast<int>(argv.size()), argv.data());
        scratch.pty = app->count("--pty") > 0;
        CheckOptions(scratch);
        ReadAhead(argument);
    } catch (const CLI::RequiresError&) {
    } catch (const CLI::ExcludesError&) {
    } catch (const CLI::ParseError& e) {
        fail(e.what());
    } catch (const UsageError& e) {
        fail(e.what());
    }
}

// The file's values the command line does not override, each checked,
// then the command line itself.
void Rebase(std::vector<FileArgument>& arguments, const std::filesystem::path& folder) {
    for (FileArgument& argument : arguments) {
        if (argument.value && NamesFile(argument.option)) {
            argument.value = FromFolder(*argument.value, folder);
        }
    }
}

std::vector<std::string> WithScenario(const CLI::App& given, ScenarioFile file, const std::filesystem::path& folder,
                                      int argc, char** argv) {
    Rebase(file.arguments, folder);
    std::vector<std::string> context;
    for (const std::string_view option : kContextOptions) {
        const std::string name(option);
        if (GivenOn(given, name)) {
            context.push_back(name + "=" + given.get_option(name)->results().front());
            continue;
        }
        for (const FileArgument& argument : file.arguments) {
            if (argument.option == option) {
                context.push_back(argument.Text());
            }
        }
    }
    std::vector<std::string> arguments{argv[0]};
    for (const FileArgument& argument : file.arguments) {
        if (!GivenOn(given, argument.option)) {
            CheckAlone(argument, context);
            arguments.push_back(argument.Text());
        }
    }
    for (const FileEvent& event : file.events) {
        for (const FileArgument& check : event.checks) {
            CheckAlone(check, context);
        }
    }
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    return arguments;
}

// Each event's vessel exists and its time lies in the run: a UTC time
// becomes seconds from the start.
void ResolveEvents(Options& o) {
    if (o.replay && !o.events.empty()) {
        throw UsageError(o.events.front().where + ": a replay sends the log as recorded; events do not apply to it");
    }
    std::vector<std::string> names{o.name};
    for (const Options& vessel : o.moreVessels) {
        names.push_back(vessel.name);
    }
    for (FileEvent& event : o.events) {
        const auto named = std::find_if(names.begin(), names.end(), [&](const std::string& n) { return SameName(n, event.vessel); });
        if (!SameName(event.vessel, "all") && named == names.end()) {
            std::string list;
            for (const std::string& name : names) {
                list += (list.empty() ? "" : ", ") + QuotedValue(name);
            }
            throw UsageError(event.where + ": no vessel named " + QuotedValue(event.vessel) + " (the scenario has " +
                             list + ")");
        }
        event.vesselIndex = SameName(event.vessel, "all") ? -1 : static_cast<int>(named - names.begin());
        if (!event.time) {
            continue;
        }
        if (!o.time) {
            throw UsageError(event.where + ": an event at a UTC time needs the scenario's start");
        }
        TDateTime at = 0;
        try {
            at = ParseTime(*event.time);
        } catch (const UsageError& e) {
            throw UsageError(event.where + ": " + e.what());
        }
        const double seconds = std::round((at - ParseTime(*o.time)) * 86'400'000.0) / 1000.0;
        if (seconds < 0) {
            throw UsageError(event.where + ": " + QuotedValue(*event.time) + " is before the start, " +
                             QuotedValue(*o.time));
        }
        event.seconds = seconds;
    }
}

// The options given, as a scenario file names them.
std::vector<GivenOption> GivenOptions(const CLI::App& app, const std::filesystem::path& folder) {
    std::vector<GivenOption> given;
    for (const std::string& option : ScenarioOptions()) {
        const auto other = std::find_if(std::begin(kOtherNames), std::end(kOtherNames),
                                        [&](const auto& names) { return option == names.second; });
        for (const std::string& name : {option, std::string(other != std::end(kOtherNames) ? other->first : "")}) {
            if (!name.empty() && app.count(name) > 0) {
                given.push_back({option, app.get_option(name)->results()});
                if (NamesFile(option)) {
                    for (std::string& value : given.back().values) {
                        value = ToFolder(value, folder);
                    }
                }
            }
        }
    }
    return given;
}

// The options as the command line writes them: "--rate=2", "--fast".
std::vector<std::string> ArgumentsOf(const CLI::App& app, const std::vector<GivenOption>& given) {
    std::vector<std::string> arguments;
    for (const GivenOption& option : given) {
        if (app.get_option(option.option)->get_expected_max() == 0 || option.values.empty()) {
            arguments.push_back(option.option);
        }
        for (const std::string& value : app.get_option(option.option)->get_expected_max() == 0 ? std::vector<std::string>{} : option.values) {
            arguments.push_back(option.option + "=" + value);
        }
    }
    return arguments;
}

// A further vessel: the run's options as the first vessel's parse gave
// them, then its own, each checked as the first vessel's are.
struct Further {
    Options options;
    std::vector<GivenOption> own;  // for a dump
};

Further FurtherVessel(const CLI::App& first, std::vector<FileArgument> own, std::size_t index,
                      const std::filesystem::path& folder, bool check) {
    Rebase(own, folder);
    std::vector<GivenOption> run;
    for (const GivenOption& option : GivenOptions(first, "")) {
        if (RunOption(option.option)) {
            run.push_back(option);
        }
    }
    std::vector<std::string> arguments = ArgumentsOf(first, run);
    arguments.insert(arguments.begin(), "kovra-nmea");
    std::vector<std::string> context;
    bool named = false;
    for (const FileArgument& argument : own) {
        if (std::find(std::begin(kContextOptions), std::end(kContextOptions), argument.option) !=
            std::end(kContextOptions)) {
            context.push_back(argument.Text());
        }
        named = named || argument.option == "--name";
    }
    if (!named) {
        arguments.push_back("--name=vessel " + std::to_string(index + 1));
    }
    for (const FileArgument& argument : own) {
        if (check) {
            CheckAlone(argument, context);
        }
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    std::vector<std::string> texts;
    for (const FileArgument& argument : own) {
        texts.push_back(argument.Text());
    }
    for (const std::string& text : texts) {
        pointers.push_back(text.c_str());
    }
    Further further;
    const std::unique_ptr<CLI::App> app = MakeApp(further.options);
    app->parse(static_cast<int>(pointers.size()), pointers.data());
    further.options.pty = app->count("--pty") > 0;
    CheckOptions(further.options);
    further.options.seed = VesselSeed(further.options.seed.value_or(1), further.options.name);
    for (const GivenOption& option : GivenOptions(*app, folder)) {
        if (!RunOption(option.option)) {
            further.own.push_back(option);
        }
    }
    return further;
}

// Each --ais-target as a further vessel of its own: its place and motion
// as options, its station as --ais, no outputs (an AIS target only).
void AddAisTargets(const CLI::App& first, Options& o) {
    for (const std::string& text : o.aisTargets) {
        const AisGiven given = ParseAis(text, true);
        std::vector<FileArgument> own;
        const auto give = [&](const std::string& option, const std::string& value) {
            own.push_back({option, value, "--ais-target", ""});
        };
        give("--name", given.identity.name.empty() ? "AIS " + std::to_string(given.identity.mmsi) : given.identity.name);
        if (given.lat) give("--lat", *given.lat);
        if (given.lon) give("--lon", *given.lon);
        if (given.course) give("--heading", nmea::FloatToStr(*given.course));
        if (given.speed) give("--speed", nmea::FloatToStr(*given.speed));
        std::string station;
        for (const std::string& part : Split(text, ',')) {
            const std::string key = part.substr(0, part.find('='));
            if (key != "lat" && key != "lon" && key != "course") {
                station += (station.empty() ? "" : ",") + part;
            }
        }
        give("--ais", station);
        o.moreVessels.push_back(FurtherVessel(first, own, o.moreVessels.size() + 1, {}, false).options);
    }
}

// Own ship is what the others pass; one passing it needs a speed to do so.
void CheckAis(const Options& o) {
    if (o.ais && ParseAis(*o.ais, false).crossing) {
        throw UsageError("--ais: the first vessel is own ship; cpa, in and bearing place the others");
    }
    for (const Options& v : o.moreVessels) {
        const std::optional<AisGiven> given = v.ais ? std::optional(ParseAis(*v.ais, false)) : std::nullopt;
        if (given && given->crossing && given->crossing->knots <= 0 && v.speed.value_or(0) <= 0) {
            throw UsageError("--ais: " + QuotedValue(v.name) + " passes the first vessel at no speed: give it a speed");
        }
    }
}

// AIS goes to every output that names no kinds, and to those naming VDM or VDO.
void AddAisKinds(Options& o) {
    const auto hasAis = [](const Options& v) { return v.ais.has_value(); };
    if (!hasAis(o) && std::none_of(o.moreVessels.begin(), o.moreVessels.end(), hasAis)) {
        return;
    }
    const auto named = [&](const char* kind) {
        return std::find(o.runKinds.begin(), o.runKinds.end(), kind) != o.runKinds.end();
    };
    const bool chosen = o.sentences && (named("VDM") || named("VDO"));
    for (const char* kind : {"VDM", "VDO"}) {
        if (!chosen && !named(kind)) {
            o.runKinds.emplace_back(kind);
        }
        if (std::find(o.generatedKinds.begin(), o.generatedKinds.end(), kind) == o.generatedKinds.end()) {
            o.generatedKinds.emplace_back(kind);
        }
    }
}

// The fleet's vessels after the file's own; without vessels of its own the
// first of the fleet is the first vessel. Returns where the fleet starts
// among the further vessels.
std::vector<std::vector<FileArgument>> AddFleet(const CLI::App& given, ScenarioFile& file,
                                                std::vector<FileArgument>& first) {
    if (!file.fleet) {
        return {};
    }
    std::uint64_t seed = 1;
    const std::optional<std::string> seedText = GivenOn(given, "--seed") ? std::optional(given.get_option("--seed")->results().front())
                                                : std::nullopt;
    for (const FileArgument& argument : file.arguments) {
        if (argument.option == "--seed" && !seedText) {
            CheckAlone(argument, {});
            seed = WholeNumber(*argument.value).value_or(1);
        }
    }
    if (seedText) {
        seed = WholeNumber(*seedText).value_or(1);
    }
    std::vector<std::vector<FileArgument>> members = FleetVessels(file, seed);
    if (!file.hasVessels) {
        const std::vector<std::string> keyed = ScenarioOptions();
        for (const CLI::Option* option : given.get_options()) {
            const std::string name = option->get_name(false, true).substr(option->get_name(false, true).rfind(',') + 1);
            if (option->count() > 0 && std::find(keyed.begin(), keyed.end(), name) != keyed.end() && !RunOption(name)) {
                throw UsageError(name + ": the scenario has no vessels of its own to give it to (its fleet's template "
                                        "gives the fleet's)");
            }
        }
        first = members.front();
        file.arguments.insert(file.arguments.end(), file.fleet->vesselKeys.begin(), file.fleet->vesselKeys.end());
        file.arguments.insert(file.arguments.end(), members.front().begin(), members.front().end());
        members.erase(members.begin());
    }
    return members;
}

// What a fleet member has of its own, set on the options its template gave.
void Patch(Options& o, const FileArgument& a) {
    const std::string& value = a.value.value_or("");
    const std::string& option = a.option;
    if (option == "--name") o.name = value;
    else if (option == "--lat") o.lat = value;
    else if (option == "--lon") o.lon = value;
    else if (option == "--heading") o.heading = std::stod(value);
    else if (option == "--waypoint") o.waypoints.push_back(value);
    else if (option == "--route") o.route = value;
    else if (option == "--follow-route") o.followRoute = true;
    else if (option == "--loop") o.loop = true;
    else if (option == "--udp") o.udpTexts.push_back(value);
    else if (option == "--udp-broadcast") o.udpBroadcastTexts.push_back(value);
    else if (option == "--tcp-connect") o.tcpConnectTexts.push_back(value);
    else if (option == "--tcp") o.tcpTexts.push_back(value);
    else if (option == "--port") o.port = value;
    else if (option == "--pty") o.pty = true, o.ptyLink = a.value;
}

// The fleet's members after the template, checked once: each its own start,
// route and outputs on a copy of the template's options.
void AddMembers(Options& o, const CLI::App& first, const FleetSpec& fleet,
                const std::vector<std::vector<FileArgument>>& members, const std::filesystem::path& folder) {
    if (members.empty()) {
        return;
    }
    const Options made = FurtherVessel(first, fleet.vesselKeys, o.moreVessels.size() + 1, folder, true).options;
    for (const std::vector<FileArgument>& own : members) {
        Options member = made;
        for (const FileArgument& argument : own) {
            Patch(member, argument);
        }
        CheckOptions(member);
        member.seed = VesselSeed(o.seed.value_or(1), member.name);
        o.moreVessels.push_back(std::move(member));
    }
}

void RequireDistinctNames(const Options& o) {
    std::vector<std::string> names{o.name};
    for (const Options& vessel : o.moreVessels) {
        for (const std::string& name : names) {
            if (SameName(name, vessel.name)) {
                throw UsageError(*o.scenario + ": two vessels are named " + QuotedValue(vessel.name) +
                                 " (names match without regard to letter case)");
            }
        }
        names.push_back(vessel.name);
    }
}

void DumpScenario(const CLI::App& app, const Options& o, const std::vector<std::vector<GivenOption>>& vessels,
                  const std::optional<FleetSpec>& fleet, const std::vector<FileArgument>& fleetFirst) {
    const bool toOutput = *o.dumpScenario == "-";
    std::vector<GivenOption> given = GivenOptions(app, toOutput ? "" : std::filesystem::path(*o.dumpScenario).parent_path());
    if (!fleetFirst.empty()) {
        // The first vessel is the fleet's first: the fleet block gives it again.
        std::erase_if(given, [](const GivenOption& g) { return !RunOption(g.option); });
        std::set<std::string> emptied;
        for (const FileArgument& made : fleetFirst) {
            for (GivenOption& g : given) {
                const auto value = std::find(g.values.begin(), g.values.end(), made.value.value_or(""));
                if (g.option == made.option && value != g.values.end()) {
                    g.values.erase(value);
                    emptied.insert(g.option);
                }
            }
        }
        std::erase_if(given, [&](const GivenOption& g) { return g.values.empty() && emptied.contains(g.option); });
    }
    const std::string text = ScenarioText(given, vessels, o.events, fleet);
    if (toOutput) {
        if (!(std::cout << text << std::flush)) {
            throw OutputError("--dump-scenario: cannot write to standard output");
        }
        return;
    }
    try {
        ReplaceDataFile(ToPath(FileNameFromUtf8(*o.dumpScenario)), text);
    } catch (const std::exception& e) {
        throw OutputError("--dump-scenario: " + std::string(e.what()));
    }
}

}  // namespace

std::pair<std::size_t, std::size_t> ParseShard(const std::string& text) {
    const std::size_t slash = text.find('/');
    const std::optional<std::uint64_t> index = slash == std::string::npos ? std::nullopt : WholeNumber(text.substr(0, slash));
    const std::optional<std::uint64_t> count = slash == std::string::npos ? std::nullopt : WholeNumber(text.substr(slash + 1));
    if (!index || !count || *count == 0 || *index >= *count) {
        throw UsageError(QuotedValue(text) + " is not I/N with I from 0 to N - 1");
    }
    return {*index, *count};
}

namespace {

// "DEGREES,KNOTS": a direction from 0 to below 360 and a speed from 0 to `most`; none for anything else.
std::optional<std::pair<double, double>> DirectionAndSpeed(const std::string& text, double most) {
    const std::size_t comma = text.find(',');
    double direction = -1, knots = -1;
    const auto read = [](std::string_view part, double& value) {
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value);
        return error == std::errc() && end == part.data() + part.size();
    };
    if (comma == std::string::npos || !read(std::string_view(text).substr(0, comma), direction) ||
        !read(std::string_view(text).substr(comma + 1), knots) || direction < 0 || direction >= 360 || knots < 0 ||
        knots > most) {
        return std::nullopt;
    }
    return std::pair{direction, knots};
}

}  // namespace

engine::Wind ParseWind(const std::string& text) {
    // DEGREES,KNOTS and, after a second comma, the gusts' knots.
    const std::size_t second = text.find(',', text.find(',') + 1);
    const auto wind = DirectionAndSpeed(text.substr(0, second), 200);
    double gusts = 0;
    const bool gustsRead = [&] {
        if (second == std::string::npos) {
            return true;
        }
        const char* begin = text.data() + second + 1;
        const auto [end, error] = std::from_chars(begin, text.data() + text.size(), gusts);
        return error == std::errc() && end == text.data() + text.size() && end != begin && gusts <= 200;
    }();
    if (!wind || !gustsRead || (second != std::string::npos && gusts < wind->second)) {
        throw UsageError(QuotedValue(text) +
                         " is not DEGREES,KNOTS[,GUSTS]: where the true wind blows from (0 to below 360), its speed "
                         "(0 to 200) and the gusts' (from the speed to 200)");
    }
    return {wind->first, wind->second, gusts};
}

namespace {

// Each NAME=NUMBER of a comma-separated list, in order; the first item that
// is not one, or that `take` refuses, if any.
template <typename Take>
std::optional<std::string> ForEachNamedNumber(const std::string& text, Take take) {
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = std::string_view(text).substr(start, comma - start);
        const std::size_t equals = item.find('=');
        const std::string_view number = equals == std::string_view::npos ? "" : item.substr(equals + 1);
        double value = 0;
        const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (equals == 0 || equals == std::string_view::npos || error != std::errc() ||
            end != number.data() + number.size() || !take(item.substr(0, equals), value)) {
            return std::string(item);
        }
        start = comma + 1;
    }
    return std::nullopt;
}

}  // namespace

std::array<double, engine::instruments::kInstrumentCount> ParseInstrumentRates(const std::string& text) {
    namespace i = engine::instruments;
    std::array<double, i::kInstrumentCount> rates{};
    const std::optional<std::string> wrong = ForEachNamedNumber(text, [&](std::string_view name, double rate) {
        const auto* found = std::find_if(std::begin(i::kInstruments), std::end(i::kInstruments),
                                         [&](const i::InstrumentKind& k) { return k.name == name; });
        if (found == std::end(i::kInstruments) || !(rate > 0 && rate <= 1000)) {
            return false;
        }
        rates[static_cast<std::size_t>(found - std::begin(i::kInstruments))] = rate;
        return true;
    });
    if (wrong) {
        throw UsageError(QuotedValue(*wrong) +
                         " is not INSTRUMENT=RATE: compass, gyro, sounder, wind or log and its updates a second "
                         "(above 0, at most 1000)");
    }
    return rates;
}

std::vector<engine::Sounding> ParseDepthProfile(const std::string& text) {
    std::vector<engine::Sounding> profile;
    const std::optional<std::string> wrong = ForEachNamedNumber(text, [&](std::string_view waypoint, double depth) {
        profile.push_back({std::string(waypoint), depth});
        return depth >= 0 && depth <= 11000;
    });
    if (wrong) {
        throw UsageError(QuotedValue(*wrong) + " is not WAYPOINT=METRES: a waypoint's name and the depth there (0 to 11000)");
    }
    return profile;
}

engine::Water ParseCurrent(const std::string& text) {
    const auto current = DirectionAndSpeed(text, 20);
    if (!current) {
        throw UsageError(QuotedValue(text) +
                         " is not SET,DRIFT: where the current flows toward (0 to below 360) and its knots (0 to 20)");
    }
    return {current->first, current->second, 0};
}

engine::Leg ParseLeg(const std::string& text) {
    engine::Leg leg;
    const auto number = [&](const std::string& key, const std::string& value, double low, double high, bool highIn) {
        double v = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), v);
        if (error != std::errc() || end != value.data() + value.size() || v < low || (highIn ? v > high : v >= high)) {
            throw UsageError(QuotedValue(text) + ": " + key + " " + QuotedValue(value) + " is not from " +
                             nmea::FloatToStr(low) + (highIn ? " to " : " to below ") + nmea::FloatToStr(high));
        }
        return v;
    };
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string part = text.substr(start, comma - start);
        const std::size_t equals = part.find('=');
        const std::string key = part.substr(0, equals), value = equals == std::string::npos ? "" : part.substr(equals + 1);
        if (equals == std::string::npos || value.empty()) {
            throw UsageError(QuotedValue(text) + ": " + QuotedValue(part) + " is not KEY=VALUE");
        }
        if (key == "course") {
            leg.action.course = number(key, value, 0, 360, false);
        } else if (key == "speed") {
            leg.action.speed = number(key, value, 0, 1e6, true);
        } else if (key == "altitude") {
            leg.action.altitude = number(key, value, -1e5, 1e6, true);
        } else if (key == "for") {
            leg.seconds = number(key, value, 0, 1e9, true);
        } else if (key == "goto") {
            leg.action.goTo = value;
        } else if (key == "route") {
            leg.action.route = value;
        } else {
            throw UsageError(QuotedValue(text) + ": " + QuotedValue(key) +
                             " is not a leg's (course, speed, altitude, for, goto, route)");
        }
        start = comma + 1;
    }
    const int steering = (leg.action.course ? 1 : 0) + (leg.action.goTo ? 1 : 0) + (leg.action.route ? 1 : 0);
    if (steering > 1) {
        throw UsageError(QuotedValue(text) + ": a leg steers by one of course, goto and route");
    }
    if (steering == 0 && !leg.action.speed && !leg.action.altitude) {
        throw UsageError(QuotedValue(text) + ": a leg needs a course, a goto, a route, a speed or an altitude");
    }
    return leg;
}

engine::AisChances ParseAisFaults(const std::string& text) {
    engine::AisChances c;
    const std::pair<const char*, double engine::AisChances::*> keys[] = {
        {"lose_fragment", &engine::AisChances::loseFragment}, {"fill", &engine::AisChances::badFill},
        {"sequence", &engine::AisChances::badSequence},       {"order", &engine::AisChances::reorder},
        {"duplicate", &engine::AisChances::duplicate},        {"checksum", &engine::AisChances::badChecksum}};
    for (const std::string& part : Split(text, ',')) {
        const std::size_t equals = part.find('=');
        const std::string key = part.substr(0, equals);
        const auto found = std::find_if(std::begin(keys), std::end(keys), [&](const auto& k) { return key == k.first; });
        if (equals == std::string::npos || found == std::end(keys)) {
            throw UsageError(QuotedValue(text) + ": " + QuotedValue(part) +
                             " is not KEY=P with KEY lose_fragment, fill, sequence, order, duplicate or checksum");
        }
        const std::string value = part.substr(equals + 1);
        double p = -1;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), p);
        if (error != std::errc() || end != value.data() + value.size() || p < 0 || p > 1) {
            throw UsageError(QuotedValue(text) + ": " + key + " " + QuotedValue(value) + " is not from 0 to 1 (a probability)");
        }
        c.*(found->second) = p;
    }
    return c;
}

engine::Dynamics DynamicsOfKind(const std::string& kind) {
    if (kind == "car") return {30, 3, 0};
    if (kind == "pedestrian") return {90, 1, 0};
    if (kind == "aircraft") return {3, 2, 10};
    return engine::kVesselDynamics;  // a vessel; a fixed one does not move at all
}

namespace {

// The shard's vessels only; the first of them takes the first's place.
void KeepShard(Options& o) {
    const auto [index, count] = ParseShard(*o.shard);
    const std::string shard = *o.shard;
    std::vector<FileEvent> events = std::move(o.events);
    std::vector<Options> all;
    all.push_back(std::move(o));
    for (Options& vessel : all.front().moreVessels) {
        all.push_back(std::move(vessel));
    }
    std::vector<Options> kept;
    std::vector<int> placeOf(all.size(), -1);
    for (std::size_t i = index; i < all.size(); i += count) {
        placeOf[i] = static_cast<int>(kept.size());
        kept.push_back(std::move(all[i]));
    }
    if (kept.empty()) {
        throw UsageError("--shard " + shard + ": the scenario has " + std::to_string(all.size()) +
                         " vessels, none of them in this shard");
    }
    o = std::move(kept.front());
    o.events.clear();
    for (FileEvent& event : events) {
        if (event.vesselIndex < 0 || placeOf[static_cast<std::size_t>(event.vesselIndex)] >= 0) {
            event.vesselIndex = event.vesselIndex < 0 ? -1 : placeOf[static_cast<std::size_t>(event.vesselIndex)];
            o.events.push_back(std::move(event));
        }
    }
    o.moreVessels.assign(std::make_move_iterator(kept.begin() + 1), std::make_move_iterator(kept.end()));
}

}  // namespace

ParseResult ParseCommandLine(int argc, char** argv) {
    ParseResult result;
    std::unique_ptr<CLI::App> app = MakeApp(result.options);
    std::vector<std::vector<GivenOption>> vessels;  // the further vessels' own, for a dump
    std::optional<FleetSpec> fleet;
    std::vector<FileArgument> fleetFirst;  // the keys of the fleet's first, when it is the first vessel
    try {
        app->parse(argc, argv);
        if (result.options.scenario) {
            ScenarioFile file = ReadScenarioFile(*result.options.scenario);
            const std::vector<std::vector<FileArgument>> members = AddFleet(*app, file, fleetFirst);
            const std::vector<std::string> merged = WithScenario(
                *app, file, std::filesystem::path(*result.options.scenario).parent_path(), argc, argv);
            std::vector<const char*> pointers;
            for (const std::string& argument : merged) {
                pointers.push_back(argument.c_str());
            }
            result.options = Options{};
            app = MakeApp(result.options);
            app->parse(static_cast<int>(pointers.size()), pointers.data());
            result.options.events = file.events;
            const std::filesystem::path folder = std::filesystem::path(*result.options.scenario).parent_path();
            for (std::size_t i = 0; i < file.vessels.size(); ++i) {
                Further further = FurtherVessel(*app, file.vessels[i], i + 1, folder, true);
                result.options.moreVessels.push_back(std::move(further.options));
                vessels.push_back(std::move(further.own));
            }
            if (file.fleet) {
                CheckOptions(result.options);  // the seed the members' faults derive from
                AddMembers(result.options, *app, *file.fleet, members, folder);
            }
            fleet = file.fleet;
        }
        Options& o = result.options;
        if (o.manPage || o.bashCompletion) {
            std::cout << (o.manPage ? ManPage(*app) : BashCompletion(*app));
            result.exitNow = 0;
            return result;
        }
        if (o.receiver == "list") {
            std::size_t widest = 0;
            for (const engine::ReceiverModel& model : engine::ReceiverModels()) {
                widest = std::max(widest, model.name.size());
            }
            for (const engine::ReceiverModel& model : engine::ReceiverModels()) {
                std::cout << model.name << std::string(widest + 2 - model.name.size(), ' ') << model.summary << "\n";
            }
            result.exitNow = 0;
            return result;
        }
        o.pty = app->count("--pty") > 0;
        CheckOptions(o);
        AddAisTargets(*app, o);
        CheckAis(o);
        AddAisKinds(o);
        if (!o.moreVessels.empty()) {
            RequireDistinctNames(o);
        }
        ResolveEvents(o);
        if (o.dumpScenario) {
            DumpScenario(*app, o, vessels, fleet, fleetFirst);
            result.exitNow = 0;
        } else if (o.shard) {
            KeepShard(o);
        }
    } catch (const UsageError& e) {
        std::cerr << "kovra-nmea: " + Printable(e.what()) + "\n";
        result.exitNow = 2;
    } catch (const CLI::CallForHelp& e) {
        result.exitNow = app->exit(e);
    } catch (const CLI::CallForVersion& e) {
        result.exitNow = app->exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "kovra-nmea: " + Printable(e.what()) + "\n";
        result.exitNow = 2;
    }
    return result;
}

}  // namespace kovra::app
