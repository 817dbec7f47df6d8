// The one writer of the simulator's own sentences: "$", the address, each
// field after its comma, then the library's frame (checksum and CR LF).
// Every number is written with "." whatever the locale.
#pragma once

#include <charconv>
#include <cmath>
#include <string>
#include <string_view>

#include "engine/receiver/Nmea4.h"
#include "nmea/Format.h"

namespace kovra::engine::nmea4 {

inline constexpr std::size_t kFrame = 5;  // "*hh" and CR LF
inline constexpr double kScale[] = {1, 10, 100, 1000, 10'000, 100'000, 1'000'000, 10'000'000};

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
    // A course or heading to `decimals` (2: hundredths), from 0 to below
    // 360: 359.996 is 0.00, not 360.00.
    Sentence& Bearing(double degrees, int decimals = 2) {
        const double unit = kScale[decimals], turn = 360 * unit;
        double steps = std::round(std::fmod(degrees, 360) * unit);
        steps += steps < 0 ? turn : steps >= turn ? -turn : 0;
        return Fixed(steps / unit, decimals);
    }
    Sentence& BearingOrEmpty(bool present, double degrees, int decimals = 2) {
        return present ? Bearing(degrees, decimals) : Empty();
    }
    // hhmmss, hhmmss.ss or hhmmss.sss, with 0, 2 or 3 decimals.
    Sentence& Time(const DecodedDateTime& utc, int decimals = 2) {
        out_ += ',';
        PutDigits(utc.hour, 2);
        PutDigits(utc.minute, 2);
        PutDigits(utc.second, 2);
        if (decimals > 0) {
            out_ += '.';
            PutDigits(decimals == 3 ? utc.millisecond : utc.millisecond / 10, decimals == 3 ? 3 : 2);
        }
        return *this;
    }
    // The epoch's time of day, empty while the receiver does not know it or,
    // in a dialect that gives it only with a fix, has none.
    Sentence& Time(const Epoch& e, const Dialect& d) {
        return e.timeKnown && (e.Valid() || !d.timeOnlyWithFix) ? Time(e.utc, d.timeDecimals) : Empty();
    }
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
    // A dilution; without a fix 99.99 or empty as the dialect has it, unless
    // the receiver reports its solution while it is still finding one.
    Sentence& Dop(double value, const Epoch& e, const Dialect& d) {
        if (e.Valid() || (d.solutionBeforeFix && value < 99.99)) {
            return Fixed(value, d.dopDecimals);
        }
        return d.dopEmptyWithoutFix ? Empty() : Text("99.99");
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

}  // namespace kovra::engine::nmea4
