#include "nmea/Format.h"

#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>

namespace kovra::nmea {

namespace {

__extension__ typedef unsigned __int128 UInt128;

constexpr int kSignificantDigits = 15;
constexpr std::uint64_t kTenPow14 = 100'000'000'000'000ULL;
constexpr std::uint64_t kTenPow15 = 1'000'000'000'000'000ULL;

constexpr std::array<std::uint64_t, 20> kPowersOfTen = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t p = 1;
    for (auto& power : powers) {
        power = p;
        p *= 10;
    }
    return powers;
}();

// A positive value rounded to 15 significant digits: value ≈ 0.digits × 10^(exponent + 1).
struct Decimal {
    std::array<char, kSignificantDigits> digits{};
    int count = 0;     // significant digits left after trailing zeros are dropped
    int exponent = 0;  // decimal exponent of the first digit
};

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of n ending just before `end`; returns the first one.
char* WriteDigitsBackward(char* end, std::uint64_t n) {
    while (n >= 100) {
        const auto pair = static_cast<std::size_t>(n % 100) * 2;
        n /= 100;
        *--end = kDigitPairs[pair + 1];
        *--end = kDigitPairs[pair];
    }
    if (n >= 10) {
        const auto pair = static_cast<std::size_t>(n) * 2;
        *--end = kDigitPairs[pair + 1];
        *--end = kDigitPairs[pair];
    } else {
        *--end = static_cast<char>('0' + n);
    }
    return end;
}

void SetDigits(Decimal& out, std::uint64_t n) {
    WriteDigitsBackward(out.digits.data() + kSignificantDigits, n);
    out.count = kSignificantDigits;
    while (out.count > 1 && out.digits[static_cast<std::size_t>(out.count - 1)] == '0') {
        --out.count;
    }
}

static_assert(std::numeric_limits<Extended>::digits == 64, "x87 80-bit extended precision expected");

// value = significand × 2^exponent, read straight from the 80-bit layout
// (64-bit significand with explicit integer bit, then sign and exponent).
void Decompose(Extended value, std::uint64_t& significand, int& exponent) {
    std::uint16_t signAndExponent = 0;
    std::memcpy(&significand, &value, sizeof significand);
    std::memcpy(&signAndExponent, reinterpret_cast<const char*>(&value) + sizeof significand, sizeof signAndExponent);
    exponent = (signAndExponent & 0x7FFF) - 16383 - 63;
}

// Exact integer rounding for the range written in fixed notation
// (1E-6 < value < 1E15); false outside it.
bool RoundFixedRange(Extended value, Decimal& out) {
    std::uint64_t m = 0;
    int e = 0;
    Decompose(value, m, e);
    const int binaryExponent = e + 64;  // value = (m / 2^64) × 2^binaryExponent
    if (binaryExponent < -17 || binaryExponent > 50 || (m >> 63) == 0) {
        return false;  // outside the range, or not normalised
    }
    const int shift = -e;  // value = m / 2^shift
    int exponent = static_cast<int>(std::floor((binaryExponent - 1) * 0.30102999566398120));
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int scale = kSignificantDigits - 1 - exponent;
        if (scale < 0 || scale > 19) {
            return false;
        }
        const UInt128 scaled = static_cast<UInt128>(m) * kPowersOfTen[static_cast<std::size_t>(scale)];
        auto n = static_cast<std::uint64_t>(scaled >> shift);
        if (n >= kTenPow15) {
            ++exponent;  // the estimate may be one too low, never too high
            continue;
        }
        const UInt128 rest = scaled & ((static_cast<UInt128>(1) << shift) - 1);
        const UInt128 half = static_cast<UInt128>(1) << (shift - 1);
        if (rest > half || (rest == half && (n & 1U) != 0)) {
            ++n;
        }
        if (n == kTenPow15) {
            n = kTenPow14;
            ++exponent;
        }
        SetDigits(out, n);
        out.exponent = exponent;
        return true;
    }
    return false;
}

// Any finite positive value, through the standard library.
void RoundAnyRange(Extended value, Decimal& out) {
    std::array<char, 64> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::scientific,
                                      kSignificantDigits - 1);
    // text is d.ddddddddddddddde±xx
    std::uint64_t n = static_cast<std::uint64_t>(text[0] - '0');
    const char* p = text.data() + 2;
    for (; *p != 'e'; ++p) {
        n = n * 10 + static_cast<std::uint64_t>(*p - '0');
    }
    int exponent = 0;
    std::from_chars(*(p + 1) == '+' ? p + 2 : p + 1, result.ptr, exponent);
    SetDigits(out, n);
    out.exponent = exponent;
}

void AppendDigits(std::string& out, const char* digits, int count) { out.append(digits, static_cast<std::size_t>(count)); }

