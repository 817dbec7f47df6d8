#include "Setup.h"

#include "ValueScanner.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <charconv>

#include "files/DataFile.h"
#include "engine/receiver/Models.h"
#include "engine/scenario/Motion.h"
#include "foundation/Names.h"
#include "foundation/Text.h"
#include "nmea/Format.h"
#include "foundation/Validation.h"

namespace kovra::app {

namespace {

using CP = TCardinalPoint;

template <typename Set>
void Apply(Set set) {
    try {
        set();
    } catch (const EKovraNMEAException& e) {
        throw UsageError(e.what());  // the library's own message
    }
}

void SetPosition(TKovraNMEAGenerator& gps, const Coordinate* lat, const Coordinate* lon) {
    Apply([&] {
        if (lat != nullptr) {
            gps.Latitude_Degree(lat->degree);
            gps.Latitude_Minute(lat->minute);
            gps.Latitude_Second(lat->second);
            gps.Latitude_Direction(lat->direction);
        }
        if (lon != nullptr) {
            gps.Longitude_Degree(lon->degree);
            gps.Longitude_Minute(lon->minute);
            gps.Longitude_Second(lon->second);
            gps.Longitude_Direction(lon->direction);
        }
    });
}

std::unique_ptr<TWayPoint> MakeWayPoint(const std::string& name, const Coordinate& lat, const Coordinate& lon) {
    auto w = std::make_unique<TWayPoint>(name);
    Apply([&] {
        w->Latitude_Degree(lat.degree);
        w->Latitude_Minute(lat.minute);
        w->Latitude_Second(lat.second);
        w->Latitude_Direction(lat.direction);
        w->Longitude_Degree(lon.degree);
        w->Longitude_Minute(lon.minute);
        w->Longitude_Second(lon.second);
        w->Longitude_Direction(lon.direction);
    });
    return w;
}

void RequireReadable(const std::string& file, const std::string& option) {
    std::ifstream stream(file);
    if (!stream) {
        throw UsageError("cannot read " + option + " file '" + file + "': " + std::strerror(errno));
    }
}

// A whole number of at most `most` characters, a minus sign among them.
std::optional<int> SignedField(ValueScanner& scan, std::size_t most) {
    const bool negative = scan.Take('-');
    const auto digits = scan.Digits(1, negative ? most - 1 : most);
    if (!digits) {
        return std::nullopt;
    }
    int value = 0;
    (void)std::from_chars(digits->data(), digits->data() + digits->size(), value);
    return negative ? -value : value;
}

// PRN,ELEV,AZ,SNR: four whole numbers of at most six characters each.
void AddSatellite(TKovraNMEAGenerator& gps, const std::string& text) {
    ValueScanner scan(text);
    int fields[4] = {};
    bool wellFormed = true;
    for (int i = 0; i < 4 && wellFormed; ++i) {
        const std::optional<int> field = SignedField(scan.SkipSpaces(), 6);
        wellFormed = field.has_value() && (i == 3 ? scan.SkipSpaces().AtEnd() : scan.SkipSpaces().Take(','));
        fields[i] = field.value_or(0);
    }
    if (!wellFormed) {
        throw UsageError("malformed satellite " + QuotedValue(text) + " for --sat (expected PRN,ELEV,AZ,SNR)");
    }
    const int prn = fields[0];
    if (!validation::IsPseudoRandomCode(prn)) {
        throw UsageError(std::string(validation::kPseudoRandomCode));
    }
    Apply([&] { gps.SetSatellite(static_cast<std::uint16_t>(prn), true, fields[1], fields[2], fields[3]); });
}

void AddWayPoint(TKovraNMEAGenerator& gps, const std::string& text) {
    const std::size_t second = text.rfind(',');
    const std::size_t first = second == std::string::npos || second == 0 ? std::string::npos : text.rfind(',', second - 1);
    if (first == std::string::npos) {
        throw UsageError("malformed waypoint '" + text + "' for --waypoint (expected NAME,LAT,LON)");
    }
    const std::string name = text.substr(0, first);
    const Coordinate lat = ParseCoordinate(text.substr(first + 1, second - first - 1), true, "--waypoint");
    const Coordinate lon = ParseCoordinate(text.substr(second + 1), false, "--waypoint");
    auto w = MakeWayPoint(name, lat, lon);
    if (!gps.WayPoints().Add(std::move(w))) {
        throw UsageError("waypoint '" + name + "' is given twice (names match without regard to letter case)");
    }
}

void SetMagneticVariation(TKovraNMEAGenerator& gps, const std::string& text) {
    ValueScanner scan(text);
    const auto degrees = scan.Decimal(std::string_view::npos);
    const auto side = degrees ? scan.SkipSpaces().TakeOneOf("EWew") : std::nullopt;
    if (!side || !scan.AtEnd()) {
        throw UsageError("malformed magnetic variation " + QuotedValue(text) + " for --mag-var (expected like 3.1W)");
    }
    const bool east = *side == 'E' || *side == 'e';
    Apply([&] {
        gps.Magnetic_Variation(std::stold(std::string(*degrees)));
        gps.Magnetic_Variation_Direction(east ? CP::cpEast : CP::cpWest);
    });
}

}  // namespace

namespace {

std::string NamesOf(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ", ") + ("'" + name + "'");
    }
    return list.empty() ? "none" : list;
}

