#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "generator/KovraNMEAGenerator.h"
#include "nmea/Format.h"

namespace kovra {
namespace {

using CP = TCardinalPoint;
using K = TNMEACommand;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end + 2 - start));
        start = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
}

template <typename G>
void SetFixQuality(G& g, std::int32_t value) {
    if constexpr (kProfile.hasFixQuality) {
        g.FixQuality(value);
    }
}

// The state of the worked example: Munich, 4 July 2002 20:15:30.123 UTC.
class WorkedExample : public ::testing::Test {
protected:
    void SetUp() override {
        g.UseSystemDateTime(false);
        g.UTCDateTime(EncodeDateTime(2002, 7, 4, 20, 15, 30, 123));
        g.Latitude_Degree(48);
        g.Latitude_Minute(7);
        g.Latitude_Second(2.28L);
        g.Longitude_Degree(11);
        g.Longitude_Minute(31);
        g.Speed(22.4L);
        g.Heading(84.4L);
        g.Magnetic_Heading(81.35L);
        g.Magnetic_Variation(3.1L);
        g.Magnetic_Variation_Direction(CP::cpWest);
        g.Altitude(545.4L);
        g.Geo_Height(46.9L);
        g.HDOP(0.9L);
        SetFixQuality(g, 1);
        for (std::uint16_t prn : {2, 5, 9, 12, 15, 18, 21, 24}) {
            g.SetSatellite(prn, true, 40, 100, 30);
        }
    }
    TKovraNMEAGenerator g;
};

TEST_F(WorkedExample, PositionCourseAndTimeSentences) {
    EXPECT_EQ(g.GetGPZDA(), "$GPZDA,201530.123,04,07,2002,00,00*50\r\n");
    EXPECT_EQ(g.GetGPRMC(), "$GPRMC,201530.123,A,4807.038000,N,01131.000000,E,22.4,84.4,040702,3.1,W,A*1F\r\n");
    EXPECT_EQ(g.GetGPVTG(), "$GPVTG,84.4,T,81.35,M,22.4,N,41.5045395590143,K,A*14\r\n");
    EXPECT_EQ(g.GetGPGGA(), "$GPGGA,201530.123,4807.038000,N,01131.000000,E,1,8,0.9,545.4,M,46.9,M,,*61\r\n");
    if constexpr (kProfile.hasFixQuality) {
        EXPECT_EQ(g.GetGPGLL(), "$GPGLL,4807.038000,N,01131.000000,E,201530.123,A*33\r\n");
    } else {
        EXPECT_EQ(g.GetGPGLL(), "$GPGLL,4807.038000,N,01131.000000,E,201530.123,A,A*5E\r\n");
    }
}

TEST_F(WorkedExample, WithoutAFixTheStatusIsVoid) {
    SetFixQuality(g, 0);
    if constexpr (kProfile.hasFixQuality) {
        EXPECT_EQ(g.GetGPGLL(), "$GPGLL,4807.038000,N,01131.000000,E,201530.123,V*24\r\n");
        EXPECT_EQ(g.GetGPRMC(), "$GPRMC,201530.123,V,4807.038000,N,01131.000000,E,22.4,84.4,040702,3.1,W,A*08\r\n");
        EXPECT_EQ(g.GetGPGGA(), "$GPGGA,201530.123,4807.038000,N,01131.000000,E,0,8,0.9,545.4,M,46.9,M,,*60\r\n");
    } else {  // no fix quality: always a fix of quality 1
        EXPECT_EQ(g.GetGPGGA(), "$GPGGA,201530.123,4807.038000,N,01131.000000,E,1,8,0.9,545.4,M,46.9,M,,*61\r\n");
    }
}

TEST_F(WorkedExample, FieldRulesAtTheirEdges) {
    g.Heading(359.999L);
    EXPECT_NE(g.GetGPRMC().find(",22.4,360,040702,"), std::string::npos);
    EXPECT_EQ(g.GetGPVTG().rfind("$GPVTG,359.999,T,", 0), 0U);

    g.Speed(0);
    EXPECT_NE(g.GetGPVTG().find(",0,N,0,K,A*"), std::string::npos);

    g.Altitude(-12.345L);
    g.Geo_Height(1.5e20L);
    EXPECT_NE(g.GetGPGGA().find(",-12.34,M,1.5E20,M,,*"), std::string::npos);

    [](auto& generator) {
        if constexpr (kProfile.hasFixQuality) {
            generator.FixQuality(-1);
            EXPECT_NE(generator.GetGPGGA().find(",E,-1,8,"), std::string::npos);
            EXPECT_NE(generator.GetGPRMC().find(".123,A,"), std::string::npos);
            generator.FixQuality(2);
            EXPECT_NE(generator.GetGPGGA().find(",E,2,8,"), std::string::npos);
        }
    }(g);
}

