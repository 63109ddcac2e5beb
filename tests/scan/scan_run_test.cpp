// Whole scans against the in-memory port, clock and window: full length in
// milliseconds of real time.
#include "scan_run.h"

#include <gtest/gtest.h>

#include "base_time_limit.h"
#include "fake_port.h"
#include "fake_scan_host.h"
#include "probe_frames.h"

namespace {

using std::chrono::milliseconds;

constexpr int kScanRates[] = {460800, 230400, 115200, 76800, 57600, 38400, 19200, 9600, 4800, 2400};

TEST(BaseTimeLimitTest, ComesOutOfTheRule) {
    const int expected[] = {50, 50, 60, 77, 86, 94, 103, 107, 109, 110};
    for (std::size_t i = 0; i < std::size(kScanRates); ++i) {
        EXPECT_EQ(BaseTimeLimit(kScanRates[i]), expected[i]) << kScanRates[i];
    }
}

class ScanRunTest : public testing::Test {
  protected:
    ScanRunTest() : access_(port_), run_(host_, port_, access_, kBaudTable, clock_) {
        port_.UseClock(&clock_);
        port_.on_write = [this](const std::string& request) {
            writes_.push_back({clock_.Now(), port_.rate, request});
        };
    }

    // Makes the instrument answer `reply` 3 ms after the request `expected`.
    void Answer(const std::string& expected, const std::string& reply) {
        port_.on_write = [this, expected, reply](const std::string& request) {
            writes_.push_back({clock_.Now(), port_.rate, request});
            if (request == expected) {
                port_.Arrive(milliseconds(3), reply);
            }
        };
    }

    struct Write {
        Clock::Duration at;
        int rate;
        std::string bytes;
    };

