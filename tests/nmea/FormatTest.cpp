#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "generator/KovraNMEAGenerator.h"
#include "nmea/Format.h"

namespace kovra::nmea {
namespace {

using CP = TCardinalPoint;

TEST(Padding, MaxLenStrCutsTheTailAndMaxLenStrInvTheHead) {
    EXPECT_EQ(MaxLenStr("7", 2), "07");
    EXPECT_EQ(MaxLenStr("123", 2), "12");
    EXPECT_EQ(MaxLenStrInv("2002", 2), "02");
    EXPECT_EQ(MaxLenStrInv("5", 2), "05");
    EXPECT_EQ(MaxLenStr("", 3, 'x'), "xxx");
    EXPECT_EQ(MaxLenStr("abc", 0), "");
}

TEST(RRound, HalfUpAtTheSecondDecimalAndTowardZeroBelowZero) {
    const std::pair<double, double> cases[] = {
        {12.345, 12.35}, {0.005, 0.01}, {0.999, 1},      {359.999, 360}, {99.995, 100}, {81.35, 81.35},
        {22.4, 22.4},    {545.4, 545.4}, {-1.256, -1.25}, {-12.345, -12.34}, {10, 10},  {0.004, 0},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(RRound(input), expected) << input;
    }
    EXPECT_EQ(RRound(-0.004), 0.0);
    EXPECT_EQ(RoundedNumber(-0.004L), "0");
}

// The definition, step by step in extended precision.
double ReferenceRRound(double x) {
    const long double value = x;
    const long double t = value * 100 - std::trunc(value * 100);
    long double q = std::trunc((value - std::trunc(value)) * 100) / 100 + std::trunc(value);
    if (t >= 0.5L) {
        q += 0.01L;
    }
    return static_cast<double>(q);
}

TEST(RRound, AgreesWithTheDefinitionOverManyValues) {
    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> magnitude(-6, 16);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    for (int i = 0; i < 200000; ++i) {
        const double x = i % 2 ? mantissa(random) * std::pow(10.0, magnitude(random))
                               : std::round(mantissa(random) * 100000) / 1000;  // near-ties such as 12.345
        ASSERT_EQ(RRound(x), ReferenceRRound(x)) << x;
    }
}

TEST(GeneralNumberText, FixedOrScientificWith15SignificantDigits) {
    const std::pair<Extended, const char*> cases[] = {
        {0, "0"},
        {10, "10"},
        {10.5L, "10.5"},
        {-2.5L, "-2.5"},
        {123.456789L, "123.456789"},
        {0.00005L, "0.00005"},
        {0.00001L, "0.00001"},
        {0.000001L, "1E-6"},
        {-0.0000015L, "-1.5E-6"},
        {1.5e20L, "1.5E20"},
        {1e15L, "1E15"},
        {999999999999999.0L, "999999999999999"},
        {123456789012.345678L, "123456789012.346"},
        {1.0L / 3, "0.333333333333333"},
        {2.0L / 3, "0.666666666666667"},
        {0.1 + 0.2, "0.3"},
        {22.4L / 0.5397L, "41.5045395590143"},
        {9999999999999995.0L, "1E16"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(FloatToStr(value), expected);
    }
    EXPECT_EQ(FloatToStr(2.5L, ','), "2,5");
    EXPECT_EQ(RoundedNumber(12.345L), "12.35");
    EXPECT_EQ(RoundedNumber(100.004L), "100");
}

// In the fixed-notation range the text must equal C's "%.15Lg", which rounds
// the exact binary value.
TEST(GeneralNumberText, AgreesWithTheCLibraryOverManyValues) {
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> exponent(-4, 15);
    std::uniform_real_distribution<double> mantissa(1, 10);
    char expected[64];
    for (int i = 0; i < 200000; ++i) {
        Extended value = static_cast<Extended>(mantissa(random)) * std::pow(10.0L, std::floor(exponent(random)));
        if (i % 3 == 0) {
            value /= 0.5397L;  // values with all 64 bits of the significand in use
        }
        if (value >= 1e15L) {
            continue;
        }
        std::snprintf(expected, sizeof expected, "%.15Lg", value);
        ASSERT_EQ(FloatToStr(value), expected) << static_cast<double>(value);
    }
}

TEST(Checksum, XorOfEverythingAfterTheDollar) {
    EXPECT_EQ(GetNMEACheckSum("$GPZDA,201530.123,04,07,2002,00,00"), "50");
    EXPECT_EQ(GetNMEACheckSum("$GPGLL,4807.038000,N,01131.000000,E,201530.123,A"), "33");
    EXPECT_EQ(GetNMEACheckSum("$"), "00");
    EXPECT_EQ(GetNMEACheckSum("$\x0f"), "0F");
    EXPECT_EQ(FrameSentence("$GPZDA,201530.123,04,07,2002,00,00"), "$GPZDA,201530.123,04,07,2002,00,00*50\r\n");
}

struct PositionCase {
    std::int32_t degree;
    std::int32_t minute;
    Extended second;
    CP direction;
    const char* expected;
};

TEST(PositionText, DegreesAndSixDecimalMinutes) {
    const PositionCase latitudes[] = {
        {0, 0, 0, CP::cpNorth, "0000.000000,N"},
        {48, 7, 2.28L, CP::cpNorth, "4807.038000,N"},
        {45, 30, 59.999L, CP::cpNorth, "4530.999983,N"},
        {5, 0, 30, CP::cpSouth, "0500.500000,S"},
        {0, 0, 0.001L, CP::cpNorth, "0000.000017,N"},
        // A fraction that rounds to a whole minute carries on.
        {45, 30, 59.99999L, CP::cpNorth, "4531.000000,N"},
        {45, 59, 59.99999L, CP::cpSouth, "4600.000000,S"},
    };
    for (const PositionCase& c : latitudes) {
        EXPECT_EQ(LatitudeText(c.degree, c.minute, c.second, c.direction), c.expected);
    }
    const PositionCase longitudes[] = {
        {11, 31, 0, CP::cpEast, "01131.000000,E"},
        {180, 0, 0, CP::cpWest, "18000.000000,W"},
        {7, 5, 33, CP::cpEast, "00705.550000,E"},
        {179, 59, 59.999999L, CP::cpWest, "18000.000000,W"},
    };
    for (const PositionCase& c : longitudes) {
        EXPECT_EQ(LongitudeText(c.degree, c.minute, c.second, c.direction), c.expected);
    }
}

TEST(DateTimeText, TimeAndBothDateForms) {
    const TDateTime july = EncodeDateTime(2002, 7, 4, 20, 15, 30, 123);
    EXPECT_EQ(UTCTimeText(july), "201530.123");
    EXPECT_EQ(UTCDateText(july), "040702");
    EXPECT_EQ(CommaSeparatedUTCDateText(july), "04,07,2002");

    EXPECT_EQ(UTCTimeText(0), "000000.000");
    EXPECT_EQ(UTCDateText(0), "301299");
    EXPECT_EQ(CommaSeparatedUTCDateText(0), "30,12,1899");

    EXPECT_EQ(UTCDateText(EncodeDateTime(1999, 12, 31)), "311299");

    // Within half a millisecond of midnight: the next day at 00:00:00.000.
    const TDateTime almostMidnight = EncodeDateTime(2002, 7, 5) - 0.4 / 86'400'000;
    EXPECT_EQ(UTCTimeText(almostMidnight), "000000.000");
    EXPECT_EQ(UTCDateText(almostMidnight), "050702");
    EXPECT_EQ(UTCTimeText(EncodeDateTime(2002, 7, 5) - 0.6 / 86'400'000), "235959.999");
}

TEST(DateTimeText, BeforeTheEpochWholeDaysAndATimeOfDay) {
    // The whole days give the date, the fraction (away from zero) the time.
    EXPECT_EQ(DecodeDateTime(-1.25), (DecodedDateTime{1899, 12, 29, 6, 0, 0, 0}));
    EXPECT_EQ(DecodeDateTime(-0.5), (DecodedDateTime{1899, 12, 30, 12, 0, 0, 0}));
    EXPECT_EQ(DecodeDateTime(-2.75), (DecodedDateTime{1899, 12, 28, 18, 0, 0, 0}));
    EXPECT_EQ(UTCTimeText(-1.25), "060000.000");
    EXPECT_EQ(UTCDateText(-1.25), "291299");
    EXPECT_EQ(EncodeDateTime(1899, 12, 29, 6), -1.25);
    // Half a millisecond below the midnight ending 29 December is 30 December.
    EXPECT_EQ(DecodeDateTime(-1.9999999999), (DecodedDateTime{1899, 12, 30, 0, 0, 0, 0}));
}

TEST(DateTimeText, CalendarRoundTripsAcrossLeapYears) {
    for (const auto& [y, m, d] : {std::tuple{1900, 3, 1}, {2000, 2, 29}, {2024, 12, 31}, {2100, 2, 28}, {1600, 1, 1}}) {
        const DecodedDateTime decoded = DecodeDateTime(EncodeDateTime(y, m, d, 23, 59, 59, 999));
        EXPECT_EQ(decoded, (DecodedDateTime{y, m, d, 23, 59, 59, 999}));
    }
    EXPECT_EQ(EncodeDateTime(1970, 1, 1), 25569);
}

TEST(UTCClock, SystemClockIsUTCWhateverTheZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    for (const char* zone : {"UTC", "Asia/Kolkata", "America/New_York"}) {
        setenv("TZ", zone, 1);
        tzset();
        TKovraNMEAGenerator g;
        const double unixSeconds = (g.GetUTCDateTime() - 25569) * 86400;
        EXPECT_NEAR(unixSeconds, static_cast<double>(std::time(nullptr)), 2.0) << zone;
    }
    if (old != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST(UTCClock, FixedDateTimeWhenTheSystemClockIsOff) {
    TKovraNMEAGenerator g;
    g.UseSystemDateTime(false);
    g.UTCDateTime(EncodeDateTime(2002, 7, 4, 20, 15, 30, 123));
    EXPECT_EQ(g.GetUTCDateTime(), EncodeDateTime(2002, 7, 4, 20, 15, 30, 123));
}

// The test script generates de_DE.UTF-8; a comma locale must not leak into
// sentence numbers.
class CommaLocale : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = std::setlocale(LC_NUMERIC, nullptr);
        ASSERT_NE(std::setlocale(LC_NUMERIC, "de_DE.UTF-8"), nullptr)
            << "locale de_DE.UTF-8 is missing: run ./scripts/test, which generates it";
    }
    void TearDown() override { std::setlocale(LC_NUMERIC, saved_.c_str()); }
    std::string saved_;
};

TEST_F(CommaLocale, HostSeparatorIsReplacedAndNumbersKeepThePoint) {
    EXPECT_EQ(HostDecimalSeparator(), ',');
    EXPECT_EQ(ReplaceDecimalSeparatorEx("12,35", "."), "12.35");
    EXPECT_EQ(ReplaceDecimalSeparatorEx(FloatToStr(2.5L, HostDecimalSeparator()), "."), "2.5");
    EXPECT_EQ(RoundedNumber(12.345L), "12.35");
    EXPECT_EQ(FloatToStr(41.5L), "41.5");
    EXPECT_EQ(LatitudeText(48, 7, 2.28L, CP::cpNorth), "4807.038000,N");
}

}  // namespace
}  // namespace kovra::nmea
