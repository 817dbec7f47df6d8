// Reading a recorded log back as its epochs: grouping by the time fields,
// lines without a time, midnight and dates, line ends of every kind, lines
// without end, checksums, logs without any time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "engine/run/Errors.h"
#include "engine/receiver/Replay.h"
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

// The dates of RMC and ZDA tell a jump back from a midnight: two recordings
// of one day, the second starting 13 hours earlier, play on a period later.
TEST(NmeaLog, DatesTellAJumpBackFromMidnight) {
    const auto rmc = [](const char* time, const char* date) {
        return S(std::string("$GPRMC,") + time + ",A,5419.2,N,01009.0,E,6.0,45.0," + date + ",,,A,V");
    };
    LogFile sameDay(rmc("230000.0", "081226") + rmc("230002.0", "081226") + rmc("100000.0", "081226") +
                    rmc("100002.0", "081226"));
    NmeaLog log(sameDay.Path(), false);
    std::vector<double> seconds;
    for (const Epoch& e : EpochsOf(log)) {
        seconds.push_back(e.seconds);
    }
    EXPECT_EQ(seconds, (std::vector<double>{0, 2, 4, 6}));
    // The next day, the same times of day: a day and a half on, not a jump back.
    LogFile nextDay(rmc("230000.0", "081226") + S("$GNZDA,100000.0,09,12,2026,00,00"));
    NmeaLog later(nextDay.Path(), false);
    const std::vector<Epoch> epochs = EpochsOf(later);
    ASSERT_EQ(epochs.size(), 2U);
    EXPECT_DOUBLE_EQ(epochs[1].seconds, 11 * 3600);
    EXPECT_EQ(SentenceDate(S("$GNZDA,100000.0,09,12,2026,00,00")), SentenceDate(rmc("1", "091226")));
    EXPECT_FALSE(SentenceDate(rmc("1", "321226")));
    EXPECT_FALSE(SentenceDate(S("$GPGGA,100000.0,5419.2,N,01009.0,E,1,05,1.0,2.0,M,40.1,M,,")));
}

// Lines end at LF, CR LF or CR alone; a "line" without an end in sight is
// handed on in pieces and counted, so memory stays flat.
TEST(NmeaLog, LineEndsOfEveryKindAndLinesWithoutEnd) {
    std::string crOnly;
    for (int i = 0; i < 10; ++i) {
        std::string line = S("$GPGGA,12000" + std::to_string(i) + ".0,5419.2,N,01009.0,E,1,05,1.0,2.0,M,40.1,M,,");
        crOnly += line.substr(0, line.size() - 1);  // CR alone
    }
    LogFile mac(crOnly);
    NmeaLog log(mac.Path(), false);
    const std::vector<Epoch> epochs = EpochsOf(log);
    ASSERT_EQ(epochs.size(), 10U);
    EXPECT_DOUBLE_EQ(epochs[9].seconds, 9);
    std::string text;
    double seconds = 0;
    // Three MiB without a line end: 48 pieces, each counted.
    LogFile endless(std::string(3 << 20, '$'));
    NmeaLog endlessLog(endless.Path(), false);
    std::uint64_t bytes = 0;
    while (endlessLog.Next(text, seconds)) {
        EXPECT_LE(text.size(), NmeaLog::kMaxEpoch + NmeaLog::kMaxLineLength);
        bytes += text.size();
        text.clear();
    }
    EXPECT_EQ(bytes, 3U << 20);
    EXPECT_EQ(endlessLog.Cut(), 48U);
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
