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

int CountDigits(std::uint64_t n) {
    int count = 1;
    while (n >= 10'000) {
        n /= 10'000;
        count += 4;
    }
    return count + (n >= 10) + (n >= 100) + (n >= 1000);
}

std::uint64_t Magnitude(std::int64_t value) {
    return value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
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

char* PutDigits(char* p, const char* digits, int count) {
    for (int i = 0; i < count; ++i) {
        *p++ = digits[i];
    }
    return p;
}

char* PutZeros(char* p, int count) {
    for (int i = 0; i < count; ++i) {
        *p++ = '0';
    }
    return p;
}

char* PutDecimal(char* p, const Decimal& d, char separator) {
    const char* digits = d.digits.data();
    const bool scientific = d.exponent < -5 || d.exponent >= kSignificantDigits;
    if (scientific) {
        *p++ = digits[0];
        if (d.count > 1) {
            *p++ = separator;
            p = PutDigits(p, digits + 1, d.count - 1);
        }
        *p++ = 'E';
        return PutInteger(p, d.exponent);
    }
    if (d.exponent < 0) {
        *p++ = '0';
        *p++ = separator;
        p = PutZeros(p, -d.exponent - 1);
        return PutDigits(p, digits, d.count);
    }
    const int whole = d.exponent + 1;
    if (d.count <= whole) {
        p = PutDigits(p, digits, d.count);
        return PutZeros(p, whole - d.count);
    }
    p = PutDigits(p, digits, whole);
    *p++ = separator;
    return PutDigits(p, digits + whole, d.count - whole);
}

char* PutMinuteField(char* p, std::int32_t degree, std::int32_t minute, Extended second, int degreeWidth,
                    char letter) {
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
    p = PutPadded(p, degree, degreeWidth);
    p = PutPadded(p, minute, 2);
    *p++ = '.';
    p = PutPadded(p, fraction, 6);
    *p++ = ',';
    *p++ = letter;
    return p;
}

// Two-digit fields of a time or a date, 0 to 99.
char* PutTwoDigits(char* p, int value) {
    const auto pair = static_cast<std::size_t>(value) * 2;
    *p++ = kDigitPairs[pair];
    *p++ = kDigitPairs[pair + 1];
    return p;
}

template <typename Put, typename... Args>
std::string TextOf(Put put, const Args&... args) {
    char text[kMaxFieldText];
    return std::string(text, put(text, args...));
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Exclusive-or of body[1..], eight bytes at a time.
std::uint8_t Checksum(std::string_view body) {
    std::size_t i = body.empty() ? 0 : 1;
    std::uint64_t wide = 0;
    for (; i + 8 <= body.size(); i += 8) {
        std::uint64_t chunk = 0;
        std::memcpy(&chunk, body.data() + i, sizeof chunk);
        wide ^= chunk;
    }
    wide ^= wide >> 32;
    wide ^= wide >> 16;
    wide ^= wide >> 8;
    auto sum = static_cast<std::uint8_t>(wide);
    for (; i < body.size(); ++i) {
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

char* PutFloat(char* p, Extended value, char decimalSeparator) {
    if (std::isnan(value)) {
        return PutText(p, "NAN");
    }
    if (std::isinf(value)) {
        return PutText(p, value < 0 ? "-INF" : "INF");
    }
    if (value == 0) {
        *p++ = '0';  // negative zero included
        return p;
    }
    if (value < 0) {
        *p++ = '-';
        value = -value;
    }
    Decimal decimal;
    if (!RoundFixedRange(value, decimal)) {
        RoundAnyRange(value, decimal);
    }
    return PutDecimal(p, decimal, decimalSeparator);
}

std::string FloatToStr(Extended value, char decimalSeparator) {
    char text[kMaxFieldText];
    return std::string(text, PutFloat(text, value, decimalSeparator));
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

char* PutRounded(char* p, Extended value) {
    const double q = RRound(static_cast<double>(value));
    // q lies within a rounding error of a whole number of hundredths. Below
    // 1E13 its 15 significant digits are exactly those hundredths, so they
    // are written from an integer.
    if (!(std::fabs(q) < 1e13) || q == 0) {
        return PutFloat(p, q);
    }
    const double hundredfold = q * 100;
    const auto hundredths = static_cast<std::int64_t>(hundredfold + (hundredfold < 0 ? -0.5 : 0.5));
    if (hundredths < 0) {
        *p++ = '-';
    }
    const std::uint64_t magnitude =
        hundredths < 0 ? 0 - static_cast<std::uint64_t>(hundredths) : static_cast<std::uint64_t>(hundredths);
    p = PutInteger(p, static_cast<std::int64_t>(magnitude / 100));
    const auto cents = static_cast<int>(magnitude % 100);
    if (cents != 0) {
        *p++ = '.';
        *p++ = static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0) {
            *p++ = static_cast<char>('0' + cents % 10);
        }
    }
    return p;
}

std::string RoundedNumber(Extended value) { return TextOf(PutRounded, value); }

char* PutInteger(char* p, std::int64_t value) {
    if (value >= 0 && value < 100) {  // most fields of a sentence
        if (value >= 10) {
            return PutTwoDigits(p, static_cast<int>(value));
        }
        *p++ = static_cast<char>('0' + value);
        return p;
    }
    if (value < 0) {
        *p++ = '-';
    }
    const std::uint64_t magnitude = Magnitude(value);
    char* const end = p + CountDigits(magnitude);
    WriteDigitsBackward(end, magnitude);
    return end;
}

char* PutPadded(char* p, std::int64_t value, int width) {
    const int w = width < 0 ? 0 : width;
    const std::uint64_t magnitude = Magnitude(value);
    const int length = CountDigits(magnitude) + (value < 0 ? 1 : 0);
    if (length < w) {
        p = PutZeros(p, w - length);
    } else if (length > w) {
        // Keep the first `width` characters, as MaxLenStr does.
        char text[24];
        const char* end = PutInteger(text, value);
        (void)end;
        return PutDigits(p, text, w);
    }
    return PutInteger(p, value);
}

char* PutLatitude(char* p, std::int32_t degree, std::int32_t minute, Extended second, TCardinalPoint direction) {
    return PutMinuteField(p, degree, minute, second, 2, direction == TCardinalPoint::cpNorth ? 'N' : 'S');
}

char* PutLongitude(char* p, std::int32_t degree, std::int32_t minute, Extended second, TCardinalPoint direction) {
    return PutMinuteField(p, degree, minute, second, 3, direction == TCardinalPoint::cpEast ? 'E' : 'W');
}

std::string LatitudeText(std::int32_t degree, std::int32_t minute, Extended second, TCardinalPoint direction) {
    return TextOf(PutLatitude, degree, minute, second, direction);
}

std::string LongitudeText(std::int32_t degree, std::int32_t minute, Extended second, TCardinalPoint direction) {
    return TextOf(PutLongitude, degree, minute, second, direction);
}

char* PutUTCTime(char* p, const DecodedDateTime& time) {
    p = PutTwoDigits(p, time.hour);
    p = PutTwoDigits(p, time.minute);
    p = PutTwoDigits(p, time.second);
    *p++ = '.';
    return PutPadded(p, time.millisecond, 3);
}

char* PutUTCDate(char* p, const DecodedDateTime& date) {
    p = PutTwoDigits(p, date.day);
    p = PutTwoDigits(p, date.month);
    // The last two characters of the year's text, as MaxLenStrInv keeps them.
    char year[24];
    char* const yearEnd = PutInteger(year, date.year);
    const std::string tail = MaxLenStrInv(std::string_view(year, static_cast<std::size_t>(yearEnd - year)), 2);
    return PutText(p, tail);
}

char* PutCommaSeparatedUTCDate(char* p, const DecodedDateTime& date) {
    p = PutTwoDigits(p, date.day);
    *p++ = ',';
    p = PutTwoDigits(p, date.month);
    *p++ = ',';
    return PutPadded(p, date.year, 4);
}

std::string UTCTimeText(TDateTime value) { return TextOf(PutUTCTime, DecodeDateTime(value)); }

std::string UTCDateText(TDateTime value) { return TextOf(PutUTCDate, DecodeDateTime(value)); }

std::string CommaSeparatedUTCDateText(TDateTime value) {
    return TextOf(PutCommaSeparatedUTCDate, DecodeDateTime(value));
}

std::string_view MagneticVariationDirectionText(TCardinalPoint direction) {
    return direction == TCardinalPoint::cpEast ? "E" : "W";
}

std::string GetNMEACheckSum(std::string_view body) {
    const std::uint8_t sum = Checksum(body);
    return {kHexDigits[sum >> 4], kHexDigits[sum & 0x0F]};
}

char* CloseSentence(const char* start, char* end) {
    const std::uint8_t sum = Checksum(std::string_view(start, static_cast<std::size_t>(end - start)));
    *end++ = '*';
    *end++ = kHexDigits[sum >> 4];
    *end++ = kHexDigits[sum & 0x0F];
    *end++ = '\r';
    *end++ = '\n';
    return end;
}

std::string FrameSentence(std::string_view body) {
    std::string out(body.size() + 5, '\0');
    std::memcpy(out.data(), body.data(), body.size());
    CloseSentence(out.data(), out.data() + body.size());
    return out;
}

}  // namespace kovra::nmea
