#include "engine/receiver/Replay.h"
#include "engine/receiver/SentenceKinds.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/run/Errors.h"

namespace kovra::engine {

namespace {

constexpr std::size_t kBlock = 1 << 20;
constexpr double kDay = 86'400;

// Days from 1970-01-01 of a civil date (proleptic Gregorian).
int DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146'097 + dayOfEra - 719'468;
}

// Whole digits, all of `text`; none when anything else is there.
std::optional<int> Digits(std::string_view text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// Field `index` of a sentence (0 is the address), up to its comma, "*" or line end.
std::string_view FieldOf(std::string_view line, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = line.find(',', start);
        if (start == std::string_view::npos) {
            return {};
        }
        ++start;
    }
    const std::size_t end = line.find_first_of(",*\r\n", start);
    return line.substr(start, end == std::string_view::npos ? line.size() - start : end - start);
}

}  // namespace

std::optional<double> TimeOfDay(std::string_view field) {
    if (field.size() < 6) {
        return std::nullopt;
    }
    int digits[6];
    for (int i = 0; i < 6; ++i) {
        if (field[static_cast<std::size_t>(i)] < '0' || field[static_cast<std::size_t>(i)] > '9') {
            return std::nullopt;
        }
        digits[i] = field[static_cast<std::size_t>(i)] - '0';
    }
    const int hours = digits[0] * 10 + digits[1], minutes = digits[2] * 10 + digits[3];
    const int seconds = digits[4] * 10 + digits[5];
    if (hours > 23 || minutes > 59 || seconds > 60) {
        return std::nullopt;
    }
    double fraction = 0, scale = 0.1;
    if (field.size() > 6) {
        if (field[6] != '.') {
            return std::nullopt;
        }
        for (std::size_t i = 7; i < field.size(); ++i, scale /= 10) {
            if (field[i] < '0' || field[i] > '9') {
                return std::nullopt;
            }
            fraction += (field[i] - '0') * scale;
        }
    }
    return hours * 3600.0 + minutes * 60.0 + seconds + fraction;
}

std::optional<double> SentenceTime(std::string_view line) {
    if (line.size() < 7 || line[0] != '$' || line[6] != ',') {
        return std::nullopt;
    }
    const SentenceKindInfo* kind = FindSentenceKind(line.substr(3, 3));
    if (kind == nullptr || kind->timeField == 0) {
        return std::nullopt;
    }
    return TimeOfDay(FieldOf(line, kind->timeField));
}

std::optional<int> SentenceDate(std::string_view line) {
    if (line.size() < 7 || line[0] != '$' || line[6] != ',') {
        return std::nullopt;
    }
    const std::string_view kind = line.substr(3, 3);
    std::optional<int> day, month, year;
    if (kind == "RMC") {
        const std::string_view date = FieldOf(line, 9);  // ddmmyy
        if (date.size() != 6) {
            return std::nullopt;
        }
        day = Digits(date.substr(0, 2));
        month = Digits(date.substr(2, 2));
        year = Digits(date.substr(4, 2));
        if (year) {
            *year += *year < 80 ? 2000 : 1900;
        }
    } else if (kind == "ZDA") {
        day = Digits(FieldOf(line, 2));
        month = Digits(FieldOf(line, 3));
        year = Digits(FieldOf(line, 4));
    }
    if (!day || !month || !year || *month < 1 || *month > 12 || *day < 1 || *day > 31) {
        return std::nullopt;
    }
    return DaysFromCivil(*year, *month, *day);
}

bool ChecksumHolds(std::string_view line) {
    line = WithoutLineEnd(line);
    if (line.size() < 4 || (line[0] != '$' && line[0] != '!') || line[line.size() - 3] != '*') {
        return false;
    }
    const int high = HexValue(line[line.size() - 2]), low = HexValue(line[line.size() - 1]);
    if (high < 0 || low < 0) {
        return false;
    }
    unsigned sum = 0;
    for (std::size_t i = 1; i + 3 < line.size(); ++i) {
        sum ^= static_cast<unsigned char>(line[i]);
    }
    return static_cast<int>(sum) == high * 16 + low;
}

NmeaLog::NmeaLog(const std::string& path, bool dropBadChecksums)
    : path_(path), file_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)), check_(dropBadChecksums) {
    if (!file_.Valid()) {
        throw SettingError(SystemError("cannot read the log '" + Printable(path) + "'"));
    }
    struct stat status {};
    if (::fstat(file_.Get(), &status) != 0) {
        throw SettingError(SystemError("cannot read the log '" + Printable(path) + "'"));
    }
    if (!S_ISREG(status.st_mode)) {
        throw SettingError("the log '" + Printable(path) + "' is not a regular file");
    }
    size_ = static_cast<std::uint64_t>(status.st_size);
    // A log is timed when any line carries a time; usually the first few do.
    for (std::string_view line = NextLine(); !line.empty(); line = NextLine()) {
        if (SentenceTime(line)) {
            timed_ = true;
            break;
        }
    }
    Rewind();
}

bool NmeaLog::Fill() {
    buffer_.erase(0, start_);
    start_ = 0;
    const std::size_t had = buffer_.size();
    buffer_.resize(had + kBlock);
    ssize_t n;
    do {
        n = ::read(file_.Get(), buffer_.data() + had, kBlock);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        throw OutputError(SystemError("cannot read the log '" + Printable(path_) + "'"));
    }
    buffer_.resize(had + static_cast<std::size_t>(n));
    end_ = n == 0;
    return n > 0;
}

