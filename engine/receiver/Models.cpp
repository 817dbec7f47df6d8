#include "engine/receiver/Models.h"

#include <algorithm>

#include "engine/run/Errors.h"

namespace kovra::engine {

namespace {

constexpr Gnss kGps = Gnss::Gps, kGlonass = Gnss::Glonass, kGalileo = Gnss::Galileo, kBeiDou = Gnss::BeiDou;

// Every model leaves GGA's altitude empty with a 2D fix, so that a reader
// such as gpsd, which takes an altitude for a 3D fix, sees the 2D one.
// u-blox receivers write the course empty while it cannot be told from the
// motion (the recordings, standing still at 0.02 to 0.06 knots, never give
// one), no magnetic variation, and at most 12 used satellites in GGA
// whatever GSA lists.
constexpr double kUbloxSlowKnots = 0.1;

// Without a fix yet u-blox receivers list the satellites they use in GSA
// with the dilution of their geometry, and leave GGA's units empty.
// NMEA 4.0 as u-blox 8 firmware ships it: no system ID in GSA, no signal ID
// in GSV, no navigational status in RMC; one GNGSA a system.
constexpr Dialect kUbloxNmea40{.heightIn2D = false,
                               .unitsWithoutFix = false,
                               .solutionBeforeFix = true,
                               .gsaCombinedTalker = true,
                               .gsaSystemId = false,
                               .gsvSignalId = false,
                               .rmcNavStatus = NavStatus::None,
                               .courseEmptyBelowKnots = kUbloxSlowKnots,
                               .magneticVariation = false,
                               .ggaMostUsed = 12};
// NMEA 4.10, the u-blox M9 and F9 default: the IDs added, and RMC's status
// always V (the recordings give V with a differential fix).
constexpr Dialect kUbloxNmea410{.heightIn2D = false,
                                .unitsWithoutFix = false,
                                .solutionBeforeFix = true,
                                .gsaCombinedTalker = true,
                                .rmcNavStatus = NavStatus::AlwaysNotValid,
                                .courseEmptyBelowKnots = kUbloxSlowKnots,
                                .magneticVariation = false,
                                .ggaMostUsed = 12,
                                .differentialStation = "0000"};

// The F9 generation receives two bands: a second GSV sequence a system, L2
// C/A (6), L2OF (3), E5b (2) and B2I, whose ID HPG 1.11 leaves empty.
constexpr Dialect kUbloxTwoBands = [] {
    Dialect d = kUbloxNmea410;
    d.secondBand = true;
    d.secondSignalIds = {"6", "3", "2", ""};
    return d;
}();

// The settings of u-blox's NMEA configuration (CFG-NMEA), as the receivers name them.
bool SetNmeaVersion(ReceiverConfiguration& c, std::string_view v) {
    Dialect& d = c.dialect;
    if (v != "2.3" && v != "4.0" && v != "4.10" && v != "4.11") {
        return false;
    }
    const bool ids = v == "4.10" || v == "4.11";  // 4.10 added the system and signal IDs and the status
    d.gsaSystemId = ids;
    d.gsvSignalId = ids;
    d.rmcNavStatus = ids ? NavStatus::AlwaysNotValid : NavStatus::None;
    return true;
}

bool SetHighPrecision(ReceiverConfiguration& c, std::string_view v) {
    Dialect& d = c.dialect;
    if (v != "0" && v != "1") {
        return false;
    }
    d.minuteDecimals = v == "1" ? 7 : 5;
    d.altitudeDecimals = v == "1" ? 3 : 1;
    return true;
}

bool SetMostSatellites(ReceiverConfiguration& c, std::string_view v) {
    if (v != "0" && v != "8" && v != "12" && v != "16") {
        return false;
    }
    c.dialect.gsvMostPerSystem = std::stoi(std::string(v));
    return true;
}

const std::vector<ModelSetting> kUbloxSettings = {
    {"nmeaVersion", "2.3, 4.0, 4.10 or 4.11", SetNmeaVersion},
    {"highPrec", "0 or 1 (7 decimals of a minute, 3 of altitude)", SetHighPrecision},
    {"numSV", "0 (all), 8, 12 or 16 satellites a system", SetMostSatellites},
};

bool SetFlag(bool& flag, std::string_view v) {
    if (v != "0" && v != "1") {
        return false;
    }
    flag = v == "1";
    return true;
}

// MTK's commands name its settings: PMTK313 searches for SBAS satellites,
// PMTK301 picks the source of corrections (none, RTCM, or WAAS: SBAS).
const std::vector<ModelSetting> kMtkSettings = {
    {"PMTK313", "0 or 1 (SBAS satellites searched)",
     [](ReceiverConfiguration& c, std::string_view v) { return SetFlag(c.sbas, v); }},
    {"PMTK301", "0 (no corrections), 1 (RTCM) or 2 (WAAS, from SBAS)",
     [](ReceiverConfiguration& c, std::string_view v) {
         if (v != "0" && v != "1" && v != "2") {
             return false;
         }
         c.sbasCorrectionsUsed = v == "2";
         return true;
     }},
};

// SiRF's PSRF151 switches WAAS/EGNOS on (tracked and used) or off, as shipped.
const std::vector<ModelSetting> kSirfSettings = {
    {"PSRF151", "0 or 1 (WAAS/EGNOS)",
     [](ReceiverConfiguration& c, std::string_view v) { return SetFlag(c.sbas, v); }},
};

// The MTK3339 family (Quectel L70 and its kin), NMEA 3.01, GPS only: four
// decimals of a minute, milliseconds, speeds to hundredths, GGA's count in
// one digit, ZDA's zone empty, GSV by elevation every fifth second; it
// keeps giving the last course while standing still. MTK and SiRF write a
// leap second as 23:59:59 twice, u-blox as 23:59:60. Until a signal gives
// the time it writes its clock's, from the start of GPS time.
constexpr Dialect kMtk{.minuteDecimals = 4,
                       .timeDecimals = 3,
                       .speedDecimals = 2,
                       .clockFromGpsEpoch = true,
                       .ggaUsedPadded = false,
                       .heightIn2D = false,
                       .zdaZoneEmpty = true,
                       .second60 = false,
                       .gsvOrder = GsvOrder::ByElevation,
                       .gsvInterval = 5,
                       .gsaSystemId = false,
                       .gsvSignalId = false,
                       .rmcNavStatus = NavStatus::None,
                       .magneticVariation = false,
                       .ggaMostUsed = 12};
// SiRF IV (as in the BU-353-S4), NMEA 3.0, GPS only: as the MTK's numbers
// but dilutions to one decimal, GGA's count in two digits and its station
// 0000 whatever the fix, ZDA's zone 00,00, and GSV every fifth second with
// the tracked satellites first.
constexpr Dialect kSirf = [] {
    Dialect d = kMtk;
    d.clockFromGpsEpoch = false;
    d.dopDecimals = 1;
    d.ggaUsedPadded = true;
    d.zdaZoneEmpty = false;
    d.gsvOrder = GsvOrder::TrackedByElevation;
    d.differentialStation = "0000";
    d.stationAlways = true;
    return d;
}();

// The Quectel L76K (a CASIC AT6558R), NMEA 4.10 as it writes it: GPS,
// BeiDou and GLONASS in that order, BeiDou's GSV as BD, signal ID 0 for
// every system, milliseconds, speeds to hundredths, dilutions to one
// decimal, RMC's status V; the course kept while standing still.
constexpr Dialect kL76k{.timeDecimals = 3,
                        .speedDecimals = 2,
                        .dopDecimals = 1,
                        .heightIn2D = false,
                        .gsaCombinedTalker = true,
                        .signalIds = {"0", "0", "0", "0"},
                        .systemOrder = {Gnss::Gps, Gnss::BeiDou, Gnss::Glonass, Gnss::Galileo},
                        .beidouTalker = "BD",
                        .rmcNavStatus = NavStatus::AlwaysNotValid,
                        .magneticVariation = false};

// Garmin's handhelds (the Foretrex 201 recorded), NMEA 2.3, GPS and WAAS
// on twelve channels: whole seconds, four decimals of a minute, speeds,
// courses and dilutions to one decimal; GSA's fields as the channels; SNR
// 00 for a satellite not tracked; until the fix no time of day (the date
// and the magnetic variation given) and no dilution; RMB, BOD and RTE
// always, empty with no route.
constexpr Dialect kGarmin{.minuteDecimals = 4,
                          .timeDecimals = 0,
                          .speedDecimals = 1,
                          .dopDecimals = 1,
                          .courseDecimals = 1,
                          .timeOnlyWithFix = true,
                          .dopEmptyWithoutFix = true,
                          .variationWithoutFix = true,
                          .untrackedSnrZero = true,
                          .gsaSlotsByChannel = true,
                          .navigationWithoutRoute = true,
                          .gsaSystemId = false,
                          .gsvSignalId = false,
                          .gsvMostPerSystem = 12,
                          .rmcNavStatus = NavStatus::None,
                          .ggaMostUsed = 12};

using K = Kind4;

const std::vector<ReceiverModel>& Table() {
    static const std::vector<ReceiverModel> models = {
        {"nmea4", "this simulator's own: NMEA 0183 4.11, four systems, a GSA a system with its own talker", Dialect{},
         {kGps, kGlonass, kGalileo, kBeiDou}, false, {}},
        {"ublox-m8", "u-blox 8 (M8), NMEA 4.0 as shipped: GPS and GLONASS, GNGSA without system ID, GSV without signal ID",
         kUbloxNmea40, {kGps, kGlonass}, true, {"RMC", "VTG", "GGA", "GSA", "GSV", "GLL"}, kUbloxSettings, {},
         {26, 25, 1}, 17, 10, 1, CommandSet::Ublox,  // firmware of 2016, before the leap second at its end
         {"ROM CORE 3.01 (107888)", "00080000", {"FWVER=SPG 3.01", "PROTVER=18.00", "GPS;GLO;GAL;BDS", "SBAS;IMES;QZSS"}}},
        {"ublox-m9", "u-blox M9, NMEA 4.10: four systems, GNGSA with system IDs, GSV with signal IDs, RMC with status",
         kUbloxNmea410, {kGps, kGlonass, kGalileo, kBeiDou}, true, {"RMC", "VTG", "GGA", "GSA", "GSV", "GLL"},
         kUbloxSettings, {}, {24, 23, 2}, 18, 25, 1, CommandSet::Ublox,
         {"EXT CORE 4.04 (7f89f7)", "00190000",
          {"ROM BASE 0x118B2060", "FWVER=SPG 4.04", "PROTVER=32.01", "MOD=NEO-M9N-0", "GPS;GLO;GAL;BDS", "SBAS;QZSS"}}},
        {"ublox-f9p", "u-blox F9P (HPG 1.11), NMEA 4.10 on two bands: a GSV sequence a signal, no SBAS",
         kUbloxTwoBands, {kGps, kGlonass, kGalileo, kBeiDou}, false, {"RMC", "VTG", "GGA", "GSA", "GSV", "GLL"},
         kUbloxSettings, {}, {25, 24, 2}, 18, 20, 1, CommandSet::Ublox,
         {"EXT CORE 1.00 (61b2dd)", "00190000",
          {"ROM BASE 0x118B2060", "FWVER=HPG 1.11", "PROTVER=27.10", "MOD=ZED-F9P", "GPS;GLO;GAL;BDS", "QZSS"}}},
        {"mtk", "MediaTek MTK3339 family (Quectel L70), NMEA 3.01: GPS and SBAS, ZDA first, GSV every 5 s by elevation",
         kMtk, {kGps}, true, {"RMC", "VTG", "GGA", "GSA", "GSV"}, kMtkSettings,
         {K::ZDA, K::GLL, K::RMC, K::VTG, K::GGA, K::GSA, K::GSV, K::GST}, {35, 30, 1}, 18, 10, 1, CommandSet::Mtk,
         {"AXN_2.51_3339_19071200,0002,QUECTEL-L70,1.0"}},  // as the L70 recorded answers PMTK605
        {"quectel-l76k", "Quectel L76K (CASIC), NMEA 4.10: GPS, BeiDou and GLONASS, BDGSV, signal ID 0, GGA first",
         kL76k, {kGps, kBeiDou, kGlonass}, false, {"GGA", "GLL", "GSA", "GSV", "RMC", "VTG", "ZDA"}, {},
         {K::GGA, K::GLL, K::GSA, K::GSV, K::RMC, K::VTG, K::ZDA}, {30, 28, 1}, 18, 5, 1, CommandSet::Casic},
        {"sirf", "SiRF IV (GlobalSat BU-353-S4), NMEA 3.0: GPS only, GGA GSA RMC, GSV every 5 s",
         kSirf, {kGps}, false, {"GGA", "GSA", "GSV", "RMC"}, kSirfSettings,
         {K::GGA, K::GLL, K::GSA, K::GSV, K::RMC, K::VTG, K::ZDA}, {35, 35, 1}, 15, 5, 1,  // firmware of about 2010
         CommandSet::Sirf},
        {"garmin", "Garmin handheld (Foretrex 201), NMEA 2.3: GPS and WAAS, every 2 s, RMB BOD RTE, PGRME PGRMZ",
         kGarmin, {kGps}, true, {"RMC", "RMB", "GGA", "GSA", "GSV", "GLL", "BOD", "PGRME", "PGRMZ", "RTE"}, {},
         {K::RMC, K::RMB, K::GGA, K::GSA, K::GSV, K::GLL, K::BOD, K::PGRME, K::PGRMZ, K::RTE}, {45, 15, 2}, 15,
         0.5, 0.5, CommandSet::None, {}, 3.98},  // its recording: PGRME's 19.9 m at HDOP 2.5
    };
    return models;
}

}  // namespace

std::span<const ReceiverModel> ReceiverModels() { return Table(); }

const ReceiverModel* FindReceiverModel(std::string_view name) {
    const auto& models = Table();
    const auto found = std::find_if(models.begin(), models.end(), [&](const ReceiverModel& m) { return m.name == name; });
    return found == models.end() ? nullptr : &*found;
}

ReceiverConfiguration ConfigurationOf(const ReceiverModel& model, std::span<const std::string> settings) {
    ReceiverConfiguration configuration{model.dialect, model.sbas};
    for (const std::string& given : settings) {
        const std::size_t equals = given.find('=');
        const std::string key = given.substr(0, equals);
        const auto setting = std::find_if(model.settings.begin(), model.settings.end(),
                                          [&](const ModelSetting& s) { return s.key == key; });
        if (setting == model.settings.end()) {
            std::string known;
            for (const ModelSetting& s : model.settings) {
                known += (known.empty() ? "" : ", ") + std::string(s.key);
            }
            throw SettingError("'" + key + "' is not a setting of " + std::string(model.name) +
                               (known.empty() ? " (it has none)" : " (" + known + ")"));
        }
        if (equals == std::string::npos || !setting->apply(configuration, std::string_view(given).substr(equals + 1))) {
            throw SettingError("'" + given + "': " + key + " takes " + std::string(setting->values));
        }
    }
    return configuration;
}

}  // namespace kovra::engine