    FakeClock clock_;
    FakePort port_;
    FakeScanHost host_;
    PortAccess access_;
    ScanRun run_;
    std::vector<Write> writes_;
};

TEST_F(ScanRunTest, TenRatesInOrderEachWithItsWait) {
    for (bool modbus : {false, true}) {
        writes_.clear();
        const Clock::Duration start = clock_.Now();
        EXPECT_FALSE(run_.DetectionEngine(1, 1, false, !modbus, modbus));
        ASSERT_EQ(writes_.size(), 10U);
        for (std::size_t i = 0; i < 10; ++i) {
            EXPECT_EQ(writes_[i].rate, kScanRates[i]);
            const Clock::Duration next = i + 1 < 10 ? writes_[i + 1].at : clock_.Now();
            const int wait = BaseTimeLimit(kScanRates[i]) + (modbus ? 20 : 0);
            EXPECT_EQ(next - writes_[i].at, milliseconds(wait)) << kScanRates[i];
        }
        EXPECT_EQ(clock_.Now() - start, milliseconds(modbus ? 1046 : 846));
    }
}

TEST_F(ScanRunTest, NothingFoundAndNoToTheExtendedScan) {
    run_.DetectNow();  // protocol 1: LyrASCII
    ASSERT_EQ(host_.bars.size(), 2550U);
    EXPECT_EQ(host_.bars.back(), std::make_pair(2550, 2540));
    EXPECT_EQ(host_.statuses.front(), "Trying 460800 baud on COM1 for station number 1...");
    EXPECT_EQ(host_.statuses.back(), "Trying 2400 baud on COM1 for station number 255...");
    ASSERT_EQ(host_.questions.size(), 1U);
    EXPECT_EQ(host_.questions[0].title, "No Instrument Detected");
    EXPECT_EQ(host_.questions[0].text,
              "No instrument was identified! Would you like to attempt an extended address scan "
              "for ASCII instruments (Addresses 256 to 999)?\r\nThis could take a long time so "
              "you should only select Yes if you believe you have an ASCII instrument connected.");
    EXPECT_TRUE(host_.bar_cleared);
    EXPECT_FALSE(host_.port_list_enabled);
    EXPECT_EQ(port_.Count("Open"), 10);
    EXPECT_EQ(port_.Count("Close"), 10);
    EXPECT_TRUE(host_.warnings.empty());
}

TEST_F(ScanRunTest, ExtendedScanWalks256To999WithTheAsciiProbeOnly) {
    host_.protocol = 0;  // LyraBus first
    host_.answer_yes = true;
    run_.DetectNow();
    EXPECT_EQ(host_.bars.back(), std::make_pair(7440, 7430));
    EXPECT_EQ(host_.bars.size(), 2550U + 7440U);
    EXPECT_EQ(writes_[2550].bytes, AsciiRequest(256));
    EXPECT_EQ(writes_.back().bytes, AsciiRequest(999));
    ASSERT_EQ(host_.warnings.size(), 1U);
    EXPECT_EQ(host_.warnings[0].title, "Identification Failed");
    EXPECT_EQ(host_.warnings[0].text, "No instrument detected!");
    EXPECT_EQ(host_.statuses.back(), "Ready");
    EXPECT_TRUE(host_.bar_cleared);
    EXPECT_FALSE(host_.port_list_enabled);
}

TEST_F(ScanRunTest, FindAtTheVeryFirstProbe) {
    host_.protocol = 2;
    host_.line = 7;
    Answer(ModbusRequest(1), ModbusReplyStart(1) + "\x01\x02");
    run_.DetectNow();
    EXPECT_EQ(host_.statuses.front(), "Trying 460800 baud on COM7 for station number 1...");
    ASSERT_EQ(host_.bars.size(), 1U);
    EXPECT_EQ(host_.bars[0], std::make_pair(1, 2540));
    ASSERT_EQ(host_.found.size(), 1U);
    EXPECT_EQ(host_.found[0], "ModBus device on COM7 at 460800 baudrate on station 1");
    EXPECT_EQ(port_.Count("Close"), 1);  // by CancelNow
    EXPECT_EQ(host_.pumps, 0);
    EXPECT_TRUE(host_.port_list_enabled);
    EXPECT_TRUE(host_.questions.empty());
}

TEST_F(ScanRunTest, FoundTextsForEachKind) {
    const struct {
        int protocol;
        std::string request;
        std::string reply;
        const char* text;
    } cases[] = {
        {1, AsciiRequest(300), "?\r", "ASCII device on COM1 at 460800 baudrate on station 300"},
        {0, LyraBusRequest(138), std::string("\x8a\x10\x20\x30\x40\x50\x60\x70\x80\x00\x0a", 11),
         "Lyrabus device on COM1 at 460800 baudrate on station 138"},
    };
    for (const auto& c : cases) {
        host_ = FakeScanHost();
        host_.protocol = c.protocol;
        host_.answer_yes = true;
        Answer(c.request, c.reply);
        run_.DetectNow();
        ASSERT_EQ(host_.found.size(), 1U) << c.text;
        EXPECT_EQ(host_.found[0], c.text);
    }
}

TEST_F(ScanRunTest, FailedOpenShowsThePortErrorAndTheCountCarriesOn) {
    port_.open_fails_at_rate = {{76800, "Device or resource busy"}};
    EXPECT_FALSE(run_.DetectionEngine(1, 2, false, true, false));
    ASSERT_EQ(host_.warnings.size(), 1U);
    EXPECT_EQ(host_.warnings[0].title, "Port Error");
    EXPECT_EQ(host_.warnings[0].text,
              "Trying 76800 baud on COM1 caused the following error: Device or resource busy");
    for (const Write& w : writes_) {
        EXPECT_NE(w.rate, 76800);
    }
    ASSERT_EQ(host_.bars.size(), 18U);
    EXPECT_EQ(host_.bars[6], std::make_pair(7, 10));  // first station at 57600

    port_.open_fails_at_rate.clear();
    port_.open_result = 0;  // refused without a recorded failure
    host_.warnings.clear();
    EXPECT_FALSE(run_.DetectionEngine(1, 2, false, true, false));
    ASSERT_EQ(host_.warnings.size(), 10U);
    EXPECT_EQ(host_.warnings[0].text, "Trying 460800 baud on COM1 caused the following error: ");
}

// An ASCII reply names no station: a reply to station 5 that comes 70 ms late
// at 460800 (T = 50) lands in station 6's wait. It is not reported as station
// 6; the confirming probe finds station 6 silent.
TEST_F(ScanRunTest, LateAsciiReplyIsNotCreditedToTheNextStation) {
    port_.on_write = [this](const std::string& request) {
        writes_.push_back({clock_.Now(), port_.rate, request});
        if (request == AsciiRequest(5) && port_.rate == 460800) {
            port_.Arrive(milliseconds(70), "?\r");
        }
    };
    EXPECT_FALSE(run_.DetectionEngine(1, 8, false, true, false));
    EXPECT_TRUE(host_.found.empty());
    EXPECT_EQ(writes_.size(), 8U * 10U + 1U);  // and the confirming probe of station 6
}

TEST_F(ScanRunTest, NoProbeChosenStillWalksEveryRateAndStation) {
    EXPECT_FALSE(run_.DetectionEngine(1, 3, false, false, false));
    EXPECT_EQ(port_.Count("Open"), 10);
    EXPECT_EQ(port_.Count("Close"), 10);
    EXPECT_EQ(host_.statuses.size(), 30U);
    EXPECT_EQ(host_.bars.size(), 30U);
    EXPECT_TRUE(writes_.empty());
}

TEST_F(ScanRunTest, SeveralProbesInOrderWithADiscardAfterEachMiss) {
    EXPECT_FALSE(run_.DetectionEngine(1, 1, true, true, true));
    std::vector<std::string> sends;
    for (const std::string& call : port_.calls) {
        if (call == "Write" || call == "DiscardInput") {
            sends.push_back(call);
        }
        if (sends.size() == 6) {
            break;
        }
    }
    EXPECT_EQ(sends, (std::vector<std::string>{"Write", "DiscardInput", "Write", "DiscardInput",
                                               "Write", "DiscardInput"}));
    EXPECT_EQ(writes_[0].bytes + writes_[1].bytes + writes_[2].bytes,
              AsciiRequest(1) + ModbusRequest(1) + LyraBusRequest(1));
}

TEST_F(ScanRunTest, CancelPendingOnEntryTouchesNothing) {
    host_.cancel = true;
    EXPECT_FALSE(run_.DetectionEngine(1, 255, false, true, false));
    EXPECT_TRUE(host_.statuses.empty());
    EXPECT_TRUE(host_.bars.empty());
    EXPECT_TRUE(port_.calls.empty());
}

TEST_F(ScanRunTest, StopAtTheLastStationOfTheLastRateTakesTheCancelPath) {
    host_.on_pump = [this](int turn) {
        if (turn == 2550) {
            host_.cancel = true;
        }
    };
    run_.DetectNow();
    EXPECT_TRUE(host_.questions.empty());
    EXPECT_FALSE(host_.cancel);
    EXPECT_TRUE(host_.port_list_enabled);
    EXPECT_TRUE(host_.bar_cleared);
    EXPECT_EQ(access_.PortHandle(), 0);
}

TEST_F(ScanRunTest, StopDuringTheExtendedScanShowsNoFailureBox) {
    host_.answer_yes = true;
    host_.on_pump = [this](int turn) {
        if (turn == 2550 + 100) {
            host_.cancel = true;
        }
    };
    run_.DetectNow();
    EXPECT_EQ(host_.bars.size(), 2550U + 100U);
    EXPECT_TRUE(host_.warnings.empty());
    EXPECT_TRUE(host_.port_list_enabled);
    EXPECT_TRUE(host_.bar_cleared);
    EXPECT_FALSE(host_.cancel);
}

TEST_F(ScanRunTest, CloseRequestEndsTheRunByClosingTheWindow) {
    host_.on_pump = [this](int turn) {
        if (turn == 3) {
            host_.cancel = host_.close = true;
        }
    };
    run_.DetectNow();
    EXPECT_EQ(host_.window_closes, 1);
    EXPECT_EQ(host_.bars.size(), 3U);
    EXPECT_EQ(access_.PortHandle(), 0);
}

TEST_F(ScanRunTest, FailuresInsideTheEngineArePassedOver) {
    port_.Fail("DiscardInput");
    port_.Fail("Write");
    EXPECT_FALSE(run_.DetectionEngine(1, 2, false, true, false));
    EXPECT_EQ(host_.bars.size(), 20U);
    EXPECT_EQ(port_.Count("Write"), 20);

    port_.Heal("Write");
    port_.Fail("Close", LineError::Io, "Input/output error");
    EXPECT_FALSE(run_.DetectionEngine(1, 2, false, true, false));
    EXPECT_EQ(port_.Count("Close"), 20);  // every rate still closes (and fails)
    EXPECT_EQ(host_.bars.size(), 40U);
}

TEST_F(ScanRunTest, CloseFailureAtTheEndOfAStoppedRunPassesToTheCaller) {
    host_.on_pump = [this](int) { host_.cancel = true; };
    port_.Fail("Close", LineError::Io, "Input/output error");
    EXPECT_THROW(run_.DetectNow(), PortFailure);
    EXPECT_TRUE(host_.port_list_enabled);  // the run still let go of the list
    EXPECT_FALSE(host_.cancel);
}

}  // namespace