// The file's waypoints and routes; the route chosen (or its only one, when
// no track is) becomes active and, without --lat/--lon, the start.
void ApplyGpx(const Options& o, const engine::Gpx& gpx, TKovraNMEAGenerator& gps) {
    std::vector<std::string> routes;
    try {
        routes = engine::AddGpx(gps, gpx);
    } catch (const UsageError& e) {
        throw UsageError("--gpx '" + Printable(*o.gpx) + "': " + e.what());
    }
    std::optional<std::size_t> chosen;
    if (o.gpxRoute) {
        for (std::size_t i = 0; i < gpx.routes.size() && !chosen; ++i) {
            if (SameName(gpx.routes[i].name, *o.gpxRoute) || SameName(routes[i], *o.gpxRoute)) {
                chosen = i;
            }
        }
        if (!chosen) {
            throw UsageError("--gpx-route '" + *o.gpxRoute + "': '" + *o.gpx + "' has no such route (it has " +
                             NamesOf(routes) + ")");
        }
    } else if (routes.size() == 1 && !o.gpxTrack) {
        chosen = 0;
    }
    if (!chosen) {
        return;
    }
    TRoute* route = gps.Routes().GetByName(routes[*chosen]);
    gps.Routes().ActiveRoute(route);
    const TNameList& names = route->WayPoints();
    if (!o.lat && !o.lon && !names.empty()) {
        const engine::GeoPoint start = engine::PositionOf(*gps.WayPoints().GetByName(names.front()));
        engine::SetPosition(gps, start);
        if (names.size() > 1 && !o.heading) {
            gps.Heading(engine::InitialBearing(start, engine::PositionOf(*gps.WayPoints().GetByName(names[1]))));
        }
    }
}

}  // namespace

