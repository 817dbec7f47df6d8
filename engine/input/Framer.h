// What consumers send back to a receiver, cut from a byte stream into
// whole NMEA sentences and UBX frames. Anything else (line noise, a bad
// checksum, an overlong line, a frame that cannot be one) is dropped and
// counted; nothing a sender does makes the framer keep more than one frame.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kovra::engine::input {

struct Frame {
    enum class Kind : std::uint8_t { Nmea, Ubx };
    Kind kind = Kind::Nmea;
    // NMEA: the sentence between "$" and "*" ("PMTK220,200"). UBX: the
    // class, the id and the payload, without sync, length and checksum.
    std::string body;
};

// What was dropped, by why.
struct InputCounts {
    std::uint64_t bytes = 0;         // all that came
    std::uint64_t sentences = 0;     // whole NMEA sentences with a right checksum
    std::uint64_t frames = 0;        // whole UBX frames with a right checksum
    std::uint64_t badChecksums = 0;  // sentences and frames whose checksum is wrong or missing
    std::uint64_t overlong = 0;      // lines beyond 82 characters, frames beyond the largest payload
    std::uint64_t garbage = 0;       // bytes outside any sentence or frame

    std::uint64_t Rejected() const { return badChecksums + overlong + garbage; }
};

class Framer {
public:
    // The longest sentence NMEA 0183 allows, "$" to LF; the largest UBX
    // payload a receiver takes (CFG-VALSET of 64 keys fits).
    static constexpr std::size_t kMostSentence = 82;
    static constexpr std::size_t kMostPayload = 1024;

    // Appends the whole frames `bytes` completes; a frame split across
    // calls is kept until its end comes.
    void Feed(std::string_view bytes, std::vector<Frame>& frames);
    const InputCounts& Counts() const { return counts_; }

private:
    enum class State : std::uint8_t { Idle, Sentence, Skip, Sync, Ubx };
    void Step(char c, std::vector<Frame>& frames);
    void FeedSentence(char c, std::vector<Frame>& frames);
    void FeedUbx(char c, std::vector<Frame>& frames);
    void EndSentence(std::vector<Frame>& frames);

    State state_ = State::Idle;
    std::string pending_;       // the sentence or frame begun
    std::size_t ubxLength_ = 0; // the whole frame's, once its length is known
    InputCounts counts_;
};

// A sentence's fields, split at its commas: "PMTK220,200" is PMTK220 and 200.
std::vector<std::string_view> FieldsOf(std::string_view body);


}  // namespace kovra::engine::input
