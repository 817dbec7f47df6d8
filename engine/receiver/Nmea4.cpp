#include "engine/receiver/Nmea4.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>

#include "nmea/Format.h"
#include "nmea/Sentences.h"

namespace kovra::engine::nmea4 {

namespace {

using kovra::nmea::kMaxSentenceLength;
constexpr std::size_t kFrame = 5;         // "*hh" and CR LF
constexpr double kKmhPerKnot = 1.852;
constexpr Gnss kSystems[] = {Gnss::Gps, Gnss::Glonass, Gnss::Galileo, Gnss::BeiDou};
constexpr double kScale[] = {1, 10, 100, 1000, 10'000, 100'000, 1'000'000, 10'000'000};

std::string Escaped(std::string_view name) {
    std::string text(3 * name.size(), '\0');
    const char* end = kovra::nmea::PutName(text.data(), name);
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

// One sentence written straight onto the end of the update: "$", the
// address, the fields, each after its comma, then the frame. Every number
// is written with "." whatever the locale.
class Sentence {
public:
    Sentence(std::string& out, std::string_view talker, std::string_view type) : out_(out), start_(out.size()) {
        out_ += '$';
        out_ += talker;
        out_ += type;
    }
    Sentence(const Sentence&) = delete;
    Sentence& operator=(const Sentence&) = delete;
    ~Sentence() {
        const std::size_t end = out_.size();
        out_.resize(end + kFrame);
        kovra::nmea::CloseSentence(out_.data() + start_, out_.data() + end);
    }

    Sentence& Empty(int count = 1) {
        out_.append(static_cast<std::size_t>(count), ',');
        return *this;
    }
    Sentence& Text(std::string_view text) {
        out_ += ',';
        out_ += text;
        return *this;
    }
    Sentence& Char(char c) {
        out_ += ',';
        out_ += c;
        return *this;
    }
    Sentence& Integer(long value) { return Padded(value, 1); }
    // At least `width` digits, zeros in front.
    Sentence& Padded(long value, int width) {
        out_ += ',';
        PutDigits(value, width);
        return *this;
    }
    // A fixed count of decimals (at most 7), the last rounded half away
    // from zero; a value that rounds to zero is written without a sign.
    Sentence& Fixed(double value, int decimals) {
        out_ += ',';
        const double scaled = std::round(value * kScale[decimals]);
        if (!(std::fabs(scaled) < 1e15)) {  // beyond whole digits of a double, or not a number
            char text[350];
            const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
            out_.append(text, result.ptr);
            return *this;
        }
        const auto whole = static_cast<long long>(std::fabs(scaled));
        const auto unit = static_cast<long long>(kScale[decimals]);
        if (scaled < 0) {
            out_ += '-';
        }
        PutDigits(whole / unit, 1);
        if (decimals > 0) {
            out_ += '.';
            PutDigits(whole % unit, decimals);
        }
        return *this;
    }
    Sentence& FixedOrEmpty(bool present, double value, int decimals) {
        return present ? Fixed(value, decimals) : Empty();
    }
    // A course or heading to hundredths, from 0.00 to 359.99: 359.996 is 0.00, not 360.00.
    Sentence& Bearing(double degrees) {
        double hundredths = std::round(std::fmod(degrees, 360) * 100);
        hundredths += hundredths < 0 ? 36'000 : hundredths >= 36'000 ? -36'000 : 0;
        return Fixed(hundredths / 100, 2);
    }
    Sentence& BearingOrEmpty(bool present, double degrees) { return present ? Bearing(degrees) : Empty(); }
    // hhmmss.ss, or hhmmss.sss with three decimals.
    Sentence& Time(const DecodedDateTime& utc, int decimals = 2) {
        out_ += ',';
        PutDigits(utc.hour, 2);
        PutDigits(utc.minute, 2);
        PutDigits(utc.second, 2);
        out_ += '.';
        PutDigits(decimals == 3 ? utc.millisecond : utc.millisecond / 10, decimals == 3 ? 3 : 2);
        return *this;
    }
    // The epoch's time, empty while the receiver does not know it.
    Sentence& Time(const Epoch& e, int decimals) { return e.timeKnown ? Time(e.utc, decimals) : Empty(); }
    Sentence& Date(const Epoch& e) { return e.timeKnown ? Date(e.utc) : Empty(); }
    // ddmmyy
    Sentence& Date(const DecodedDateTime& utc) {
        out_ += ',';
        PutDigits(utc.day, 2);
        PutDigits(utc.month, 2);
        PutDigits(utc.year % 100, 2);
        return *this;
    }
    // ddmm.mmmmm,N or dddmm.mmmmm,E, with `decimals` of a minute.
    Sentence& Angle(double degrees, int degreeWidth, char positive, char negative, int decimals = 5) {
        const double magnitude = std::fabs(degrees);
        long whole = static_cast<long>(magnitude);
        const auto unit = static_cast<long long>(kScale[decimals]);
        long long minutes = std::llround((magnitude - static_cast<double>(whole)) * 60 * kScale[decimals]);
        if (minutes >= 60 * unit) {
            minutes -= 60 * unit;
            ++whole;
        }
        out_ += ',';
        PutDigits(whole, degreeWidth);
        PutDigits(minutes / unit, 2);
        out_ += '.';
        PutDigits(minutes % unit, decimals);
        return Char(degrees < 0 ? negative : positive);
    }
    // Latitude and longitude, or four empty fields without a fix.
    Sentence& Position(const Epoch& e, int decimals = 5) {
        if (!e.Valid()) {
            return Empty(4);
        }
        return Angle(e.latitude, 2, 'N', 'S', decimals).Angle(e.longitude, 3, 'E', 'W', decimals);
    }
    // A dilution, or 99.99 without a fix unless the receiver reports its
    // solution while it is still finding one.
    Sentence& Dop(double value, const Epoch& e, int decimals = 2, bool solving = false) {
        return e.Valid() || (solving && value < 99.99) ? Fixed(value, decimals) : Text("99.99");
    }
    // A name as the NMEA names carry it, reserved characters escaped.
    // Escaped in place: AAM carries one every update.
    Sentence& Name(std::string_view name) {
        out_ += ',';
        const std::size_t at = out_.size();
        out_.resize(at + 3 * name.size());
        const char* end = kovra::nmea::PutName(out_.data() + at, name);
        out_.resize(static_cast<std::size_t>(end - out_.data()));
        return *this;
    }

private:
    void PutDigits(long long value, int width) {
        char text[24];
        const auto result = std::to_chars(text, text + sizeof text, value < 0 ? -value : value);
        const auto digits = static_cast<int>(result.ptr - text);
        if (value < 0) {
            out_ += '-';
        }
        if (digits < width) {
            out_.append(static_cast<std::size_t>(width - digits), '0');
        }
        out_.append(text, result.ptr);
    }

    std::string& out_;
    std::size_t start_;
};

int UsedCount(const Epoch& e) {
    return static_cast<int>(std::count_if(e.satellites.begin(), e.satellites.end(),
                                          [](const Satellite& s) { return s.used; }));
}

std::vector<const Satellite*> InView(const Epoch& e, Gnss system) {
    std::vector<const Satellite*> view;
    view.reserve(e.satellites.size());
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

int NmeaNumber(Gnss system, int number) {
    constexpr int kSbasOffset = 87;  // SBAS PRN 120 is 33
    return system == Gnss::Glonass ? number + 64 : system == Gnss::Gps && number >= 120 ? number - kSbasOffset : number;
}

// Whether the course goes: with a fix, and fast enough for the dialect to tell one.
bool CourseKnown(const Epoch& e, const Dialect& d) { return e.Valid() && e.speedKnots >= d.courseEmptyBelowKnots; }

void AppendRMC(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "RMC");
    s.Time(e, d.timeDecimals).Char(e.Valid() ? 'A' : 'V').Position(e, d.minuteDecimals);
    s.FixedOrEmpty(e.Valid(), e.speedKnots, d.speedDecimals).BearingOrEmpty(CourseKnown(e, d), e.course).Date(e);
    if (e.magneticVariation && e.Valid() && d.magneticVariation) {
        s.Fixed(std::fabs(*e.magneticVariation), 1).Char(*e.magneticVariation < 0 ? 'W' : 'E');
    } else {
        s.Empty(2);
    }
    s.Char(static_cast<char>(e.mode));
    if (d.rmcNavStatus != NavStatus::None) {
        s.Char(d.rmcNavStatus == NavStatus::ByFix && e.Valid() ? 'S' : 'V');
    }
}

void AppendGGA(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "GGA");
    const int used = d.ggaMostUsed > 0 ? std::min(UsedCount(e), d.ggaMostUsed) : UsedCount(e);
    s.Time(e, d.timeDecimals).Position(e, d.minuteDecimals).Integer(e.quality);
    s.Padded(used, d.ggaUsedPadded ? 2 : 1).Dop(e.dop.hdop, e, d.dopDecimals, d.solutionBeforeFix);
    const bool height = e.fix == FixType::ThreeD || (e.fix == FixType::TwoD && d.heightIn2D);
    const std::string_view metres = e.Valid() || d.unitsWithoutFix ? "M" : "";
    s.FixedOrEmpty(height, e.altitude, d.altitudeDecimals).Text(metres);
    s.FixedOrEmpty(e.Valid(), e.geoidSeparation, 1).Text(metres);
    s.Empty();  // the age of the corrections
    if ((e.quality == 2 || d.stationAlways) && !d.differentialStation.empty()) {
        s.Text(d.differentialStation);
    } else {
        s.Empty();
    }
}

void AppendGLL(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence(out, e.talker, "GLL").Position(e, d.minuteDecimals).Time(e, d.timeDecimals).Char(e.Valid() ? 'A' : 'V').Char(static_cast<char>(e.mode));
}

void AppendVTG(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "VTG");
    if (!e.Valid()) {
        s.Empty().Char('T').Empty().Char('M').Empty().Char('N').Empty().Char('K').Char(static_cast<char>(e.mode));
        return;
    }
    const bool course = CourseKnown(e, d);
    s.BearingOrEmpty(course, e.course).Char('T');
    s.BearingOrEmpty(course && e.magneticVariation.has_value() && d.magneticVariation, e.course - e.magneticVariation.value_or(0) + 360);
    s.Char('M').Fixed(e.speedKnots, d.speedDecimals).Char('N');
    s.Fixed(e.speedKnots * kKmhPerKnot, d.speedDecimals).Char('K');
    s.Char(static_cast<char>(e.mode));
}

void AppendGNS(std::string& out, const Epoch& e, const Dialect& d) {
    char modes[std::size(kSystems)];
    for (std::size_t i = 0; i < std::size(kSystems); ++i) {
        const bool used = std::any_of(e.satellites.begin(), e.satellites.end(),
                                      [&](const Satellite& s) { return s.system == kSystems[i] && s.used; });
        modes[i] = used && e.Valid() ? static_cast<char>(e.mode) : 'N';
    }
    Sentence s(out, e.talker, "GNS");
    s.Time(e, d.timeDecimals).Position(e, d.minuteDecimals).Text(std::string_view(modes, std::size(modes)));
    s.Padded(UsedCount(e), 2);
    s.Dop(e.dop.hdop, e).FixedOrEmpty(e.Valid(), e.altitude, 1).FixedOrEmpty(e.Valid(), e.geoidSeparation, 1);
    s.Empty(2).Char(e.Valid() ? 'S' : 'V');
}

void AppendGSA(std::string& out, const Epoch& e, const Dialect& d) {
    for (const Gnss system : d.systemOrder) {
        const std::vector<const Satellite*> view = InView(e, system);
        if (view.empty()) {
            continue;
        }
        Sentence s(out, d.gsaCombinedTalker ? "GN" : TalkerOf(system), "GSA");
        s.Char('A').Integer(static_cast<int>(e.fix));
        int slots = 0;
        for (const Satellite* satellite : view) {
            if (satellite->used && (e.Valid() || d.solutionBeforeFix) && slots < 12) {
                s.Padded(NmeaNumber(system, satellite->number), 2);
                ++slots;
            }
        }
        const bool solving = d.solutionBeforeFix;
        s.Empty(12 - slots).Dop(e.dop.pdop, e, d.dopDecimals, solving).Dop(e.dop.hdop, e, d.dopDecimals, solving);
        s.Dop(e.dop.vdop, e, d.dopDecimals, solving);
        if (d.gsaSystemId) {
            s.Integer(static_cast<int>(system));
        }
    }
}

void AppendGSV(std::string& out, const Epoch& e, Gnss system, const Dialect& d) {
    std::vector<const Satellite*> view = InView(e, system);
    if (d.gsvMostPerSystem > 0 && view.size() > static_cast<std::size_t>(d.gsvMostPerSystem)) {
        view.resize(static_cast<std::size_t>(d.gsvMostPerSystem));
    }
    if (d.gsvOrder != GsvOrder::ByNumber) {
        const bool trackedFirst = d.gsvOrder == GsvOrder::TrackedByElevation;
        std::stable_sort(view.begin(), view.end(), [&](const Satellite* a, const Satellite* b) {
            if (trackedFirst && a->snr.has_value() != b->snr.has_value()) {
                return a->snr.has_value();
            }
            return a->elevation > b->elevation;
        });
    }
    const std::size_t messages = (view.size() + 3) / 4;
    const std::string_view firstSignal = d.signalIds[static_cast<std::size_t>(system) - 1];
    const std::string_view talker = system == Gnss::BeiDou ? d.beidouTalker : TalkerOf(system);
    const auto sequence = [&](bool second, std::string_view signal) {
        for (std::size_t m = 0; m < messages; ++m) {
            Sentence s(out, talker, "GSV");
            s.Integer(static_cast<long>(messages)).Integer(static_cast<long>(m + 1));
            s.Padded(static_cast<long>(view.size()), 2);
            for (std::size_t i = 4 * m; i < std::min(view.size(), 4 * m + 4); ++i) {
                const Satellite& satellite = *view[i];
                s.Padded(NmeaNumber(system, satellite.number), 2);
                if (satellite.placed) {
                    s.Padded(satellite.elevation, 2).Padded(satellite.azimuth, 3);
                } else {
                    s.Empty(2);  // tracked before its orbit is known
                }
                const std::optional<int> snr = second ? satellite.secondSnr : satellite.snr;
                if (snr) {
                    s.Padded(*snr, 2);
                } else {
                    s.Empty();
                }
            }
            if (d.gsvSignalId) {
                s.Text(signal);
            }
        }
    };
    sequence(false, firstSignal);
    if (d.secondBand) {
        sequence(true, d.secondSignalIds[static_cast<std::size_t>(system) - 1]);
    }
}

void AppendGSV(std::string& out, const Epoch& e) {
    for (const Gnss system : kSystems) {
        AppendGSV(out, e, system);
    }
}

void AppendGST(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "GST");
    s.Time(e, d.timeDecimals);
    if (!e.Valid()) {
        s.Empty(7);
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
    s.Fixed(sigma, 1).Fixed(sigma * std::sqrt(mean + spread), 1).Fixed(sigma * std::sqrt(std::max(0.0, mean - spread)), 1);
    s.Fixed(orientation, 1).Fixed(sigma * std::sqrt(nn), 1).Fixed(sigma * std::sqrt(ee), 1).Fixed(sigma * e.dop.vdop, 1);
}

void AppendHDT(std::string& out, const Epoch& e) {
    Sentence(out, e.talker, "HDT").BearingOrEmpty(e.Valid(), e.trueHeading).Char('T');
}

void AppendZDA(std::string& out, const Epoch& e, const Dialect& d) {
    Sentence s(out, e.talker, "ZDA");
    s.Time(e, d.timeDecimals);
    if (e.timeKnown) {
        s.Padded(e.utc.day, 2).Padded(e.utc.month, 2).Padded(e.utc.year, 4);
    } else {
        s.Empty(3);
    }
    if (d.zdaZoneEmpty) {
        s.Empty(2);
    } else {
        s.Text("00").Text("00");
    }
}

void AppendWPL(std::string& out, std::string_view talker, std::string_view name, double latitude, double longitude) {
    Sentence(out, talker, "WPL").Angle(latitude, 2, 'N', 'S').Angle(longitude, 3, 'E', 'W').Name(name);
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
            if (!parts.back().empty() && length + 1 + name.size() + kFrame > kMaxSentenceLength) {
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
        Sentence s(out, talker, "RTE");
        s.Integer(static_cast<long>(parts.size())).Integer(static_cast<long>(i + 1)).Char('c').Text(routeName);
        for (const std::string& name : parts[i]) {
            s.Text(name);
        }
    }
}

void AppendAAM(std::string& out, std::string_view talker, bool entered, bool passed, double circle,
               std::string_view name) {
    Sentence(out, talker, "AAM").Char(entered ? 'A' : 'V').Char(passed ? 'A' : 'V').Fixed(circle, 2).Char('N').Name(name);
}

}  // namespace kovra::engine::nmea4
