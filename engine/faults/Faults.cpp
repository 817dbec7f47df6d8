#include "engine/faults/Faults.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>

#include "engine/run/Errors.h"
#include "nmea/Format.h"

namespace kovra::engine {

namespace {

constexpr double kCorrelationTime = 60;  // seconds, of the position noise
using kovra::nmea::kMaxSentenceLength;
constexpr int kMaxGarbage = 16;           // bytes of line noise at a time

bool ParseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value);
}

}  // namespace

TimeWindow ParseTimeWindow(const std::string& text) {
    const std::size_t plus = text.find('+', 1);
    TimeWindow window;
    if (plus == std::string::npos || !ParseNumber(text.substr(0, plus), window.start) ||
        !ParseNumber(text.substr(plus + 1), window.length) || window.start < 0 || window.length <= 0) {
        throw SettingError("malformed window " + QuotedValue(text) + " (expected START+LENGTH in seconds, e.g. 30+10)");
    }
    return window;
}

std::string FrameUserSentence(std::string_view text) {
    std::string body(text);
    if (body.empty() || body.front() != '$') {
        body.insert(body.begin(), '$');
    }
    for (std::size_t i = 1; i < body.size(); ++i) {
        const auto c = static_cast<unsigned char>(body[i]);
        if (c < 0x20 || c > 0x7E || c == '$' || c == '*' || c == '!' || c == '\\' || c == '^' || c == '~') {
            throw SettingError("sentence '" + Printable(text) + "' cannot carry '" +
                               Printable(std::string_view(&body[i], 1)) + "' (escape it as ^XX)");
        }
    }
    if (body.size() < 2) {
        throw SettingError("an empty sentence: give one, e.g. PKOV,TEST,1");
    }
    std::string framed = kovra::nmea::FrameSentence(body);
    if (framed.size() > kMaxSentenceLength) {
        throw SettingError("sentence '" + Printable(text) + "' is " + std::to_string(framed.size()) +
                           " characters framed; a sentence has at most 82");
    }
    return framed;
}

void CheckFaultSettings(const FaultSettings& s) {
    const std::pair<double, const char*> chances[] = {
        {s.drop, "drop"}, {s.corrupt, "corruption"}, {s.truncate, "truncation"}, {s.garbage, "line noise"},
        {s.ais.loseFragment, "lost fragment"}, {s.ais.badFill, "fill-bit"}, {s.ais.badSequence, "sequence"},
        {s.ais.reorder, "reordering"}, {s.ais.duplicate, "duplicate"}, {s.ais.badChecksum, "AIS checksum"}};
    for (const auto& [chance, fault] : chances) {
        if (!(chance >= 0 && chance <= 1)) {
            throw SettingError("a " + std::string(fault) + " chance of " + std::to_string(chance) +
                               " is not a probability from 0 to 1");
        }
    }
    if (!(s.jitterMs >= 0 && s.jitterMs <= kMaxJitterMs)) {
        throw SettingError("a jitter of " + std::to_string(s.jitterMs) + " ms is not from 0 to 60000 milliseconds");
    }
    if (!(s.noiseMetres >= 0 && s.noiseMetres <= kMaxNoiseMetres)) {
        throw SettingError("a noise of " + std::to_string(s.noiseMetres) + " m is not from 0 to 100000 metres");
    }
}

FaultInjector::FaultInjector(FaultSettings settings) : settings_(std::move(settings)) {
    // One seed sequence gives every stream a seed of its own.
    std::seed_seq sequence{static_cast<std::uint32_t>(settings_.seed), static_cast<std::uint32_t>(settings_.seed >> 32)};
    std::uint32_t seeds[2 * kStreams];
    sequence.generate(std::begin(seeds), std::end(seeds));
    for (int i = 0; i < kStreams; ++i) {
        seeds_[i] = (std::uint64_t{seeds[2 * i]} << 32) | seeds[2 * i + 1];
    }
    CheckFaultSettings(settings_);
    for (const std::string& extra : settings_.extra) {
        framedExtra_.push_back(FrameUserSentence(extra));
    }
}

std::mt19937_64& FaultInjector::Random(Stream stream) {
    if (!random_[stream]) {
        random_[stream] = std::make_unique<std::mt19937_64>(seeds_[stream]);
    }
    return *random_[stream];
}

