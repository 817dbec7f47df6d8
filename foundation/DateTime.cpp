#include "foundation/DateTime.h"

#include <cerrno>
#include <cmath>
#include <ctime>
#include <system_error>

namespace kovra {

namespace {
constexpr std::int64_t kMillisecondsPerDay = 86'400'000;
// Days from 30 December 1899 to 1 January 1970.
constexpr std::int64_t kUnixEpochDay = 25'569;
// Days from 1 March of year 0 (proleptic) to 30 December 1899.
constexpr std::int64_t kEpochFromCivilBase = 693'899;

// Howard Hinnant's days-from-civil, counted from 1 March of year 0.
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe);
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0));
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0 && (a < 0) != (b < 0)) ? 1 : 0);
}
}  // namespace

DecodedDateTime DecodeDateTime(TDateTime value) {
    DecodedDateTime out;
    // Beyond about ±25 million years the calendar has no meaning here; such
    // values (and NaN) decode as the epoch rather than overflow.
    if (!(std::fabs(value) < 9.0e9)) {
        return out;
    }
    // The whole days give the date and the fraction, whatever its sign, the
    // time of day: -1.25 is 29 December 1899, 06:00, not 28 December, 18:00.
    std::int64_t days = static_cast<std::int64_t>(std::trunc(value));
    std::int64_t ms = static_cast<std::int64_t>(
        std::round(std::fabs(value - static_cast<double>(days)) * static_cast<double>(kMillisecondsPerDay)));
    if (ms >= kMillisecondsPerDay) {  // within half a millisecond of the next midnight
        ms -= kMillisecondsPerDay;
        ++days;
    }
    CivilFromDays(days + kEpochFromCivilBase, out.year, out.month, out.day);
    out.hour = static_cast<int>(ms / 3'600'000);
    ms %= 3'600'000;
    out.minute = static_cast<int>(ms / 60'000);
    ms %= 60'000;
    out.second = static_cast<int>(ms / 1000);
    out.millisecond = static_cast<int>(ms % 1000);
    return out;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    const std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                              kEpochFromCivilBase;
    const std::int64_t ms = ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return DateTimeFromMilliseconds(days * kMillisecondsPerDay + ms);
}

TDateTime DateTimeFromMilliseconds(std::int64_t milliseconds) {
    const std::int64_t days = FloorDiv(milliseconds, kMillisecondsPerDay);
    const double fraction =
        static_cast<double>(milliseconds - days * kMillisecondsPerDay) / static_cast<double>(kMillisecondsPerDay);
    // Before the epoch the fraction counts away from zero, as it is decoded.
    return days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
}

TDateTime SystemUTCNow() {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) {
        throw std::system_error(errno, std::generic_category(), "clock_gettime(CLOCK_REALTIME)");
    }
    const std::int64_t ms = static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
    return DateTimeFromMilliseconds(ms + kUnixEpochDay * kMillisecondsPerDay);
}

}  // namespace kovra
