// The probes against the in-memory port: what goes out, how long each waits,
// and which replies count.
#include "probes.h"

#include <gtest/gtest.h>

#include "byte_string.h"

#include "fake_port.h"
#include "probe_frames.h"

namespace {

using std::chrono::milliseconds;

class ProbesTest : public testing::Test {
  protected:
    ProbesTest() : wait_(port_, clock_), probes_(port_, wait_) { port_.UseClock(&clock_); }

    // Answers every request with `reply` after 2 ms.
    void ReplyWith(const std::string& reply) {
        port_.on_write = [this, reply](const std::string&) {
            port_.Arrive(milliseconds(2), reply);
        };
    }
    Clock::Duration Spent(const std::function<void()>& run) {
        const Clock::Duration before = clock_.Now();
        run();
        return clock_.Now() - before;
    }

    FakeClock clock_;
    FakePort port_;
    ReplyWait wait_;
    Probes probes_;
};

TEST_F(ProbesTest, SilentStationCostsItsFullLimit) {
    EXPECT_EQ(Spent([&] { EXPECT_FALSE(probes_.ProbeAscii(1, 77)); }), milliseconds(77));
    EXPECT_EQ(Spent([&] { EXPECT_FALSE(probes_.ProbeModbus(1, 77)); }), milliseconds(97));
    EXPECT_EQ(Spent([&] { EXPECT_FALSE(probes_.ProbeLyraBus(1, 77)); }), milliseconds(77));
    EXPECT_EQ(port_.written, AsciiRequest(1) + ModbusRequest(1) + LyraBusRequest(1));
    EXPECT_EQ(port_.Count("Write"), 3);
    EXPECT_EQ(port_.Count("DiscardInput"), 0);
}

TEST_F(ProbesTest, AnsweringStationsAreFound) {
    ReplyWith("?\r trailing bytes");
    EXPECT_TRUE(probes_.ProbeAscii(300, 50));
    ReplyWith(Bytes({0x11, 0x03, 0x04, 0x40, 0x00, 0xFF, 0xFF, 0x00, 0x00}));  // bad CRC, odd reg
    EXPECT_TRUE(probes_.ProbeModbus(17, 50));
    ReplyWith(Bytes({0x01, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x08, 0x01, 0x99}));
    EXPECT_TRUE(probes_.ProbeLyraBus(1, 50));  // the 12th byte is not judged
    EXPECT_EQ(port_.Count("DiscardInput"), 0);
}

TEST_F(ProbesTest, ModbusComparesWithLetterCaseFolded) {
    ReplyWith(Bytes({0x61, 0x03, 0x04, 0x40, 0x00}));
    EXPECT_TRUE(probes_.ProbeModbus(65, 50));
    port_.input.clear();
    ReplyWith(Bytes({0x41, 0x03, 0x04, 0x40, 0x00}));
    EXPECT_TRUE(probes_.ProbeModbus(97, 50));
    port_.input.clear();
    ReplyWith(Bytes({0x42, 0x03, 0x04, 0x40, 0x00}));
    EXPECT_FALSE(probes_.ProbeModbus(97, 50));
}

TEST_F(ProbesTest, FailedWriteIsPassedOverAndTheWaitStillRuns) {
    port_.Fail("Write");
    port_.input = "?\r";
    EXPECT_TRUE(probes_.ProbeAscii(1, 50));
    EXPECT_EQ(Spent([&] { EXPECT_FALSE(probes_.ProbeAscii(1, 50)); }), milliseconds(50));
}

TEST_F(ProbesTest, FailureInsideTheWaitMakesTheProbeFalse) {
    port_.Fail("InputCount");
    port_.Fail("Read");
    EXPECT_FALSE(probes_.ProbeLyraBus(1, 50));
    EXPECT_FALSE(probes_.ProbeModbus(1, 50));
    EXPECT_FALSE(probes_.ProbeAscii(1, 50));
}

}  // namespace
