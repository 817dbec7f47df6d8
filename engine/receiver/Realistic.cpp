#include "engine/receiver/Realistic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <span>
#include <utility>

#include "engine/receiver/Models.h"
#include "engine/receiver/UbxNav.h"
#include "engine/run/Errors.h"
#include "engine/scenario/Motion.h"
#include "satellites/SkyPlot.h"

namespace kovra::engine {

namespace {

using nmea4::FixType;
using nmea4::Mode;

// Satellites move about 0.01° a second: a sky up to a second old is written
// as it stands (at 1 Hz it is computed every other update).
constexpr double kSkyLifetime = 1.0;

// A signal that grows with elevation, as a patch antenna sees it: 25 dB-Hz
// at the horizon, 50 at the zenith.
int SignalFor(double elevation) {
    const double sine = std::sin(std::max(0.0, elevation) * std::numbers::pi / 180);
    return static_cast<int>(std::lround(25 + 25 * sine));
}

// The second band's signal, weaker and tracked higher up; of GPS only the
// satellites that broadcast L2C (about two in three).
std::optional<int> SecondSignalFor(Gnss system, int number, double elevation) {
    constexpr double kSecondBandMask = 15;
    constexpr int kWeaker = 6;
    if (elevation < kSecondBandMask || (system == Gnss::Gps && number % 3 == 0)) {
        return std::nullopt;
    }
    return SignalFor(elevation) - kWeaker;
}

}  // namespace

std::string SkyPlotOf(const nmea4::Epoch& epoch, std::int32_t radius) {
    RequireSkyPlotRadius(radius);
    std::vector<SkyPlotSatellite> drawn;
    for (const nmea4::Satellite& s : epoch.satellites) {
        // 0x00BBGGRR: blue, red, green, orange.
        const TColor colour = s.system == Gnss::Gps       ? 0xCC6600
                              : s.system == Gnss::Glonass ? 0x0000CC
                              : s.system == Gnss::Galileo ? 0x009900
                                                          : 0x008CE6;
        drawn.push_back({static_cast<std::uint16_t>(nmea4::NmeaNumber(s.system, s.number)), s.elevation, s.azimuth,
                         s.snr.value_or(0), colour});
    }
    TSvgCanvas canvas(2 * radius + 1, 2 * radius + 1);
    DrawSkyPlot(canvas, radius, 0xFFFFFF, 0, drawn);
    const SkyPlotLegendEntry legend[] = {
        {0xCC6600, "GPS"}, {0x0000CC, "GLONASS"}, {0x009900, "Galileo"}, {0x008CE6, "BeiDou"}};
    return SkyPlotPicture(radius, canvas, legend);
}

namespace {

std::vector<OrbitingSatellite> OrbitsOf(const RealisticSettings& settings) {
    std::vector<OrbitingSatellite> orbits;
    for (const Gnss system : settings.systems) {
        const bool fromAlmanac = system == Gnss::Gps && !settings.almanac.empty();
        const std::vector<OrbitingSatellite> more = fromAlmanac ? settings.almanac : NominalConstellation(system);
        orbits.insert(orbits.end(), more.begin(), more.end());
    }
    return orbits;
}

}  // namespace

namespace {

const ReceiverModel& ModelNamed(const std::string& name) {
    const ReceiverModel* model = FindReceiverModel(name);
    return model != nullptr ? *model : ReceiverModels().front();  // a name of no model: this simulator's own
}

}  // namespace

RealisticReceiver::RealisticReceiver(RealisticSettings settings)
    : settings_(std::move(settings)),
      constellation_(OrbitsOf(settings_)),
      model_(ModelNamed(settings_.model)),
      order_(OrderOf(settings_)),
      ubx_(model_.commands == CommandSet::Ublox) {
    for (std::size_t k = 0; k < every_.size(); ++k) {
        every_[k] = settings_.sentences.test(k) ? 1 : 0;
    }
    ubxOut_ = ubx_;  // u-blox's ports send UBX and NMEA as shipped, no UBX message on unless asked
    ReceiverChange asked;
    for (const std::string& kind : settings_.navMessages) {
        asked.kinds.push_back({kind, 1});
    }
    Configure(asked);
}

namespace {

// A NAV message's place among the NAV rows of the UBX table.
std::optional<std::size_t> NavIndex(std::string_view kind) {
    const ubx::UbxMessage* message = ubx::FindUbxMessage(kind);
    if (message == nullptr || message->append == nullptr) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(message - ubx::kUbxMessages.data()) - ubx::kFirstNavMessage;
}

// Due in this update at one every `every` (0: never).
bool Due(int every, std::uint64_t update) { return every > 0 && update % static_cast<std::uint64_t>(every) == 0; }

}  // namespace

bool RealisticReceiver::Sends(Kind4 kind) const {
    const auto k = static_cast<std::size_t>(kind);
    return Due(every_[k], updates_) || once_.test(k);
}

Running RealisticReceiver::Configuration() const {
    Running running{settings_.rate, settings_.baud, {}, nmeaOut_, ubxOut_, model_.mostRate, "4.0"};
    for (const SentenceKindInfo& k : kSentenceKinds) {
        running.kinds.push_back({std::string(k.name), every_[static_cast<std::size_t>(k.kind)]});
    }
    for (std::size_t i = 0; i < ubx::kNavMessageCount && ubx_; ++i) {
        running.kinds.push_back({std::string(ubx::kUbxMessages[ubx::kFirstNavMessage + i].kind), navEvery_[i]});
    }
    running.nmeaVersion = settings_.dialect.gsaSystemId ? "4.10" : "4.0";
    running.magneticVariation = settings_.magneticVariation;
    for (const std::string& setting : settings_.modelSettings) {
        if (setting.rfind("nmeaVersion=", 0) == 0) {
            running.nmeaVersion = setting.substr(12);
        }
    }
    return running;
}

void RealisticReceiver::Configure(const ReceiverChange& change) {
    if (change.defaults) {
        for (std::size_t k = 0; k < every_.size(); ++k) {
            every_[k] = settings_.sentences.test(k) ? 1 : 0;
        }
    }
    for (const KindRate& rate : change.kinds) {
        if (const SentenceKindInfo* k = FindSentenceKind(rate.kind)) {
            every_[static_cast<std::size_t>(k->kind)] = std::max(0, rate.every);
        }
        if (const std::optional<std::size_t> nav = NavIndex(rate.kind); nav && ubx_) {
            navEvery_[*nav] = std::max(0, rate.every);
        }
    }
    for (const std::string& name : change.once) {
        if (const SentenceKindInfo* k = FindSentenceKind(name)) {
            once_.set(static_cast<std::size_t>(k->kind));
        }
        if (const std::optional<std::size_t> nav = NavIndex(name); nav && ubx_) {
            navOnce_.set(*nav);
        }
    }
    if (!change.settings.empty()) {
        std::vector<std::string> settings = settings_.modelSettings;
        settings.insert(settings.end(), change.settings.begin(), change.settings.end());
        try {
            const ReceiverConfiguration configured = ConfigurationOf(model_, settings);
            settings_.modelSettings = std::move(settings);
            settings_.dialect = configured.dialect;
            settings_.sbas = configured.sbas;
            settings_.sbasCorrectionsUsed = configured.sbasCorrectionsUsed;
            skyTime_.reset();  // the sky as the receiver now tracks it
        } catch (const SettingError&) {
            // a value the model does not take: the command changes nothing
        }
    }
    nmeaOut_ = change.nmeaOut.value_or(nmeaOut_);
    ubxOut_ = change.ubxOut.value_or(ubxOut_);
    settings_.rate = change.rate.value_or(settings_.rate);
    settings_.baud = change.baud.value_or(settings_.baud);
    if (change.baud || (change.rate && settings_.lineBytesPerUpdate > 0)) {
        // What the line carries in an update at its new rate or baud.
        settings_.lineBytesPerUpdate = static_cast<std::size_t>(settings_.baud / 10.0 / settings_.rate);
    }
    if (change.restart) {
        restartAsked_ = change.restart;
    }
}

// The NAV messages asked for, each at its rate, after the epoch's sentences.
void RealisticReceiver::AppendNav(std::string& out, double sinceStart) const {
    for (std::size_t i = 0; i < ubx::kNavMessageCount; ++i) {
        if (Due(navEvery_[i], updates_) || navOnce_.test(i)) {
            ubx::kUbxMessages[ubx::kFirstNavMessage + i].append(out, epoch_, {sinceStart});
        }
    }
}

// From power-on again, as the start asked: hot, warm or cold.
void RealisticReceiver::Restart(int how, double elapsed) {
    settings_.start = how == 0 ? Start::Hot : how == 1 ? Start::Warm : Start::Cold;
    poweredOnAt_ = elapsed;
    skyTime_.reset();
    epoch_.satellites.clear();
    lastGsv_.reset();
    waiting_.clear();
}

void RealisticReceiver::SetOutage(bool outage) {
    if (outage != outage_) {
        outage_ = outage;
        skyTime_.reset();  // the sky, and what follows from it, again
        epoch_.satellites.clear();
    }
}

void RealisticReceiver::ComputeSky(GpsSeconds t, double latitude, double longitude, double height) {
    epoch_.satellites.clear();
    std::vector<SkySatellite> sky = constellation_.SkyAt(t, latitude, longitude, height);
    const bool gps = std::find(settings_.systems.begin(), settings_.systems.end(), Gnss::Gps) != settings_.systems.end();
    if (settings_.sbas && gps) {
        const std::vector<SkySatellite> sbas = SbasSkyAt(latitude, longitude, height);
        sky.insert(sky.end(), sbas.begin(), sbas.end());
    }
    for (const SkySatellite& s : sky) {
        if (SwitchedOff(s.system)) {
            continue;
        }
        epoch_.satellites.push_back({s.system, s.number, static_cast<int>(std::lround(s.elevation)),
                                     static_cast<int>(std::lround(s.azimuth)) % 360, SignalFor(s.elevation),
                                     s.healthy && s.elevation >= settings_.elevationMask,
                                     settings_.dialect.secondBand ? SecondSignalFor(s.system, s.number, s.elevation)
                                                                  : std::nullopt});
    }
    skyTime_ = t;
}

// The fix and the dilution follow the used satellites unless forced: four
// or more give a 3D fix, three a 2D fix (the height held), fewer none.
void RealisticReceiver::DeriveFix() {
    if (outage_) {
        for (nmea4::Satellite& s : epoch_.satellites) {
            s.snr.reset();  // in view, but no signal
            s.used = false;
        }
    }
    std::vector<SkySatellite> used;
    for (const nmea4::Satellite& s : epoch_.satellites) {
        if (s.used) {
            used.push_back({s.system, s.number, static_cast<double>(s.elevation), static_cast<double>(s.azimuth), true});
        }
    }
    FixType fix = used.size() >= 4 ? FixType::ThreeD : used.size() == 3 ? FixType::TwoD : FixType::None;
    if (settings_.fixQuality && !outage_) {
        fix = *settings_.fixQuality == 0 ? FixType::None : fix == FixType::None ? FixType::ThreeD : fix;
    }
    epoch_.fix = fix;
    // Corrections from an SBAS satellite in use make the fix differential.
    const bool corrected = settings_.sbasCorrections && settings_.sbasCorrectionsUsed &&
                           std::any_of(used.begin(), used.end(), [](const SkySatellite& s) {
                               return s.system == Gnss::Gps && s.number >= kFirstSbasPrn;
                           });
    epoch_.quality = outage_ ? 0 : settings_.fixQuality.value_or(fix == FixType::None ? 0 : corrected ? 2 : 1);
    epoch_.mode = fix == FixType::None  ? Mode::None
                  : epoch_.quality == 2 ? Mode::Differential
                  : epoch_.quality == 6 ? Mode::Estimated
                                        : Mode::Autonomous;
    Dilution dop;
    if (fix == FixType::TwoD) {
        // The held height acts as one more measurement, from straight above.
        used.push_back({used.front().system, 0, 90, 0, true});
    }
    bool computed = ComputeDilution(used, dop);
    if (!computed) {
        // Too few satellites for a clock per system: one common clock.
        for (SkySatellite& s : used) {
            s.system = Gnss::Gps;
        }
        computed = ComputeDilution(used, dop);
    }
    if (!computed) {
        dop = {99.99, 99.99, 99.99, 0, 0, 0};
    }
    if (!outage_) {
        dop.pdop = settings_.pdop.value_or(dop.pdop);
        dop.hdop = settings_.hdop.value_or(dop.hdop);
        dop.vdop = settings_.vdop.value_or(dop.vdop);
    }
    epoch_.dop = dop;
    // GN when more than one system is used, the system's own talker otherwise.
    int systems = 0;
    Gnss only = Gnss::Gps;
    for (const Gnss system : {Gnss::Gps, Gnss::Glonass, Gnss::Galileo, Gnss::BeiDou}) {
        if (std::any_of(used.begin(), used.end(), [&](const SkySatellite& s) { return s.system == system; })) {
            ++systems;
            only = system;
        }
    }
    // Before a fix, a receiver of one system still speaks as that system.
    if (systems == 0 && settings_.systems.size() == 1) {
        systems = 1;
        only = settings_.systems.front();
    }
    epoch_.talker = settings_.talker.value_or(systems == 1 ? std::string(nmea4::TalkerOf(only)) : "GN");
}

// UTC as the receiver tells it: by the firmware's own leap seconds until the
// current ones are decoded, with a leap second inserted, and the date a
// firmware of an old week base makes of it.
DecodedDateTime RealisticReceiver::ReceiverTime(TDateTime utc, const PowerOnState& power) const {
    constexpr double kSecond = 1.0 / 86'400;
    if (!power.leapSecondsKnown) {
        utc += (LeapSecondsAt(utc) - settings_.firmwareLeapSeconds) * kSecond;
    }
    if (settings_.weekBase) {
        // The broadcast week is ten bits: the firmware places it in the 1024 weeks from its base.
        constexpr int kRollover = 1024;
        const int week = static_cast<int>(std::floor((GpsTimeFromUtc(utc) + 1e-6) / kSecondsPerWeek));
        const int placed = *settings_.weekBase + (((week - *settings_.weekBase) % kRollover) + kRollover) % kRollover;
        utc += (placed - week) * 7.0;
    }
    bool second60 = false;
    if (settings_.leapSecondAt && utc >= *settings_.leapSecondAt - 1e-9) {
        // The clock runs on continuously; from the leap second on, UTC is a second behind it.
        second60 = utc < *settings_.leapSecondAt + kSecond - 1e-9;
        utc -= kSecond;
    }
    DecodedDateTime t = DecodeDateTime(utc);
    if (second60 && settings_.dialect.second60) {
        t.second = 60;
    }
    return t;
}

// The satellites found so far after power-on, the highest first; before
// their orbits are known only those tracked are listed, without a place.
void RealisticReceiver::Acquire(const PowerOnState& power) {
    if (power.trackedShare >= 1 && power.orbitsKnown) {
        return;
    }
    std::vector<nmea4::Satellite>& sky = epoch_.satellites;
    std::stable_sort(sky.begin(), sky.end(), [](const nmea4::Satellite& a, const nmea4::Satellite& b) {
        return a.elevation > b.elevation;
    });
    const auto tracked = static_cast<std::size_t>(std::ceil(power.trackedShare * static_cast<double>(sky.size())));
    for (std::size_t i = tracked; i < sky.size(); ++i) {
        sky[i].snr.reset();
        sky[i].secondSnr.reset();
        sky[i].used = false;
    }
    if (!power.orbitsKnown) {
        sky.resize(std::min(tracked, sky.size()));
        for (nmea4::Satellite& s : sky) {
            s.placed = false;
        }
    }
}

// No fix before the first, 2D for its first seconds, the dilution settling.
void RealisticReceiver::Settle(const PowerOnState& power) {
    if (power.mostFix == 0) {
        epoch_.fix = FixType::None;
        epoch_.quality = 0;
        epoch_.mode = Mode::None;
        if (!settings_.dialect.solutionBeforeFix) {
            for (nmea4::Satellite& s : epoch_.satellites) {
                s.used = false;  // tracked, but in no solution yet
            }
        }
        return;
    }
    if (power.mostFix == 2 && epoch_.fix == FixType::ThreeD) {
        epoch_.fix = FixType::TwoD;
    }
    if (epoch_.fix != FixType::None) {
        Dilution& dop = epoch_.dop;
        dop.pdop *= power.dopFactor;
        dop.hdop *= power.dopFactor;
        dop.vdop *= power.dopFactor;
    }
}

bool RealisticReceiver::SwitchedOff(Gnss system) const {
    return std::find(systemsOff_.begin(), systemsOff_.end(), system) != systemsOff_.end();
}

std::string RealisticReceiver::Update(const ReceiverInput& in) {
    SetOutage(in.outage);
    if (in.vessel.systemsOff != systemsOff_) {
        systemsOff_ = in.vessel.systemsOff;
        skyTime_.reset();  // a system's signals came or went: the sky again
        epoch_.satellites.clear();
    }
    const VesselState& vessel = in.vessel.state;
    const GpsSeconds t = GpsTimeFromUtc(in.utc);
    const double latitude = vessel.position.lat;
    const double longitude = vessel.position.lon;
    const double height = vessel.altitude + settings_.geoidSeparation;
    // The fix and the dilution follow the sky: derived when it changes, and
    // every update while the receiver is still acquiring after power-on.
    if (restartAsked_) {
        Restart(*std::exchange(restartAsked_, std::nullopt), in.elapsed);
    }
    const PowerOnState power = PowerOnAt(settings_.start, settings_.startTimes, in.elapsed - poweredOnAt_);
    const bool acquiring = !power.Settled() || !power.timeKnown;
    if (!settings_.given.empty()) {
        if (!skyTime_ || acquiring) {
            epoch_.satellites.clear();
            for (const GivenSatellite& g : settings_.given) {
                if (SwitchedOff(g.system)) {
                    continue;
                }
                epoch_.satellites.push_back(
                    {g.system, g.number, g.elevation, g.azimuth, g.snr.value_or(SignalFor(g.elevation)), g.used});
            }
            skyTime_ = t;
            Acquire(power);
            DeriveFix();
            Settle(power);
            WriteSkySentences();
        }
    } else if (!skyTime_ || std::fabs(t - *skyTime_) > kSkyLifetime || acquiring) {
        ComputeSky(t, latitude, longitude, height);
        Acquire(power);
        DeriveFix();
        Settle(power);
        WriteSkySentences();
    }
    epoch_.timeKnown = power.timeKnown;
    epoch_.utc = ReceiverTime(in.utc, power);
    if (!power.timeKnown && settings_.dialect.clockFromGpsEpoch) {
        constexpr double kSecond = 1.0 / 86'400;
        epoch_.timeKnown = true;  // as far as the receiver can tell
        epoch_.utc = DecodeDateTime(EncodeDateTime(1980, 1, 6) + (in.elapsed - settings_.firmwareLeapSeconds) * kSecond);
    }
    epoch_.latitude = latitude;
    epoch_.longitude = longitude;
    epoch_.altitude = vessel.altitude;
    epoch_.geoidSeparation = settings_.geoidSeparation;
    epoch_.speedKnots = vessel.speed / kMetresPerSecondPerKnot;
    epoch_.course = vessel.course;
    epoch_.magneticVariation = settings_.magneticVariation;
    epoch_.trueHeading = settings_.trueHeading.value_or(vessel.heading);
    epoch_.rangeError = settings_.positionNoise
                            ? *settings_.positionNoise * std::numbers::sqrt2 / std::max(epoch_.dop.hdop, 0.01)
                            : settings_.rangeError;
    ReadInstruments(in.world, in.vessel, in.elapsed);
    ScheduleInstruments(in.elapsed);
    epoch_.navigation.reset();
    if (const std::optional<RouteLeg> leg = LegOf(in.world, in.vessel)) {
        epoch_.navigation = {*leg, ApproachOf(*leg, vessel.position, epoch_.speedKnots, vessel.course,
                                              settings_.arrivalRadiusNm)};
    }

    // The epoch in the model's order: what comes before the satellites in
    // view, then they (and the route) as the line has room, then the rest.
    std::string out, tail;
    out.reserve(1024);
    bool afterSky = false;
    const Route* route = in.world.FindRoute(in.vessel.progress.route);
    for (const Kind4 kind : Order()) {
        if (kind == Kind4::GSV) {
            afterSky = true;
        } else if (Sends(kind)) {
            AppendKind(afterSky ? tail : out, kind, route);
        }
    }
    AppendAAM(tail);

    QueueRoute(in.world, route, in.elapsed);
    const double interval = settings_.dialect.gsvInterval;
    if (Sends(Kind4::GSV) && (interval <= 0 || !lastGsv_ || in.elapsed - *lastGsv_ >= interval - 1e-6)) {
        lastGsv_ = in.elapsed;
        for (std::size_t i = 0; i < gsv_.size(); ++i) {
            const auto group = static_cast<Waiting>(i);
            if (!gsv_[i].empty() && std::find(waiting_.begin(), waiting_.end(), group) == waiting_.end()) {
                waiting_.push_back(group);
            }
        }
    }
    const std::size_t fixed = out.size() + tail.size();
    const std::size_t limit = settings_.lineBytesPerUpdate;
    AppendWaiting(out, limit == 0 ? std::string::npos : limit > fixed ? limit - fixed : 0);
    out += tail;
    if (!nmeaOut_) {
        out.clear();  // NMEA switched off on this port
    }
    if (ubxOut_) {
        AppendNav(out, in.elapsed - poweredOnAt_);
    }
    ++updates_;
    once_.reset();
    navOnce_.reset();
    return out;
}

std::span<const Kind4> RealisticReceiver::Order() const { return order_; }

// The instruments read the vessel as it truly is: they need no fix.
void RealisticReceiver::ReadInstruments(const World& world, const Vessel& v, double elapsed) {
    const RealisticSettings::Instruments& set = settings_.instruments;
    const VesselState& vessel = v.state;
    instruments::Reading& r = reading_;
    const double knots = vessel.speed / kMetresPerSecondPerKnot;
    if (readAt_) {
        r.tripNm += r.waterKnots * (elapsed - *readAt_) / 3600;
        r.groundTripNm += r.courseKnots * (elapsed - *readAt_) / 3600;
    }
    readAt_ = elapsed;
    r.heading = vessel.heading;
    r.rateOfTurn = vessel.rateOfTurn * 60;
    r.magneticVariation = settings_.magneticVariation;
    r.waterKnots = vessel.waterSpeed / kMetresPerSecondPerKnot;
    r.courseKnots = knots;
    r.course = vessel.course;
    r.depth = DepthUnder(world, v);
    r.transducerOffset = set.transducerOffset;
    r.trueWind = v.surroundings.wind ? std::optional(WindAt(*v.surroundings.wind, v.surroundings.gustSeed, elapsed))
                                     : std::nullopt;
    r.totalNm = r.tripNm;  // a log new with the run
    r.groundTotalNm = r.groundTripNm;
    r.waterCelsius = v.surroundings.waterCelsius;
}

// The instruments' kinds; nothing for any other.
void RealisticReceiver::AppendInstrument(std::string& out, Kind4 kind) const {
    namespace i = instruments;
    const std::optional<i::Instrument> instrument = i::InstrumentOf(kind);
    if (!instrument || !instrumentDue_[static_cast<std::size_t>(*instrument)]) {
        return;
    }
    const std::string_view talker = settings_.instruments.talker
                                        ? std::string_view(*settings_.instruments.talker)
                                        : i::kInstruments[static_cast<std::size_t>(*instrument)].talker;
    switch (kind) {
        case Kind4::HDG: i::AppendHDG(out, talker, reading_); break;
        case Kind4::HDM: i::AppendHDM(out, talker, reading_); break;
        case Kind4::THS: i::AppendTHS(out, talker, reading_); break;
        case Kind4::ROT: i::AppendROT(out, talker, reading_); break;
        case Kind4::DPT: i::AppendDPT(out, talker, reading_); break;
        case Kind4::DBT: i::AppendDBT(out, talker, reading_); break;
        case Kind4::MWV: i::AppendMWV(out, talker, reading_); break;
        case Kind4::MWD: i::AppendMWD(out, talker, reading_); break;
        case Kind4::VHW: i::AppendVHW(out, talker, reading_); break;
        case Kind4::VLW: i::AppendVLW(out, talker, reading_); break;
        case Kind4::MTW: i::AppendMTW(out, talker, reading_); break;
        default: break;
    }
}

// Which instruments send with this update: each at its own rate, on the
// first update at or after each of its instants, so that it keeps its rate
// on average whatever the updates' rate; at every update without one.
void RealisticReceiver::ScheduleInstruments(double elapsed) {
    for (std::size_t i = 0; i < instruments::kInstrumentCount; ++i) {
        const double rate = settings_.instruments.rates[i];
        instrumentDue_[i] = rate <= 0 || elapsed >= instrumentNext_[i] - 1e-6;
        if (rate > 0 && instrumentDue_[i]) {
            instrumentNext_[i] += 1 / rate;
            if (instrumentNext_[i] <= elapsed + 1e-6) {
                instrumentNext_[i] = elapsed + 1 / rate;  // the first update, or one after a gap
            }
        }
    }
}

// The model's order, then what this simulator sends that the model lacks
// (asked for by --sentences), in this simulator's order.
std::vector<Kind4> RealisticReceiver::OrderOf(const RealisticSettings& settings) {
    std::vector<Kind4> order = settings.order;
    for (const Kind4 kind : kNmea4Order) {
        if (std::find(order.begin(), order.end(), kind) == order.end()) {
            order.push_back(kind);
        }
    }
    return order;
}

void RealisticReceiver::AppendKind(std::string& out, Kind4 kind, const Route* route) const {
    const Dialect& d = settings_.dialect;
    const bool navigation = epoch_.navigation || d.navigationWithoutRoute;
    switch (kind) {
        case Kind4::RMC: nmea4::AppendRMC(out, epoch_, d); break;
        case Kind4::GGA: nmea4::AppendGGA(out, epoch_, d); break;
        case Kind4::GLL: nmea4::AppendGLL(out, epoch_, d); break;
        case Kind4::VTG: nmea4::AppendVTG(out, epoch_, d); break;
        case Kind4::ZDA: nmea4::AppendZDA(out, epoch_, d); break;
        case Kind4::GNS: nmea4::AppendGNS(out, epoch_, d); break;
        case Kind4::GST: nmea4::AppendGST(out, epoch_, d); break;
        case Kind4::HDT: nmea4::AppendHDT(out, epoch_); break;
        case Kind4::GSA: out += gsa_; break;
        case Kind4::RMB: if (navigation) nmea4::AppendRMB(out, epoch_, d); break;
        case Kind4::BOD: if (navigation) nmea4::AppendBOD(out, epoch_, d); break;
        case Kind4::APB: if (epoch_.navigation) nmea4::AppendAPB(out, epoch_); break;
        case Kind4::XTE: if (epoch_.navigation) nmea4::AppendXTE(out, epoch_); break;
        case Kind4::BWC: if (epoch_.navigation) nmea4::AppendBWC(out, epoch_, d); break;
        case Kind4::BWR: if (epoch_.navigation) nmea4::AppendBWR(out, epoch_, d); break;
        case Kind4::PGRME: nmea4::AppendPGRME(out, epoch_); break;
        case Kind4::PGRMZ: nmea4::AppendPGRMZ(out, epoch_); break;
        case Kind4::RTE:  // in the model's order: every epoch, empty with no route
            nmea4::AppendRTE(out, epoch_.talker, route ? route->name : "", route ? route->points : std::vector<std::string>{});
            break;
        default: AppendInstrument(out, kind); break;  // GSV and the route's wait for room on the line
    }
}

void RealisticReceiver::WriteSkySentences() {
    gsa_.clear();
    nmea4::AppendGSA(gsa_, epoch_, settings_.dialect);
    for (std::size_t i = 0; i < gsv_.size(); ++i) {
        gsv_[i].clear();
        nmea4::AppendGSV(gsv_[i], epoch_, static_cast<Gnss>(i + 1), settings_.dialect);
    }
}

const std::string& RealisticReceiver::TextOf(Waiting waiting) const {
    return waiting == Waiting::Route ? routeText_ : gsv_[static_cast<std::size_t>(waiting)];
}

// The first waiting group goes whatever its size, so that every group goes
// in turn; the ones after it while they fit the room left. The chosen go
// in system order, GPS first: gpsd, for one, reads a GPS group at the end
// of an update as the last of the cycle.
void RealisticReceiver::AppendWaiting(std::string& out, std::size_t room) {
    std::vector<Waiting> chosen;
    std::size_t size = 0;
    while (!waiting_.empty()) {
        const std::size_t next = TextOf(waiting_.front()).size();
        if (!chosen.empty() && size + next > room) {
            break;
        }
        chosen.push_back(waiting_.front());
        size += next;
        waiting_.pop_front();
    }
    const auto rank = [this](Waiting w) {
        const auto& order = settings_.dialect.systemOrder;
        return w == Waiting::Route ? order.size()
                                   : static_cast<std::size_t>(
                                         std::find(order.begin(), order.end(), static_cast<Gnss>(static_cast<int>(w) + 1)) -
                                         order.begin());
    };
    std::sort(chosen.begin(), chosen.end(), [&](Waiting a, Waiting b) { return rank(a) < rank(b); });
    for (const Waiting waiting : chosen) {
        out += TextOf(waiting);
    }
}

// WPL and RTE when the route becomes active or changes, then every
// routeInterval seconds.
void RealisticReceiver::QueueRoute(const World& world, const Route* route, double elapsed) {
    if (route == nullptr) {
        routeSent_.clear();
        std::erase(waiting_, Waiting::Route);
        return;
    }
    std::string key = route->name;
    for (const std::string& name : route->points) {
        key += '\n';
        key += name;
    }
    if (key == routeSent_ && elapsed - routeSentAt_ < settings_.routeInterval) {
        return;
    }
    routeSent_ = std::move(key);
    routeSentAt_ = elapsed;
    routeText_.clear();
    for (const std::string& name : route->points) {
        const WayPoint* w = world.FindWayPoint(name);
        if (w != nullptr && Sends(Kind4::WPL)) {
            nmea4::AppendWPL(routeText_, epoch_.talker, w->name, w->position.lat, w->position.lon);
        }
    }
    const auto order = Order();
    if (Sends(Kind4::RTE) && std::find(order.begin(), order.end(), Kind4::RTE) == order.end()) {
        nmea4::AppendRTE(routeText_, epoch_.talker, route->name, route->points);
    }
    if (!routeText_.empty() && std::find(waiting_.begin(), waiting_.end(), Waiting::Route) == waiting_.end()) {
        waiting_.push_back(Waiting::Route);
    }
}

// AAM every update for the destination of the leg steered: the arrival
// circle entered, the perpendicular through the destination passed.
void RealisticReceiver::AppendAAM(std::string& out) const {
    if (!epoch_.navigation || !Sends(Kind4::AAM)) {
        return;
    }
    const Approach& a = epoch_.navigation->approach;
    nmea4::AppendAAM(out, epoch_.talker, a.inCircle, a.passedPerpendicular, settings_.arrivalRadiusNm,
                     epoch_.navigation->leg.destination);
}

ReportedFix RealisticReceiver::Fix() const {
    static constexpr const char* kNames[] = {"", "GPS", "GLONASS", "Galileo", "BeiDou"};
    ReportedFix fix{epoch_.quality, epoch_.dop.hdop, epoch_.dop.pdop, epoch_.dop.vdop, {}};
    for (const nmea4::Satellite& s : epoch_.satellites) {
        fix.satellites.push_back({kNames[static_cast<int>(s.system)], nmea4::NmeaNumber(s.system, s.number),
                                  s.elevation, s.azimuth, s.snr, s.used});
    }
    return fix;
}

}  // namespace kovra::engine
