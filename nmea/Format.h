// Field texts of NMEA 0183 sentences: padding, the two-decimal rounding,
// the 15-digit general number text, latitude and longitude in degrees and
// decimal minutes, UTC time and date, the checksum and the sentence frame.
//
// Every function here is pure. Numbers are always written with "." unless a
// separator is passed explicitly; the host's locale is read only by
// HostDecimalSeparator and ReplaceDecimalSeparatorEx.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/DateTime.h"
#include "foundation/Types.h"
#include "foundation/Export.h"

namespace kovra::nmea {

// Exactly n characters: s padded on the left with c, or its first n characters.
KOVRA_API std::string MaxLenStr(std::string_view s, int n, char c = '0');
// Exactly n characters: s padded on the left with c, or its last n characters.
KOVRA_API std::string MaxLenStrInv(std::string_view s, int n, char c = '0');

// Rounds half up at the second decimal (toward zero for negative values),
// computed in extended precision.
KOVRA_API double RRound(double x);

// The general number text: 15 significant digits, fixed notation without
// trailing zeros, scientific ("1.5E20", "1E-6") below 0.00001 or beyond 15
// integer digits.
KOVRA_API std::string FloatToStr(Extended value, char decimalSeparator = '.');

// The decimal separator of the process's current C locale.
KOVRA_API char HostDecimalSeparator();
// s with every occurrence of the host's decimal separator replaced by r.
KOVRA_API std::string ReplaceDecimalSeparatorEx(std::string_view s, std::string_view r);

// The value narrowed to a double, rounded with RRound, as general number text.
KOVRA_API std::string RoundedNumber(Extended value);
// The value itself as general number text.
inline std::string RawNumber(Extended value) { return FloatToStr(value); }

// ddmm.mmmmmm,N: the seconds as six decimals of a minute; a fraction that
// rounds to a whole minute carries into the minutes and degrees.
KOVRA_API std::string LatitudeText(std::int32_t degree, std::int32_t minute, Extended second,
                                   TCardinalPoint direction);
// dddmm.mmmmmm,E
KOVRA_API std::string LongitudeText(std::int32_t degree, std::int32_t minute, Extended second,
                                    TCardinalPoint direction);
// hhmmss.sss
KOVRA_API std::string UTCTimeText(TDateTime value);
// ddmmyy
KOVRA_API std::string UTCDateText(TDateTime value);
// dd,mm,yyyy
KOVRA_API std::string CommaSeparatedUTCDateText(TDateTime value);

// "E" for cpEast, "W" otherwise.
KOVRA_API std::string_view MagneticVariationDirectionText(TCardinalPoint direction);

// Exclusive-or of every character after the leading "$", as two upper-case hex digits.
KOVRA_API std::string GetNMEACheckSum(std::string_view body);
// body + "*" + checksum + CR LF.
KOVRA_API std::string FrameSentence(std::string_view body);

// ---- Field writers for the sentence builders. Each writes at `p` and
// returns the end of what it wrote; the caller provides the room.

// The longest sentence NMEA 0183 allows, "$" to CR LF.
inline constexpr std::size_t kMaxSentenceLength = 82;

// Room enough for any one number, coordinate, time or date field.
inline constexpr std::size_t kMaxFieldText = 48;

inline char* PutText(char* p, std::string_view text) {
    for (const char c : text) {
        *p++ = c;
    }
    return p;
}
// Decimal integer text, "-" when negative.
KOVRA_API char* PutInteger(char* p, std::int64_t value);
// The integer text made exactly `width` (at most 24) characters as MaxLenStr does.
KOVRA_API char* PutPadded(char* p, std::int64_t value, int width);
KOVRA_API char* PutFloat(char* p, Extended value, char decimalSeparator = '.');
KOVRA_API char* PutRounded(char* p, Extended value);
KOVRA_API char* PutLatitude(char* p, std::int32_t degree, std::int32_t minute, Extended second,
                            TCardinalPoint direction);
KOVRA_API char* PutLongitude(char* p, std::int32_t degree, std::int32_t minute, Extended second,
                             TCardinalPoint direction);
KOVRA_API char* PutUTCTime(char* p, const DecodedDateTime& time);
KOVRA_API char* PutUTCDate(char* p, const DecodedDateTime& date);
KOVRA_API char* PutCommaSeparatedUTCDate(char* p, const DecodedDateTime& date);

// The one place every sentence is framed: writes "*", the checksum of the
// body [start, end) and CR LF after it (5 bytes of room).
KOVRA_API char* CloseSentence(const char* start, char* end);

}  // namespace kovra::nmea
