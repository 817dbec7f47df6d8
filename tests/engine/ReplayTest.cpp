// Reading a recorded log back as its epochs: grouping by the time fields,
// lines without a time, midnight, checksums, logs without any time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "engine/Errors.h"
#include "engine/Replay.h"
#include "nmea/Format.h"

namespace kovra::engine {
namespace {

class LogFile {
public:
    explicit LogFile(const std::string& text)
        : path_(::testing::TempDir() + "kovra-log-" + std::to_string(::getpid()) + "-" + std::to_string(next_++)) {
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~LogFile() { std::filesystem::remove(path_); }
    const std::string& Path() const { return path_; }

private:
    static inline int next_ = 0;
    std::string path_;
};

std::string S(const std::string& body) { return kovra::nmea::FrameSentence(body); }

struct Epoch {
    std::string text;
    double seconds;
};

std::vector<Epoch> EpochsOf(NmeaLog& log) {
    std::vector<Epoch> epochs;
    std::string text;
    double seconds = 0;
    while (log.Next(text, seconds)) {
        epochs.push_back({text, seconds});
        text.clear();
    }
    return epochs;
}

TEST(NmeaLog, EpochsFollowTheTimeFieldsOfAnyTalker) {
    const std::string banner = "$PKOV,LOG START*00\r\n";  // no time, before any: joins the first epoch
    const std::string a1 = S("$GNRMC,235959.50,A,5419.20000,N,01009.00000,E,6.0,45.0,081226,,,A,V");
    const std::string a2 = S("$GPGSV,1,1,01,05,45,090,40,1");
    const std::string a3 = S("$GNGGA,235959.5,5419.20000,N,01009.00000,E,1,05,1.0,2.0,M,40.1,M,,");
    const std::string b1 = S("$GPGLL,5419.20100,N,01009.00200,E,000000.00,A,A");
    const std::string b2 = "free text without a time\n";
    const std::string c1 = S("$GNZDA,000001.25,09,12,2026,00,00");
    LogFile file(banner + a1 + a2 + a3 + b1 + b2 + c1.substr(0, c1.size() - 2));  // the last line unended
    NmeaLog log(file.Path(), false);
    EXPECT_TRUE(log.Timed());
    const std::vector<Epoch> epochs = EpochsOf(log);
    ASSERT_EQ(epochs.size(), 3U);
    EXPECT_EQ(epochs[0].text, banner + a1 + a2 + a3);
    EXPECT_EQ(epochs[1].text, b1 + b2);
    EXPECT_EQ(epochs[2].text, c1.substr(0, c1.size() - 2));
    // Across midnight the seconds keep counting.
    EXPECT_DOUBLE_EQ(epochs[0].seconds, 0);
    EXPECT_DOUBLE_EQ(epochs[1].seconds, 0.5);
    EXPECT_DOUBLE_EQ(epochs[2].seconds, 1.75);
    EXPECT_EQ(log.BytesRead(), log.Size());
    // Again from the start, the same.
    log.Rewind();
    EXPECT_EQ(EpochsOf(log).size(), 3U);
}

TEST(NmeaLog, ALogWhoseTimeGoesBackGoesOnAPeriodLater) {
    // Two recordings one after the other: the second plays on, not at once.
    std::string text;
    for (const char* time : {"100000.0", "100002.0", "090000.0", "090002.0"}) {
        text += S(std::string("$GPGGA,") + time + ",5419.2,N,01009.0,E,1,05,1.0,2.0,M,40.1,M,,");
    }
    LogFile file(text);
    NmeaLog log(file.Path(), false);
    std::vector<double> seconds;
    for (const Epoch& e : EpochsOf(log)) {
        seconds.push_back(e.seconds);
    }
    EXPECT_EQ(seconds, (std::vector<double>{0, 2, 4, 6}));
}

TEST(NmeaLog, WrongChecksumsAreLeftOutAndCounted) {
    const std::string good = S("$GPRMC,120000.00,A,5419.2,N,01009.0,E,6.0,45.0,081226,,,A,V");
    std::string bad = S("$GPGGA,120000.00,5419.2,N,01009.0,E,1,05,1.0,2.0,M,40.1,M,,");
    bad[bad.size() - 3] ^= 1;  // one bit of the checksum
    const std::string unchecked = "$GPVTG,45.0,T,,M,6.0,N,11.1,K,A\r\n";
    const std::string later = S("$GPRMC,120001.00,A,5419.2,N,01009.0,E,6.0,45.0,081226,,,A,V");
    LogFile file(good + bad + "\r\n" + unchecked + later);
    NmeaLog checked(file.Path(), true);
    const std::vector<Epoch> epochs = EpochsOf(checked);
    ASSERT_EQ(epochs.size(), 2U);
    EXPECT_EQ(epochs[0].text, good);
    EXPECT_EQ(epochs[1].text, later);
    EXPECT_EQ(checked.Dropped(), 2U);  // the blank line is not counted
    NmeaLog asRecorded(file.Path(), false);
    EXPECT_EQ(EpochsOf(asRecorded)[0].text, good + bad + "\r\n" + unchecked);
}

TEST(NmeaLog, WithoutAnyTimeEpochsStartWithTheFirstKind) {
    const std::string gsa = S("$GPGSA,A,3,05,,,,,,,,,,,,1.8,0.9,1.5"), vtg = S("$GPVTG,45.0,T,,M,6.0,N,11.1,K,A");
    LogFile file(gsa + vtg + gsa + gsa + vtg);
    NmeaLog log(file.Path(), false);
    EXPECT_FALSE(log.Timed());
    const std::vector<Epoch> epochs = EpochsOf(log);
    ASSERT_EQ(epochs.size(), 3U);
    EXPECT_EQ(epochs[0].text, gsa + vtg);
    EXPECT_EQ(epochs[1].text, gsa);
    EXPECT_EQ(epochs[2].text, gsa + vtg);
}

TEST(NmeaLog, TimeFieldsAndChecksums) {
    EXPECT_DOUBLE_EQ(*TimeOfDay("235960"), 86'400);  // a leap second
    EXPECT_DOUBLE_EQ(*TimeOfDay("000000.125"), 0.125);
    for (const char* bad : {"", "12000", "240000", "126000", "1200x0", "120000,5", "120000.5x"}) {
        EXPECT_FALSE(TimeOfDay(bad)) << bad;
    }
    EXPECT_FALSE(SentenceTime("$GPGSV,120000,1"));  // not a sentence that carries a time
    EXPECT_FALSE(SentenceTime("$GPRMC,,V,,,,,,,,,,N*53"));
    EXPECT_TRUE(ChecksumHolds(S("!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0")));
    EXPECT_FALSE(ChecksumHolds("$GPRMC*5"));
    EXPECT_FALSE(ChecksumHolds("GPRMC*00"));
}

TEST(NmeaLog, OnlyRegularFilesAreRead) {
    EXPECT_THROW(NmeaLog("/nonexistent/log", false), SettingError);
    EXPECT_THROW(NmeaLog(::testing::TempDir(), false), SettingError);
}

}  // namespace
}  // namespace kovra::engine