namespace {

// The track --gpx-track names; UsageError listing the file's tracks when none has the name.
engine::GpxTrack ChosenTrack(const Options& o, const engine::Gpx& gpx) {
    std::vector<std::string> names;
    for (const engine::GpxTrack& track : gpx.tracks) {
        if (SameName(track.name, o.gpxTrack.value_or(""))) {
            return track;
        }
        names.push_back(track.name);
    }
    throw UsageError("--gpx-track '" + o.gpxTrack.value_or("") + "': '" + o.gpx.value_or("") +
                     "' has no such track (it has " + NamesOf(names) + ")");
}

// Sets the generator's state and returns the plan for the updates after the first.
engine::Plan BuildState(const Options& o, TKovraNMEAGenerator& gps, const engine::Gpx* gpx) {
    engine::Plan plan;
    plan.move = !o.noMove && o.kind != "fixed";
    for (const std::string& leg : o.legs) {
        plan.legs.push_back(ParseLeg(leg));
    }
    plan.followRoute = o.followRoute;
    if (o.autopilot) {
        plan.autopilot = o.autopilotTimeout;
    }
    if (o.current) {
        plan.water = ParseCurrent(*o.current);
    }
    plan.water.leeway = o.leeway;
    plan.surroundings.depth = o.depth;
    plan.surroundings.gustSeed = o.seed.value_or(1);
    if (o.depthProfile) {
        plan.surroundings.profile = ParseDepthProfile(*o.depthProfile);
    }
    plan.surroundings.waterCelsius = o.waterTemperature;
    if (o.wind) {
        plan.surroundings.wind = ParseWind(*o.wind);
    }
    plan.loop = o.loop;
    if (o.Realistic()) {  // the classic profile's vessel keeps the engine's instant changes
        const engine::Dynamics kind = DynamicsOfKind(o.kind);
        plan.limits = engine::Dynamics{o.rateOfTurn.value_or(kind.rateOfTurn), o.acceleration.value_or(kind.acceleration),
                                       o.climbRate.value_or(kind.climbRate)};
    }
    if (!o.Realistic()) {
        gps.Commands(engine::CommandsOf(o.generatedKinds));
    }
    if (o.Realistic()) {
        // A complete receiver first; each option then overrides what it names.
        engine::LoadBuiltInScenario(gps, plan);
        plan.followRoute = plan.followRoute || o.followRoute;
        if ((o.lat || o.lon || gpx) && !o.route && !o.routeFile) {
            gps.Routes().Clear();  // the harbour's route does not start where the receiver now is
            plan.followRoute = o.followRoute;
    if (o.autopilot) {
        plan.autopilot = o.autopilotTimeout;
    }
        }
        if (gpx) {
            gps.WayPoints().Clear();  // the file's places replace the harbour's
        }
    } else if (!o.HasStateOption()) {
        engine::LoadBuiltInScenario(gps, plan);
        return plan;
    }
    gps.FixQuality(o.fix.value_or(1));
    if (o.lat || o.lon) {
        const std::optional<Coordinate> lat = o.lat ? std::optional(ParseCoordinate(*o.lat, true, "--lat")) : std::nullopt;
        const std::optional<Coordinate> lon = o.lon ? std::optional(ParseCoordinate(*o.lon, false, "--lon")) : std::nullopt;
        SetPosition(gps, lat ? &*lat : nullptr, lon ? &*lon : nullptr);
    }
    Apply([&] {
        if (o.alt) gps.Altitude(*o.alt);
        if (o.geoid) gps.Geo_Height(*o.geoid);
        if (o.speed) gps.Speed(*o.speed);
        if (o.heading) gps.Heading(*o.heading);
        if (o.pdop) gps.PDOP(*o.pdop);
        if (o.hdop) gps.HDOP(*o.hdop);
        if (o.vdop) gps.VDOP(*o.vdop);
    });
    if (o.magVar) {
        SetMagneticVariation(gps, *o.magVar);
    }
    if (o.magHeading) {
        Apply([&] { gps.Magnetic_Heading(*o.magHeading); });
        plan.deriveMagneticHeading = false;
    } else {
        gps.Magnetic_Heading(engine::MagneticHeading(gps.Heading(), gps.Magnetic_Variation(), gps.Magnetic_Variation_Direction()));
    }
    if (o.time) {
        plan.fixedTime = true;
        plan.startTime = ParseTime(*o.time);
        gps.UseSystemDateTime(false);
        gps.UTCDateTime(plan.startTime);
    }
    if (o.satellitesFile) {
        RequireReadable(*o.satellitesFile, "--satellites");
        Apply([&] { gps.LoadSatellitesFromFile(FileNameFromUtf8(*o.satellitesFile)); });
    }
    if (!o.Realistic()) {
        for (const std::string& sat : o.sats) {
            AddSatellite(gps, sat);
        }
    }
    if (o.waypointsFile) {
        RequireReadable(*o.waypointsFile, "--waypoints");
        Apply([&] { gps.WayPoints().LoadFromFile(FileNameFromUtf8(*o.waypointsFile)); });
    }
    for (const std::string& waypoint : o.waypoints) {
        AddWayPoint(gps, waypoint);
    }
    if (o.routeFile) {
        RequireReadable(*o.routeFile, "--route-file");
        auto route = std::make_unique<TRoute>("0");
        try {
            route->LoadFromFile(FileNameFromUtf8(*o.routeFile));
        } catch (const std::exception& e) {
            throw UsageError("cannot load --route-file '" + *o.routeFile + "': " + e.what());
        }
        engine::MakeActiveRoute(gps, std::move(route));
    }
    if (gpx) {
        ApplyGpx(o, *gpx, gps);
    }
    if (o.route) {
        const std::size_t colon = o.route->find(':');
        if (colon == std::string::npos || colon == 0) {
            throw UsageError("malformed route '" + *o.route + "' for --route (expected NAME:WP1,WP2,...)");
        }
        auto route = std::make_unique<TRoute>(o.route->substr(0, colon));
        const std::string names = o.route->substr(colon + 1);
        route->WayPoints(names.empty() ? TNameList{} : Split(names, ','));
        engine::MakeActiveRoute(gps, std::move(route));
    }
    if (plan.followRoute && gps.Routes().ActiveRoute() == nullptr) {
        throw UsageError("--follow-route needs a route (--route, --route-file or --gpx)");
    }
    return plan;
}

std::vector<engine::Gnss> ParseSystems(const std::string& text) {
    std::vector<engine::Gnss> systems;
    for (std::string name : Split(text, ',')) {
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        const auto* named = std::find_if(std::begin(kSystemNames), std::end(kSystemNames),
                                         [&](const auto& known) { return known.first == name; });
        if (named == std::end(kSystemNames)) {
            throw UsageError("unknown system '" + name + "' in --gnss (use gps, glonass, galileo, beidou)");
        }
        const engine::Gnss system = named->second;
        if (std::find(systems.begin(), systems.end(), system) == systems.end()) {
            systems.push_back(system);
        }
    }
    return systems;
}

// PRN,EL,AZ[,SNR][,unused]: a GPS satellite given by hand.
engine::GivenSatellite ParseGiven(const std::string& text) {
    ValueScanner scan(text);
    const auto field = [&scan](std::size_t most) -> std::optional<int> {
        const auto digits = scan.SkipSpaces().Digits(1, most);
        if (!digits) {
            return std::nullopt;
        }
        scan.SkipSpaces();
        int value = 0;
        (void)std::from_chars(digits->data(), digits->data() + digits->size(), value);
        return value;
    };
    const auto prn = field(2);
    const auto elevation = prn && scan.Take(',') ? field(2) : std::nullopt;
    const auto azimuth = elevation && scan.Take(',') ? field(3) : std::nullopt;
    std::optional<int> snr;
    bool used = true, wellFormed = azimuth.has_value();
    // Then ",SNR", ",unused" or both, in that order.
    if (wellFormed && scan.Take(',')) {
        scan.SkipSpaces();
        if (scan.TakeWord("unused")) {
            used = false;
        } else {
            snr = field(2);
            wellFormed = snr.has_value();
            if (wellFormed && scan.Take(',')) {
                used = !scan.SkipSpaces().TakeWord("unused");
                wellFormed = !used;
            }
        }
        scan.SkipSpaces();
    }
    if (!wellFormed || !scan.AtEnd()) {
        throw UsageError("malformed satellite " + QuotedValue(text) + " for --sat (expected PRN,ELEV,AZ[,SNR][,unused])");
    }
    engine::GivenSatellite given;
    given.number = *prn;
    given.elevation = *elevation;
    given.azimuth = *azimuth;
    if (!validation::IsPseudoRandomCode(given.number) || !validation::IsElevation(given.elevation) ||
        !validation::IsAzimuth(given.azimuth)) {
        throw UsageError("satellite '" + text + "' for --sat is out of range (PRN 1-32, ELEV 0-90, AZ 0-359)");
    }
    given.snr = snr;
    given.used = used;
    return given;
}

// The realistic receiver the nmea4 profile runs: the systems, the mask, the
// almanac, a sky given by --sat, and what the options force.
engine::RealisticSettings RealisticFrom(const Options& o, const TKovraNMEAGenerator& gps) {
    engine::RealisticSettings settings;
    const engine::ReceiverModel& model = *engine::FindReceiverModel(o.receiver);
    settings.systems = o.gnss ? ParseSystems(*o.gnss) : model.systems;
    const engine::ReceiverConfiguration configuration = engine::ConfigurationOf(model, o.receiverSettings);
    settings.dialect = configuration.dialect;
    settings.sbas = configuration.sbas;
    settings.order = model.order;
    settings.start = o.start == "cold"   ? engine::Start::Cold
                     : o.start == "warm" ? engine::Start::Warm
                     : o.start == "hot"  ? engine::Start::Hot
                                         : engine::Start::Fixed;
    settings.startTimes = model.startTimes;
    settings.firmwareLeapSeconds = model.firmwareLeapSeconds;
    settings.rangeError = model.rangeError;
    if (o.leapSecond) {
        settings.leapSecondAt = ParseDay(*o.leapSecond) + 1;  // the midnight that ends the day
    }
    settings.weekBase = o.weekBase;
    settings.sbasCorrections = o.sbasCorrections;
    settings.sbasCorrectionsUsed = configuration.sbasCorrectionsUsed;
    settings.model = o.receiver;
    settings.modelSettings = o.receiverSettings;
    settings.rate = o.rate;
    settings.baud = o.baud;
    settings.elevationMask = o.elevationMask;
    if (o.almanacFile) {
        const std::optional<std::string> text = ReadDataFile(ToPath(FileNameFromUtf8(*o.almanacFile)));
        if (!text) {
            throw UsageError("cannot read --almanac file '" + *o.almanacFile + "': No such file or directory");
        }
        settings.almanac =
            engine::ReadYumaAlmanac(*text, *o.almanacFile, engine::GpsTimeFromUtc(gps.GetUTCDateTime()));
    }
    // A satellite file gives GPS satellites as --sat does: they replace the sky.
    if (o.satellitesFile) {
        for (const TSatellite* s : gps.GetActiveSatellitesList()) {
            settings.given.push_back({engine::Gnss::Gps, s->PseudoRandomCode(), s->Elevation(), s->Azimuth(),
                                      s->SignalToNoiseRatio(), true});
        }
    }
    for (const std::string& sat : o.sats) {
        settings.given.push_back(ParseGiven(sat));
    }
    if (o.pdop) settings.pdop = *o.pdop;
    if (o.hdop) settings.hdop = *o.hdop;
    if (o.vdop) settings.vdop = *o.vdop;
    settings.fixQuality = o.fix;
    settings.talker = o.talker;
    settings.trueHeading = o.trueHeading;
    settings.routeInterval = o.routeInterval;
    settings.arrivalRadiusNm = o.arrivalRadius;
    settings.instruments.transducerOffset = o.transducerOffset.value_or(0);
    settings.instruments.talker = o.instrumentTalker;
    if (o.instrumentRates) {
        settings.instruments.rates = ParseInstrumentRates(*o.instrumentRates);
        for (std::size_t i = 0; i < settings.instruments.rates.size(); ++i) {
            if (settings.instruments.rates[i] > o.rate + 1e-9) {
                throw UsageError("--instrument-rate: " + std::string(engine::instruments::kInstruments[i].name) + "=" +
                                 nmea::FloatToStr(settings.instruments.rates[i]) + " is faster than the receiver's " +
                                 nmea::FloatToStr(o.rate) + " updates a second (--rate): an instrument sends with them");
            }
        }
    }
    // On a serial line the receiver sends what the line carries; a terminal,
    // a socket or standard output take every update whole.
    // The receiver fits its updates to the port's line, unless the port carries AIS alone.
    settings.lineBytesPerUpdate = o.port && !o.AisOnlyPort() ? static_cast<std::size_t>(o.baud / 10.0 / o.rate) : 0;
    settings.sentences = engine::Kinds4Of(o.generatedKinds);
    std::copy_if(o.generatedKinds.begin(), o.generatedKinds.end(), std::back_inserter(settings.navMessages),
                 [](const std::string& kind) { return engine::IsNavMessage(kind); });
    settings.geoidSeparation = static_cast<double>(gps.Geo_Height());
    const double variation = static_cast<double>(gps.Magnetic_Variation());
    settings.magneticVariation = gps.Magnetic_Variation_Direction() == TCardinalPoint::cpWest ? -variation : variation;
    if (o.noise > 0) {
        settings.positionNoise = o.noise;
    }
    return settings;
}

}  // namespace

