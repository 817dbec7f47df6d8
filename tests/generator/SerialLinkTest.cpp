#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "serial/PseudoTerminal.h"
#include "generator/KovraNMEAGenerator.h"
#include "serial/SerialDevice.h"

namespace kovra {
namespace {

using namespace std::chrono_literals;
using test::PseudoTerminal;
using Clock = std::chrono::steady_clock;

TEST(SerialDevicePath, MapsPortNames) {
    EXPECT_EQ(SerialDevicePath("/dev/pts/3"), "/dev/pts/3");
    EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath("COM12"), "/dev/ttyS11");
    EXPECT_EQ(SerialDevicePath("COM0"), "/dev/COM0");
    EXPECT_EQ(SerialDevicePath("COMX"), "/dev/COMX");
    EXPECT_EQ(SerialDevicePath("ttyUSB0"), "/dev/ttyUSB0");
}

TEST(SerialLink, ConnectConfiguresTheLineAndKeepsTheCallersName) {
    PseudoTerminal pty;
    TKovraNMEAGenerator g;
    EXPECT_EQ(g.GetBaudRate(), 0);
    ASSERT_TRUE(g.Connect(pty.SlavePath()));
    EXPECT_TRUE(g.IsConnected());
    EXPECT_EQ(g.GetSerialPort(), pty.SlavePath());
    EXPECT_EQ(g.GetBaudRate(), 4800);

    const termios line = pty.SlaveSettings();
    EXPECT_EQ(cfgetospeed(&line), B4800);
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0U);
    EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0U);
    EXPECT_EQ(line.c_oflag & OPOST, 0U);  // raw: no CR LF translation

    EXPECT_TRUE(g.SetDCBState(9600));
    EXPECT_EQ(g.GetBaudRate(), 9600);
    EXPECT_FALSE(g.SetDCBState(-1));  // refused: the rate stays
    EXPECT_EQ(g.GetBaudRate(), 9600);

    g.Disconnect();
    EXPECT_FALSE(g.IsConnected());
    EXPECT_EQ(g.GetSerialPort(), "");
    EXPECT_EQ(g.GetBaudRate(), 9600);
    EXPECT_FALSE(g.SetDCBState(4800));
    g.Disconnect();  // twice: harmless
}

TEST(SerialLink, ConnectFailsForAnythingButAnExistingDevice) {
    TKovraNMEAGenerator g;
    g.Disconnect();  // on a new generator: harmless
    const std::string file = ::testing::TempDir() + "kovra-not-a-device";
    std::ofstream(file) << "x";
    for (const std::string& name : {std::string(), std::string("/dev/kovra-missing"), file,
                                    std::string("ttyKovraMissing")}) {
        EXPECT_FALSE(g.Connect(name)) << name;
        EXPECT_EQ(g.GetSerialPort(), "");
        EXPECT_FALSE(g.IsConnected());
    }
    std::remove(file.c_str());
}

TEST(SerialLink, AFailedConnectLeavesTheOldDeviceClosed) {
    PseudoTerminal pty;
    TKovraNMEAGenerator g;
    ASSERT_TRUE(g.Connect(pty.SlavePath()));
    EXPECT_FALSE(g.Connect("/dev/kovra-missing"));
    EXPECT_FALSE(g.IsConnected());
    TKovraNMEAGenerator other;  // the old device is free again
    EXPECT_TRUE(other.Connect(pty.SlavePath()));
    other.Disconnect();
}

TEST(SerialLink, DevicesAreHeldExclusively) {
    PseudoTerminal pty;
    TKovraNMEAGenerator first;
    TKovraNMEAGenerator second;
    ASSERT_TRUE(first.Connect(pty.SlavePath()));
    EXPECT_FALSE(second.Connect(pty.SlavePath()));
    EXPECT_TRUE(first.Connect(pty.SlavePath(), 9600));  // reconnecting to the port it holds
    EXPECT_EQ(first.GetBaudRate(), 9600);
    first.Disconnect();
    EXPECT_TRUE(second.Connect(pty.SlavePath()));
    second.Disconnect();
}

// What the far end sends is taken as it stands, never waited for; a line
// that hung up says so.
TEST(SerialDevice, ReadsWhatTheFarEndSentWithoutWaiting) {
    PseudoTerminal pty;
    const std::unique_ptr<SerialDevice> device = OpenSerialDevice(pty.SlavePath());
    ASSERT_TRUE(device && device->Configure(9600));
    char buffer[64];
    std::error_code error;
    EXPECT_EQ(device->Read(buffer, error), 0U);
    EXPECT_FALSE(error);

    ASSERT_EQ(::write(pty.Master(), "$PMTK605*31\r\n", 13), 13);
    pollfd readable{device->ReadableDescriptor(), POLLIN, 0};
    ASSERT_EQ(::poll(&readable, 1, 2000), 1);
    const std::size_t n = device->Read(buffer, error);
    EXPECT_EQ(std::string(buffer, n), "$PMTK605*31\r\n");
    EXPECT_FALSE(error);

    pty.CloseMaster();
    EXPECT_EQ(device->Read(buffer, error), 0U);
    EXPECT_EQ(error, std::errc::io_error);
}

TEST(Send, WritesExactlyTheBytesBeforeTheFirstNul) {
    PseudoTerminal pty;
    TKovraNMEAGenerator g;
    EXPECT_EQ(g.Send("not connected"), 0U);
    ASSERT_TRUE(g.Connect(pty.SlavePath()));
    const std::string sentence = "$GPZDA,201530.123,04,07,2002,00,00*50\r\n";
    EXPECT_EQ(g.Send(sentence), sentence.size());
    EXPECT_EQ(pty.Read(sentence.size()), sentence);

    EXPECT_EQ(g.Send(std::string_view("abc\0def", 7)), 3U);
    EXPECT_EQ(pty.Read(SIZE_MAX, 100ms), "abc");
    EXPECT_EQ(g.Send(""), 0U);
    g.Disconnect();
}

