// The realistic output, sentence by sentence: whole sentences with their
// checksums, as a receiver with and without a fix sends them.
#include <gtest/gtest.h>

#include "engine/receiver/Models.h"
#include "engine/receiver/Nmea4.h"
#include "engine/receiver/Realistic.h"
#include "engine/run/Errors.h"
#include "nmea/Format.h"

namespace kovra::engine::nmea4 {
namespace {

using kovra::nmea::FrameSentence;

Epoch WithFix() {
    Epoch e;
    e.utc = DecodeDateTime(EncodeDateTime(2002, 7, 4, 20, 15, 30, 123));
    e.fix = FixType::ThreeD;
    e.mode = Mode::Autonomous;
    e.quality = 1;
    e.latitude = 48 + 7.038 / 60;
    e.longitude = 11 + 31.0 / 60;
    e.altitude = 545.4;
    e.geoidSeparation = 46.9;
    e.speedKnots = 22.4;
    e.course = 84.4;
    e.magneticVariation = -3.1;
    e.trueHeading = 86;
    e.dop = {1.8, 0.9, 1.5, 0.49, 0.32, 0};
    e.rangeError = 2;
    e.satellites = {{Gnss::Gps, 5, 45, 120, 40, true},
                    {Gnss::Glonass, 3, 30, 250, 35, true},
                    {Gnss::Galileo, 11, 10, 200, std::nullopt, false}};
    return e;
}

std::string Built(void (*append)(std::string&, const Epoch&), const Epoch& e) {
    std::string out;
    append(out, e);
    return out;
}

TEST(Nmea4, PositionSentencesWithAFix) {
    const Epoch e = WithFix();
    const struct {
        void (*append)(std::string&, const Epoch&);
        std::string body;
    } cases[] = {
        {AppendRMC, "$GNRMC,201530.12,A,4807.03800,N,01131.00000,E,22.400,84.40,040702,3.1,W,A,S"},
        {AppendGGA, "$GNGGA,201530.12,4807.03800,N,01131.00000,E,1,02,0.90,545.4,M,46.9,M,,"},
        {AppendGLL, "$GNGLL,4807.03800,N,01131.00000,E,201530.12,A,A"},
        {AppendVTG, "$GNVTG,84.40,T,87.50,M,22.400,N,41.485,K,A"},
        {AppendGNS, "$GNGNS,201530.12,4807.03800,N,01131.00000,E,AANN,02,0.90,545.4,46.9,,,S"},
        {AppendGST, "$GNGST,201530.12,2.0,1.4,1.1,90.0,1.1,1.4,3.0"},  // the major axis lies east-west
        {AppendHDT, "$GNHDT,86.00,T"},
        {AppendZDA, "$GNZDA,201530.12,04,07,2002,00,00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Built(c.append, e), FrameSentence(c.body));
    }
}

// The same epoch as the models' dialects write it: u-blox 8 (NMEA 4.0) and
// M9 (4.10), with a differential fix, standing still, and more used
// satellites than GGA counted before 4.10.
TEST(Nmea4, ReceiverModelsWriteTheirDialects) {
    Epoch e = WithFix();
    e.quality = 2;
    e.mode = Mode::Differential;
    e.speedKnots = 0.04;
    for (int n = 10; n < 22; ++n) {
        e.satellites.push_back({Gnss::Gps, n, 20, 10 * n, 30, true});
    }
    e.satellites.push_back({Gnss::Gps, 133, 31, 150, std::nullopt, false});  // SBAS, as 46
    const Dialect m8 = FindReceiverModel("ublox-m8")->dialect, m9 = FindReceiverModel("ublox-m9")->dialect;
    const struct {
        void (*append)(std::string&, const Epoch&, const Dialect&);
        const Dialect& dialect;
        std::string body;
    } cases[] = {
        {AppendRMC, m8, "$GNRMC,201530.12,A,4807.03800,N,01131.00000,E,0.040,,040702,,,D"},
        {AppendRMC, m9, "$GNRMC,201530.12,A,4807.03800,N,01131.00000,E,0.040,,040702,,,D,V"},
        {AppendRMC, Dialect{}, "$GNRMC,201530.12,A,4807.03800,N,01131.00000,E,0.040,84.40,040702,3.1,W,D,S"},
        {AppendVTG, m8, "$GNVTG,,T,,M,0.040,N,0.074,K,D"},
        {AppendGGA, m8, "$GNGGA,201530.12,4807.03800,N,01131.00000,E,2,12,0.90,545.4,M,46.9,M,,"},
        {AppendGGA, m9, "$GNGGA,201530.12,4807.03800,N,01131.00000,E,2,12,0.90,545.4,M,46.9,M,,0000"},
        {AppendGGA, Dialect{}, "$GNGGA,201530.12,4807.03800,N,01131.00000,E,2,14,0.90,545.4,M,46.9,M,,"},
    };
    for (const auto& c : cases) {
        std::string out;
        c.append(out, e, c.dialect);
        EXPECT_EQ(out, FrameSentence(c.body));
    }
    std::string gsa8, gsa9;
    AppendGSA(gsa8, e, m8);
    AppendGSA(gsa9, e, m9);
    EXPECT_EQ(gsa8.substr(0, gsa8.find('\n') + 1), FrameSentence("$GNGSA,A,3,05,10,11,12,13,14,15,16,17,18,19,20,1.80,0.90,1.50"));
    EXPECT_EQ(gsa9.substr(gsa9.find(",1.80,0.90,1.50,") + 15, 3), ",1*");  // the system ID of 4.10
    std::string gsv8;
    AppendGSV(gsv8, e, Gnss::Gps, m8);
    EXPECT_NE(gsv8.find(",46,31,150,*"), std::string::npos) << gsv8;  // SBAS 133 as 46, no signal ID, no SNR
    // Two bands: the second sequence with its own signal ID and signal, or an empty ID.
    Epoch two = WithFix();
    two.satellites = {{Gnss::Gps, 5, 45, 120, 40, true, 34}, {Gnss::BeiDou, 8, 49, 229, 27, true}};
    const Dialect f9p = FindReceiverModel("ublox-f9p")->dialect;
    std::string gps, beidou;
    AppendGSV(gps, two, Gnss::Gps, f9p);
    AppendGSV(beidou, two, Gnss::BeiDou, f9p);
    EXPECT_EQ(gps, FrameSentence("$GPGSV,1,1,01,05,45,120,40,1") + FrameSentence("$GPGSV,1,1,01,05,45,120,34,6"));
    EXPECT_EQ(beidou, FrameSentence("$GBGSV,1,1,01,08,49,229,27,1") + FrameSentence("$GBGSV,1,1,01,08,49,229,,"));
}

// A model's settings, named as the receiver names them, change its dialect.
TEST(Nmea4, ReceiverSettingsChangeTheDialect) {
    const ReceiverModel& m8 = *FindReceiverModel("ublox-m8");
    const std::vector<std::string> settings = {"nmeaVersion=4.10", "highPrec=1", "numSV=8"};
    const Dialect d = ConfigurationOf(m8, settings).dialect;
    std::string gga, rmc, gsv;
    Epoch e = WithFix();
    for (int n = 10; n < 20; ++n) {
        e.satellites.push_back({Gnss::Gps, n, 20, 10 * n, 30, true});
    }
    AppendGGA(gga, e, d);
    AppendRMC(rmc, e, d);
    AppendGSV(gsv, e, Gnss::Gps, d);
    EXPECT_EQ(gga, FrameSentence("$GNGGA,201530.12,4807.0380000,N,01131.0000000,E,1,12,0.90,545.400,M,46.9,M,,"));
    EXPECT_NE(rmc.find(",040702,,,A,V*"), std::string::npos) << rmc;  // 4.10's status, no variation
    EXPECT_EQ(gsv.substr(0, 17), "$GPGSV,2,1,08,05,");  // the eight lowest numbers
    EXPECT_NE(gsv.find(",30,1*"), std::string::npos);  // 4.10's signal ID
    const auto refused = [&](std::vector<std::string> given) {
        try {
            (void)ConfigurationOf(m8, given);
        } catch (const SettingError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refused({"highPrec=2"}), "'highPrec=2': highPrec takes 0 or 1 (7 decimals of a minute, 3 of altitude)");
    EXPECT_EQ(refused({"baud=9600"}), "'baud' is not a setting of ublox-m8 (nmeaVersion, highPrec, numSV)");
    EXPECT_EQ(refused({"numSV"}), "'numSV': numSV takes 0 (all), 8, 12 or 16 satellites a system");
    // The others' commands: MTK's SBAS search and source of corrections, SiRF's WAAS switch.
    const ReceiverModel& mtk = *FindReceiverModel("mtk");
    const ReceiverModel& sirf = *FindReceiverModel("sirf");
    EXPECT_TRUE(ConfigurationOf(mtk, {}).sbas && ConfigurationOf(mtk, {}).sbasCorrectionsUsed);
    EXPECT_FALSE(ConfigurationOf(mtk, std::vector<std::string>{"PMTK313=0"}).sbas);
    EXPECT_FALSE(ConfigurationOf(mtk, std::vector<std::string>{"PMTK301=1"}).sbasCorrectionsUsed);
    EXPECT_FALSE(ConfigurationOf(sirf, {}).sbas);
    EXPECT_TRUE(ConfigurationOf(sirf, std::vector<std::string>{"PSRF151=1"}).sbas);
}

// Courses and headings run from 0.00 to 359.99: what rounds up to 360 is north.
TEST(Nmea4, CoursesJustBelowNorthAreWrittenAsNorth) {
    Epoch e = WithFix();
    e.course = 359.996;
    e.trueHeading = 359.999;
    e.magneticVariation = 0.004;  // east: the magnetic course is 359.992
    EXPECT_EQ(Built(AppendRMC, e), FrameSentence("$GNRMC,201530.12,A,4807.03800,N,01131.00000,E,22.400,0.00,040702,0.0,E,A,S"));
    EXPECT_EQ(Built(AppendVTG, e), FrameSentence("$GNVTG,0.00,T,359.99,M,22.400,N,41.485,K,A"));
    EXPECT_EQ(Built(AppendHDT, e), FrameSentence("$GNHDT,0.00,T"));
    e.course = 359.994;
    e.magneticVariation = -0.004;  // west: 359.998 magnetic
    EXPECT_EQ(Built(AppendVTG, e), FrameSentence("$GNVTG,359.99,T,0.00,M,22.400,N,41.485,K,A"));
}

TEST(Nmea4, SatellitesPerSystem) {
    const Epoch e = WithFix();
    EXPECT_EQ(Built(AppendGSA, e), FrameSentence("$GPGSA,A,3,05,,,,,,,,,,,,1.80,0.90,1.50,1") +
                                       FrameSentence("$GLGSA,A,3,67,,,,,,,,,,,,1.80,0.90,1.50,2") +
                                       FrameSentence("$GAGSA,A,3,,,,,,,,,,,,,1.80,0.90,1.50,3"));
    EXPECT_EQ(Built(AppendGSV, e), FrameSentence("$GPGSV,1,1,01,05,45,120,40,1") +
                                       FrameSentence("$GLGSV,1,1,01,67,30,250,35,1") +
                                       FrameSentence("$GAGSV,1,1,01,11,10,200,,7"));
    Epoch many = e;
    for (int prn = 6; prn <= 10; ++prn) {
        many.satellites.push_back({Gnss::Gps, prn, 20, prn * 10, 30, true});
    }
    const std::string gsv = Built(AppendGSV, many);
    EXPECT_NE(gsv.find(FrameSentence("$GPGSV,2,2,06,09,20,090,30,10,20,100,30,1")), std::string::npos) << gsv;
}

TEST(Nmea4, WithoutAFixFieldsAreEmptyAndTheModeIsN) {
    Epoch e = WithFix();
    e.fix = FixType::None;
    e.mode = Mode::None;
    e.quality = 0;
    EXPECT_EQ(Built(AppendRMC, e), FrameSentence("$GNRMC,201530.12,V,,,,,,,040702,,,N,V"));
    EXPECT_EQ(Built(AppendGGA, e), FrameSentence("$GNGGA,201530.12,,,,,0,02,99.99,,M,,M,,"));
    EXPECT_EQ(Built(AppendGLL, e), FrameSentence("$GNGLL,,,,,201530.12,V,N"));
    EXPECT_EQ(Built(AppendVTG, e), FrameSentence("$GNVTG,,T,,M,,N,,K,N"));
    EXPECT_EQ(Built(AppendGST, e), FrameSentence("$GNGST,201530.12,,,,,,,"));
    EXPECT_EQ(Built(AppendGSA, e).substr(0, 33), "$GPGSA,A,1,,,,,,,,,,,,,99.99,99.9");
}

// Two epochs of the Foretrex 201 recording (tests/data/receiver-logs),
// rebuilt from their state in the garmin model's order: byte for byte the
// receiver's lines, before its fix and with its differential 2D fix.
TEST(Nmea4, TheGarminModelWritesItsRecordedEpochsByteForByte) {
    const ReceiverModel& garmin = *FindReceiverModel("garmin");
    const auto epoch = [&](const Epoch& e) {
        std::string out;
        for (const Kind4 kind : garmin.order) {
            switch (kind) {
                case Kind4::RMC: AppendRMC(out, e, garmin.dialect); break;
                case Kind4::RMB: AppendRMB(out, e, garmin.dialect); break;
                case Kind4::GGA: AppendGGA(out, e, garmin.dialect); break;
                case Kind4::GSA: AppendGSA(out, e, garmin.dialect); break;
                case Kind4::GSV: AppendGSV(out, e, Gnss::Gps, garmin.dialect); break;
                case Kind4::GLL: AppendGLL(out, e, garmin.dialect); break;
                case Kind4::BOD: AppendBOD(out, e, garmin.dialect); break;
                case Kind4::PGRME: AppendPGRME(out, e); break;
                case Kind4::PGRMZ: AppendPGRMZ(out, e); break;
                case Kind4::RTE: AppendRTE(out, e.talker, "", {}); break;
                default: ADD_FAILURE() << "a kind the recording does not have";
            }
        }
        return out;
    };
    const auto framed = [](std::initializer_list<const char*> lines) {
        std::string text;
        for (const char* line : lines) {
            text += line;
            text += "\r\n";
        }
        return text;
    };
    Epoch e;
    e.talker = "GP";
    e.utc = DecodeDateTime(EncodeDateTime(2010, 8, 26, 20, 0, 4, 0));
    e.magneticVariation = 1.0;
    const std::optional<int> none;
    e.satellites = {{Gnss::Gps, 3, 57, 171, none},  {Gnss::Gps, 6, 46, 153, none},  {Gnss::Gps, 8, 6, 303, none},
                    {Gnss::Gps, 11, 17, 274, none}, {Gnss::Gps, 15, 2, 14, none},   {Gnss::Gps, 18, 27, 53, none},
                    {Gnss::Gps, 19, 74, 257, 41},   {Gnss::Gps, 22, 56, 80, 41},    {Gnss::Gps, 24, 85, 96, none},
                    {Gnss::Gps, 28, 15, 328, none}, {Gnss::Gps, 120, 23, 211, 40},  {Gnss::Gps, 124, 26, 166, none}};
    EXPECT_EQ(epoch(e), framed({"$GPRMC,,V,,,,,,,260810,1.0,E,N*34",
                                "$GPRMB,V,,,,,,,,,,,,A,N*13",
                                "$GPGGA,,,,,,0,00,,,M,,M,,*66",
                                "$GPGSA,A,1,,,,,,,,,,,,,,,*1E",
                                "$GPGSV,3,1,12,03,57,171,00,06,46,153,00,08,06,303,00,11,17,274,00*74",
                                "$GPGSV,3,2,12,15,02,014,00,18,27,053,00,19,74,257,41,22,56,080,41*72",
                                "$GPGSV,3,3,12,24,85,096,00,28,15,328,00,33,23,211,40,37,26,166,00*7F",
                                "$GPGLL,,,,,,V,N*64",
                                "$GPBOD,,T,,M,,*47",
                                "$PGRME,,M,,M,,M*00",
                                "$PGRMZ,,f,1*29",
                                "$GPRTE,1,1,c,*37"}));

    e.fix = FixType::TwoD;
    e.mode = Mode::Differential;
    e.quality = 2;
    e.latitude = 55 + 4.4343 / 60;
    e.longitude = 10 + 25.5386 / 60;
    e.altitude = -9.1;
    e.geoidSeparation = 43.9;
    e.dop = {2.7, 2.5, 1.0, 0, 0, 0};
    e.rangeError = 3.98;  // twice it times the HDOP: 19.9 m
    e.satellites = {{Gnss::Gps, 6, 43, 153, 43, true}, {Gnss::Gps, 8, 5, 301, none},   {Gnss::Gps, 11, 19, 274, none},
                    {Gnss::Gps, 14, 18, 127, none},    {Gnss::Gps, 15, 1, 13, none},    {Gnss::Gps, 18, 25, 53, none},
                    {Gnss::Gps, 19, 75, 249, 43, true}, {Gnss::Gps, 22, 55, 78, 32, true}, {Gnss::Gps, 24, 83, 92, none},
                    {Gnss::Gps, 28, 17, 327, none},    {Gnss::Gps, 120, 23, 211, 42},   {Gnss::Gps, 124, 26, 166, 42}};
    EXPECT_EQ(epoch(e), framed({"$GPRMC,200004,A,5504.4343,N,01025.5386,E,0.0,0.0,260810,1.0,E,D*1E",
                                "$GPRMB,A,,,,,,,,,,,,A,D*0E",
                                "$GPGGA,200004,5504.4343,N,01025.5386,E,2,03,2.5,-9.1,M,43.9,M,,*62",
                                "$GPGSA,A,2,06,,,,,,19,22,,,,,2.7,2.5,1.0*3E",
                                "$GPGSV,3,1,12,06,43,153,43,08,05,301,00,11,19,274,00,14,18,127,00*77",
                                "$GPGSV,3,2,12,15,01,013,00,18,25,053,00,19,75,249,43,22,55,078,32*78",
                                "$GPGSV,3,3,12,24,83,092,00,28,17,327,00,33,23,211,42,37,26,166,42*74",
                                "$GPGLL,5504.4343,N,01025.5386,E,200004,A,D*4E",
                                "$GPBOD,,T,,M,,*47",
                                "$PGRME,19.9,M,50.0,M,53.8,M*14",
                                "$PGRMZ,-30,f,2*04",
                                "$GPRTE,1,1,c,*37"}));
}

// On a route the leg's sentences name the waypoint left and the one
// steered for; without a fix the figures measured from here are empty.
TEST(Nmea4, RouteLegSentences) {
    Epoch e = WithFix();
    e.talker = "GP";
    RouteLeg leg{"TRIP", "A", {54.0, 10.0}, "B", {54.0 + 1.0 / 60, 10.0}};
    e.navigation = {leg, {}};
    Approach& a = e.navigation->approach;
    a.crossTrackNm = 0.123;  // right of the leg: steer left
    a.legBearing = 0;
    a.bearing = 3.25;
    a.rangeNm = 0.87;
    a.closingKnots = 5.04;
    const Dialect garmin = FindReceiverModel("garmin")->dialect;
    EXPECT_EQ(Built(AppendRMB, e), FrameSentence("$GPRMB,A,0.12,L,A,B,5401.00000,N,01000.00000,E,0.9,3.3,5.0,V,A"));
    EXPECT_EQ(Built(AppendBOD, e), FrameSentence("$GPBOD,0.0,T,3.1,M,B,A"));  // magnetic: 3.1 west
    std::string rmb;
    AppendRMB(rmb, e, garmin);
    EXPECT_EQ(rmb, FrameSentence("$GPRMB,A,0.12,L,A,B,5401.0000,N,01000.0000,E,0.9,3.3,5.0,V,A"));
    // For the autopilot and the waypoint's bearing, great circle and rhumb line.
    a.bearing = 3.2;
    a.rhumbBearing = 3.4;
    a.rhumbRangeNm = 0.871;
    EXPECT_EQ(Built(AppendAPB, e), FrameSentence("$GPAPB,A,A,0.12,L,N,V,V,0.0,T,B,3.2,T,3.2,T,A"));
    EXPECT_EQ(Built(AppendXTE, e), FrameSentence("$GPXTE,A,A,0.12,L,N,A"));
    EXPECT_EQ(Built(AppendBWC, e), FrameSentence("$GPBWC,201530.12,5401.00000,N,01000.00000,E,3.2,T,6.3,M,0.87,N,B,A"));
    EXPECT_EQ(Built(AppendBWR, e), FrameSentence("$GPBWR,201530.12,5401.00000,N,01000.00000,E,3.4,T,6.5,M,0.87,N,B,A"));
    a.passedPerpendicular = true;
    EXPECT_EQ(Built(AppendAPB, e), FrameSentence("$GPAPB,A,A,0.12,L,N,V,A,0.0,T,B,3.2,T,3.2,T,A"));
    a.passedPerpendicular = false;
    a.bearing = 3.25;
    a.crossTrackNm = -12.5;  // far left: at most 9.99
    a.inCircle = true;
    EXPECT_EQ(Built(AppendRMB, e), FrameSentence("$GPRMB,A,9.99,R,A,B,5401.00000,N,01000.00000,E,0.9,3.3,5.0,A,A"));
    e.fix = FixType::None;
    e.mode = Mode::None;
    EXPECT_EQ(Built(AppendRMB, e), FrameSentence("$GPRMB,V,,,A,B,5401.00000,N,01000.00000,E,,,,V,N"));
    EXPECT_EQ(Built(AppendBWC, e), FrameSentence("$GPBWC,201530.12,5401.00000,N,01000.00000,E,,T,,M,,N,B,N"));
    EXPECT_EQ(Built(AppendXTE, e), FrameSentence("$GPXTE,V,V,,,N,N"));
}

TEST(Nmea4, LongRoutesAreSplitWithin82CharactersAndNamesEscaped) {
    std::vector<std::string> names;
    for (int i = 1; i <= 20; ++i) {
        names.push_back("WAYPOINT" + std::to_string(i));
    }
    std::string out;
    AppendRTE(out, "GN", "HARBOUR", names);
    std::vector<std::string> sentences;
    for (std::size_t start = 0; start < out.size();) {
        const std::size_t end = out.find("\r\n", start) + 2;
        sentences.push_back(out.substr(start, end - start));
        start = end;
    }
    ASSERT_GT(sentences.size(), 1U);
    std::string listed;
    for (std::size_t i = 0; i < sentences.size(); ++i) {
        EXPECT_LE(sentences[i].size(), 82U) << sentences[i];
        const std::string head = "$GNRTE," + std::to_string(sentences.size()) + "," + std::to_string(i + 1) +
                                 ",c,HARBOUR,";
        ASSERT_EQ(sentences[i].rfind(head, 0), 0U) << sentences[i];
        listed += sentences[i].substr(head.size(), sentences[i].find('*') - head.size()) + ",";
    }
    std::string expected;
    for (const std::string& name : names) {
        expected += name + ",";
    }
    EXPECT_EQ(listed, expected);

    out.clear();
    AppendWPL(out, "GN", "x$GPGGA,1*4E", -33.5, -151.25);
    EXPECT_EQ(out, FrameSentence("$GNWPL,3330.00000,S,15115.00000,W,x^24GPGGA^2C1^2A4E"));
    out.clear();
    AppendAAM(out, "GN", true, false, 0.1, "BUOY");
    EXPECT_EQ(out, FrameSentence("$GNAAM,A,V,0.10,N,BUOY"));
}

TEST(Nmea4, TheSkyPlotColoursEachSystem) {
    const std::string svg = SkyPlotOf(WithFix(), 100);
    EXPECT_NE(svg.find("fill=\"#0066CC\""), std::string::npos);  // GPS 5
    EXPECT_NE(svg.find("fill=\"#CC0000\""), std::string::npos);  // GLONASS 67
    EXPECT_NE(svg.find("fill=\"#009900\""), std::string::npos);  // Galileo 11
    EXPECT_NE(svg.find(">67</text>"), std::string::npos);
    EXPECT_THROW((void)SkyPlotOf(WithFix(), 0), EKovraNMEAException);
}

}  // namespace
}  // namespace kovra::engine::nmea4
