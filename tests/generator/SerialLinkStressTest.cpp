// The serial link under stress: a line that stalls or goes away, hand-overs
// and state changes from several threads at once. The bounds below are far
// from the times a fault would show (tens of seconds), not measurements.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "serial/FakeDevice.h"
#include "serial/PseudoTerminal.h"
#include "generator/KovraNMEAGenerator.h"

namespace kovra {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::FakeLine;
using test::MakeFakeDevice;

template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = 5000ms) {
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

template <typename Action>
Clock::duration TimeOf(Action action) {
    const auto start = Clock::now();
    action();
    return Clock::now() - start;
}

class StalledLine : public ::testing::Test {
protected:
    void SetUp() override {
        line->stalled = true;
        ASSERT_TRUE(g->Connect(MakeFakeDevice(line), "FAKE"));
    }
    // A write of `bytes` begun on the sender thread: its time-out is 100 ms + 3 ms a byte.
    void StartThreadedWrite(std::size_t bytes) {
        g->SendOnNewThread(std::string(bytes, 'x'));
        ASSERT_TRUE(WaitFor([&] { return line->writesInProgress.load() == 1; }));
    }
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    std::unique_ptr<TKovraNMEAGenerator> g = TKovraNMEAGenerator::Create();
};

TEST_F(StalledLine, AHandOverNeverWaitsForTheWriteInProgress) {
    StartThreadedWrite(10000);  // 30 s on the line
    EXPECT_LT(TimeOf([&] {
                  g->SendOnNewThread("$GPTXT,next*00\r\n");
                  g->TransmitOnNewThread();
              }),
              1s);
    EXPECT_TRUE(g->IsSendPending());
    g->Disconnect();
}

TEST_F(StalledLine, DisconnectAbortsTheWriteInProgress) {
    StartThreadedWrite(10000);
    EXPECT_LT(TimeOf([&] { g->Disconnect(); }), 2s);
    EXPECT_EQ(line->writesInProgress.load(), 0);
    EXPECT_FALSE(g->IsConnected());
    EXPECT_EQ(g->LastTransmissionError(), std::errc::operation_canceled);
}

TEST_F(StalledLine, ASynchronousSendTellsWhyItFellShort) {
    EXPECT_EQ(g->Send("$GPTXT*00\r\n"), 0U);  // gives up after 133 ms
    EXPECT_EQ(g->LastTransmissionError(), std::errc::timed_out);
    {
        const std::lock_guard lock(line->lock);
        line->stalled = false;
    }
    EXPECT_EQ(g->Send("$GPTXT*00\r\n"), 11U);
    EXPECT_FALSE(g->LastTransmissionError());
    g->Disconnect();
}

TEST_F(StalledLine, DestructionJoinsEveryWriterWithinOneWriteTimeOut) {
    // 20 hand-overs of 1,000 bytes: 3.1 s each on the stalled line.
    for (int i = 0; i < 20; ++i) {
        g->SendOnNewThread(std::string(1000, 'x'));
    }
    ASSERT_TRUE(WaitFor([&] { return line->writesInProgress.load() == 1; }));
    EXPECT_LT(TimeOf([&] { g.reset(); }), 3100ms + 2s);
    EXPECT_EQ(line->writesInProgress.load(), 0);
}

TEST(SerialLink, AFailingCloseOfTheOldDeviceLeavesTheConnectSuccessful) {
    auto failing = std::make_shared<FakeLine>();
    failing->closeFails = true;
    TKovraNMEAGenerator g;
    ASSERT_TRUE(g.Connect(MakeFakeDevice(failing), "A"));
    EXPECT_TRUE(g.Connect(MakeFakeDevice(std::make_shared<FakeLine>()), "B"));
    EXPECT_EQ(failing->closes.load(), 1);
    EXPECT_EQ(g.GetSerialPort(), "B");
    test::PseudoTerminal pty;
    ASSERT_TRUE(g.Connect(MakeFakeDevice(failing), "A"));
    EXPECT_TRUE(g.Connect(pty.SlavePath()));
    EXPECT_EQ(g.GetSerialPort(), pty.SlavePath());
    g.Disconnect();
    EXPECT_FALSE(g.Connect(nullptr, "none"));
}

TEST(SerialLink, ADeviceThatGoesAwayShowsAsAnError) {
    test::PseudoTerminal pty;
    TKovraNMEAGenerator g;
    ASSERT_TRUE(g.Connect(pty.SlavePath()));
    EXPECT_EQ(g.Send("$GPTXT*00\r\n"), 11U);
    EXPECT_FALSE(g.LastTransmissionError());
    pty.CloseMaster();
    EXPECT_LT(g.Send("$GPTXT*00\r\n"), 11U);
    EXPECT_EQ(g.LastTransmissionError(), std::errc::io_error);
    g.Disconnect();
}

// Setters on one thread, sentences on another, hand-overs from several:
// run under the thread sanitizer by the test script.
TEST(SenderThread, StateSentencesAndHandOversFromManyThreads) {
    test::PseudoTerminal pty;
    TKovraNMEAGenerator g;
    ASSERT_TRUE(g.Connect(pty.SlavePath(), 115200));
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) {
            (void)pty.Read(SIZE_MAX, 5ms);
        }
    });
    std::thread setter([&] {
        for (int i = 0; i < 2000; ++i) {
            g.Latitude_Degree(i % 90);
            g.Speed(i);
            g.SetSatellite(static_cast<std::uint16_t>(i % 32 + 1), i % 2 == 0, i % 90, i % 360, i % 99);
            g.UTCDateTime(37441 + i);
        }
    });
    std::vector<std::thread> senders;
    for (int t = 0; t < 4; ++t) {
        senders.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                g.TransmitOnNewThread();
            }
        });
    }
    for (int i = 0; i < 500; ++i) {
        const std::string rmc = g.GetGPRMC();
        ASSERT_EQ(rmc.rfind("$GPRMC,", 0), 0U);
        ASSERT_EQ(rmc.substr(rmc.size() - 2), "\r\n");
    }
    setter.join();
    for (std::thread& sender : senders) {
        sender.join();
    }
    g.Disconnect();
    stop = true;
    reader.join();
}

}  // namespace
}  // namespace kovra