namespace {

// "!AIVDM,2,1,3,A,payload,0" of a sentence, without its checksum and CR LF.
std::string BodyOf(const std::string& sentence) { return sentence.substr(0, sentence.find('*')); }

std::vector<std::string> FieldsOf(const std::string& body) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t comma = body.find(','); ; comma = body.find(',', start)) {
        fields.push_back(body.substr(start, comma - start));
        if (comma == std::string::npos) {
            return fields;
        }
        start = comma + 1;
    }
}

std::string Framed(const std::vector<std::string>& fields) {
    std::string body;
    for (const std::string& field : fields) {
        body += (body.empty() ? "" : ",") + field;
    }
    return kovra::nmea::FrameSentence(body);
}

}  // namespace

std::string FaultInjector::DamageAis(std::string_view message) {
    const AisChances& c = settings_.ais;
    if (!c.Any()) {
        return std::string(message);
    }
    std::vector<std::string> sentences;
    for (std::size_t start = 0; start < message.size();) {
        const std::size_t end = std::min(message.find('\n', start), message.size() - 1) + 1;
        sentences.emplace_back(message.substr(start, end - start));
        start = end;
    }
    const auto chance = [&](double p) { return p > 0 && Uniform(kAis) < p; };
    const auto reframe = [](std::string& sentence, std::size_t field, const std::string& value) {
        std::vector<std::string> fields = FieldsOf(BodyOf(sentence));
        if (field < fields.size()) {
            fields[field] = value;
            sentence = Framed(fields);
        }
    };
    const bool several = sentences.size() > 1;
    if (several && chance(c.loseFragment)) {
        sentences.erase(sentences.begin() + 1);
    }
    if (chance(c.badFill)) {
        const std::vector<std::string> fields = FieldsOf(BodyOf(sentences.back()));
        const int fill = fields.size() > 6 ? std::atoi(fields[6].c_str()) : 0;
        reframe(sentences.back(), 6, std::to_string((fill + 3) % 6));
    }
    if (several && chance(c.badSequence)) {
        const std::string id = Uniform(kAis) < 0.5 ? "" : "12";
        for (std::string& sentence : sentences) {
            reframe(sentence, 3, id);
        }
    }
    if (several && chance(c.reorder)) {
        std::reverse(sentences.begin(), sentences.end());
    }
    if (chance(c.badChecksum)) {
        std::string& sentence = sentences[static_cast<std::size_t>(Uniform(kAis) * static_cast<double>(sentences.size())) %
                                          sentences.size()];
        const std::size_t star = sentence.find('*');
        if (star != std::string::npos && star + 2 < sentence.size()) {
            sentence[star + 2] = sentence[star + 2] == '0' ? '1' : '0';
        }
    }
    std::string out;
    for (const std::string& sentence : sentences) {
        out += sentence;
    }
    if (chance(c.duplicate)) {
        out += out;
    }
    return out;
}

bool FaultInjector::InOutage(double elapsed) const {
    for (const TimeWindow& w : settings_.outages) {
        if (w.Contains(elapsed)) {
            return true;
        }
    }
    return false;
}

bool FaultInjector::Frozen(double elapsed) const {
    for (const TimeWindow& w : settings_.freezes) {
        if (w.Contains(elapsed)) {
            return true;
        }
    }
    return false;
}

std::pair<double, double> FaultInjector::Noise(double elapsed) {
    const double sigma = settings_.noiseMetres;
    if (sigma <= 0) {
        return {0, 0};
    }
    std::normal_distribution<double> gauss(0, 1);
    if (!noiseAt_) {
        noise_ = {sigma * gauss(Random(kNoise)), sigma * gauss(Random(kNoise))};  // from the stationary distribution
    } else if (elapsed != *noiseAt_) {
        // x(t + Δt) = x(t)·e^(−Δt/τ) + σ·√(1 − e^(−2Δt/τ))·w keeps the variance σ².
        const double decay = std::exp(-std::fabs(elapsed - *noiseAt_) / kCorrelationTime);
        const double spread = sigma * std::sqrt(1 - decay * decay);
        noise_ = {noise_.first * decay + spread * gauss(Random(kNoise)),
                  noise_.second * decay + spread * gauss(Random(kNoise))};
    }
    noiseAt_ = elapsed;
    return noise_;
}