TEST(TimeSentences, EpochDateOfAZeroDateTime) {
    TKovraNMEAGenerator g;
    g.UseSystemDateTime(false);
    g.UTCDateTime(0);
    EXPECT_EQ(g.GetGPZDA(), "$GPZDA,000000.000,30,12,1899,00,00*5F\r\n");
    EXPECT_NE(g.GetGPRMC().find(",301299,"), std::string::npos);
}

TEST(TimeSentences, OneClockReadingPerCall) {
    TKovraNMEAGenerator g;  // system clock
    for (int i = 0; i < 200; ++i) {
        const std::vector<std::string> lines = Lines(g.GetNMEA());
        ASSERT_GE(lines.size(), 5U);
        const std::string time = lines[0].substr(7, 10);  // ZDA
        EXPECT_EQ(lines[1].substr(7, 10), time);         // GGA
        EXPECT_NE(lines[2].find("," + time + ","), std::string::npos);  // GLL
        EXPECT_EQ(lines[4].substr(7, 10), time);         // RMC
    }
}

class SatelliteSentences : public ::testing::Test {
protected:
    TKovraNMEAGenerator g;
};

TEST_F(SatelliteSentences, WorkedExamples) {
    EXPECT_EQ(g.GetGPGSA(), "$GPGSA,A,3,,,,,,,,,,,,,0,0,0*2C\r\n");
    EXPECT_EQ(g.GetGPGSV(), "");

    g.SetSatellite(3, true, 45, 120, 40);
    g.SetSatellite(7, true, 10, 300, 8);
    g.SetSatellite(12, true, 78, 45, 35);
    g.PDOP(2.5L);
    g.HDOP(1.3L);
    g.VDOP(2.1L);
    EXPECT_EQ(g.GetGPGSA(), "$GPGSA,A,3,3,7,12,,,,,,,,,,2.5,1.3,2.1*33\r\n");

    g.SetSatellite(19, true, 5, 200, 20);
    g.SetSatellite(28, true, 30, 90, 42);
    g.SetSatellite(30, false, 30, 90, 42);  // present but inactive
    EXPECT_EQ(g.GetGPGSV(),
              "$GPGSV,2,1,5,3,45,120,40,7,10,300,8,12,78,45,35,19,5,200,20*71\r\n"
              "$GPGSV,2,2,5,28,30,90,42*4A\r\n");
}

TEST_F(SatelliteSentences, ThirteenOrMoreActive) {
    for (std::uint16_t prn = 1; prn <= 13; ++prn) {
        g.SetSatellite(prn, true, prn, prn, prn);
    }
    g.PDOP(1.5L);
    g.HDOP(1);
    g.VDOP(2);
    EXPECT_EQ(g.GetGPGSA(), "$GPGSA,A,3,1,2,3,4,5,6,7,8,9,10,11,12,1.5,1,2*06\r\n");
    EXPECT_NE(g.GetGPGGA().find(",12,1,0,M,0,M,,*"), std::string::npos);
    const std::vector<std::string> gsv = Lines(g.GetGPGSV());
    ASSERT_EQ(gsv.size(), 4U);
    EXPECT_EQ(gsv[3].rfind("$GPGSV,4,4,13,13,13,13,13*", 0), 0U);

    for (std::uint16_t prn = 14; prn <= 32; ++prn) {
        g.SetSatellite(prn, true, 0, 0, 0);
    }
    const std::vector<std::string> all = Lines(g.GetGPGSV());
    ASSERT_EQ(all.size(), 8U);
    for (const std::string& line : all) {
        EXPECT_EQ(line.substr(0, 9), "$GPGSV,8,");
        EXPECT_NE(line.find(",32,"), std::string::npos);
    }
}

// The route example: TRIP from START (about 0.05 nautical mile away) to END.
class RouteSentences : public ::testing::Test {
protected:
    void SetUp() override {
        g.Latitude_Degree(48);
        g.Latitude_Minute(7);
        g.Latitude_Second(30);
        g.Longitude_Degree(11);
        g.Longitude_Minute(31);
        AddWayPoint("START", 48, 7, 33, 11, 31, 0);
        AddWayPoint("END", 48, 9, 0, 11, 35, 0);
        auto trip = std::make_unique<TRoute>("TRIP");
        trip->WayPoints({"START", "END"});
        route = trip.get();
        ASSERT_TRUE(g.Routes().Add(std::move(trip)));
        g.Routes().ActiveRoute(route);
    }
    void AddWayPoint(const std::string& name, int latDeg, int latMin, Extended latSec, int longDeg, int longMin,
                     Extended longSec) {
        auto w = std::make_unique<TWayPoint>(name);
        w->Latitude_Degree(latDeg);
        w->Latitude_Minute(latMin);
        w->Latitude_Second(latSec);
        w->Longitude_Degree(longDeg);
        w->Longitude_Minute(longMin);
        w->Longitude_Second(longSec);
        ASSERT_TRUE(g.WayPoints().Add(std::move(w)));
    }
    TKovraNMEAGenerator g;
    TRoute* route = nullptr;
};

