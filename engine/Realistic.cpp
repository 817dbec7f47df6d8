#include "engine/Realistic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>

#include "engine/Motion.h"
#include "satellites/SkyPlot.h"

namespace kovra::engine {

namespace {

using nmea4::FixType;
using nmea4::Mode;

constexpr double kArrivalCircleNm = 0.1;
// Satellites move about 0.01° a second: a sky up to a second old is written
// as it stands (at 1 Hz it is computed every other update).
constexpr double kSkyLifetime = 1.0;
constexpr std::array<const char*, static_cast<std::size_t>(Kind4::Count)> kKindNames = {
    "RMC", "GGA", "GLL", "VTG", "GNS", "GSA", "GSV", "GST", "HDT", "ZDA", "WPL", "RTE", "AAM"};

bool Has(const Kinds4& kinds, Kind4 kind) { return kinds.test(static_cast<std::size_t>(kind)); }

// A signal that grows with elevation, as a patch antenna sees it: 25 dB-Hz
// at the horizon, 50 at the zenith.
int SignalFor(double elevation) {
    const double sine = std::sin(std::max(0.0, elevation) * std::numbers::pi / 180);
    return static_cast<int>(std::lround(25 + 25 * sine));
}

}  // namespace

std::optional<Kinds4> ParseKinds4(const std::string& text) {
    Kinds4 kinds;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::string kind = text.substr(start, comma - start);
        for (char& c : kind) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (kind.size() == 5 && (kind.rfind("GP", 0) == 0 || kind.rfind("GN", 0) == 0)) {
            kind = kind.substr(2);
        }
        if (kind == "ALL") {
            kinds.set();
        } else {
            const auto found = std::find(kKindNames.begin(), kKindNames.end(), kind);
            if (found == kKindNames.end()) {
                return std::nullopt;
            }
            kinds.set(static_cast<std::size_t>(found - kKindNames.begin()));
        }
        start = comma + 1;
    }
    return kinds;
}

Kinds4 DefaultKinds4() {
    Kinds4 kinds;
    for (const Kind4 kind : {Kind4::RMC, Kind4::VTG, Kind4::GGA, Kind4::GSA, Kind4::GSV, Kind4::GLL, Kind4::ZDA,
                             Kind4::WPL, Kind4::RTE, Kind4::AAM}) {
        kinds.set(static_cast<std::size_t>(kind));
    }
    return kinds;
}

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
    return canvas.Document();
}

RealisticReceiver::RealisticReceiver(RealisticSettings settings) : settings_(std::move(settings)) {
    for (const Gnss system : settings_.systems) {
        const bool fromAlmanac = system == Gnss::Gps && !settings_.almanac.empty();
        const std::vector<OrbitingSatellite> orbits = fromAlmanac ? settings_.almanac : NominalConstellation(system);
        orbits_.insert(orbits_.end(), orbits.begin(), orbits.end());
    }
}

void RealisticReceiver::ComputeSky(GpsSeconds t, double latitude, double longitude, double height) {
    epoch_.satellites.clear();
    for (const SkySatellite& s : SkyAt(orbits_, t, latitude, longitude, height)) {
        epoch_.satellites.push_back({s.system, s.number, static_cast<int>(std::lround(s.elevation)),
                                     static_cast<int>(std::lround(s.azimuth)) % 360, SignalFor(s.elevation),
                                     s.healthy && s.elevation >= settings_.elevationMask});
    }
    skyTime_ = t;
}

// The fix and the dilution follow the used satellites unless forced: four
// or more give a 3D fix, three a 2D fix (the height held), fewer none.
void RealisticReceiver::DeriveFix() {
    std::vector<SkySatellite> used;
    for (const nmea4::Satellite& s : epoch_.satellites) {
        if (s.used) {
            used.push_back({s.system, s.number, static_cast<double>(s.elevation), static_cast<double>(s.azimuth), true});
        }
    }
    FixType fix = used.size() >= 4 ? FixType::ThreeD : used.size() == 3 ? FixType::TwoD : FixType::None;
    if (settings_.fixQuality) {
        fix = *settings_.fixQuality == 0 ? FixType::None : fix == FixType::None ? FixType::ThreeD : fix;
    }
    epoch_.fix = fix;
    epoch_.quality = settings_.fixQuality.value_or(fix == FixType::None ? 0 : 1);
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
    dop.pdop = settings_.pdop.value_or(dop.pdop);
    dop.hdop = settings_.hdop.value_or(dop.hdop);
    dop.vdop = settings_.vdop.value_or(dop.vdop);
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
    epoch_.talker = settings_.talker.value_or(systems == 1 ? std::string(nmea4::TalkerOf(only)) : "GN");
}

