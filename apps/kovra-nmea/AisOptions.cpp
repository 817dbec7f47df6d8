#include "AisOptions.h"

#include <charconv>
#include <cstdio>
#include <map>

#include "Options.h"
#include "engine/run/Errors.h"

namespace kovra::app {

namespace {

using engine::QuotedValue;
using UsageError = engine::SettingError;
using K = engine::ais::StationKind;

const std::map<std::string, K, std::less<>> kClasses = {
    {"A", K::ClassA},        {"B", K::ClassB},     {"base", K::BaseStation}, {"aton", K::AidToNavigation},
    {"sar", K::SarAircraft}, {"sart", K::Sart},    {"mob", K::Mob},          {"epirb", K::Epirb}};

// The MMSI forms of the safety devices: 970…, 972…, 974….
std::optional<std::string_view> PrefixOf(K kind) {
    switch (kind) {
        case K::Sart: return "970";
        case K::Mob: return "972";
        case K::Epirb: return "974";
        default: return std::nullopt;
    }
}

// The fastest a station's reports can tell: a ship's in tenths of a knot, an aircraft's in knots.
constexpr double kMostKnots(engine::ais::StationKind kind) {
    return kind == engine::ais::StationKind::SarAircraft ? 1022 : 102.2;
}

class Reader {
public:
    explicit Reader(const std::string& text) : text_(text) {}

    [[noreturn]] void Fail(const std::string& what) const { throw UsageError(QuotedValue(text_) + ": " + what); }

    double Number(const std::string& key, const std::string& value, double low, double high) const {
        double v = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), v);
        if (error != std::errc() || end != value.data() + value.size() || v < low || v > high) {
            Fail(key + " " + QuotedValue(value) + " is not from " + Shown(low) + " to " + Shown(high));
        }
        return v;
    }
    int Whole(const std::string& key, const std::string& value, int low, int high) const {
        const double v = Number(key, value, low, high);
        if (v != static_cast<int>(v)) {
            Fail(key + " " + QuotedValue(value) + " is not a whole number");
        }
        return static_cast<int>(v);
    }
    bool Flag(const std::string& key, const std::string& value) const {
        if (value != "true" && value != "false") {
            Fail(key + " " + QuotedValue(value) + " is not true or false");
        }
        return value == "true";
    }

private:
    const std::string& text_;
};

}  // namespace

AisGiven ParseAis(const std::string& text, bool target) {
    AisGiven given;
    engine::ais::Identity& id = given.identity;
    const Reader r(text);
    std::optional<double> cpa, in, bearing;
    bool hasMmsi = false;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string part = text.substr(start, comma - start);
        start = comma + 1;
        const std::size_t equals = part.find('=');
        if (equals == std::string::npos || equals + 1 == part.size()) {
            r.Fail(QuotedValue(part) + " is not KEY=VALUE");
        }
        const std::string key = part.substr(0, equals), value = part.substr(equals + 1);
        if (key == "class") {
            const auto found = kClasses.find(value);
            if (found == kClasses.end()) {
                r.Fail("class " + QuotedValue(value) + " is not A, B, base, aton, sar, sart, mob or epirb");
            }
            id.kind = found->second;
        } else if (key == "mmsi") {
            if (value.size() != 9 || value.find_first_not_of("0123456789") != std::string::npos) {
                r.Fail("mmsi " + QuotedValue(value) + " is not nine digits");
            }
            id.mmsi = static_cast<std::uint32_t>(std::stoul(value));
            hasMmsi = true;
        } else if (key == "name") id.name = value;
        else if (key == "callsign") id.callSign = value;
        else if (key == "destination") id.destination = value;
        else if (key == "imo") id.imo = static_cast<std::uint32_t>(r.Whole(key, value, 0, 999'999'999));
        else if (key == "type") id.shipType = r.Whole(key, value, 0, 255);
        else if (key == "bow") id.dimensions.bow = r.Whole(key, value, 0, 511);
        else if (key == "stern") id.dimensions.stern = r.Whole(key, value, 0, 511);
        else if (key == "port") id.dimensions.port = r.Whole(key, value, 0, 63);
        else if (key == "starboard") id.dimensions.starboard = r.Whole(key, value, 0, 63);
        else if (key == "draught") id.draught = r.Number(key, value, 0, 25.5);
        else if (key == "status") id.status = r.Whole(key, value, 0, 15);
        else if (key == "aid") id.aidType = r.Whole(key, value, 0, 31);
        else if (key == "virtual") id.virtualAid = r.Flag(key, value);
        else if (key == "test") id.test = r.Flag(key, value);
        else if (key == "interval") id.interval = r.Number(key, value, 0.1, 3600);
        else if (key == "eta") {
            int month = 0, day = 0, hour = 0, minute = 0;
            if (std::sscanf(value.c_str(), "%2d-%2dT%2d:%2d", &month, &day, &hour, &minute) != 4 || month < 1 ||
                month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || hour < 0 || minute < 0) {
                r.Fail("eta " + QuotedValue(value) + " is not MM-DDTHH:MM");
            }
            id.etaMonth = month, id.etaDay = day, id.etaHour = hour, id.etaMinute = minute;
        } else if (key == "cpa") cpa = r.Number(key, value, 0, 100);
        else if (key == "in") in = r.Number(key, value, 1, 86'400);
        else if (key == "bearing") bearing = r.Number(key, value, 0, 360);
        else if (target && key == "lat") given.lat = value;
        else if (target && key == "lon") given.lon = value;
        else if (target && key == "course") given.course = r.Number(key, value, 0, 360);
        else if (key == "speed") given.speed = r.Number(key, value, 0, kMostKnots(K::SarAircraft));
        else {
            r.Fail(QuotedValue(key) + " is not a key of " + (target ? "--ais-target" : "--ais") +
                   " (class, mmsi, name, callsign, imo, type, bow, stern, port, starboard, draught, destination, eta, "
                   "status, aid, virtual, test, interval, cpa, in, bearing" +
                   (target ? ", lat, lon, course, speed)" : ", speed)"));
        }
    }
    if (!hasMmsi) {
        r.Fail("an AIS station needs its mmsi");
    }
    if (const std::optional<std::string_view> prefix = PrefixOf(id.kind);
        prefix && std::to_string(id.mmsi).rfind(*prefix, 0) != 0) {
        r.Fail("the MMSI of a " + std::string(id.kind == K::Sart ? "SART" : id.kind == K::Mob ? "MOB device" : "EPIRB") +
               " begins " + std::string(*prefix));
    }
    if (given.speed && *given.speed > kMostKnots(id.kind)) {
        r.Fail("speed " + Shown(*given.speed) + " is more than a ship reports (" +
               Shown(kMostKnots(id.kind)) + " knots; an aircraft's to 1022)");
    }
    if (cpa || in || bearing) {
        if (!cpa || !in || !bearing) {
            r.Fail("a closest approach needs cpa, in and bearing together");
        }
        if (given.lat || given.lon || given.course) {
            r.Fail("a target placed by its closest approach has no lat, lon or course of its own");
        }
        given.crossing = engine::ais::CrossingRule{*cpa, *in, *bearing, given.speed.value_or(0)};
    } else if (target && (!given.lat || !given.lon)) {
        r.Fail("a target needs lat and lon, or cpa, in and bearing");
    }
    return given;
}

}  // namespace kovra::app
