// AIS messages bit for bit: real transponders' sentences encoded again from
// their fields, the standard's "not available" values at their places, the
// rate-of-turn code, text and the framing of long messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <vector>

#include "AisPayload.h"
#include "engine/ais/Ais.h"
#include "engine/ais/Transponder.h"
#include "engine/faults/Faults.h"
#include "nmea/Format.h"

namespace kovra::engine::ais {
namespace {

using test::FieldAt;
using test::PayloadOf;

TEST(AisEncoding, RealTransmissionsComeOutAsTheyWereSent) {
    // A class A ship moored in San Francisco, as received.
    const PositionReportA moored{.type = 1, .mmsi = 366053209, .status = 3, .rateOfTurn = 0.0,
                                 .movement = {.speed = 0.0, .position = GeoPoint{37.80211833333333, -122.34161833333333},
                                              .course = 219.3, .heading = 1, .second = 59},
                                 .radio = 2281};
    EXPECT_EQ(Sentences(moored, {.channel = 'B'}), "!AIVDM,1,1,,B,15M67FC000G?ufbE`FepT@3n00Sa,0*5C\r\n");
    // Its static and voyage data: two sentences, two fill bits at the end
    // (this transponder pads its texts with spaces).
    const StaticAndVoyage voyage{.mmsi = 351759000, .imo = 9134270, .callSign = "3FOF8  ",
                                 .name = "EVER DIADEM         ", .destination = "NEW YORK            ", .shipType = 70,
                                 .dimensions = {225, 70, 1, 31}, .etaMonth = 5, .etaDay = 15, .etaHour = 14,
                                 .etaMinute = 0, .draught = 12.2};
    EXPECT_EQ(Sentences(voyage, {.channel = 'A', .sequence = 1}),
              "!AIVDM,2,1,1,A,55?MbV02;H;s<HtKR20EHE:0@T4@Dn2222222216L961O5Gf0NSQEp6ClRp8,0*1C\r\n"
              "!AIVDM,2,2,1,A,88888888880,2*25\r\n");
    EXPECT_EQ(Sentences(moored, {.channel = 'A', .own = true}).substr(0, 7), "!AIVDO,");
}

TEST(AisEncoding, WhatIsNotKnownIsSentAsTheStandardsNotAvailable) {
    const std::string a = PayloadOf(Sentences(PositionReportA{.mmsi = 211000001}, {}));
    EXPECT_EQ(FieldAt(a, 38, 4), 15U);     // status not defined
    EXPECT_EQ(FieldAt(a, 42, 8), 0x80U);   // rate of turn -128
    EXPECT_EQ(FieldAt(a, 50, 10), 1023U);  // speed
    EXPECT_EQ(FieldAt(a, 61, 28), 181U * 600'000);
    EXPECT_EQ(FieldAt(a, 89, 27), 91U * 600'000);
    EXPECT_EQ(FieldAt(a, 116, 12), 3600U);  // course
    EXPECT_EQ(FieldAt(a, 128, 9), 511U);    // heading
    EXPECT_EQ(FieldAt(a, 137, 6), 60U);     // time stamp
    const std::string b = PayloadOf(Sentences(PositionReportB{.mmsi = 211000002}, {}));
    EXPECT_EQ(FieldAt(b, 0, 6), 18U);
    EXPECT_EQ(FieldAt(b, 46, 10), 1023U);
    EXPECT_EQ(FieldAt(b, 124, 9), 511U);
    EXPECT_EQ(FieldAt(b, 141, 1), 1U);  // a carrier-sense unit
    const std::string sar = PayloadOf(Sentences(SarAircraftReport{.mmsi = 111232511}, {}));
    EXPECT_EQ(FieldAt(sar, 38, 12), 4095U);  // altitude
    EXPECT_EQ(FieldAt(sar, 50, 10), 1023U);
    // A speed beyond the field's reach is its top value, not a wrapped one.
    const std::string fast = PayloadOf(Sentences(PositionReportA{.mmsi = 1, .movement = {.speed = 250.0}}, {}));
    EXPECT_EQ(FieldAt(fast, 50, 10), 1022U);
    // South and west are negative in two's complement.
    const std::string south = PayloadOf(Sentences(PositionReportA{.mmsi = 1, .movement = {.position = GeoPoint{-33.5, -70.25}}}, {}));
    EXPECT_EQ(FieldAt(south, 61, 28), (std::uint64_t{1} << 28) - 70.25 * 600'000);
    EXPECT_EQ(FieldAt(south, 89, 27), (std::uint64_t{1} << 27) - 33.5 * 600'000);
}

TEST(AisEncoding, RateOfTurnIsCodedAsTheSquareRootWithItsSign) {
    const struct {
        std::optional<double> degreesPerMinute;
        int code;
    } cases[] = {{0.0, 0}, {1.0, 5}, {-10.0, -15}, {60.0, 37}, {708.0, 126}, {5000.0, 126}, {-5000.0, -126},
                 {std::nullopt, -128}};
    for (const auto& c : cases) {
        EXPECT_EQ(RateOfTurnCode(c.degreesPerMinute), c.code) << c.degreesPerMinute.value_or(-1);
    }
}

TEST(AisEncoding, LongMessagesSplitIntoSentencesWithinTheirLength) {
    // 161 characters of safety text: 1008 bits, three sentences of one sequence.
    const std::string text = "sart active " + std::string(149, 'X');
    const std::string sentences = Sentences(SafetyBroadcast{.mmsi = 970123456, .text = text}, {.sequence = 7});
    std::istringstream lines(sentences);
    std::vector<std::string> parts;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_LE(line.size() + 1, 82U) << line;
        parts.push_back(line);
    }
    ASSERT_EQ(parts.size(), 3U);
    EXPECT_EQ(parts[0].substr(0, 15), "!AIVDM,3,1,7,A,");
    EXPECT_EQ(parts[2].substr(0, 15), "!AIVDM,3,3,7,A,");
    const std::string payload = PayloadOf(parts[0]);
    EXPECT_EQ(FieldAt(payload, 0, 6), 14U);
    EXPECT_EQ(FieldAt(payload, 40, 6), 19U);  // "S" of the upper-cased text
    // A name beyond twenty characters goes on in the AtoN's extension.
    const AidToNavigation aton{.mmsi = 992111111, .aidType = 19, .name = "KIEL LIGHTHOUSE NORTH PIER", .virtualAid = true};
    const std::string aid = PayloadOf(Sentences(aton, {}));
    EXPECT_EQ(aid.size(), 52U);  // 272 bits, "H PIER" in 36 more, 4 spare to a whole byte
    EXPECT_EQ(FieldAt(aid, 269, 1), 1U);  // virtual
    EXPECT_EQ(FieldAt(aid, 272, 6), static_cast<std::uint64_t>('H' - 64));
}

// The messages of an hour at 1 Hz, by type, and every sentence.
struct Hour {
    std::map<std::uint64_t, int> byType;
    std::vector<std::string> sentences;
};

Hour AnHour(const Identity& identity, double knots, double rateOfTurn = 0) {
    Transponder transponder(identity);
    Hour hour;
    for (int second = 0; second < 3600; ++second) {
        std::string out;
        transponder.Send({.elapsed = double(second), .position = {54.3, 10.1}, .course = 90, .knots = knots,
                          .rateOfTurn = rateOfTurn, .second = second % 60},
                         out);
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            hour.sentences.push_back(line);
            if (line[9] == '1') {  // the first sentence of each message
                ++hour.byType[FieldAt(PayloadOf(line), 0, 6)];
            }
        }
    }
    return hour;
}

TEST(AisTransponder, ReportsAtTheStandardsIntervalsOverAnHour) {
    using K = StationKind;
    const struct {
        Identity id;
        double knots, rateOfTurn;
        std::uint64_t type;
        int reports;
    } cases[] = {
        {{.kind = K::ClassA, .mmsi = 1}, 10, 0, 1, 360},    {{.kind = K::ClassA, .mmsi = 2}, 10, 1, 1, 1080},
        {{.kind = K::ClassA, .mmsi = 3}, 20, 0, 1, 600},    {{.kind = K::ClassA, .mmsi = 4}, 20, 1, 1, 1800},
        {{.kind = K::ClassA, .mmsi = 5}, 30, 0, 1, 1800},   {{.kind = K::ClassA, .mmsi = 6, .status = 5}, 0, 0, 1, 20},
        {{.kind = K::ClassB, .mmsi = 7}, 5, 0, 18, 120},    {{.kind = K::ClassB, .mmsi = 8}, 1, 0, 18, 20},
        {{.kind = K::BaseStation, .mmsi = 9}, 0, 0, 4, 360}, {{.kind = K::AidToNavigation, .mmsi = 10}, 0, 0, 21, 20},
        {{.kind = K::SarAircraft, .mmsi = 11}, 120, 0, 9, 360},
        {{.kind = K::Sart, .mmsi = 970000001}, 0, 0, 1, 480},  // a burst of eight a minute
        {{.kind = K::ClassA, .mmsi = 12, .interval = 5.0}, 10, 0, 1, 720},
    };
    for (const auto& c : cases) {
        const Hour hour = AnHour(c.id, c.knots, c.rateOfTurn);
        EXPECT_NEAR(hour.byType.at(c.type), c.reports, 1) << "MMSI " << c.id.mmsi;
    }
    // Static data every six minutes: a class A's voyage, a class B's two parts.
    EXPECT_EQ(AnHour({.kind = K::ClassA, .mmsi = 1, .name = "KIEL FERRY"}, 10).byType.at(5), 10);
    EXPECT_EQ(AnHour({.kind = K::ClassB, .mmsi = 7, .name = "DINGHY"}, 5).byType.at(24), 20);
    EXPECT_EQ(AnHour({.kind = K::Sart, .mmsi = 970000001}, 0).byType.at(14), 15);  // "SART ACTIVE" every 4 minutes
}

TEST(AisTransponder, AlternatesChannelsAndNumbersItsLongMessages) {
    const Hour hour = AnHour({.kind = StationKind::ClassA, .mmsi = 1, .name = "KIEL FERRY"}, 10);
    char last = 0;
    int expectedSequence = 0;
    for (const std::string& line : hour.sentences) {
        const char channel = line[line.find(",A,") != std::string::npos ? line.find(",A,") + 1 : line.find(",B,") + 1];
        if (line[9] == '1') {  // a new transmission: the other channel
            EXPECT_NE(channel, last) << line;
            last = channel;
        } else {
            EXPECT_EQ(channel, last) << "a message's sentences share its channel: " << line;
        }
        if (line.compare(7, 4, "2,1,") == 0) {
            EXPECT_EQ(line[11] - '0', expectedSequence) << line;
            expectedSequence = (expectedSequence + 1) % 10;
        }
    }
    EXPECT_EQ(expectedSequence, 0);  // ten messages of two sentences: 0 to 9
}

std::vector<std::string> SentencesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line + "\n");
    }
    return lines;
}

bool ChecksumRight(const std::string& line) {
    const std::size_t star = line.find('*');
    return star != std::string::npos && nmea::FrameSentence(line.substr(0, star)) == line;
}

// Each decoder fault at its certainty, on a message of two sentences.
TEST(AisFaults, EachDoesWhatDecodersMeet) {
    const std::string two =
        Sentences(StaticAndVoyage{.mmsi = 211000001, .callSign = "", .name = "KIEL FERRY", .destination = ""},
                  {.sequence = 3});
    const auto injector = [](AisChances chances) {
        FaultSettings settings;
        settings.ais = chances;
        return FaultInjector(settings);
    };
    const auto damaged = [&](AisChances chances) { return SentencesOf(injector(chances).DamageAis(two)); };
    const std::vector<std::string> lost = damaged({.loseFragment = 1});
    ASSERT_EQ(lost.size(), 1U);
    EXPECT_EQ(lost[0], SentencesOf(two)[0]);
    const std::vector<std::string> fill = damaged({.badFill = 1});
    EXPECT_NE(fill[1], SentencesOf(two)[1]);
    EXPECT_TRUE(ChecksumRight(fill[1])) << fill[1];  // framed again: only the count is wrong
    const std::vector<std::string> sequence = damaged({.badSequence = 1});
    for (const std::string& line : sequence) {
        const std::string id = line.substr(11, line.find(',', 11) - 11);
        EXPECT_TRUE(id.empty() || id == "12") << line;
        EXPECT_TRUE(ChecksumRight(line)) << line;
    }
    const std::vector<std::string> reversed = damaged({.reorder = 1});
    EXPECT_EQ(reversed[0], SentencesOf(two)[1]);
    EXPECT_EQ(damaged({.duplicate = 1}).size(), 4U);
    const std::vector<std::string> checksum = damaged({.badChecksum = 1});
    EXPECT_EQ(std::count_if(checksum.begin(), checksum.end(), ChecksumRight), 1);
    // A message of one sentence has no second to lose, nor an order.
    FaultInjector faults = injector({.loseFragment = 1, .reorder = 1});
    const std::string one = Sentences(PositionReportA{.mmsi = 211000001}, {});
    EXPECT_EQ(faults.DamageAis(one), one);
}

}  // namespace
}  // namespace kovra::engine::ais
