#include "engine/receiver/Models.h"

#include <algorithm>

namespace kovra::engine {

namespace {

constexpr Gnss kGps = Gnss::Gps, kGlonass = Gnss::Glonass, kGalileo = Gnss::Galileo, kBeiDou = Gnss::BeiDou;

// u-blox receivers write the course empty while it cannot be told from the
// motion (the recordings, standing still at 0.02 to 0.06 knots, never give
// one), no magnetic variation, and at most 12 used satellites in GGA
// whatever GSA lists.
constexpr double kUbloxSlowKnots = 0.1;

// NMEA 4.0 as u-blox 8 firmware ships it: no system ID in GSA, no signal ID
// in GSV, no navigational status in RMC; one GNGSA a system.
constexpr Dialect kUbloxNmea40{.gsaCombinedTalker = true,
                               .gsaSystemId = false,
                               .gsvSignalId = false,
                               .rmcNavStatus = NavStatus::None,
                               .courseEmptyBelowKnots = kUbloxSlowKnots,
                               .magneticVariation = false,
                               .ggaMostUsed = 12};
// NMEA 4.10, the u-blox M9 and F9 default: the IDs added, and RMC's status
// always V (the recordings give V with a differential fix).
constexpr Dialect kUbloxNmea410{.gsaCombinedTalker = true,
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

const std::vector<ReceiverModel>& Table() {
    static const std::vector<ReceiverModel> models = {
        {"nmea4", "this simulator's own: NMEA 0183 4.11, four systems, a GSA a system with its own talker", Dialect{},
         {kGps, kGlonass, kGalileo, kBeiDou}, false, {}},
        {"ublox-m8", "u-blox 8 (M8), NMEA 4.0 as shipped: GPS and GLONASS, GNGSA without system ID, GSV without signal ID",
         kUbloxNmea40, {kGps, kGlonass}, true, {"RMC", "VTG", "GGA", "GSA", "GSV", "GLL"}},
        {"ublox-m9", "u-blox M9, NMEA 4.10: four systems, GNGSA with system IDs, GSV with signal IDs, RMC with status",
         kUbloxNmea410, {kGps, kGlonass, kGalileo, kBeiDou}, true, {"RMC", "VTG", "GGA", "GSA", "GSV", "GLL"}},
        {"ublox-f9p", "u-blox F9P (HPG 1.11), NMEA 4.10 on two bands: a GSV sequence a signal, no SBAS",
         kUbloxTwoBands, {kGps, kGlonass, kGalileo, kBeiDou}, false, {"RMC", "VTG", "GGA", "GSA", "GSV", "GLL"}},
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

}  // namespace kovra::engine
