#include "engine/ais/Ais.h"

#include <algorithm>
#include <cmath>

#include "nmea/Format.h"

namespace kovra::engine::ais {

namespace {

constexpr int kNoHeading = 511;
constexpr int kNoCourse = 3600;
constexpr int kNoSpeed = 1023;
constexpr std::int64_t kNoLongitude = 181 * 600'000;
constexpr std::int64_t kNoLatitude = 91 * 600'000;

std::uint64_t Clamped(double value, double low, double high) {
    return static_cast<std::uint64_t>(std::clamp(std::round(value), low, high));
}

// Speed in tenths of a knot: 102.2 knots or more as 1022.
std::uint64_t SpeedTenths(std::optional<double> knots) { return knots ? Clamped(*knots * 10, 0, 1022) : kNoSpeed; }

std::uint64_t CourseTenths(std::optional<double> degrees) {
    return degrees ? Clamped(*degrees * 10, 0, 3599) % 3600 : kNoCourse;
}

std::uint64_t HeadingOf(std::optional<int> degrees) {
    return degrees && *degrees >= 0 && *degrees < 360 ? static_cast<std::uint64_t>(*degrees) : kNoHeading;
}

// Longitude then latitude, in ten-thousandths of a minute.
void PutPosition(Bits& bits, const std::optional<GeoPoint>& p) {
    bits.PutSigned(p ? std::llround(std::clamp(p->lon, -180.0, 180.0) * 600'000) : kNoLongitude, 28);
    bits.PutSigned(p ? std::llround(std::clamp(p->lat, -90.0, 90.0) * 600'000) : kNoLatitude, 27);
}

void PutDimensions(Bits& bits, const Dimensions& d) {
    bits.Put(Clamped(d.bow, 0, 511), 9);
    bits.Put(Clamped(d.stern, 0, 511), 9);
    bits.Put(Clamped(d.port, 0, 63), 6);
    bits.Put(Clamped(d.starboard, 0, 63), 6);
}

void PutHead(Bits& bits, int type, std::uint32_t mmsi) {
    bits.Put(static_cast<std::uint64_t>(type), 6);
    bits.Put(0, 2);  // not repeated
    bits.Put(mmsi, 30);
}

std::uint64_t Second(int second) { return Clamped(second, 0, 63); }

// Six-bit ASCII: "@" to "_" are 0 to 31, " " to "?" are 32 to 63.
std::uint64_t SixBit(char c) {
    if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 'a' + 'A');
    }
    if (c >= 64 && c <= 95) {
        return static_cast<std::uint64_t>(c - 64);
    }
    if (c >= 32 && c <= 63) {
        return static_cast<std::uint64_t>(c);
    }
    return '?';
}

void PutMovement(Bits& bits, const Movement& m) {
    bits.Put(SpeedTenths(m.speed), 10);
    bits.Put(m.accurate, 1);
    PutPosition(bits, m.position);
    bits.Put(CourseTenths(m.course), 12);
    bits.Put(HeadingOf(m.heading), 9);
    bits.Put(Second(m.second), 6);
}

struct Encoder {
    Bits& bits;

    void operator()(const PositionReportA& m) const {
        PutHead(bits, std::clamp(m.type, 1, 3), m.mmsi);
        bits.Put(Clamped(m.status, 0, 15), 4);
        bits.PutSigned(RateOfTurnCode(m.rateOfTurn), 8);
        PutMovement(bits, m.movement);
        bits.Put(Clamped(m.maneuver, 0, 3), 2);
        bits.Put(0, 3);
        bits.Put(m.raim, 1);
        bits.Put(m.radio & 0x7FFFF, 19);
    }
    void operator()(const BaseStationReport& m) const {
        PutHead(bits, 4, m.mmsi);
        bits.Put(Clamped(m.year, 0, 9999), 14);
        bits.Put(Clamped(m.month, 0, 12), 4);
        bits.Put(Clamped(m.day, 0, 31), 5);
        bits.Put(Clamped(m.hour, 0, 24), 5);
        bits.Put(Clamped(m.minute, 0, 60), 6);
        bits.Put(Second(m.second), 6);
        bits.Put(m.accurate, 1);
        PutPosition(bits, m.position);
        bits.Put(Clamped(m.epfd, 0, 15), 4);
        bits.Put(0, 10);
        bits.Put(m.raim, 1);
        bits.Put(m.radio & 0x7FFFF, 19);
    }
    void operator()(const StaticAndVoyage& m) const {
        PutHead(bits, 5, m.mmsi);
        bits.Put(Clamped(m.version, 0, 3), 2);
        bits.Put(m.imo & 0x3FFFFFFF, 30);
        bits.PutText(m.callSign, 7);
        bits.PutText(m.name, 20);
        bits.Put(Clamped(m.shipType, 0, 255), 8);
        PutDimensions(bits, m.dimensions);
        bits.Put(Clamped(m.epfd, 0, 15), 4);
        bits.Put(Clamped(m.etaMonth, 0, 12), 4);
        bits.Put(Clamped(m.etaDay, 0, 31), 5);
        bits.Put(Clamped(m.etaHour, 0, 24), 5);
        bits.Put(Clamped(m.etaMinute, 0, 60), 6);
        bits.Put(Clamped(m.draught * 10, 0, 255), 8);
        bits.PutText(m.destination, 20);
        bits.Put(m.dteNotReady, 1);
        bits.Put(0, 1);
    }
    void operator()(const SarAircraftReport& m) const {
        PutHead(bits, 9, m.mmsi);
        bits.Put(m.altitude ? Clamped(*m.altitude, 0, 4094) : 4095, 12);
        bits.Put(m.speed ? Clamped(*m.speed, 0, 1022) : kNoSpeed, 10);  // whole knots for aircraft
        bits.Put(m.accurate, 1);
        PutPosition(bits, m.position);
        bits.Put(CourseTenths(m.course), 12);
        bits.Put(Second(m.second), 6);
        bits.Put(0, 8);
        bits.Put(m.dteNotReady, 1);
        bits.Put(0, 3);
        bits.Put(m.assigned, 1);
        bits.Put(m.raim, 1);
        bits.Put(m.radio & 0xFFFFF, 20);
    }
    void operator()(const SafetyBroadcast& m) const {
        PutHead(bits, 14, m.mmsi);
        bits.Put(0, 2);
        const std::string_view text = std::string_view(m.text).substr(0, 161);
        bits.PutText(text, static_cast<int>(text.size()));
    }
    void operator()(const PositionReportB& m) const {
        PutHead(bits, 18, m.mmsi);
        bits.Put(0, 8);
        PutMovement(bits, m.movement);
        bits.Put(0, 2);
        for (const bool flag : {m.carrierSense, m.display, m.dsc, m.wholeBand, m.message22, m.assigned, m.raim}) {
            bits.Put(flag, 1);
        }
        bits.Put(m.radio & 0xFFFFF, 20);
    }
    void operator()(const ExtendedReportB& m) const {
        PutHead(bits, 19, m.mmsi);
        bits.Put(0, 8);
        PutMovement(bits, m.movement);
        bits.Put(0, 4);
        bits.PutText(m.name, 20);
        bits.Put(Clamped(m.shipType, 0, 255), 8);
        PutDimensions(bits, m.dimensions);
        bits.Put(Clamped(m.epfd, 0, 15), 4);
        bits.Put(m.raim, 1);
        bits.Put(m.dteNotReady, 1);
        bits.Put(m.assigned, 1);
        bits.Put(0, 4);
    }
    void operator()(const AidToNavigation& m) const {
        PutHead(bits, 21, m.mmsi);
        bits.Put(Clamped(m.aidType, 0, 31), 5);
        const std::string_view name = m.name;
        bits.PutText(name.substr(0, 20), 20);
        bits.Put(m.accurate, 1);
        PutPosition(bits, m.position);
        PutDimensions(bits, m.dimensions);
        bits.Put(Clamped(m.epfd, 0, 15), 4);
        bits.Put(Second(m.second), 6);
        for (const bool flag : {m.offPosition}) {
            bits.Put(flag, 1);
        }
        bits.Put(0, 8);
        for (const bool flag : {m.raim, m.virtualAid, m.assigned}) {
            bits.Put(flag, 1);
        }
        bits.Put(0, 1);
        // The name's extension, then spare bits to a whole byte.
        const std::string_view extension = name.size() > 20 ? name.substr(20, 14) : std::string_view();
        bits.PutText(extension, static_cast<int>(extension.size()));
        if (const std::size_t odd = bits.Size() % 8; odd != 0) {
            bits.Put(0, static_cast<int>(8 - odd));
        }
    }
    void operator()(const StaticDataB& m) const {
        PutHead(bits, 24, m.mmsi);
        bits.Put(m.partB, 2);
        if (!m.partB) {
            bits.PutText(m.name, 20);
            bits.Put(0, 8);
            return;
        }
        bits.Put(Clamped(m.shipType, 0, 255), 8);
        bits.PutText(m.vendor, 3);
        bits.Put(static_cast<std::uint64_t>(std::clamp(m.model, 0, 15)), 4);
        bits.Put(m.serial & 0xFFFFF, 20);
        bits.PutText(m.callSign, 7);
        PutDimensions(bits, m.dimensions);
        bits.Put(1, 4);  // GPS
        bits.Put(0, 2);
    }
};

}  // namespace

void Bits::Put(std::uint64_t value, int width) {
    if (width <= 0 || size_ + static_cast<std::size_t>(width) > kMaxBits) {
        return;
    }
    if (width < 64) {
        value &= (std::uint64_t{1} << width) - 1;
    }
    const std::size_t word = size_ / 64;
    const int used = static_cast<int>(size_ % 64);
    const int room = 64 - used;
    if (width <= room) {
        words_[word] |= value << (room - width);
    } else {
        words_[word] |= value >> (width - room);
        words_[word + 1] |= value << (64 - (width - room));
    }
    size_ += static_cast<std::size_t>(width);
}

std::uint64_t Bits::Get(std::size_t start, int width) const {
    const std::size_t word = start / 64;
    const int used = static_cast<int>(start % 64);
    const int room = 64 - used;
    std::uint64_t value = (words_[word] << used) >> (64 - width);
    if (width > room) {
        value |= words_[word + 1] >> (64 - (width - room));
    }
    return value;
}

void Bits::PutSigned(std::int64_t value, int width) {
    Put(static_cast<std::uint64_t>(value) & ((std::uint64_t{1} << width) - 1), width);
}

void Bits::PutText(std::string_view text, int chars) {
    for (int i = 0; i < chars; ++i) {
        Put(static_cast<std::size_t>(i) < text.size() ? SixBit(text[static_cast<std::size_t>(i)]) : 0, 6);
    }
}

std::string Bits::Armoured(int& fillBits) const {
    const std::size_t chars = (size_ + 5) / 6;
    fillBits = static_cast<int>(chars * 6 - size_);
    std::string out(chars, '\0');
    for (std::size_t c = 0; c < chars; ++c) {
        const auto value = static_cast<unsigned>(Get(c * 6, 6));  // the bits past the end are 0
        out[c] = static_cast<char>(value < 40 ? value + 48 : value + 56);
    }
    return out;
}

Bits Encode(const Message& message) {
    Bits bits;
    std::visit(Encoder{bits}, message);
    return bits;
}

void AppendSentences(std::string& out, const Bits& bits, const Framing& framing) {
    int fill = 0;
    const std::string payload = bits.Armoured(fill);
    const std::size_t count = std::max<std::size_t>(1, (payload.size() + kMaxPayload - 1) / kMaxPayload);
    char sentence[nmea::kMaxSentenceLength + 8];
    for (std::size_t i = 0; i < count; ++i) {
        char* p = nmea::PutText(sentence, framing.own ? "!AIVDO," : "!AIVDM,");
        *p++ = static_cast<char>('0' + count);  // at most 3 sentences: 1008 bits
        *p++ = ',';
        *p++ = static_cast<char>('1' + i);
        *p++ = ',';
        if (count > 1) {
            *p++ = static_cast<char>('0' + std::clamp(framing.sequence, 0, 9));
        }
        *p++ = ',';
        *p++ = framing.channel;
        *p++ = ',';
        p = nmea::PutText(p, std::string_view(payload).substr(i * kMaxPayload, kMaxPayload));
        *p++ = ',';
        *p++ = static_cast<char>('0' + (i + 1 == count ? fill : 0));
        p = nmea::CloseSentence(sentence, p);
        out.append(sentence, static_cast<std::size_t>(p - sentence));
    }
}

std::string Sentences(const Message& message, const Framing& framing) {
    std::string out;
    AppendSentences(out, Encode(message), framing);
    return out;
}

int RateOfTurnCode(std::optional<double> degreesPerMinute) {
    if (!degreesPerMinute) {
        return -128;
    }
    const double code = 4.733 * std::sqrt(std::fabs(*degreesPerMinute));
    return static_cast<int>(std::copysign(std::min(126.0, std::round(code)), *degreesPerMinute));
}

}  // namespace kovra::engine::ais