TEST(Send, TransmitWritesTheSentenceSet) {
    PseudoTerminal pty;
    TKovraNMEAGenerator g;
    g.UseSystemDateTime(false);
    g.UTCDateTime(EncodeDateTime(2002, 7, 4, 20, 15, 30, 123));
    ASSERT_TRUE(g.Connect(pty.SlavePath()));
    const std::string expected = g.GetNMEA();
    EXPECT_EQ(g.Transmit(), expected.size());
    EXPECT_EQ(pty.Read(expected.size()), expected);
    g.Commands({});
    EXPECT_EQ(g.Transmit(), 0U);
    g.Disconnect();
}

TEST(Send, AStalledLineGivesUpAfterTheWriteTimeOut) {
    PseudoTerminal pty;  // nobody reads the master
    TKovraNMEAGenerator g;
    ASSERT_TRUE(g.Connect(pty.SlavePath()));
    const std::string hundred(100, 'x');
    for (int i = 0; i < 100000; ++i) {
        const auto start = Clock::now();
        const std::uint32_t written = g.Send(hundred);
        const auto elapsed = Clock::now() - start;
        if (written < hundred.size()) {
            // 100 ms + 3 ms per byte, plus scheduling slack.
            EXPECT_LE(elapsed, 400ms + 250ms);
            EXPECT_GE(elapsed, 390ms);
            g.Disconnect();
            return;
        }
    }
    FAIL() << "the line never filled up";
}

TEST(SenderThread, TextWaitsForAPortAndOnlyTheLatestIsWritten) {
    PseudoTerminal pty;
    TKovraNMEAGenerator g;
    g.SendOnNewThread("first\r\n");
    g.SendOnNewThread("second\r\n");
    std::this_thread::sleep_for(120ms);
    ASSERT_TRUE(g.Connect(pty.SlavePath()));
    if constexpr (kProfile.longLivedSender) {
        EXPECT_EQ(pty.Read(8, 500ms), "second\r\n");
    } else {
        EXPECT_EQ(pty.Read(SIZE_MAX, 200ms), "");  // one-shot writers drop text while not connected
    }
    g.Disconnect();
}

TEST(SenderThread, HandedOverTextReachesTheLine) {
    PseudoTerminal pty;
    TKovraNMEAGenerator g;
    g.UseSystemDateTime(false);
    ASSERT_TRUE(g.Connect(pty.SlavePath()));
    const std::string epoch = g.GetNMEA();
    g.TransmitOnNewThread();
    EXPECT_EQ(pty.Read(epoch.size(), 1000ms), epoch);
    if constexpr (!kProfile.longLivedSender) {
        // Every one-shot hand-over is written, whole, in some order.
        g.SendOnNewThread("AAAA\r\n");
        g.SendOnNewThread("BBBB\r\n");
        const std::string both = pty.Read(12, 1000ms);
        EXPECT_TRUE(both == "AAAA\r\nBBBB\r\n" || both == "BBBB\r\nAAAA\r\n") << both;
    }
    g.Disconnect();
}

TEST(SenderThread, PendingTextIsDroppedAtDestruction) {
    PseudoTerminal pty;
    if constexpr (!kProfile.longLivedSender) {
        GTEST_SKIP() << "one-shot writers keep nothing pending";
    }
    {
        TKovraNMEAGenerator g;
        ASSERT_TRUE(g.Connect(pty.SlavePath()));
        // Right after a pass has written, the next one is 50 ms away.
        g.SendOnNewThread("first\r\n");
        ASSERT_EQ(pty.Read(7, 1000ms), "first\r\n");
        g.SendOnNewThread("never\r\n");
    }  // destroyed before the next pass: the generator stops and joins its thread
    EXPECT_EQ(pty.Read(SIZE_MAX, 200ms), "");
}

TEST(SenderThread, ReconnectingKeepsWriting) {
    PseudoTerminal first;
    PseudoTerminal second;
    TKovraNMEAGenerator g;
    ASSERT_TRUE(g.Connect(first.SlavePath()));
    g.SendOnNewThread("one\r\n");
    EXPECT_EQ(first.Read(5, 1000ms), "one\r\n");
    ASSERT_TRUE(g.Connect(second.SlavePath()));
    g.SendOnNewThread("two\r\n");
    EXPECT_EQ(second.Read(5, 1000ms), "two\r\n");
    EXPECT_EQ(first.Read(SIZE_MAX, 100ms), "");
    g.Disconnect();
}

// Connects, disconnects and hands text over from several threads at once;
// run under the thread sanitizer by the test script.
TEST(SenderThread, ConcurrentUseIsSafe) {
    PseudoTerminal pty;
    TKovraNMEAGenerator g;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) {
            (void)pty.Read(SIZE_MAX, 10ms);
        }
    });
    std::thread sender([&] {
        for (int i = 0; i < 200; ++i) {
            g.SendOnNewThread("$GPTXT,hello*00\r\n");
            (void)g.Send("$GPTXT,direct*00\r\n");
        }
    });
    for (int i = 0; i < 50; ++i) {
        (void)g.Connect(pty.SlavePath());
        g.Disconnect();
    }
    sender.join();
    stop = true;
    reader.join();
}

}  // namespace
}  // namespace kovra
