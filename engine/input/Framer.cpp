#include "engine/input/Framer.h"

#include "engine/receiver/UbxFrame.h"

namespace kovra::engine::input {

namespace {

constexpr char kUbxSync1 = '\xB5';
constexpr char kUbxSync2 = '\x62';
constexpr std::size_t kUbxHead = 4;  // class, id, length (little-endian)

int HexDigit(char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool Printable(char c) { return c >= 0x20 && c <= 0x7E; }

}  // namespace

std::vector<std::string_view> FieldsOf(std::string_view body) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = body.find(',', start);
        fields.push_back(body.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos) {
            return fields;
        }
        start = comma + 1;
    }
}


void Framer::Feed(std::string_view bytes, std::vector<Frame>& frames) {
    counts_.bytes += bytes.size();
    for (const char c : bytes) {
        Step(c, frames);
    }
}

void Framer::Step(char c, std::vector<Frame>& frames) {
    switch (state_) {
        case State::Sentence: FeedSentence(c, frames); break;
        case State::Ubx: FeedUbx(c, frames); break;
        case State::Sync:
            state_ = State::Idle;
            if (c == kUbxSync2) {
                state_ = State::Ubx;
                pending_.clear();
                break;
            }
            ++counts_.garbage;  // the lone first sync byte; c starts afresh
            [[fallthrough]];
        case State::Idle:
            if (c == '$') {
                state_ = State::Sentence;
                pending_.assign(1, c);
            } else if (c == kUbxSync1) {
                state_ = State::Sync;
            } else if (c != '\r' && c != '\n') {
                ++counts_.garbage;
            }
            break;
        case State::Skip:
            if (c == '\r' || c == '\n') {
                state_ = State::Idle;
            }
            break;
    }
}

void Framer::FeedSentence(char c, std::vector<Frame>& frames) {
    if (c == '\r' || c == '\n') {
        EndSentence(frames);
        return;
    }
    if (!Printable(c) || c == '$') {
        ++counts_.badChecksums;  // cut off before its checksum; c starts afresh
        state_ = State::Idle;
        Step(c, frames);
        return;
    }
    // "$", the sentence and CR LF make at most 82 characters.
    if (pending_.size() + 2 >= kMostSentence) {
        ++counts_.overlong;
        state_ = State::Skip;
        return;
    }
    pending_ += c;
}

void Framer::EndSentence(std::vector<Frame>& frames) {
    state_ = State::Idle;
    const std::size_t star = pending_.size() >= 4 ? pending_.size() - 3 : 0;
    if (star == 0 || pending_[star] != '*') {
        ++counts_.badChecksums;
        return;
    }
    const int high = HexDigit(pending_[star + 1]), low = HexDigit(pending_[star + 2]);
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < star; ++i) {
        sum = static_cast<std::uint8_t>(sum ^ static_cast<std::uint8_t>(pending_[i]));
    }
    if (high < 0 || low < 0 || sum != high * 16 + low) {
        ++counts_.badChecksums;
        return;
    }
    ++counts_.sentences;
    frames.push_back({Frame::Kind::Nmea, pending_.substr(1, star - 1)});
}

void Framer::FeedUbx(char c, std::vector<Frame>& frames) {
    pending_ += c;
    if (pending_.size() == kUbxHead) {
        const std::size_t payload = static_cast<std::uint8_t>(pending_[2]) | static_cast<std::uint8_t>(pending_[3]) << 8;
        if (payload > kMostPayload) {
            ++counts_.overlong;  // no receiver's frame: what follows is read afresh
            state_ = State::Idle;
            return;
        }
        ubxLength_ = kUbxHead + payload + 2;
    }
    if (pending_.size() < kUbxHead || pending_.size() < ubxLength_) {
        return;
    }
    state_ = State::Idle;
    const std::string_view summed(pending_.data(), ubxLength_ - 2);
    const std::uint16_t expected = UbxChecksum(summed);
    const auto given = static_cast<std::uint16_t>(static_cast<std::uint8_t>(pending_[ubxLength_ - 2]) |
                                                  static_cast<std::uint8_t>(pending_[ubxLength_ - 1]) << 8);
    if (given != expected) {
        ++counts_.badChecksums;
        return;
    }
    ++counts_.frames;
    frames.push_back({Frame::Kind::Ubx, pending_.substr(0, 2) + pending_.substr(kUbxHead, ubxLength_ - kUbxHead - 2)});
}

}  // namespace kovra::engine::input
