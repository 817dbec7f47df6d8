// The time edges a receiver meets: a leap second, written as the model
// writes it, and a week rollover of a firmware counting from an old base
// week; the exact lines around each, at --fast.
#include <gtest/gtest.h>

#include "Process.h"
#include "nmea/Format.h"

namespace kovra::test {
namespace {

std::string Framed(std::initializer_list<const char*> bodies) {
    std::string text;
    for (const char* body : bodies) {
        text += nmea::FrameSentence(body);
    }
    return text;
}

TEST(ReceiverTime, ALeapSecondIs235960WhereTheModelWritesItAndARepeatedSecondWhereNot) {
    const auto zda = [](const char* model) {
        const Result r = RunProgram({"--receiver", model, "--time", "2026-12-31T23:59:58Z", "--leap-second", "2026-12-31",
                                     "--count", "4", "--fast", "--sentences", "ZDA"});
        EXPECT_EQ(r.status, 0) << r.error;
        return r.output;
    };
    EXPECT_EQ(zda("ublox-m8"), Framed({"$GNZDA,235958.00,31,12,2026,00,00", "$GNZDA,235959.00,31,12,2026,00,00",
                                       "$GNZDA,235960.00,31,12,2026,00,00", "$GNZDA,000000.00,01,01,2027,00,00"}));
    EXPECT_EQ(zda("mtk"), Framed({"$GPZDA,235958.000,31,12,2026,,", "$GPZDA,235959.000,31,12,2026,,",
                                  "$GPZDA,235959.000,31,12,2026,,", "$GPZDA,000000.000,01,01,2027,,"}));
}

// GPS week 2448 begins at 2026-12-05T23:59:42 UTC: a firmware counting from
// week 1424 places it 1024 weeks back, in April 2007.
TEST(ReceiverTime, AtAWeekRolloverTheDatesFallBack1024Weeks) {
    const Result r = RunProgram({"--receiver", "ublox-m9", "--time", "2026-12-05T23:59:40Z", "--week-base", "1424",
                                 "--count", "4", "--fast", "--sentences", "ZDA"});
    ASSERT_EQ(r.status, 0) << r.error;
    EXPECT_EQ(r.output, Framed({"$GNZDA,235940.00,05,12,2026,00,00", "$GNZDA,235941.00,05,12,2026,00,00",
                                "$GNZDA,235942.00,21,04,2007,00,00", "$GNZDA,235943.00,21,04,2007,00,00"}));
    // A base within the last 1024 weeks changes nothing.
    EXPECT_EQ(RunProgram({"--receiver", "ublox-m9", "--time", "2026-12-05T23:59:40Z", "--week-base", "1425", "--count",
                          "4", "--fast", "--sentences", "ZDA"})
                  .output.substr(0, 34),
              r.output.substr(0, 34));
    const Result refused = RunProgram({"--profile", "classic", "--week-base", "1424", "--count", "1"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.error, "kovra-nmea: --week-base: the classic profile sends the time given as it is\n");
    EXPECT_EQ(RunProgram({"--leap-second", "2026-13-31", "--count", "1"}).error,
              "kovra-nmea: --leap-second: day '2026-13-31' is not a date from 1900 to 9999\n");
}

// After a cold start, before a signal gives the time: the MTK writes its
// clock's, run from the start of GPS time by its firmware's 18 leap
// seconds; the u-blox writes none.
TEST(ReceiverTime, BeforeTheTimeIsKnownTheMtkWritesItsClockFrom1980) {
    const auto zda = [](const char* model) {
        const Result r = RunProgram({"--receiver", model, "--start", "cold", "--time", "2026-12-08T12:00:00Z", "--rate",
                                     "2", "--count", "3", "--fast", "--sentences", "ZDA"});
        EXPECT_EQ(r.status, 0) << r.error;
        return r.output;
    };
    EXPECT_EQ(zda("mtk"), Framed({"$GPZDA,235942.000,05,01,1980,,", "$GPZDA,235942.500,05,01,1980,,",
                                  "$GPZDA,120001.000,08,12,2026,,"}));
    // The u-blox 8's firmware knows 17 leap seconds: a second ahead until it decodes 18.
    EXPECT_EQ(zda("ublox-m8"), Framed({"$GNZDA,,,,,00,00", "$GNZDA,,,,,00,00", "$GNZDA,120002.00,08,12,2026,00,00"}));
}

}  // namespace
}  // namespace kovra::test
