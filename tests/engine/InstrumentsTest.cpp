// The vessel's instruments: the wind across a moving vessel against the
// triangle of velocities worked by hand, and every sentence whole.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/receiver/Instruments.h"
#include "nmea/Format.h"

namespace kovra::engine::instruments {
namespace {

std::string Framed(const std::string& body) {
    std::string framed = body;
    framed.resize(body.size() + 5);
    kovra::nmea::CloseSentence(framed.data(), framed.data() + body.size());
    return framed;
}

Reading Sailing(double heading, double knots, Wind wind) {
    Reading r;
    r.heading = r.course = heading;
    r.waterKnots = r.courseKnots = knots;
    r.trueWind = wind;
    return r;
}

TEST(Instruments, TheApparentWindIsTheTrueWindLessTheVesselsMotion) {
    const struct {
        const char* what;
        Reading reading;
        double angle, knots;
    } cases[] = {
        // Sailing north into a north wind: it comes from ahead at the sum.
        {"head wind", Sailing(0, 6, {0, 10}), 0, 16},
        // 10 knots east across a 10-knot wind from the north: from 45° off
        // the port bow, at 10·√2.
        {"beam wind", Sailing(90, 10, {0, 10}), 315, 10 * std::sqrt(2.0)},
        // A following wind faster than the vessel: still from astern, at the difference.
        {"following, faster", Sailing(0, 6, {180, 10}), 180, 4},
        // Slower than the vessel: it seems to come from ahead.
        {"following, slower", Sailing(0, 6, {180, 4}), 0, 2},
        // Becalmed, at 5 knots: a head wind of 5.
        {"calm", Sailing(200, 5, {0, 0}), 0, 5},
    };
    for (const auto& c : cases) {
        const RelativeWind apparent = ApparentWind(c.reading);
        EXPECT_NEAR(std::remainder(apparent.angle - c.angle, 360), 0, 1e-9) << c.what;
        EXPECT_NEAR(apparent.knots, c.knots, 1e-9) << c.what;
    }
    // The true wind on the bow: the direction less the heading.
    EXPECT_NEAR(TrueWindOnTheBow(Sailing(45, 6, {270, 15})).angle, 225, 1e-9);
}

TEST(Instruments, EverySentenceWhole) {
    Reading r = Sailing(45, 6, {270, 15});
    r.course = 48;  // a set to starboard: the track differs from the heading
    r.rateOfTurn = -90;
    r.magneticVariation = 3.1;
    r.deviation = -1.5;
    r.depth = 12.5;
    r.transducerOffset = -1.2;
    r.tripNm = 3.456;
    r.totalNm = 1203.456;
    r.groundTripNm = 3.2;
    r.groundTotalNm = 1198.004;
    r.waterCelsius = 8.5;
    const struct {
        void (*append)(std::string&, std::string_view, const Reading&);
        const char* talker;
        const char* expected;
    } cases[] = {
        {AppendHDG, "HC", "$HCHDG,43.4,1.5,W,3.1,E"},  // 45° true, 3.1° E variation, 1.5° W deviation
        {AppendHDM, "HC", "$HCHDM,41.9,M"},
        {AppendTHS, "HE", "$HETHS,45.0,A"},
        {AppendROT, "HE", "$HEROT,-90.0,A"},
        {AppendDPT, "SD", "$SDDPT,12.5,-1.2,"},
        {AppendDBT, "SD", "$SDDBT,41.0,f,12.5,M,6.8,F"},
        {AppendMWD, "WI", "$WIMWD,270.0,T,266.9,M,15.0,N,7.7,M"},
        {AppendVHW, "VW", "$VWVHW,45.0,T,41.9,M,6.00,N,11.11,K"},
        {AppendVLW, "II", "$IIVLW,1203.46,N,3.46,N,1198.00,N,3.20,N"},
        {AppendMTW, "VW", "$VWMTW,8.5,C"},
    };
    for (const auto& c : cases) {
        std::string out;
        c.append(out, c.talker, r);
        EXPECT_EQ(out, Framed(c.expected));
    }
    std::string mwv;
    AppendMWV(mwv, "WI", r);
    const RelativeWind apparent = ApparentWind(r);
    EXPECT_NEAR(apparent.knots, 11.28, 0.01);  // |(15, 0) − 6·(sin 48°, cos 48°)|
    EXPECT_EQ(mwv.substr(0, 7), "$WIMWV,");
    EXPECT_NE(mwv.find(",T,15.0,N,A*"), std::string::npos) << mwv;

    // An instrument with nothing to read says nothing.
    Reading none;
    for (auto* append : {AppendDPT, AppendDBT, AppendMWV, AppendMWD, AppendMTW}) {
        std::string out;
        append(out, "II", none);
        EXPECT_EQ(out, "");
    }
}

// Gusts from the seed: within the mean and the gusts' speed, near each at
// times, smooth from second to second, the same for the same seed and time
// whatever the rate it is read at; a steady wind stays as it is.
TEST(Instruments, GustsComeFromTheSeed) {
    const Wind gusty{270, 15, 25};
    double least = 1e9, most = 0, biggestStep = 0;
    for (int tenth = 0; tenth < 6000; ++tenth) {
        const double t = tenth / 10.0;
        const Wind w = WindAt(gusty, 7, t);
        least = std::min(least, w.knots);
        most = std::max(most, w.knots);
        biggestStep = std::max(biggestStep, std::fabs(w.knots - WindAt(gusty, 7, t + 1).knots));
        EXPECT_EQ(w.from, 270);
    }
    EXPECT_GE(least, 15);
    EXPECT_LT(least, 15.5);
    EXPECT_LE(most, 25);
    EXPECT_GT(most, 23);
    EXPECT_LT(biggestStep, 5);  // no jump: a gust builds over seconds
    EXPECT_EQ(WindAt(gusty, 7, 123.4).knots, WindAt(gusty, 7, 123.4).knots);
    EXPECT_NE(WindAt(gusty, 7, 123.4).knots, WindAt(gusty, 8, 123.4).knots);
    EXPECT_EQ(WindAt({270, 15, 0}, 7, 123.4).knots, 15);
}

}  // namespace
}  // namespace kovra::engine::instruments