engine::RunSettings RunSettingsFrom(const Options& o) {
    return {.rate = o.rate,
            .count = o.count,
            .duration = o.duration,
            .speedup = o.speedup,
            .fast = o.fast,
            .lineBaud = o.port && !o.AisOnlyPort() ? o.baud : 0,
            .verbose = o.verbose};
}

namespace {

// An outage or a freeze of a given length is one event that starts it and
// one that ends it.
std::vector<engine::Event> EventsOf(const Options& o) {
    std::vector<engine::Event> events;
    for (const FileEvent& e : o.events) {
        const double at = e.seconds.value_or(0);
        const int vessel = e.vesselIndex;
        events.push_back({at, vessel, e.action});
        if (e.outageFor) {
            events.push_back({at + *e.outageFor, vessel, {.outage = false}});
        }
        if (e.freezeFor) {
            events.push_back({at + *e.freezeFor, vessel, {.freeze = false}});
        }
    }
    return events;
}

bool ChangesChances(const Options& o) {
    return std::any_of(o.events.begin(), o.events.end(), [](const FileEvent& e) { return e.action.chances.Any(); });
}

}  // namespace

Scenario BuildScenario(const Options& o, TKovraNMEAGenerator& gps) {
    const std::optional<engine::Gpx> gpx = o.gpx ? std::optional(engine::LoadGpx(*o.gpx)) : std::nullopt;
    Scenario scenario{.plan = BuildState(o, gps, gpx ? &*gpx : nullptr), .run = RunSettingsFrom(o)};
    scenario.plan.name = o.name;
    if (o.gpxTrack) {
        scenario.track = ChosenTrack(o, *gpx);
    }
    if (o.Realistic()) {
        scenario.receiver = RealisticFrom(o, gps);
    }
    if (HasFaults(o) || ChangesChances(o)) {
        scenario.faults = FaultsFrom(o);
    }
    scenario.events = EventsOf(o);
    return scenario;
}

}  // namespace kovra::app
