// The probes against the in-memory port: what goes out, how long each waits,
// and which replies count.
#include "probes.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "byte_string.h"

#include "fake_port.h"
#include "probe_frames.h"

namespace probelyn {

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

TEST_F(ProbesTest, ModbusMatchesOnlyRegister60Holding0x4000) {
    for (const std::string& reply :
         {Bytes({0x11, 0x03, 0x04, 0x40, 0x01, 0x00, 0x00, 0xAA, 0xBB}),
          Bytes({0x11, 0x03, 0x04, 0x41, 0x00, 0x00, 0x00, 0xAA, 0xBB})}) {
        ReplyWith(reply);
        EXPECT_FALSE(probes_.ProbeModbus(17, 50));
        port_.input.clear();
    }
}

// A two-wire RS-485 adapter hands the request back before the reply. The echo
// is skipped, within the same limit counted from the send.
struct EchoCase {
    const char* name;
    std::function<bool(Probes&)> probe;
    std::string reply;
};

TEST_F(ProbesTest, EchoOfTheRequestIsSkipped) {
    const std::string lyraBusReply =
        Bytes({0x01, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x08, 0x01});
    const EchoCase cases[] = {
        {"ascii", [](Probes& p) { return p.ProbeAscii(5, 50); }, "?\r"},
        {"modbus", [](Probes& p) { return p.ProbeModbus(1, 50); },
         Bytes({0x01, 0x03, 0x04, 0x40, 0x00, 0x00, 0x00, 0xFA, 0x33})},
        {"lyrabus", [](Probes& p) { return p.ProbeLyraBus(1, 50); }, lyraBusReply},
    };
    for (const EchoCase& c : cases) {
        const int limit = c.name == std::string("modbus") ? 70 : 50;
        // Echo at once, reply 3 ms later, also when the echo comes in two pieces.
        port_.on_write = [&](const std::string& request) {
            port_.Arrive(milliseconds(1), request.substr(0, 3));
            port_.Arrive(milliseconds(2), request.substr(3) + c.reply.substr(0, 1));
            port_.Arrive(milliseconds(5), c.reply.substr(1));
        };
        EXPECT_TRUE(c.probe(probes_)) << c.name;
        port_.input.clear();
        // The echo alone is no reply, and the limit counts from the send.
        port_.on_write = [&](const std::string& request) {
            port_.Arrive(milliseconds(1), request);
            port_.Arrive(milliseconds(limit + 1), c.reply);
        };
        EXPECT_EQ(Spent([&] { EXPECT_FALSE(c.probe(probes_)) << c.name; }), milliseconds(limit));
        clock_.Advance(milliseconds(10));
        port_.DiscardInput();
        // A request echoed back is never taken for the reply, whole or in part.
        port_.on_write = [&](const std::string& request) {
            port_.Arrive(milliseconds(1), request + request);
        };
        EXPECT_FALSE(c.probe(probes_)) << c.name;
        port_.input.clear();
    }
}

TEST_F(ProbesTest, AsciiConfirmationAsksTheSameStationAgain) {
    ReplyWith("?\r");
    EXPECT_TRUE(probes_.ConfirmAscii(5, 50));
    port_.on_write = nullptr;
    port_.input = "?\r";  // a stray reply waiting is discarded first
    EXPECT_FALSE(probes_.ConfirmAscii(5, 50));
    EXPECT_EQ(port_.written, AsciiRequest(5) + AsciiRequest(5));
}

// A UART that hands over byte by byte: "?\r" matches, and the rest of the
// reply (an LF; an LF and a prompt) follows a character at a time, or slower.
// It must not spoil the confirming reply, which is asked for as soon as the
// line has been quiet for three characters at 2400 (not at the limit).
TEST_F(ProbesTest, AsciiReplyWithTrailingBytesIsConfirmed) {
    using std::chrono::microseconds;
    const struct {
        int baud;
        const char* tail;
        microseconds gap;  // between the reply's bytes after "?\r"
    } rows[] = {{9600, "\n", microseconds(1041)},
                {2400, "\n", microseconds(4166)},
                {2400, "\n>", microseconds(4166)},
                {2400, "\n", microseconds(10000)}};  // more than two characters apart
    for (const auto& row : rows) {
        const auto character = microseconds(10'000'000 / row.baud);
        std::vector<Clock::Duration> sent;
        Clock::Duration lastByte{};
        // The instrument answers 2 ms after the request's last byte is out.
        port_.on_write = [&, tail = std::string(row.tail)](const std::string& request) {
            sent.push_back(clock_.Now());
            const auto answer = character * request.size() + milliseconds(2);
            port_.Arrive(answer, "?\r");
            for (std::size_t i = 0; i < tail.size(); ++i) {
                port_.Arrive(answer + row.gap * (i + 1), tail.substr(i, 1));
            }
            lastByte = clock_.Now() + answer + row.gap * tail.size();
        };
        EXPECT_TRUE(probes_.ProbeAscii(7, 110)) << row.baud << " " << row.tail;
        const Clock::Duration quietFrom = lastByte;
        EXPECT_TRUE(probes_.ConfirmAscii(7, 110)) << row.baud << " " << row.tail;
        ASSERT_EQ(sent.size(), 2U);
        EXPECT_EQ(sent[1] - quietFrom, Probes::kQuietBeforeConfirm) << row.baud << " " << row.tail;
        clock_.Advance(milliseconds(200));
        port_.DiscardInput();
    }
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

}  // namespace probelyn
