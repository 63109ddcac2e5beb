// The reply waits in virtual time against the in-memory port.
#include "reply_wait.h"

#include <gtest/gtest.h>

#include "fake_port.h"

namespace probelyn {

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

class ReplyWaitTest : public testing::Test {
  protected:
    ReplyWaitTest() : wait_(port_, clock_) { port_.UseClock(&clock_); }

    Clock::Duration Elapsed() { return clock_.Now() - start_; }

    FakeClock clock_;
    FakePort port_;
    ReplyWait wait_;
    Clock::Duration start_ = clock_.Now();
};

TEST_F(ReplyWaitTest, AlreadyWaitingEndsAtTheFirstPoll) {
    port_.input = "?\r";
    EXPECT_TRUE(wait_.LookFor("?\r", 50));
    EXPECT_EQ(port_.Count("InputCount"), 1);
    EXPECT_EQ(port_.Count("Read"), 1);
    EXPECT_EQ(Elapsed(), Clock::Duration::zero());
}

TEST_F(ReplyWaitTest, ZeroOrNegativeTimeoutStillReadsAndCompares) {
    for (int timeout : {0, -5}) {
        port_.input = "?\rxyz";
        EXPECT_TRUE(wait_.LookFor("?\r", timeout));
        port_.input = std::string(11, '\x01');
        EXPECT_EQ(wait_.WaitFor(11, timeout).size(), 11U);
    }
    EXPECT_EQ(port_.Count("InputCount"), 0);  // the time test comes first
    EXPECT_EQ(port_.Count("Read"), 4);
}

TEST_F(ReplyWaitTest, ReplyIsJudgedTheMomentItsLastByteIsIn) {
    port_.Arrive(milliseconds(3), "?");
    port_.Arrive(microseconds(7400), "\r");
    EXPECT_TRUE(wait_.LookFor("?\r", 50));
    EXPECT_EQ(Elapsed(), microseconds(7400));
    EXPECT_LE(port_.Count("InputCount"), 3);  // blocked, did not spin
}

TEST_F(ReplyWaitTest, NoReplyLastsTheFullLimitExactly) {
    EXPECT_FALSE(wait_.LookFor("?\r", 77));
    EXPECT_EQ(Elapsed(), milliseconds(77));
    EXPECT_TRUE(wait_.WaitFor(11, 110).empty());
    EXPECT_EQ(Elapsed(), milliseconds(77 + 110));
    // One block each, then the last moments polled in steps.
    EXPECT_LE(port_.Count("InputCount"), 2 * 12);
}

TEST_F(ReplyWaitTest, ReplyCompletingInTheLastMomentsIsJudgedAtOnce) {
    port_.Arrive(microseconds(49890), "?\r");
    EXPECT_TRUE(wait_.LookFor("?\r", 50));
    EXPECT_LE(Elapsed(), microseconds(49910));
}

TEST_F(ReplyWaitTest, ExtraBytesOfTheReadAreDroppedLaterOnesStay) {
    port_.input = "?\rabcd";
    port_.Arrive(milliseconds(60), "late");
    EXPECT_TRUE(wait_.LookFor("?\r", 50));
    EXPECT_TRUE(port_.input.empty());
    clock_.Advance(milliseconds(70));
    EXPECT_EQ(port_.InputCount(), 4);
}

TEST_F(ReplyWaitTest, ShortOrEmptyExpectations) {
    port_.Arrive(milliseconds(1), "?");
    EXPECT_FALSE(wait_.LookFor("?\r", 50));  // 1 of 2 bytes by the limit
    EXPECT_TRUE(wait_.LookFor("", 50));      // empty Data: read at once, true
    port_.input = "?";
    EXPECT_FALSE(wait_.LookFor("?\r", 0));  // a lone "?"
    port_.input = "?\n";
    EXPECT_FALSE(wait_.LookFor("?\r", 0));
}

TEST_F(ReplyWaitTest, CaseIsFoldedForAsciiLettersOnly) {
    const std::pair<std::string, std::string> matches[] = {
        {"A\x03\x04\x40", "a\x03\x04\x40"}, {"a\x03", "A\x03"}, {"?\r", "?\r"}};
    for (const auto& [data, reply] : matches) {
        port_.input = reply;
        EXPECT_TRUE(wait_.LookFor(data, 0)) << reply;
    }
    port_.input = "\xE0";  // no folding above 0x7F: 0xC0 and 0xE0 stay apart
    EXPECT_FALSE(wait_.LookFor("\xC0", 0));
    port_.input = "[";  // 0x5B is not a letter
    EXPECT_FALSE(wait_.LookFor("{", 0));
}

TEST_F(ReplyWaitTest, WaitForGivesExactlyLengthOrNothing) {
    port_.Arrive(milliseconds(5), std::string(10, 'x'));
    EXPECT_TRUE(wait_.WaitFor(11, 50).empty());
    EXPECT_TRUE(port_.input.empty());  // the 10 bytes are gone
    port_.input = "0123456789ABCDE";
    EXPECT_EQ(wait_.WaitFor(11, 50), "0123456789A");
    EXPECT_TRUE(port_.input.empty());
}

TEST_F(ReplyWaitTest, OneReadTakesAtMost999) {
    port_.input = std::string(1500, 'z');
    EXPECT_EQ(wait_.WaitFor(11, 50).size(), 11U);
    EXPECT_EQ(port_.input.size(), 501U);
    EXPECT_EQ(port_.Count("Read"), 1);
}

TEST_F(ReplyWaitTest, FailingLineInLookForSleepsOutItsTime) {
    port_.Fail("InputCount", LineError::Io, "Input/output error");
    port_.Fail("Read", LineError::Io, "Input/output error");
    EXPECT_FALSE(wait_.LookFor("?\r", 60));
    EXPECT_EQ(Elapsed(), milliseconds(60));
    EXPECT_EQ(port_.Count("InputCount"), 1);

    port_.Heal("InputCount");
    port_.Fail("WaitForInput", LineError::Io, "Input/output error");
    EXPECT_FALSE(wait_.LookFor("?\r", 60));
    EXPECT_EQ(Elapsed(), milliseconds(120));
    EXPECT_LE(port_.Count("WaitForInput"), 2);
}

TEST_F(ReplyWaitTest, FailingLineInWaitForPassesOn) {
    port_.Fail("InputCount", LineError::Io, "Input/output error");
    EXPECT_THROW(wait_.WaitFor(11, 50), PortFailure);
    port_.Heal("InputCount");
    port_.Fail("WaitForInput", LineError::Io, "Input/output error");
    EXPECT_THROW(wait_.WaitFor(11, 50), PortFailure);
    port_.Heal("WaitForInput");
    port_.Fail("Read", LineError::Io, "Input/output error");
    EXPECT_THROW(wait_.WaitFor(11, 0), PortFailure);
}

}  // namespace

}  // namespace probelyn