void AppendDecimal(std::string& out, const Decimal& d, char separator) {
    const char* digits = d.digits.data();
    const bool scientific = d.exponent < -5 || d.exponent >= kSignificantDigits;
    if (scientific) {
        out += digits[0];
        if (d.count > 1) {
            out += separator;
            AppendDigits(out, digits + 1, d.count - 1);
        }
        out += 'E';
        AppendInteger(out, d.exponent);
    } else if (d.exponent < 0) {
        out += '0';
        out += separator;
        out.append(static_cast<std::size_t>(-d.exponent - 1), '0');
        AppendDigits(out, digits, d.count);
    } else {
        const int whole = d.exponent + 1;
        if (d.count <= whole) {
            AppendDigits(out, digits, d.count);
            out.append(static_cast<std::size_t>(whole - d.count), '0');
        } else {
            AppendDigits(out, digits, whole);
            out += separator;
            AppendDigits(out, digits + whole, d.count - whole);
        }
    }
}

void AppendMinuteField(std::string& out, std::int32_t degree, std::int32_t minute, Extended second,
                       int degreeWidth, char letter) {
    const Extended scaled = second / 60 * 1'000'000;
    std::int64_t fraction = 0;
    if (scaled > -1e15L && scaled < 1e15L) {
        fraction = std::llrint(scaled);  // the default rounding mode: ties to even
    }
    if (fraction == 1'000'000) {  // a whole minute: carry instead of cutting to six digits
        fraction = 0;
        if (++minute == 60) {
            minute = 0;
            ++degree;
        }
    }
    AppendPadded(out, degree, degreeWidth);
    AppendPadded(out, minute, 2);
    out += '.';
    AppendPadded(out, fraction, 6);
    out += ',';
    out += letter;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::uint8_t Checksum(std::string_view body) {
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) {
        sum ^= static_cast<std::uint8_t>(body[i]);
    }
    return sum;
}

}  // namespace

std::string MaxLenStr(std::string_view s, int n, char c) {
    const auto width = static_cast<std::size_t>(n < 0 ? 0 : n);
    if (s.size() >= width) {
        return std::string(s.substr(0, width));
    }
    return std::string(width - s.size(), c).append(s);
}

std::string MaxLenStrInv(std::string_view s, int n, char c) {
    const auto width = static_cast<std::size_t>(n < 0 ? 0 : n);
    if (s.size() >= width) {
        return std::string(s.substr(s.size() - width));
    }
    return std::string(width - s.size(), c).append(s);
}

double RRound(double x) {
    const Extended value = x;
    const Extended hundredfold = value * 100;
    const Extended t = hundredfold - std::trunc(hundredfold);
    const Extended wholePart = std::trunc(value);
    Extended q = std::trunc((value - wholePart) * 100) / 100 + wholePart;
    if (t >= 0.5L) {
        q += 0.01L;
    }
    return static_cast<double>(q);
}

void AppendFloat(std::string& out, Extended value, char decimalSeparator) {
    if (std::isnan(value)) {
        out += "NAN";
        return;
    }
    if (std::isinf(value)) {
        out += value < 0 ? "-INF" : "INF";
        return;
    }
    if (value == 0) {
        out += '0';  // negative zero included
        return;
    }
    if (value < 0) {
        out += '-';
        value = -value;
    }
    Decimal decimal;
    if (!RoundFixedRange(value, decimal)) {
        RoundAnyRange(value, decimal);
    }
    AppendDecimal(out, decimal, decimalSeparator);
}

std::string FloatToStr(Extended value, char decimalSeparator) {
    std::string out;
    AppendFloat(out, value, decimalSeparator);
    return out;
}

char HostDecimalSeparator() {
    const std::lconv* conventions = std::localeconv();
    if (conventions == nullptr || conventions->decimal_point == nullptr || conventions->decimal_point[0] == '\0') {
        return '.';
    }
    return conventions->decimal_point[0];
}

std::string ReplaceDecimalSeparatorEx(std::string_view s, std::string_view r) {
    const char separator = HostDecimalSeparator();
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        if (c == separator) {
            out += r;
        } else {
            out += c;
        }
    }
    return out;
}