std::string_view NmeaLog::NextLine() {
    for (;;) {
        const char* begin = buffer_.data() + start_;
        const std::size_t left = buffer_.size() - start_;
        // A line ends at LF, CR LF, or CR alone; no search goes past the longest line.
        const std::string_view window(begin, std::min(left, kMaxLineLength));
        std::size_t end = window.find_first_of("\r\n");
        if (end != std::string_view::npos && window[end] == '\r') {
            if (end + 1 == left && !end_) {
                (void)Fill();  // its LF may come with the next block
                continue;
            }
            end += end + 1 < left && begin[end + 1] == '\n' ? 1 : 0;
        }
        if (end != std::string_view::npos) {
            start_ += end + 1;
            return {begin, end + 1};
        }
        if (left >= kMaxLineLength) {
            // No line end in sight (binary data, a broken file): handed on in pieces, counted.
            ++cut_;
            start_ += kMaxLineLength;
            return {begin, kMaxLineLength};
        }
        if (end_ || !Fill()) {
            // The last line, without a line end.
            const std::string_view rest(buffer_.data() + start_, buffer_.size() - start_);
            start_ = buffer_.size();
            return rest;
        }
    }
}

std::string_view NmeaLog::NextLines() {
    if (start_ == buffer_.size() && !end_) {
        (void)Fill();
    }
    const std::string_view rest(buffer_.data() + start_, buffer_.size() - start_);
    std::size_t length = rest.size();
    if (!end_) {
        const std::size_t last = rest.find_last_of("\r\n");
        if (last == std::string_view::npos) {
            // A line longer than a block: read on until it ends.
            const std::string_view line = NextLine();
            consumed_ += line.size();
            return line;
        }
        length = last + 1;
    }
    start_ += length;
    consumed_ += length;
    return rest.substr(0, length);
}

bool NmeaLog::Keep(std::string_view line) {
    if (!check_) {
        return true;
    }
    if (WithoutLineEnd(line).empty()) {
        return false;  // a blank line is nothing to count
    }
    if (!ChecksumHolds(line)) {
        ++dropped_;
        return false;
    }
    return true;
}

bool NmeaLog::Next(std::string& out, double& seconds) {
    bool have = false;
    std::optional<double> time;
    std::optional<int> date;
    if (!pending_.empty()) {
        out += pending_;
        time = pendingTime_;
        date = SentenceDate(pending_);
        pending_.clear();
        have = true;
    }
    for (std::string_view line = NextLine(); !line.empty(); line = NextLine()) {
        consumed_ += line.size();
        if (!Keep(line)) {
            continue;
        }
        if (timed_) {
            if (const std::optional<double> t = SentenceTime(line)) {
                if (!time) {
                    time = t;  // the lines before the first time join its epoch
                } else if (*t != *time) {
                    pending_.assign(line);
                    pendingTime_ = t;
                    break;
                }
            }
        } else {
            const std::string_view kind = line.substr(0, std::min<std::size_t>(6, line.size()));
            if (untimedKind_.empty()) {
                untimedKind_.assign(kind);
            } else if (have && kind == untimedKind_) {
                pending_.assign(line);
                break;
            }
        }
        if (!date) {
            date = SentenceDate(line);
        }
        out += line;
        have = true;
        if (out.size() >= kMaxEpoch) {
            break;  // the rest of a huge epoch follows as one more, at once
        }
    }
    if (!have) {
        return false;
    }
    seconds = elapsed_;  // an epoch without a time (the rest of a huge one) goes with the one before
    if (time) {
        if (!lastTime_) {
            elapsed_ = 0;
        } else {
            double step = *time - *lastTime_;
            if (date && lastDate_) {
                step += (*date - *lastDate_) * kDay;  // the dates say how far
            } else if (step < -kDay / 2) {
                step += kDay;  // past midnight, by the clock alone
                if (lastDate_) {
                    ++*lastDate_;  // the day an epoch without a date has reached
                }
            }
            // A log whose time goes back (two recordings one after the other)
            // goes on one of its own periods later rather than all at once.
            elapsed_ += step >= 0 ? step : lastStep_;
            lastStep_ = step > 0 ? step : lastStep_;
        }
        lastTime_ = *time;
        if (date) {
            lastDate_ = date;
        }
        seconds = elapsed_;
    }
    return true;
}

void NmeaLog::Rewind() {
    if (::lseek(file_.Get(), 0, SEEK_SET) != 0) {
        throw OutputError(SystemError("cannot read the log '" + Printable(path_) + "' again"));
    }
    buffer_.clear();
    start_ = 0;
    end_ = false;
    pending_.clear();
    pendingTime_.reset();
    consumed_ = 0;
    cut_ = 0;
    lastTime_.reset();
    lastDate_.reset();
    // The file may have changed since (a rotated log, emptied while playing).
    struct stat status {};
    if (::fstat(file_.Get(), &status) == 0) {
        size_ = static_cast<std::uint64_t>(status.st_size);
    }
    elapsed_ = 0;
    lastStep_ = 1;
}

}  // namespace kovra::engine
