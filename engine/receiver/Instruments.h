// A vessel's own instruments on the bus beside the GPS: the compass and the
// gyro (HDG, HDM, THS, ROT), the echo sounder (DPT, DBT), the wind
// instrument (MWV, MWD) and the log (VHW, VLW, MTW). Pure builders of what
// they read at one instant; each instrument talks as itself.
#pragma once

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "engine/receiver/SentenceKinds.h"
#include "engine/scenario/World.h"

namespace kovra::engine::instruments {

// What the instruments read at one instant.
struct Reading {
    double heading = 0;            // degrees true
    double rateOfTurn = 0;         // degrees a minute, to starboard positive
    double magneticVariation = 0;  // degrees, east positive
    double deviation = 0;          // the compass's own, degrees, east positive
    double waterKnots = 0;         // speed through the water
    double courseKnots = 0;        // speed over ground, along `course`
    double course = 0;             // degrees true
    std::optional<double> depth;   // metres below the transducer
    double transducerOffset = 0;   // metres: to the waterline positive, to the keel negative
    std::optional<Wind> trueWind;  // over the ground
    double tripNm = 0, totalNm = 0;    // the log's distances through the water
    double groundTripNm = 0, groundTotalNm = 0;  // and over the ground
    std::optional<double> waterCelsius;
};

// The wind as it blows across the moving vessel: its angle from the bow
// (0 to 360, clockwise) and its speed, from the true wind and the motion
// over the ground.
struct RelativeWind {
    double angle = 0;
    double knots = 0;
};
RelativeWind ApparentWind(const Reading& r);
// The true wind's angle from the bow, and its speed.
RelativeWind TrueWindOnTheBow(const Reading& r);

// The instruments of an installation, each with its talker and its kinds.
enum class Instrument : std::uint8_t { Compass, Gyro, Sounder, Wind, Log };
struct InstrumentKind {
    Instrument instrument;
    std::string_view name;    // as options name it: "sounder"
    std::string_view talker;  // as it talks when installed on its own: "SD"
};
inline constexpr InstrumentKind kInstruments[] = {
    {Instrument::Compass, "compass", "HC"}, {Instrument::Gyro, "gyro", "HE"}, {Instrument::Sounder, "sounder", "SD"},
    {Instrument::Wind, "wind", "WI"},       {Instrument::Log, "log", "VW"},
};
inline constexpr std::size_t kInstrumentCount = std::size(kInstruments);
// The instrument a kind is sent by; none for the GPS's own kinds.
std::optional<Instrument> InstrumentOf(Kind4 kind);

void AppendHDG(std::string& out, std::string_view talker, const Reading& r);
void AppendHDM(std::string& out, std::string_view talker, const Reading& r);
void AppendTHS(std::string& out, std::string_view talker, const Reading& r);
void AppendROT(std::string& out, std::string_view talker, const Reading& r);
// Both need a depth; without one nothing is written.
void AppendDPT(std::string& out, std::string_view talker, const Reading& r);
void AppendDBT(std::string& out, std::string_view talker, const Reading& r);
// The apparent (relative) wind, then the true; both need a true wind.
void AppendMWV(std::string& out, std::string_view talker, const Reading& r);
void AppendMWD(std::string& out, std::string_view talker, const Reading& r);
void AppendVHW(std::string& out, std::string_view talker, const Reading& r);
void AppendVLW(std::string& out, std::string_view talker, const Reading& r);
// Needs a water temperature.
void AppendMTW(std::string& out, std::string_view talker, const Reading& r);

}  // namespace kovra::engine::instruments
