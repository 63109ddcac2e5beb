#include "port_access.h"

#include <gtest/gtest.h>

#include "fake_port.h"

namespace probelyn {

TEST(PortAccessTest, OpenReturningZeroIsNotOpen) {
    FakePort port;
    port.open_result = 0;
    PortAccess access(port);
    EXPECT_FALSE(access.OpenPort({.line = {.com = 3}, .baud = 9600}));
    EXPECT_EQ(access.PortHandle(), 0);
    EXPECT_TRUE(access.Error().IsClear());
}

TEST(PortAccessTest, FailedOpenKeepsTheEarlierHandle) {
    FakePort port;
    PortAccess access(port);
    ASSERT_TRUE(access.OpenPort({.line = {.com = 1}, .baud = 9600}));
    port.Fail("Open", LineError::Refused, "Device or resource busy");
    EXPECT_FALSE(access.OpenPort({.line = {.com = 2}, .baud = 9600}));
    EXPECT_EQ(access.PortHandle(), 1);
    EXPECT_EQ(access.Error().description, "Device or resource busy");
    access.ClosePort();
    EXPECT_EQ(port.Count("Close"), 1);
}

TEST(PortAccessTest, ErrorRecordIsClearedOnEachAttempt) {
    FakePort port;
    PortAccess access(port);
    port.Fail("Open");
    EXPECT_FALSE(access.OpenPort({.line = {.com = 1}, .baud = 9600}));
    port.Heal("Open");
    EXPECT_TRUE(access.OpenPort({.line = {.com = 1}, .baud = 9600}));
    EXPECT_TRUE(access.Error().IsClear());
}

TEST(PortAccessTest, ClosePortOnlyWhileAHandleIsHeld) {
    FakePort port;
    PortAccess access(port);
    access.ClosePort();
    EXPECT_EQ(port.Count("Close"), 0);
    ASSERT_TRUE(access.CheckPort(3));
    EXPECT_EQ(port.rate, 9600);
    EXPECT_EQ(port.line, 3);
    access.ClosePort();
    access.ClosePort();
    EXPECT_EQ(port.Count("Close"), 1);
    EXPECT_EQ(access.PortHandle(), 0);
}

TEST(PortAccessTest, CloseFailurePassesOnAndKeepsTheHandle) {
    FakePort port;
    PortAccess access(port);
    ASSERT_TRUE(access.OpenPort({.line = {.com = 1}, .baud = 9600}));
    port.Fail("Close", LineError::Io, "Input/output error");
    EXPECT_THROW(access.ClosePort(), PortFailure);
    EXPECT_EQ(access.PortHandle(), 1);
}

}  // namespace probelyn
