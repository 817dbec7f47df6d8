// Encoding and decoding of TDateTime values (days since 30 December 1899,
// proleptic Gregorian calendar).
#pragma once

#include <cstdint>

#include "foundation/Types.h"
#include "foundation/Export.h"

namespace kovra {

struct DecodedDateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    friend bool operator==(const DecodedDateTime&, const DecodedDateTime&) = default;
};

// Rounds to the nearest whole millisecond, then splits into calendar fields;
// a time within half a millisecond of midnight belongs to the next day.
KOVRA_API DecodedDateTime DecodeDateTime(TDateTime value);

KOVRA_API TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0,
                                   int second = 0, int millisecond = 0);

// Milliseconds since 30 December 1899 00:00:00 as a date-time.
KOVRA_API TDateTime DateTimeFromMilliseconds(std::int64_t milliseconds);

// The platform's real-time clock, read as UTC with millisecond resolution.
KOVRA_API TDateTime SystemUTCNow();

}  // namespace kovra