TEST_F(RouteSentences, WorkedExamples) {
    EXPECT_EQ(g.GetGPWPL(),
              "$GPWPL,4807.550000,N,01131.000000,E,START*02\r\n"
              "$GPWPL,4809.000000,N,01135.000000,E,END*07\r\n");
    EXPECT_EQ(g.GetGPRTE(), "$GPRTE,1,1,C,TRIP,START,END*07\r\n");
    EXPECT_EQ(g.GetGPAAM(), "$GPAAM,A,A,0.05,N,START*63\r\n");

    route->WayPoints().clear();
    EXPECT_EQ(g.GetGPWPL(), "");
    EXPECT_EQ(g.GetGPAAM(), "");
    EXPECT_EQ(g.GetGPRTE(), "$GPRTE,1,1,C,TRIP,*24\r\n");
}

TEST_F(RouteSentences, NoActiveRouteNoSentences) {
    g.Routes().ActiveRoute(nullptr);
    EXPECT_EQ(g.GetGPWPL() + g.GetGPRTE() + g.GetGPAAM(), "");
}

TEST_F(RouteSentences, NamesAsStoredRepeatedAndMissing) {
    AddWayPoint("Home", 48, 7, 30, 11, 31, 0);  // exactly here
    route->WayPoints({"HOME", "MISSING", "START", "HOME"});
    const std::vector<std::string> wpl = Lines(g.GetGPWPL());
    ASSERT_EQ(wpl.size(), 3U);  // MISSING has no waypoint and is skipped
    EXPECT_NE(wpl[0].find(",Home*"), std::string::npos);
    EXPECT_NE(wpl[1].find(",START*"), std::string::npos);
    EXPECT_EQ(g.GetGPRTE(), "$GPRTE,1,1,C,TRIP,HOME,MISSING,START,HOME*0C\r\n");
    const std::vector<std::string> aam = Lines(g.GetGPAAM());
    ASSERT_EQ(aam.size(), 3U);
    EXPECT_EQ(aam[0].substr(0, aam[0].find('*')), "$GPAAM,A,A,0,N,HOME");
    EXPECT_EQ(aam[1].substr(0, aam[1].find('*')), "$GPAAM,A,A,0.05,N,START");
    EXPECT_EQ(aam[2], aam[0]);
}

TEST_F(RouteSentences, ArrivalCircleOfOneTenthOfANauticalMile) {
    // Along a meridian 0.1 nautical mile is 0.1852 / 6378.14 rad ≈ 5.9891 arc-seconds.
    AddWayPoint("IN", 48, 7, 35.98L, 11, 31, 0);
    AddWayPoint("OUT", 48, 7, 36.0L, 11, 31, 0);
    route->WayPoints({"OUT", "IN"});
    const std::vector<std::string> aam = Lines(g.GetGPAAM());
    ASSERT_EQ(aam.size(), 1U);
    EXPECT_EQ(aam[0].substr(0, aam[0].find('*')), "$GPAAM,A,A,0.1,N,IN");
}

