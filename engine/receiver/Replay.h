// A recorded NMEA log read back as the updates it was sent in: lines (ended
// by LF, CR LF or CR alone) are
// grouped into epochs by the time fields of RMC, GGA, GLL, GNS and ZDA (any
// talker); a line without a time goes with the epoch before it. A log with
// no time field at all is cut where its first sentence kind comes again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/FileDescriptor.h"

namespace kovra::engine {

// Seconds of the day in a time field "hhmmss" or "hhmmss.sss"; none when it
// is not one.
std::optional<double> TimeOfDay(std::string_view field);
// The time of day a sentence carries, when it is RMC, GGA, GLL, GNS or ZDA
// with its time field filled.
std::optional<double> SentenceTime(std::string_view line);
// The date of an RMC or ZDA sentence, as days from 1970-01-01; none when it has none.
std::optional<int> SentenceDate(std::string_view line);
// True when the line ends in "*hh" (CR LF aside) matching the exclusive-or
// of the characters between its "$" or "!" and the "*".
bool ChecksumHolds(std::string_view line);

class NmeaLog {
public:
    // A line longer than this (binary data, a file without line ends) is
    // handed on in pieces of this size, and counted.
    static constexpr std::size_t kMaxLineLength = 64 * 1024;
    // An epoch larger than this goes on as several, sent at once.
    static constexpr std::size_t kMaxEpoch = 1 << 20;

    // Opens a regular file; SettingError naming it otherwise.
    NmeaLog(const std::string& path, bool dropBadChecksums);
    NmeaLog(const NmeaLog&) = delete;
    NmeaLog& operator=(const NmeaLog&) = delete;

    // Whether any line carries a time: without, epochs follow the first kind.
    bool Timed() const { return timed_; }
    // Appends the next epoch's lines, exactly as recorded, to `out`; its time
    // (seconds since the first epoch, days counted by the dates of RMC and
    // ZDA, or across midnight when none is given; where the log's time goes
    // back, one of its periods after the epoch before) when the log is
    // timed. False at the end of the log.
    bool Next(std::string& out, double& seconds);
    // The next run of whole lines as they stand, epochs aside (for sending
    // as fast as the outputs take it); valid until the next call. Empty at
    // the end of the log.
    std::string_view NextLines();
    // Back to the first line, for a loop.
    void Rewind();

    std::uint64_t Size() const { return size_; }
    std::uint64_t BytesRead() const { return consumed_; }
    std::uint64_t Dropped() const { return dropped_; }
    std::uint64_t Cut() const { return cut_; }
    bool DropsBadChecksums() const { return check_; }

private:
    // The next line, without copying; empty at the end of the file.
    std::string_view NextLine();
    bool Fill();
    bool Keep(std::string_view line);
    std::optional<double> EpochKey(std::string_view line);

    std::string path_;
    FileDescriptor file_;
    bool check_;
    bool timed_ = false;
    std::string untimedKind_;  // the kind that starts an epoch in an untimed log
    std::uint64_t size_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint64_t dropped_ = 0;
    std::uint64_t cut_ = 0;
    std::string buffer_;
    std::size_t start_ = 0;  // first byte not yet handed out
    bool end_ = false;
    std::string pending_;  // the line that began the next epoch
    std::optional<double> pendingTime_;
    std::optional<double> lastTime_;  // of the epoch handed out last, seconds of the day
    std::optional<int> lastDate_;     // its date, days from 1970, when a sentence gave one
    double elapsed_ = 0;              // its seconds since the first epoch
    double lastStep_ = 1;             // the last step forward between two epochs
};

}  // namespace kovra::engine
