// From power-on to a fix: what a receiver knows at each moment of a cold,
// warm and hot start, and a cold start's sentences as a model sends them;
// and the differential fix SBAS corrections give once the fix is there.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/receiver/Models.h"
#include "engine/receiver/PowerOn.h"
#include "engine/receiver/Realistic.h"

namespace kovra::engine {
namespace {

TEST(PowerOn, EachStartGoesThroughWhatReceiversDo) {
    const StartTimes times{30, 25, 1.5};
    const struct {
        Start start;
        double at;
        bool time, orbits;
        double tracked;
        int fix;
        bool leap;
    } cases[] = {
        {Start::Cold, 0, false, false, 0, 0, false},      // nothing yet, not even the time
        {Start::Cold, 1.5, true, false, 0, 0, false},     // the first signal gave the time
        {Start::Cold, 16, true, false, 0.5, 0, false},    // half the sky found, no orbits yet
        {Start::Cold, 25, true, true, 23.0 / 28, 0, false},
        {Start::Cold, 30, true, true, 1, 2, false},       // the first fix, 2D
        {Start::Cold, 33, true, true, 1, 3, false},
        {Start::Cold, 750, true, true, 1, 3, true},       // the leap seconds decoded
        {Start::Warm, 0, true, true, 0, 0, true},         // the almanac places the sky at once
        {Start::Warm, 25, true, true, 1, 2, true},
        {Start::Hot, 0, true, true, 1, 0, true},
        {Start::Hot, 1.5, true, true, 1, 2, true},
        {Start::Fixed, 0, true, true, 1, 3, true},
    };
    for (const auto& c : cases) {
        const PowerOnState s = PowerOnAt(c.start, times, c.at);
        const std::string where = "start " + std::to_string(static_cast<int>(c.start)) + " at " + std::to_string(c.at);
        EXPECT_EQ(s.timeKnown, c.time) << where;
        EXPECT_EQ(s.orbitsKnown, c.orbits) << where;
        EXPECT_NEAR(s.trackedShare, c.tracked, 1e-9) << where;
        EXPECT_EQ(s.mostFix, c.fix) << where;
        EXPECT_EQ(s.leapSecondsKnown, c.leap) << where;
    }
    // The dilution is highest at the first fix and settles.
    EXPECT_GT(PowerOnAt(Start::Cold, times, 30).dopFactor, PowerOnAt(Start::Cold, times, 40).dopFactor);
    EXPECT_TRUE(PowerOnAt(Start::Cold, times, 60).Settled());
    EXPECT_FALSE(PowerOnAt(Start::Cold, times, 31).Settled());
}

// A u-blox 8 cold start, update by update: no time, then satellites without a
// place, the solution of those used before the fix, then the 2D fix without
// a height, then 3D; UTC as the firmware's 17 leap seconds make it, one
// second ahead.
TEST(PowerOn, AColdStartAsAModelSendsIt) {
    const ReceiverModel& m8 = *FindReceiverModel("ublox-m8");
    RealisticSettings settings;
    settings.systems = m8.systems;
    settings.dialect = m8.dialect;
    settings.start = Start::Cold;
    settings.startTimes = m8.startTimes;
    settings.firmwareLeapSeconds = m8.firmwareLeapSeconds;
    settings.sentences = Kinds4Of({"RMC", "GGA", "GSA", "GSV"});
    RealisticReceiver receiver(settings);
    World world;
    world.vessels.push_back(Vessel{});
    world.vessels[0].state.position = {54.32, 10.15};
    const TDateTime start = EncodeDateTime(2026, 12, 8, 12, 0, 0);
    std::vector<std::string> updates;
    for (int second = 0; second <= 40; ++second) {
        updates.push_back(receiver.Update({world, world.vessels[0], start + second / 86'400.0, double(second)}));
    }
    const auto line = [](const std::string& update, const std::string& head) {
        std::istringstream lines(update);
        for (std::string l; std::getline(lines, l);) {
            if (l.rfind(head, 0) == 0) {
                return l.substr(0, l.find('*'));
            }
        }
        return std::string();
    };
    EXPECT_EQ(line(updates[0], "$GNRMC"), "$GNRMC,,V,,,,,,,,,,N");
    EXPECT_EQ(line(updates[2], "$GNRMC"), "$GNRMC,120003.00,V,,,,,,,081226,,,N");  // one second ahead
    EXPECT_NE(line(updates[10], "$GPGSV").find(",,,"), std::string::npos);  // tracked, not yet placed
    // Still without a fix, u-blox lists the satellites it uses and their dilution, its units empty.
    EXPECT_NE(line(updates[24], "$GNGSA").substr(0, 12), "$GNGSA,A,1,,");
    EXPECT_EQ(line(updates[24], "$GNGGA").substr(line(updates[24], "$GNGGA").size() - 6), ",,,,,,");
    EXPECT_EQ(line(updates[26], "$GNGSA").substr(0, 10), "$GNGSA,A,2");
    EXPECT_NE(line(updates[26], "$GNGGA").find(",,M,"), std::string::npos);  // no height in 2D
    EXPECT_EQ(line(updates[40], "$GNGSA").substr(0, 10), "$GNGSA,A,3");
}

// WAAS is in view over Novato: a model that tracks SBAS, its corrections
// received, reports a differential fix; without them, or without SBAS, not.
TEST(PowerOn, SbasCorrectionsMakeTheFixDifferential) {
    World world;
    world.vessels.push_back(Vessel{});
    world.vessels[0].state.position = {38.11, -122.62};
    const TDateTime when = EncodeDateTime(2026, 12, 8, 12, 0, 0);
    const auto quality = [&](bool sbas, bool corrections) {
        RealisticSettings settings;
        settings.sbas = sbas;
        settings.sbasCorrections = corrections;
        RealisticReceiver receiver(settings);
        (void)receiver.Update({world, world.vessels[0], when, 0});
        return receiver.Fix().quality;
    };
    EXPECT_EQ(quality(true, true), 2);
    EXPECT_EQ(quality(true, false), 1);
    EXPECT_EQ(quality(false, true), 1);
}

}  // namespace
}  // namespace kovra::engine
