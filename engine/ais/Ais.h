// AIS messages as ITU-R M.1371-5 lays them out, bit for bit, armoured in
// six-bit ASCII and framed as !AIVDM (others) or !AIVDO (own ship)
// sentences of at most 82 characters. Pure: a message's fields in, its
// sentences out; when and on which channel they go is the sender's.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "engine/scenario/Motion.h"

namespace kovra::engine::ais {

// The longest payload of one sentence: "!AIVDM,2,1,9,A," and ",0*hh" CR LF
// leave 60 of the 82 characters.
constexpr std::size_t kMaxPayload = 60;

// A message's bits, most significant first.
class Bits {
public:
    static constexpr std::size_t kMaxBits = 1008;  // five slots

    void Put(std::uint64_t value, int width);
    void PutSigned(std::int64_t value, int width);
    // Six-bit ASCII, `chars` long: lower case as upper, what it lacks as
    // "?", the rest "@" (the standard's "not available").
    void PutText(std::string_view text, int chars);
    std::size_t Size() const { return size_; }
    // The payload characters and the fill bits that make it whole.
    std::string Armoured(int& fillBits) const;

private:
    // The `width` (at most 64) bits from `start`, as an unsigned number.
    std::uint64_t Get(std::size_t start, int width) const;

    std::array<std::uint64_t, (kMaxBits + 63) / 64> words_{};  // the first bit is the top one of the first word
    std::size_t size_ = 0;
};

// What no value of a field means, as the standard gives it.
struct Dimensions {
    int bow = 0, stern = 0, port = 0, starboard = 0;  // metres from the reference point; 0: not known
};

// Where a ship is and how it moves, as types 1 to 3, 18 and 19 report it alike.
struct Movement {
    std::optional<double> speed{};       // knots
    bool accurate = false;               // a position within 10 m
    std::optional<GeoPoint> position{};
    std::optional<double> course{};      // degrees true
    std::optional<int> heading{};        // degrees true
    int second = 60;                     // of the UTC minute; 60: not available
};

// Types 1, 2 and 3: a class A position report (3 answers an assignment).
struct PositionReportA {
    int type = 1;
    std::uint32_t mmsi = 0;
    int status = 15;                         // navigational status; 15: not defined
    std::optional<double> rateOfTurn{};      // degrees a minute, to starboard positive
    Movement movement{};
    int maneuver = 0;
    bool raim = false;
    std::uint32_t radio = 0;                 // the communication state, 19 bits
};

// Type 4: a base station's report of UTC and its place.
struct BaseStationReport {
    std::uint32_t mmsi = 0;
    int year = 0, month = 0, day = 0, hour = 24, minute = 60, second = 60;  // 0 and 24/60: not available
    bool accurate = false;
    std::optional<GeoPoint> position{};
    int epfd = 1;  // the kind of position fix device: 1 GPS
    bool raim = false;
    std::uint32_t radio = 0;
};

// Type 5: a class A ship's static and voyage data, two sentences.
struct StaticAndVoyage {
    std::uint32_t mmsi = 0;
    int version = 0;
    std::uint32_t imo = 0;
    std::string callSign, name, destination;
    int shipType = 0;
    Dimensions dimensions{};
    int epfd = 1;
    int etaMonth = 0, etaDay = 0, etaHour = 24, etaMinute = 60;  // 0 and 24/60: not available
    double draught = 0;                                         // metres
    bool dteNotReady = false;
};

// Type 9: a search and rescue aircraft's position report.
struct SarAircraftReport {
    std::uint32_t mmsi = 0;
    std::optional<int> altitude{};  // metres
    std::optional<double> speed{};  // knots
    bool accurate = false;
    std::optional<GeoPoint> position{};
    std::optional<double> course{};
    int second = 60;
    bool dteNotReady = false;
    bool assigned = false;
    bool raim = false;
    std::uint32_t radio = 0;  // 20 bits
};

// Type 14: a safety-related broadcast, "SART ACTIVE".
struct SafetyBroadcast {
    std::uint32_t mmsi = 0;
    std::string text;  // at most 161 characters
};

// Type 18: a class B position report.
struct PositionReportB {
    std::uint32_t mmsi = 0;
    Movement movement{};
    bool carrierSense = true;  // a CS unit, as most class B are
    bool display = false, dsc = false, wholeBand = true, message22 = false, assigned = false, raim = false;
    std::uint32_t radio = 0;  // 20 bits
};

// Type 19: an extended class B report with the ship's name and size.
struct ExtendedReportB {
    std::uint32_t mmsi = 0;
    Movement movement{};
    std::string name;
    int shipType = 0;
    Dimensions dimensions{};
    int epfd = 1;
    bool raim = false, dteNotReady = false, assigned = false;
};

// Type 21: an aid to navigation, real or virtual.
struct AidToNavigation {
    std::uint32_t mmsi = 0;
    int aidType = 0;   // 1 reference point … 31 light vessel
    std::string name;  // 20 characters, then up to 14 more in the extension
    bool accurate = false;
    std::optional<GeoPoint> position{};
    Dimensions dimensions{};
    int epfd = 1;
    int second = 60;
    bool offPosition = false, raim = false, virtualAid = false, assigned = false;
};

// Type 24: a class B unit's static data, part A (its name) or part B.
struct StaticDataB {
    std::uint32_t mmsi = 0;
    bool partB = false;
    std::string name;  // part A
    int shipType = 0;  // part B from here on
    std::string vendor;  // 3 characters of manufacturer
    int model = 0;
    std::uint32_t serial = 0;
    std::string callSign;
    Dimensions dimensions{};
};

using Message = std::variant<PositionReportA, BaseStationReport, StaticAndVoyage, SarAircraftReport, SafetyBroadcast,
                             PositionReportB, ExtendedReportB, AidToNavigation, StaticDataB>;

// The message's bits in the standard's order.
Bits Encode(const Message& message);

// How the sentences of one message go: its channel, whether it is own
// ship's (VDO), and the sequential message ID 0 to 9 a message of more than
// one sentence carries.
struct Framing {
    char channel = 'A';
    bool own = false;
    int sequence = 0;
};

// The message as sentences, each closed by its checksum and CR LF.
void AppendSentences(std::string& out, const Bits& bits, const Framing& framing);
std::string Sentences(const Message& message, const Framing& framing);

// The rate of turn as the standard codes it: 4.733·√|ROT| with its sign,
// ROT in degrees a minute, at most ±126; -128 when not available.
int RateOfTurnCode(std::optional<double> degreesPerMinute);

}  // namespace kovra::engine::ais
