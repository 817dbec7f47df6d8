// Faults for testing the software at the other end: loss of fix, a frozen
// receiver, position noise, sentences left out, corrupted, cut short or
// surrounded by line noise, late updates, and sentences of the user's own.
// Everything random comes from one generator seeded by the user, so the
// same seed and options give the same bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/scenario/Timeline.h"

namespace kovra::engine {

// [start, start + length) in seconds of simulated time.
struct TimeWindow {
    double start = 0;
    double length = 0;
    bool Contains(double t) const { return t >= start && t < start + length; }
};

// What goes wrong with AIS messages, each a chance a message: its second
// sentence lost, a wrong fill-bit count, a sequential message ID out of
// range or empty, its sentences out of order, the message twice, a wrong
// checksum. What decoders meet on real radio links.
struct AisChances {
    double loseFragment = 0, badFill = 0, badSequence = 0, reorder = 0, duplicate = 0, badChecksum = 0;
    bool Any() const { return loseFragment + badFill + badSequence + reorder + duplicate + badChecksum > 0; }
};

struct FaultSettings {
    std::uint64_t seed = 1;
    std::vector<TimeWindow> outages;  // the receiver loses its fix
    std::vector<TimeWindow> freezes;  // the receiver repeats its last update
    double drop = 0;                  // probability that a sentence is left out
    double corrupt = 0;               // … goes out with a wrong checksum
    double truncate = 0;              // … is cut short and loses its end
    double garbage = 0;               // … is followed by random bytes
    double jitterMs = 0;              // each update up to this late, uniformly
    double noiseMetres = 0;           // standard deviation per axis of the reported position
    std::vector<std::string> extra;   // sentences of the user's, framed, after each update
    AisChances ais{};
};

// What the faults did to sentences.
struct FaultCounts {
    std::uint64_t dropped = 0, corrupted = 0, truncated = 0, garbage = 0, extras = 0;
};

// "START+LENGTH" in seconds; SettingError otherwise.
TimeWindow ParseTimeWindow(const std::string& text);
// A user's sentence framed: "$" added when missing, its checksum and CR LF
// after it; SettingError when it holds what a sentence cannot carry.
std::string FrameUserSentence(std::string_view text);
// The most jitter and noise the faults take.
constexpr double kMaxJitterMs = 60'000;
constexpr double kMaxNoiseMetres = 100'000;
// SettingError for a probability outside 0 to 1, a jitter or noise outside 0 to their most.
void CheckFaultSettings(const FaultSettings& settings);

class FaultInjector {
public:
    explicit FaultInjector(FaultSettings settings);

    bool InOutage(double elapsed) const;
    bool Frozen(double elapsed) const;
    // The offset of the reported position from the true one, metres east
    // and north: a first-order Gauss-Markov process with a 60 s correlation time.
    std::pair<double, double> Noise(double elapsed);
    // The update as it goes out: each sentence left out, corrupted or cut
    // short by its chance, line noise after it by its chance, and the
    // user's sentences at the end.
    std::string Damage(std::string_view update);
    // One AIS message (its sentences, CR LF each) as it goes out, with the
    // AIS faults by their chances; the sentences changed are framed again.
    std::string DamageAis(std::string_view message);
    bool DamagesAis() const { return settings_.ais.Any(); }
    // New chances for the faults on each sentence, from the next update on.
    void Change(const SentenceChances& chances);
    // How late this update goes out.
    std::chrono::nanoseconds Delay();
    // Counts the updates in an outage or frozen, for the summary.
    void CountUpdate(bool outage, bool frozen);
    // How many sentences (and updates) each fault touched.
    std::string Summary() const;
    // How many sentences each fault has touched so far.
    FaultCounts Counts() const { return {dropped_, corrupted_, truncated_, garbage_, extras_}; }

private:
    // Each fault draws from its own stream, so that turning one on or off
    // leaves the others' choices as they were.
    enum Stream { kDrop, kCorrupt, kTruncate, kGarbage, kNoise, kJitter, kAis, kStreams };
    double Uniform(Stream stream) { return std::uniform_real_distribution<double>(0, 1)(Random(stream)); }
    // A stream is made when first drawn from, from the seed it was given at
    // the start: its draws are the same, and a vessel of a fleet with one
    // fault on carries one stream's state (2.5 KB), not six.
    std::mt19937_64& Random(Stream stream);

    FaultSettings settings_;
    std::uint64_t seeds_[kStreams];
    std::unique_ptr<std::mt19937_64> random_[kStreams];
    std::vector<std::string> framedExtra_;
    std::pair<double, double> noise_{0, 0};
    std::optional<double> noiseAt_;
    std::uint64_t sentences_ = 0, dropped_ = 0, corrupted_ = 0, truncated_ = 0, garbage_ = 0, delayed_ = 0;
    std::uint64_t outageUpdates_ = 0, frozenUpdates_ = 0, extras_ = 0;
};

}  // namespace kovra::engine
