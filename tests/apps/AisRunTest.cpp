// AIS from the program: a simulated hour of every kind of station at
// --fast sends as many reports as the standard's intervals give.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "AisPayload.h"
#include "Process.h"
#include "SimulatorSupport.h"

namespace kovra::test {
namespace {

TEST(AisRuns, AnHourAtFastReportsAtTheStandardsIntervals) {
    const struct {
        const char* target;
        std::uint64_t mmsi, type;
        int reports;
    } cases[] = {
        {"mmsi=211000010,name=TEN KNOTS,lat=54.30,lon=10.10,course=90,speed=10", 211000010, 1, 360},
        {"mmsi=211000010", 211000010, 5, 10},  // its voyage data every six minutes
        {"mmsi=211000020,lat=54.31,lon=10.10,course=90,speed=20", 211000020, 1, 600},
        {"mmsi=211000030,lat=54.32,lon=10.10,course=90,speed=30", 211000030, 1, 1800},
        {"mmsi=211000040,status=1,lat=54.33,lon=10.10,speed=0", 211000040, 1, 20},  // at anchor
        {"class=B,mmsi=211000050,name=DINGHY,lat=54.34,lon=10.10,course=90,speed=5", 211000050, 18, 120},
        {"mmsi=211000050", 211000050, 24, 20},  // parts A and B every six minutes
        {"class=B,mmsi=211000060,lat=54.35,lon=10.10,course=90,speed=1", 211000060, 18, 20},
        {"class=sart,mmsi=970000001,lat=54.36,lon=10.10", 970000001, 1, 480},  // eight a minute
        {"mmsi=970000001", 970000001, 14, 15},                                  // its text every four minutes
        {"class=aton,mmsi=992000001,name=LIGHT,lat=54.37,lon=10.10", 992000001, 21, 20},
        {"class=base,mmsi=002111111,lat=54.38,lon=10.10", 2111111, 4, 360},
        {"class=sar,mmsi=111211001,lat=54.39,lon=10.10,course=90,speed=120", 111211001, 9, 360},
    };
    std::vector<std::string> arguments = {"--count", "3600", "--fast", "--sentences", "RMC"};
    for (const auto& c : cases) {
        if (std::string(c.target).find("lat=") != std::string::npos) {
            arguments.insert(arguments.end(), {"--ais-target", c.target});
        }
    }
    const Result r = RunProgram(arguments);
    ASSERT_EQ(r.status, 0) << r.error;
    std::map<std::pair<std::uint64_t, std::uint64_t>, int> sent;  // by MMSI and type
    for (const std::string& line : Lines(r.output)) {
        if (line.rfind("!AIVDM,", 0) == 0 && Field(line, 2) == "1") {  // the first sentence of each message
            const std::string payload = PayloadOf(line);
            ++sent[{FieldAt(payload, 8, 30), FieldAt(payload, 0, 6)}];
        }
    }
    for (const auto& c : cases) {
        EXPECT_NEAR((sent[{c.mmsi, c.type}]), c.reports, 1) << "MMSI " << c.mmsi << " type " << c.type;
    }
}

}  // namespace
}  // namespace kovra::test
