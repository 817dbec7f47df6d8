#include "engine/Nmea4.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>

#include "nmea/Format.h"
#include "nmea/Sentences.h"

namespace kovra::engine::nmea4 {

namespace {

constexpr std::size_t kMaxSentence = 82;  // "$" to CR LF
constexpr std::size_t kFrame = 5;         // "*hh" and CR LF
constexpr double kKmhPerKnot = 1.852;
constexpr Gnss kSystems[] = {Gnss::Gps, Gnss::Glonass, Gnss::Galileo, Gnss::BeiDou};

// A number with a fixed count of decimals, "." whatever the locale; a value
// that rounds to zero is written without a sign.
std::string Fixed(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    if (std::round(value * scale) == 0) {
        value = 0;
    }
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}

std::string Padded(long value, int width) {
    std::string text = std::to_string(value);
    return text.size() < static_cast<std::size_t>(width) ? std::string(width - text.size(), '0') + text : text;
}

// ddmm.mmmmm,N or dddmm.mmmmm,E; two empty fields without a position.
std::string Angle(double degrees, int degreeWidth, char positive, char negative) {
    const double magnitude = std::fabs(degrees);
    long whole = static_cast<long>(magnitude);
    long minutes = std::lround((magnitude - whole) * 60 * 100'000);  // hundred-thousandths of a minute
    if (minutes >= 60 * 100'000) {
        minutes -= 60 * 100'000;
        ++whole;
    }
    return Padded(whole, degreeWidth) + Padded(minutes / 100'000, 2) + "." + Padded(minutes % 100'000, 5) + "," +
           (degrees < 0 ? negative : positive);
}

std::string Position(const Epoch& e) {
    if (!e.Valid()) {
        return ",,,";
    }
    return Angle(e.latitude, 2, 'N', 'S') + "," + Angle(e.longitude, 3, 'E', 'W');
}

std::string Time(const Epoch& e) {
    return Padded(e.utc.hour, 2) + Padded(e.utc.minute, 2) + Padded(e.utc.second, 2) + "." +
           Padded(e.utc.millisecond / 10, 2);
}

std::string Date(const Epoch& e) {
    return Padded(e.utc.day, 2) + Padded(e.utc.month, 2) + Padded(e.utc.year % 100, 2);
}

void Put(std::string& out, const std::string& body) { out += kovra::nmea::FrameSentence(body); }

std::string Escaped(std::string_view name) {
    std::string text(3 * name.size(), '\0');
    const char* end = kovra::nmea::PutName(text.data(), name);
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

int UsedCount(const Epoch& e) {
    return static_cast<int>(std::count_if(e.satellites.begin(), e.satellites.end(),
                                          [](const Satellite& s) { return s.used; }));
}

std::string Dop(double value, const Epoch& e) { return e.Valid() ? Fixed(value, 2) : "99.99"; }

// The signal each system's GSV reports: L1 C/A, L1OF, E1, B1I.
char SignalId(Gnss system) { return system == Gnss::Galileo ? '7' : '1'; }

std::vector<const Satellite*> InView(const Epoch& e, Gnss system) {
    std::vector<const Satellite*> view;
    for (const Satellite& s : e.satellites) {
        if (s.system == system) {
            view.push_back(&s);
        }
    }
    std::sort(view.begin(), view.end(), [](const Satellite* a, const Satellite* b) { return a->number < b->number; });
    return view;
}

double Degrees(double radians) { return radians * 180 / std::numbers::pi; }

}  // namespace

std::string_view TalkerOf(Gnss system) {
    switch (system) {
        case Gnss::Gps: return "GP";
        case Gnss::Glonass: return "GL";
        case Gnss::Galileo: return "GA";
        case Gnss::BeiDou: return "GB";
    }
    return "GN";
}

int NmeaNumber(Gnss system, int number) { return system == Gnss::Glonass ? number + 64 : number; }

void AppendRMC(std::string& out, const Epoch& e) {
    std::string magnetic = ",";
    if (e.magneticVariation && e.Valid()) {
        magnetic = Fixed(std::fabs(*e.magneticVariation), 1) + "," + (*e.magneticVariation < 0 ? "W" : "E");
    }
    Put(out, "$" + e.talker + "RMC," + Time(e) + "," + (e.Valid() ? "A" : "V") + "," + Position(e) + "," +
                 (e.Valid() ? Fixed(e.speedKnots, 3) + "," + Fixed(e.course, 2) : ",") + "," + Date(e) + "," +
                 magnetic + "," + static_cast<char>(e.mode) + "," + (e.Valid() ? "S" : "V"));
}

void AppendGGA(std::string& out, const Epoch& e) {
    Put(out, "$" + e.talker + "GGA," + Time(e) + "," + Position(e) + "," + std::to_string(e.quality) + "," +
                 Padded(UsedCount(e), 2) + "," + Dop(e.dop.hdop, e) + "," +
                 (e.Valid() ? Fixed(e.altitude, 1) : "") + ",M," + (e.Valid() ? Fixed(e.geoidSeparation, 1) : "") +
                 ",M,,");
}

void AppendGLL(std::string& out, const Epoch& e) {
    Put(out, "$" + e.talker + "GLL," + Position(e) + "," + Time(e) + "," + (e.Valid() ? "A" : "V") + "," +
                 static_cast<char>(e.mode));
}

void AppendVTG(std::string& out, const Epoch& e) {
    if (!e.Valid()) {
        Put(out, "$" + e.talker + "VTG,,T,,M,,N,,K," + static_cast<char>(e.mode));
        return;
    }
    std::string magnetic;
    if (e.magneticVariation) {
        magnetic = Fixed(std::fmod(e.course - *e.magneticVariation + 360, 360), 2);
    }
    Put(out, "$" + e.talker + "VTG," + Fixed(e.course, 2) + ",T," + magnetic + ",M," + Fixed(e.speedKnots, 3) +
                 ",N," + Fixed(e.speedKnots * kKmhPerKnot, 3) + ",K," + static_cast<char>(e.mode));
}

void AppendGNS(std::string& out, const Epoch& e) {
    std::string modes;
    for (const Gnss system : kSystems) {
        const bool used = std::any_of(e.satellites.begin(), e.satellites.end(),
                                      [&](const Satellite& s) { return s.system == system && s.used; });
        modes += used && e.Valid() ? static_cast<char>(e.mode) : 'N';
    }
    Put(out, "$" + e.talker + "GNS," + Time(e) + "," + Position(e) + "," + modes + "," + Padded(UsedCount(e), 2) +
                 "," + Dop(e.dop.hdop, e) + "," + (e.Valid() ? Fixed(e.altitude, 1) : "") + "," +
                 (e.Valid() ? Fixed(e.geoidSeparation, 1) : "") + ",,," + (e.Valid() ? "S" : "V"));
}

void AppendGSA(std::string& out, const Epoch& e) {
    for (const Gnss system : kSystems) {
        const std::vector<const Satellite*> view = InView(e, system);
        if (view.empty()) {
            continue;
        }
        std::string body = "$" + std::string(TalkerOf(system)) + "GSA,A," + std::to_string(static_cast<int>(e.fix)) + ",";
        int slots = 0;
        for (const Satellite* s : view) {
            if (s->used && e.Valid() && slots < 12) {
                body += Padded(NmeaNumber(system, s->number), 2) + ",";
                ++slots;
            }
        }
        body += std::string(static_cast<std::size_t>(12 - slots), ',');
        body += Dop(e.dop.pdop, e) + "," + Dop(e.dop.hdop, e) + "," + Dop(e.dop.vdop, e) + "," +
                std::to_string(static_cast<int>(system));
        Put(out, body);
    }
}

void AppendGSV(std::string& out, const Epoch& e) {
    for (const Gnss system : kSystems) {
        const std::vector<const Satellite*> view = InView(e, system);
        if (view.empty()) {
            continue;
        }
        const std::size_t messages = (view.size() + 3) / 4;
        for (std::size_t m = 0; m < messages; ++m) {
            std::string body = "$" + std::string(TalkerOf(system)) + "GSV," + std::to_string(messages) + "," +
                               std::to_string(m + 1) + "," + Padded(static_cast<long>(view.size()), 2);
            for (std::size_t i = 4 * m; i < std::min(view.size(), 4 * m + 4); ++i) {
                const Satellite& s = *view[i];
                body += "," + Padded(NmeaNumber(system, s.number), 2) + "," + Padded(s.elevation, 2) + "," +
                        Padded(s.azimuth, 3) + "," + (s.snr ? Padded(*s.snr, 2) : "");
            }
            body += ",";
            body += SignalId(system);
            Put(out, body);
        }
    }
}

void AppendGST(std::string& out, const Epoch& e) {
    if (!e.Valid()) {
        Put(out, "$" + e.talker + "GST," + Time(e) + ",,,,,,,");
        return;
    }
    // The error ellipse of the east-north covariance, scaled by the range error.
    const double sigma = e.rangeError;
    const double ee = e.dop.eastEast, nn = e.dop.northNorth, en = e.dop.eastNorth;
    const double mean = (ee + nn) / 2, spread = std::sqrt((ee - nn) * (ee - nn) / 4 + en * en);
    double orientation = Degrees(0.5 * std::atan2(2 * en, nn - ee));  // of the major axis, from true north
    if (orientation < 0) {
        orientation += 180;
    }
    Put(out, "$" + e.talker + "GST," + Time(e) + "," + Fixed(sigma, 1) + "," +
                 Fixed(sigma * std::sqrt(mean + spread), 1) + "," +
                 Fixed(sigma * std::sqrt(std::max(0.0, mean - spread)), 1) + "," + Fixed(orientation, 1) + "," +
                 Fixed(sigma * std::sqrt(nn), 1) + "," + Fixed(sigma * std::sqrt(ee), 1) + "," +
                 Fixed(sigma * e.dop.vdop, 1));
}

void AppendHDT(std::string& out, const Epoch& e) {
    Put(out, "$" + e.talker + "HDT," + (e.Valid() ? Fixed(e.trueHeading, 2) : "") + ",T");
}

void AppendZDA(std::string& out, const Epoch& e) {
    Put(out, "$" + e.talker + "ZDA," + Time(e) + "," + Padded(e.utc.day, 2) + "," + Padded(e.utc.month, 2) + "," +
                 Padded(e.utc.year, 4) + ",00,00");
}

void AppendWPL(std::string& out, std::string_view talker, std::string_view name, double latitude, double longitude) {
    Put(out, "$" + std::string(talker) + "WPL," + Angle(latitude, 2, 'N', 'S') + "," + Angle(longitude, 3, 'E', 'W') +
                 "," + Escaped(name));
}

void AppendRTE(std::string& out, std::string_view talker, std::string_view route,
               const std::vector<std::string>& names) {
    const std::string routeName = Escaped(route);
    std::vector<std::string> escaped;
    for (const std::string& name : names) {
        escaped.push_back(Escaped(name));
    }
    // Fill each sentence with as many names as keep it within 82 characters
    // (a name too long to share one goes alone); the count of sentences
    // is part of every sentence, so the split is repeated until it holds.
    std::vector<std::vector<std::string>> parts;
    for (std::size_t digits = 1; digits <= 3; ++digits) {
        parts.assign(1, {});
        const std::size_t head = 1 + talker.size() + 4 + 2 * (digits + 1) + 2 + routeName.size();
        std::size_t length = head;
        for (const std::string& name : escaped) {
            if (!parts.back().empty() && length + 1 + name.size() + kFrame > kMaxSentence) {
                parts.emplace_back();
                length = head;
            }
            parts.back().push_back(name);
            length += 1 + name.size();
        }
        if (std::to_string(parts.size()).size() <= digits) {
            break;
        }
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string body = "$" + std::string(talker) + "RTE," + std::to_string(parts.size()) + "," +
                           std::to_string(i + 1) + ",c," + routeName;
        for (const std::string& name : parts[i]) {
            body += "," + name;
        }
        Put(out, body);
    }
}

void AppendAAM(std::string& out, std::string_view talker, bool entered, bool passed, double circle,
               std::string_view name) {
    Put(out, "$" + std::string(talker) + "AAM," + (entered ? "A" : "V") + "," + (passed ? "A" : "V") + "," +
                 Fixed(circle, 2) + ",N," + Escaped(name));
}

}  // namespace kovra::engine::nmea4
