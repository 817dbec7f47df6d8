#include "engine/receiver/Instruments.h"

#include <cmath>
#include <numbers>

#include "engine/receiver/SentenceWriter.h"

namespace kovra::engine::instruments {

namespace {

using nmea4::Sentence;

constexpr double kRadians = std::numbers::pi / 180;
constexpr double kKilometresPerNauticalMile = 1.852;
constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600;
constexpr double kFeetPerMetre = 1 / 0.3048;
constexpr double kFathomsPerMetre = 1 / 1.8288;

double Around(double degrees) { return std::fmod(std::fmod(degrees, 360) + 360, 360); }

// A signed angle as NMEA writes it: its size, then E or W.
Sentence& EastWest(Sentence& s, double degrees) { return s.Fixed(std::fabs(degrees), 1).Char(degrees < 0 ? 'W' : 'E'); }

}  // namespace

std::optional<Instrument> InstrumentOf(Kind4 kind) {
    switch (kind) {
        case Kind4::HDG: case Kind4::HDM: return Instrument::Compass;
        case Kind4::THS: case Kind4::ROT: return Instrument::Gyro;
        case Kind4::DPT: case Kind4::DBT: return Instrument::Sounder;
        case Kind4::MWV: case Kind4::MWD: return Instrument::Wind;
        case Kind4::VHW: case Kind4::VLW: case Kind4::MTW: return Instrument::Log;
        default: return std::nullopt;
    }
}

RelativeWind ApparentWind(const Reading& r) {
    // The air's motion over the ground, east and north (it blows toward
    // the opposite of where it comes from), less the vessel's.
    const Wind wind = r.trueWind.value_or(Wind{});
    const double east = -wind.knots * std::sin(wind.from * kRadians) - r.courseKnots * std::sin(r.course * kRadians);
    const double north = -wind.knots * std::cos(wind.from * kRadians) - r.courseKnots * std::cos(r.course * kRadians);
    const double knots = std::hypot(east, north);
    const double from = knots > 1e-9 ? std::atan2(-east, -north) / kRadians : r.heading;
    return {Around(from - r.heading), knots};
}

RelativeWind TrueWindOnTheBow(const Reading& r) {
    const Wind wind = r.trueWind.value_or(Wind{});
    return {Around(wind.from - r.heading), wind.knots};
}

// $--HDG,x.x,x.x,a,x.x,a: the compass's reading, its deviation, the variation.
void AppendHDG(std::string& out, std::string_view talker, const Reading& r) {
    Sentence s(out, talker, "HDG");
    s.Bearing(r.heading - r.magneticVariation - r.deviation, 1);
    EastWest(s, r.deviation);
    EastWest(s, r.magneticVariation);
}

// $--HDM,x.x,M
void AppendHDM(std::string& out, std::string_view talker, const Reading& r) {
    Sentence(out, talker, "HDM").Bearing(r.heading - r.magneticVariation, 1).Char('M');
}

// $--THS,x.x,a: true heading, the gyro working (A).
void AppendTHS(std::string& out, std::string_view talker, const Reading& r) {
    Sentence(out, talker, "THS").Bearing(r.heading, 1).Char('A');
}

// $--ROT,x.x,A: degrees a minute, to port negative.
void AppendROT(std::string& out, std::string_view talker, const Reading& r) {
    Sentence(out, talker, "ROT").Fixed(r.rateOfTurn, 1).Char('A');
}

// $--DPT,x.x,x.x,x.x: below the transducer, the transducer's offset, the range scale (none).
void AppendDPT(std::string& out, std::string_view talker, const Reading& r) {
    if (r.depth) {
        Sentence(out, talker, "DPT").Fixed(*r.depth, 1).Fixed(r.transducerOffset, 1).Empty();
    }
}

// $--DBT,x.x,f,x.x,M,x.x,F: below the transducer in feet, metres and fathoms.
void AppendDBT(std::string& out, std::string_view talker, const Reading& r) {
    if (r.depth) {
        Sentence(out, talker, "DBT")
            .Fixed(*r.depth * kFeetPerMetre, 1)
            .Char('f')
            .Fixed(*r.depth, 1)
            .Char('M')
            .Fixed(*r.depth * kFathomsPerMetre, 1)
            .Char('F');
    }
}

// $--MWV,x.x,R,x.x,N,A then $--MWV,x.x,T,x.x,N,A: the wind's angle from the
// bow and its speed, across the moving vessel and over the ground.
void AppendMWV(std::string& out, std::string_view talker, const Reading& r) {
    if (!r.trueWind) {
        return;
    }
    const RelativeWind apparent = ApparentWind(r), onTheBow = TrueWindOnTheBow(r);
    Sentence(out, talker, "MWV").Bearing(apparent.angle, 1).Char('R').Fixed(apparent.knots, 1).Char('N').Char('A');
    Sentence(out, talker, "MWV").Bearing(onTheBow.angle, 1).Char('T').Fixed(onTheBow.knots, 1).Char('N').Char('A');
}

// $--MWD,x.x,T,x.x,M,x.x,N,x.x,M: where the true wind comes from, true and
// magnetic, and its speed in knots and metres a second.
void AppendMWD(std::string& out, std::string_view talker, const Reading& r) {
    if (!r.trueWind) {
        return;
    }
    const Wind& w = *r.trueWind;
    Sentence(out, talker, "MWD")
        .Bearing(w.from, 1)
        .Char('T')
        .Bearing(w.from - r.magneticVariation, 1)
        .Char('M')
        .Fixed(w.knots, 1)
        .Char('N')
        .Fixed(w.knots * kMetresPerSecondPerKnot, 1)
        .Char('M');
}

// $--VHW,x.x,T,x.x,M,x.x,N,x.x,K: the heading, true and magnetic, and the speed through the water.
void AppendVHW(std::string& out, std::string_view talker, const Reading& r) {
    Sentence(out, talker, "VHW")
        .Bearing(r.heading, 1)
        .Char('T')
        .Bearing(r.heading - r.magneticVariation, 1)
        .Char('M')
        .Fixed(r.waterKnots, 2)
        .Char('N')
        .Fixed(r.waterKnots * kKilometresPerNauticalMile, 2)
        .Char('K');
}

// $--VLW,x.x,N,x.x,N,x.x,N,x.x,N: the distance through the water in all and
// since the trip began, then the same over the ground (NMEA 3 and later).
void AppendVLW(std::string& out, std::string_view talker, const Reading& r) {
    Sentence(out, talker, "VLW")
        .Fixed(r.totalNm, 2).Char('N').Fixed(r.tripNm, 2).Char('N')
        .Fixed(r.groundTotalNm, 2).Char('N').Fixed(r.groundTripNm, 2).Char('N');
}

// $--MTW,x.x,C
void AppendMTW(std::string& out, std::string_view talker, const Reading& r) {
    if (r.waterCelsius) {
        Sentence(out, talker, "MTW").Fixed(*r.waterCelsius, 1).Char('C');
    }
}

}  // namespace kovra::engine::instruments