std::string RealisticReceiver::Update(const TKovraNMEAGenerator& gps, double elapsed) {
    const TDateTime now = gps.GetUTCDateTime();
    const GpsSeconds t = GpsTimeFromUtc(now);
    const double latitude = static_cast<double>(gps.GetLatitudeAsDecimalDegrees());
    const double longitude = static_cast<double>(gps.GetLongitudeAsDecimalDegrees());
    const double height = static_cast<double>(gps.Altitude() + gps.Geo_Height());
    // The fix and the dilution follow the sky: derived when it changes.
    if (!settings_.given.empty()) {
        if (!skyTime_) {
            for (const GivenSatellite& g : settings_.given) {
                epoch_.satellites.push_back(
                    {g.system, g.number, g.elevation, g.azimuth, g.snr.value_or(SignalFor(g.elevation)), g.used});
            }
            skyTime_ = t;
            DeriveFix();
        }
    } else if (!skyTime_ || std::fabs(t - *skyTime_) > kSkyLifetime) {
        ComputeSky(t, latitude, longitude, height);
        DeriveFix();
    }
    epoch_.utc = DecodeDateTime(now);
    epoch_.latitude = latitude;
    epoch_.longitude = longitude;
    epoch_.altitude = static_cast<double>(gps.Altitude());
    epoch_.geoidSeparation = static_cast<double>(gps.Geo_Height());
    epoch_.speedKnots = static_cast<double>(gps.Speed());
    epoch_.course = static_cast<double>(gps.Heading());
    const double variation = static_cast<double>(gps.Magnetic_Variation());
    epoch_.magneticVariation = gps.Magnetic_Variation_Direction() == TCardinalPoint::cpWest ? -variation : variation;
    epoch_.trueHeading = settings_.trueHeading.value_or(epoch_.course);
    epoch_.rangeError = settings_.rangeError;

    std::string out;
    using Append = void (*)(std::string&, const nmea4::Epoch&);
    const std::pair<Kind4, Append> order[] = {
        {Kind4::RMC, nmea4::AppendRMC}, {Kind4::VTG, nmea4::AppendVTG}, {Kind4::GGA, nmea4::AppendGGA},
        {Kind4::GNS, nmea4::AppendGNS}, {Kind4::GSA, nmea4::AppendGSA}, {Kind4::GSV, nmea4::AppendGSV},
        {Kind4::GLL, nmea4::AppendGLL}, {Kind4::GST, nmea4::AppendGST}, {Kind4::HDT, nmea4::AppendHDT},
        {Kind4::ZDA, nmea4::AppendZDA},
    };
    for (const auto& [kind, append] : order) {
        if (Has(settings_.sentences, kind)) {
            append(out, epoch_);
        }
    }
    AppendRoute(out, gps, elapsed);
    return out;
}

// WPL and RTE when the route becomes active or changes, then every
// routeInterval seconds; AAM every update, for the nearest waypoint.
void RealisticReceiver::AppendRoute(std::string& out, const TKovraNMEAGenerator& gps, double elapsed) {
    const TRoute* route = gps.Routes().ActiveRoute();
    if (route == nullptr) {
        routeSent_.clear();
        return;
    }
    std::string key = route->Name();
    for (const std::string& name : route->WayPoints()) {
        key += '\n' + name;
    }
    if (key != routeSent_ || elapsed - routeSentAt_ >= settings_.routeInterval) {
        routeSent_ = key;
        routeSentAt_ = elapsed;
        for (const std::string& name : route->WayPoints()) {
            const TWayPoint* w = gps.WayPoints().GetByName(name);
            if (w != nullptr && Has(settings_.sentences, Kind4::WPL)) {
                const GeoPoint p = PositionOf(*w);
                nmea4::AppendWPL(out, epoch_.talker, w->Name(), p.lat, p.lon);
            }
        }
        if (Has(settings_.sentences, Kind4::RTE)) {
            nmea4::AppendRTE(out, epoch_.talker, route->Name(), route->WayPoints());
        }
    }
    if (!Has(settings_.sentences, Kind4::AAM)) {
        return;
    }
    const GeoPoint here = PositionOf(gps);
    const std::string* nearest = nullptr;
    double distance = std::numeric_limits<double>::infinity();
    for (const std::string& name : route->WayPoints()) {
        if (const TWayPoint* w = gps.WayPoints().GetByName(name)) {
            if (const double d = DistanceNm(here, PositionOf(*w)); d < distance) {
                distance = d;
                nearest = &name;
            }
        }
    }
    if (nearest != nullptr) {
        nmea4::AppendAAM(out, epoch_.talker, distance <= kArrivalCircleNm, false, kArrivalCircleNm, *nearest);
    }
}

}  // namespace kovra::engine
