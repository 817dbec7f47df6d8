// The realistic receiver on a slow serial line: every update fits what the
// line carries, the GSV groups and the route take turns, each whole. The
// library's sentences for a vessel without a generator of its own.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "engine/receiver/Classic.h"
#include "engine/receiver/Realistic.h"
#include "engine/scenario/BuiltIn.h"

namespace kovra::engine {
namespace {

std::vector<std::string> Lines(const std::string& update) {
    std::vector<std::string> lines;
    std::istringstream in(update);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The updates of `count` seconds of the built-in scenario at 1 Hz.
std::vector<std::string> Updates(std::size_t lineBytes, int count) {
    TKovraNMEAGenerator gps;
    Plan plan;
    LoadBuiltInScenario(gps, plan);
    gps.UseSystemDateTime(false);
    RealisticSettings settings;
    settings.geoidSeparation = static_cast<double>(gps.Geo_Height());  // as the built-in scenario gives them
    settings.magneticVariation = static_cast<double>(gps.Magnetic_Variation());
    settings.lineBytesPerUpdate = lineBytes;
    RealisticReceiver receiver(settings);
    const World world = WorldFrom(gps);
    std::vector<std::string> updates;
    for (int second = 0; second < count; ++second) {
        updates.push_back(receiver.Update(
            {world, world.vessels.front(), EncodeDateTime(2026, 12, 8, 12) + second / 86'400.0, double(second)}));
    }
    return updates;
}

// The GSV groups of one update by talker; each must run whole, 1 to n.
std::map<std::string, int> GsvGroups(const std::string& update) {
    std::map<std::string, int> groups;
    int expected = 1;
    for (const std::string& line : Lines(update)) {
        if (line.compare(3, 3, "GSV") != 0) {
            continue;
        }
        const int total = line[7] - '0', number = line[9] - '0';
        EXPECT_EQ(number, expected) << update;
        expected = number == total ? 1 : number + 1;
        if (number == total) {
            groups[line.substr(1, 2)] = total;
        }
    }
    EXPECT_EQ(expected, 1) << "a GSV group cut short:\n" << update;
    return groups;
}

TEST(RealisticReceiver, OnA9600BaudLineEveryUpdateFitsAndTheSkyGoesInTurn) {
    const std::vector<std::string> updates = Updates(960, 24);
    std::map<std::string, int> lastSeen;
    int routes = 0;
    for (int i = 0; i < static_cast<int>(updates.size()); ++i) {
        const std::string& update = updates[static_cast<std::size_t>(i)];
        EXPECT_LE(update.size(), 960U) << update;
        // Position, fix and the used satellites go every time.
        EXPECT_EQ(update.rfind("$GNRMC,", 0), 0U);
        for (const char* kind : {"$GNGGA,", "$GNVTG,", "$GPGSA,", "$GLGSA,", "$GAGSA,", "$GBGSA,", "$GNAAM,"}) {
            EXPECT_NE(update.find(kind), std::string::npos) << kind << " missing from\n" << update;
        }
        for (const auto& [talker, total] : GsvGroups(update)) {
            lastSeen[talker] = i;
        }
        for (const char* talker : {"GP", "GL", "GA", "GB"}) {
            if (i >= 2) {
                EXPECT_GE(lastSeen[talker], i - 2) << talker << " GSV not sent for three updates";
            }
        }
        routes += update.find("$GNRTE,") != std::string::npos ? 1 : 0;
    }
    // The route when it became active and every ten seconds after.
    EXPECT_EQ(routes, 3);
}

TEST(RealisticReceiver, ALineTooSlowForAnUpdateStillCarriesEveryGroupInTurn) {
    // 4800 baud at 1 Hz: the position and fix alone nearly fill it; one
    // waiting group goes each update all the same.
    const std::vector<std::string> updates = Updates(480, 12);
    std::map<std::string, int> times;
    for (const std::string& update : updates) {
        const std::map<std::string, int> groups = GsvGroups(update);
        EXPECT_LE(groups.size(), 1U) << update;
        for (const auto& [talker, total] : groups) {
            ++times[talker];
        }
    }
    for (const char* talker : {"GP", "GL", "GA", "GB"}) {
        EXPECT_GE(times[talker], 2) << talker;
    }
}

TEST(RealisticReceiver, WithoutALineLimitEveryUpdateIsWhole) {
    for (const std::string& update : Updates(0, 3)) {
        EXPECT_EQ(GsvGroups(update).size(), 4U) << update;
    }
}

// A vessel of a fleet keeps its generator's state as values: what it sends
// must be what the generator would have sent, byte for byte, as the world
// moves it, turns it, takes its fix away and changes its route (to one the
// generator never held, and back to its own under another spelling).
TEST(DetachedClassicReceiver, SendsWhatItsGeneratorWouldHaveSent) {
    for (const bool setsTime : {true, false}) {
        SCOPED_TRACE(setsTime ? "the run's clock" : "the generator's own clock");
        TKovraNMEAGenerator gps;
        Plan plan;
        LoadBuiltInScenario(gps, plan);
        gps.Commands(TNMEACommands::All());
        gps.UseSystemDateTime(false);
        gps.UTCDateTime(EncodeDateTime(2026, 12, 8, 9, 30));
        DetachedClassicReceiver detached(ClassicStartOf(gps), true, setsTime);
        ClassicReceiver classic(gps, true, setsTime);
        World world = WorldFrom(gps);
        world.routes.push_back({"BACK", {"FAIRWAY", "BUOY", "HARBOUR"}});
        Vessel& vessel = world.vessels.front();
        for (int second = 0; second < 12; ++second) {
            if (second > 0) {
                double ignored = 0;
                vessel.state.position = Destination(vessel.state.position, vessel.state.course, 0.0031, ignored);
            }
            if (second == 3) {
                vessel.state.course = vessel.state.heading = 271.25;
                vessel.state.speed = 4.4;
            }
            if (second == 5) {
                vessel.state.altitude = 12.5;
                vessel.progress.route = "BACK";
            }
            if (second == 8) {
                vessel.progress.route = "depart";
            }
            const ReceiverInput input{world, vessel, EncodeDateTime(2026, 12, 8, 12) + second / 86'400.0,
                                      double(second), second == 6 || second == 7};
            EXPECT_EQ(detached.Update(input), classic.Update(input)) << "second " << second;
            EXPECT_EQ(detached.Fix().quality, classic.Fix().quality);
            EXPECT_EQ(detached.Fix().satellites.size(), classic.Fix().satellites.size());
        }
        EXPECT_EQ(detached.SkyPlot(120), classic.SkyPlot(120));
    }
}

}  // namespace
}  // namespace kovra::engine
