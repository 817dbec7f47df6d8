// A recorded log as the source of a run.
#include <algorithm>

#include "engine/Sources.h"

namespace kovra::engine {

bool ReplaySource::NextLines(Update& update) {
    for (;;) {
        const std::string_view lines = log_.NextLines();
        if (!lines.empty()) {
            update.bytes.assign(lines);
            return true;
        }
        if (!s_.loop) {
            return false;
        }
        log_.Rewind();
        if (log_.Size() == 0) {
            return false;  // emptied while playing (a rotated log): nothing is left to loop over
        }
    }
}

bool ReplaySource::Next(std::uint64_t n, Update& update) {
    if (s_.asItStands) {
        return NextLines(update);
    }
    if (s_.count != 0 && n >= s_.count) {
        return false;
    }
    for (;;) {
        double seconds = 0;
        update.bytes.clear();
        if (!log_.Next(update.bytes, seconds)) {
            if (!s_.loop || inPass_ == 0) {
                return false;
            }
            // Again from the start, one of the log's own periods after its end.
            loopStart_ = log_.Timed() ? last_ + (firstGap_ > 0 ? firstGap_ : s_.period) : loopStart_;
            inPass_ = 0;
            log_.Rewind();
            continue;
        }
        const double at = log_.Timed() ? loopStart_ + seconds : s_.period * static_cast<double>(n);
        if (inPass_ == 1 && log_.Timed() && firstGap_ == 0) {
            firstGap_ = seconds;
        }
        if (s_.duration && at >= *s_.duration && n > 0) {
            return false;
        }
        ++inPass_;
        update.at = std::max(at, last_);  // where the log's time goes back, at once
        last_ = update.at;
        return true;
    }
}

void ReplaySource::LastNotices(bool verbose) {
    if (s_.asItStands) {
        return;
    }
    if (faults_ != nullptr && verbose) {
        notify_(faults_->Summary());
    }
    if (log_.DropsBadChecksums()) {
        notify_(std::to_string(log_.Dropped()) + (log_.Dropped() == 1 ? " line" : " lines") +
                " of the log left out for a wrong checksum");
    }
    if (log_.Cut() > 0) {
        notify_(std::to_string(log_.Cut()) + " stretches of the log without a line end in " +
                std::to_string(NmeaLog::kMaxLineLength) + " bytes were sent in pieces");
    }
}

}  // namespace kovra::engine