std::string FaultInjector::Damage(std::string_view update) {
    std::string out;
    out.reserve(update.size() + 64);
    std::size_t start = 0;
    while (start < update.size()) {
        // A line ends at LF, or at a CR not followed by one (logs written with CR alone).
        std::size_t end = update.find_first_of("\r\n", start);
        end = end == std::string_view::npos ? update.size()
              : update[end] == '\r' && end + 1 < update.size() && update[end + 1] == '\n' ? end + 2
                                                                                        : end + 1;
        std::string sentence(update.substr(start, end - start));
        start = end;
        ++sentences_;
        if (settings_.drop > 0 && Uniform(kDrop) < settings_.drop) {
            ++dropped_;
            continue;
        }
        if (settings_.corrupt > 0 && Uniform(kCorrupt) < settings_.corrupt) {
            const std::size_t star = sentence.rfind('*');
            if (star != std::string::npos && star + 2 < sentence.size()) {
                // Any other checksum: the right one with some of its bits flipped.
                const auto flip = std::uniform_int_distribution<unsigned>(1, 255)(Random(kCorrupt));
                // Worked out from the body, not read: a log's line may carry anything after its "*".
                const auto right = static_cast<unsigned>(
                    std::stoul(kovra::nmea::GetNMEACheckSum(std::string_view(sentence).substr(0, star)), nullptr, 16));
                char hex[3];
                std::snprintf(hex, sizeof hex, "%02X", (right ^ flip) & 0xFF);
                sentence.replace(star + 1, 2, hex);
                ++corrupted_;
            }
        }
        if (settings_.truncate > 0 && Uniform(kTruncate) < settings_.truncate) {
            std::size_t body = sentence.size();
            while (body > 0 && (sentence[body - 1] == '\n' || sentence[body - 1] == '\r')) {
                --body;
            }
            if (body > 1) {
                sentence.resize(std::uniform_int_distribution<std::size_t>(1, body - 1)(Random(kTruncate)));
                ++truncated_;
            }
        }
        out += sentence;
        if (settings_.garbage > 0 && Uniform(kGarbage) < settings_.garbage) {
            const int length = std::uniform_int_distribution<int>(1, kMaxGarbage)(Random(kGarbage));
            for (int i = 0; i < length; ++i) {
                out += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(Random(kGarbage)));
            }
            ++garbage_;
        }
    }
    for (const std::string& extra : framedExtra_) {
        out += extra;
        ++extras_;
    }
    return out;
}

void FaultInjector::Change(const SentenceChances& chances) {
    settings_.drop = chances.drop.value_or(settings_.drop);
    settings_.corrupt = chances.corrupt.value_or(settings_.corrupt);
    settings_.truncate = chances.truncate.value_or(settings_.truncate);
    settings_.garbage = chances.garbage.value_or(settings_.garbage);
}

std::chrono::nanoseconds FaultInjector::Delay() {
    if (settings_.jitterMs <= 0) {
        return std::chrono::nanoseconds(0);
    }
    ++delayed_;
    return std::chrono::nanoseconds(static_cast<std::int64_t>(Uniform(kJitter) * settings_.jitterMs * 1e6));
}

void FaultInjector::CountUpdate(bool outage, bool frozen) {
    outageUpdates_ += outage ? 1 : 0;
    frozenUpdates_ += frozen ? 1 : 0;
}

std::string FaultInjector::Summary() const {
    char text[512];
    std::snprintf(text, sizeof text,
                  "faults (seed %llu): of %llu sentences %llu left out, %llu corrupted, %llu cut short, %llu "
                  "followed by line noise; %llu updates without a fix, %llu frozen, %llu late; %llu sentences "
                  "of the user's",
                  static_cast<unsigned long long>(settings_.seed), static_cast<unsigned long long>(sentences_),
                  static_cast<unsigned long long>(dropped_), static_cast<unsigned long long>(corrupted_),
                  static_cast<unsigned long long>(truncated_), static_cast<unsigned long long>(garbage_),
                  static_cast<unsigned long long>(outageUpdates_), static_cast<unsigned long long>(frozenUpdates_),
                  static_cast<unsigned long long>(delayed_), static_cast<unsigned long long>(extras_));
    return text;
}

}  // namespace kovra::engine
