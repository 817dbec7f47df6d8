#include "engine/scenario/IsoTime.h"

#include <cstdio>

namespace kovra::engine {

namespace {

constexpr double kSecondsPerDay = 86'400;

bool Digits(std::string_view text, std::size_t at, std::size_t count, int& value) {
    if (at + count > text.size()) {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

int DaysIn(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<TDateTime> ParseIsoTime(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || text.size() < 19 || text[4] != '-' || !Digits(text, 5, 2, month) ||
        text[7] != '-' || !Digits(text, 8, 2, day) || (text[10] != 'T' && text[10] != 't' && text[10] != ' ') ||
        !Digits(text, 11, 2, hour) || text[13] != ':' || !Digits(text, 14, 2, minute) || text[16] != ':' ||
        !Digits(text, 17, 2, second)) {
        return std::nullopt;
    }
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > DaysIn(year, month) || hour > 23 ||
        minute > 59 || second > 60) {
        return std::nullopt;
    }
    std::size_t at = 19;
    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
        double scale = 0.1;
        if (++at >= text.size() || text[at] < '0' || text[at] > '9') {
            return std::nullopt;
        }
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10) {
            fraction += (text[at] - '0') * scale;
        }
    }
    double offset = 0;  // seconds east of UTC
    if (at < text.size() && (text[at] == 'Z' || text[at] == 'z')) {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        int hours = 0, minutes = 0;
        const std::size_t colon = at + 3 < text.size() && text[at + 3] == ':' ? 1 : 0;
        if (!Digits(text, at + 1, 2, hours) || !Digits(text, at + 3 + colon, 2, minutes) || hours > 23 || minutes > 59) {
            return std::nullopt;
        }
        offset = (text[at] == '-' ? -1 : 1) * (hours * 3600.0 + minutes * 60.0);
        at += 5 + colon;
    }
    if (at != text.size()) {
        return std::nullopt;
    }
    return EncodeDateTime(year, month, day, hour, minute) + (second + fraction - offset) / kSecondsPerDay;
}

std::string IsoTime(TDateTime time) {
    const DecodedDateTime t = DecodeDateTime(time);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
    return text;
}

}  // namespace kovra::engine