// Whatever shortcut decides which waypoints are far, the arrival sentences
// must list exactly those whose distance is at most 0.1 nautical mile: here
// around Munich, across the antimeridian and next to the pole.
TEST(ArrivalSentences, DecisionsAgreeWithTheDistanceNearTheCircle) {
    struct Centre {
        int latDeg, latMin, longDeg, longMin;
        CP longDir;
        CP otherLongDir;  // the hemisphere of half of the waypoints
    };
    const Centre centres[] = {{48, 7, 11, 31, CP::cpEast, CP::cpEast},
                              {10, 0, 179, 59, CP::cpEast, CP::cpWest},
                              {89, 59, 0, 0, CP::cpEast, CP::cpWest}};
    std::mt19937 random(42);
    std::uniform_real_distribution<double> second(0, 59.999);
    for (const Centre& c : centres) {
        TKovraNMEAGenerator g;
        g.Latitude_Degree(c.latDeg);
        g.Latitude_Minute(c.latMin);
        g.Latitude_Second(30);
        g.Longitude_Degree(c.longDeg);
        g.Longitude_Minute(c.longMin);
        g.Longitude_Second(59);
        g.Longitude_Direction(c.longDir);
        auto route = std::make_unique<TRoute>("R");
        for (int i = 0; i < 300; ++i) {
            auto w = std::make_unique<TWayPoint>("P" + std::to_string(i));
            w->Latitude_Degree(c.latDeg);
            w->Latitude_Minute(c.latMin);
            w->Latitude_Second(second(random));
            w->Longitude_Degree(c.longDeg);
            w->Longitude_Minute(c.longMin);
            w->Longitude_Second(second(random));
            w->Longitude_Direction(i % 2 ? c.longDir : c.otherLongDir);
            route->WayPoints().push_back(w->Name());
            ASSERT_TRUE(g.WayPoints().Add(std::move(w)));
        }
        std::string expected;
        for (const std::string& name : route->WayPoints()) {
            const TWayPoint& w = *g.WayPoints().GetByName(name);
            const Extended d = nmea::DistanceNauticalMiles(
                g.Snapshot().position,
                {w.Latitude_Degree(), w.Latitude_Minute(), w.Latitude_Second(), w.Latitude_Direction(),
                 w.Longitude_Degree(), w.Longitude_Minute(), w.Longitude_Second(), w.Longitude_Direction()});
            if (d <= 0.1L) {
                expected += name + ",";
            }
        }
        g.Routes().ActiveRoute(route.get());
        std::string listed;
        for (const std::string& line : Lines(g.GetGPAAM())) {
            const std::size_t comma = line.rfind(',');
            listed += line.substr(comma + 1, line.find('*') - comma - 1) + ",";
        }
        g.Routes().ActiveRoute(nullptr);
        EXPECT_EQ(listed, expected) << c.latDeg;
        EXPECT_GT(listed.size(), 10U) << c.latDeg;  // the sample reaches into the circle
    }
}

TEST_F(RouteSentences, NamesCannotEndSplitOrForgeASentence) {
    struct Case {
        std::string name;
        const char* escaped;
    };
    const Case cases[] = {
        {"A\r\n$GPXXX", "A^0D^0A^24GPXXX"},
        {"x$GPGGA,1,2*4E", "x^24GPGGA^2C1^2C2^2A4E"},  // no second sentence, no extra field
        {"!\\^~", "^21^5C^5E^7E"},
        {std::string("T\0R\x7F", 4), "T^00R^7F"},
        {"K\xC3\xB6ln", "K^C3^B6ln"},  // bytes above 127 too
        {"Plain-Name_1 (x)", "Plain-Name_1 (x)"},
    };
    for (const Case& c : cases) {
        g.WayPoints().GetItem(0)->Name(c.name);
        route->WayPoints({c.name});
        route->Name(c.name);
        const std::string wpl = g.GetGPWPL();
        EXPECT_EQ(wpl, nmea::FrameSentence(std::string("$GPWPL,4807.550000,N,01131.000000,E,") + c.escaped));
        EXPECT_EQ(g.GetGPRTE(), nmea::FrameSentence(std::string("$GPRTE,1,1,C,") + c.escaped + "," + c.escaped));
        g.Latitude_Second(33);  // on the waypoint: arrived
        EXPECT_EQ(g.GetGPAAM(), nmea::FrameSentence(std::string("$GPAAM,A,A,0,N,") + c.escaped));
        g.Latitude_Second(30);
    }
}

TEST(SentenceSet, OrderAndSelection) {
    TKovraNMEAGenerator g;
    g.UseSystemDateTime(false);
    g.Commands({});
    EXPECT_EQ(g.GetNMEA(), "");

    g.Commands({K::GPRMC, K::GPZDA});
    EXPECT_EQ(g.GetNMEA(), g.GetGPZDA() + g.GetGPRMC());
    g.Commands({K::GPGLL, K::GPGGA});
    EXPECT_EQ(g.GetNMEA(), g.GetGPGGA() + g.GetGPGLL());

    g.Commands({K::AllNMEA});
    const std::string onlyAll = g.GetNMEA();
    g.Commands(TNMEACommands::All());
    EXPECT_EQ(g.GetNMEA(), onlyAll);

    const std::vector<std::string> lines = Lines(onlyAll);
    ASSERT_EQ(lines.size(), 6U);  // no satellite, no route
    const char* heads[] = {"$GPZDA", "$GPGGA", "$GPGLL", "$GPVTG", "$GPRMC", "$GPGSA"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].substr(0, 6), heads[i]);
        EXPECT_EQ(lines[i].substr(lines[i].size() - 2), "\r\n");
    }
}

}  // namespace
}  // namespace kovra