void AppendRounded(std::string& out, Extended value) {
    const double q = RRound(static_cast<double>(value));
    // q lies within a rounding error of a whole number of hundredths. Below
    // 1E13 its 15 significant digits are exactly those hundredths, so they
    // can be written from an integer.
    if (!(std::fabs(q) < 1e13) || q == 0) {
        AppendFloat(out, q);
        return;
    }
    const double hundredfold = q * 100;
    const auto hundredths = static_cast<std::int64_t>(hundredfold + (hundredfold < 0 ? -0.5 : 0.5));
    const std::uint64_t magnitude = hundredths < 0 ? 0 - static_cast<std::uint64_t>(hundredths)
                                                   : static_cast<std::uint64_t>(hundredths);
    char text[24];
    char* const end = text + sizeof text;
    char* first = WriteDigitsBackward(end, magnitude / 100);
    if (hundredths < 0) {
        *--first = '-';
    }
    out.append(first, end);
    const std::uint64_t cents = magnitude % 100;
    if (cents != 0) {
        const char fraction[] = {'.', static_cast<char>('0' + cents / 10), static_cast<char>('0' + cents % 10)};
        out.append(fraction, cents % 10 == 0 ? 2 : 3);
    }
}

std::string RoundedNumber(Extended value) {
    std::string out;
    AppendRounded(out, value);
    return out;
}

void AppendInteger(std::string& out, std::int64_t value) {
    char text[24];
    char* const end = text + sizeof text;
    const auto magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char* first = WriteDigitsBackward(end, magnitude);
    if (value < 0) {
        *--first = '-';
    }
    out.append(first, end);
}

void AppendPadded(std::string& out, std::int64_t value, int width) {
    char text[24];
    char* const end = text + sizeof text;
    const auto magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    char* first = WriteDigitsBackward(end, magnitude);
    if (value < 0) {
        *--first = '-';
    }
    const auto length = static_cast<std::size_t>(end - first);
    const auto w = static_cast<std::size_t>(width < 0 ? 0 : width);
    if (length >= w) {
        out.append(first, w);  // the first `width` characters, as MaxLenStr keeps them
    } else {
        out.append(w - length, '0');
        out.append(first, length);
    }
}

void AppendLatitude(std::string& out, std::int32_t degree, std::int32_t minute, Extended second,
                    TCardinalPoint direction) {
    AppendMinuteField(out, degree, minute, second, 2, direction == TCardinalPoint::cpNorth ? 'N' : 'S');
}

void AppendLongitude(std::string& out, std::int32_t degree, std::int32_t minute, Extended second,
                     TCardinalPoint direction) {
    AppendMinuteField(out, degree, minute, second, 3, direction == TCardinalPoint::cpEast ? 'E' : 'W');
}

std::string LatitudeText(std::int32_t degree, std::int32_t minute, Extended second, TCardinalPoint direction) {
    std::string out;
    AppendLatitude(out, degree, minute, second, direction);
    return out;
}

std::string LongitudeText(std::int32_t degree, std::int32_t minute, Extended second, TCardinalPoint direction) {
    std::string out;
    AppendLongitude(out, degree, minute, second, direction);
    return out;
}

void AppendUTCTime(std::string& out, const DecodedDateTime& time) {
    AppendPadded(out, time.hour, 2);
    AppendPadded(out, time.minute, 2);
    AppendPadded(out, time.second, 2);
    out += '.';
    AppendPadded(out, time.millisecond, 3);
}

void AppendUTCDate(std::string& out, const DecodedDateTime& date) {
    AppendPadded(out, date.day, 2);
    AppendPadded(out, date.month, 2);
    std::string year;
    AppendInteger(year, date.year);
    out += MaxLenStrInv(year, 2);
}

void AppendCommaSeparatedUTCDate(std::string& out, const DecodedDateTime& date) {
    AppendPadded(out, date.day, 2);
    out += ',';
    AppendPadded(out, date.month, 2);
    out += ',';
    AppendPadded(out, date.year, 4);
}

std::string UTCTimeText(TDateTime value) {
    std::string out;
    AppendUTCTime(out, DecodeDateTime(value));
    return out;
}

std::string UTCDateText(TDateTime value) {
    std::string out;
    AppendUTCDate(out, DecodeDateTime(value));
    return out;
}

std::string CommaSeparatedUTCDateText(TDateTime value) {
    std::string out;
    AppendCommaSeparatedUTCDate(out, DecodeDateTime(value));
    return out;
}

std::string_view MagneticVariationDirectionText(TCardinalPoint direction) {
    return direction == TCardinalPoint::cpEast ? "E" : "W";
}

std::string GetNMEACheckSum(std::string_view body) {
    const std::uint8_t sum = Checksum(body);
    return {kHexDigits[sum >> 4], kHexDigits[sum & 0x0F]};
}

void CloseSentence(std::string& out, std::size_t bodyStart) {
    const std::uint8_t sum = Checksum(std::string_view(out).substr(bodyStart));
    const char tail[] = {'*', kHexDigits[sum >> 4], kHexDigits[sum & 0x0F], '\r', '\n'};
    out.append(tail, sizeof tail);
}

std::string FrameSentence(std::string_view body) {
    std::string out(body);
    CloseSentence(out, 0);
    return out;
}

}  // namespace kovra::nmea
