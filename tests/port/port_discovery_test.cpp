#include "port_discovery.h"

#include <gtest/gtest.h>

#include "fake_port.h"

namespace probelyn {

namespace {

struct RecordingHost : DiscoveryHost {
    void SetStatus(const std::string& Message) override { statuses.push_back(Message); }
    void AddPort(int n) override { ports.push_back(n); }
    void NotListed(int n, const ErrorRecord& error) override {
        unlisted.push_back(std::to_string(n) + ": " + error.description);
    }
    void ServiceEvents() override { ++turns; }
    bool Abandoned() override { return abandonAfterTurns >= 0 && turns >= abandonAfterTurns; }

    int abandonAfterTurns = -1;
    std::vector<std::string> statuses;
    std::vector<int> ports;
    std::vector<std::string> unlisted;
    int turns = 0;
};

}  // namespace

TEST(PortDiscoveryTest, ListsOpenLinesInNumericOrderWithStatusForEach) {
    FakePort port;
    port.open_by_line = {{10, 1}, {3, 1}, {7, 0}};
    PortAccess access(port);
    RecordingHost host;
    EXPECT_EQ(DiscoverPorts(access, host), 2);
    EXPECT_EQ(host.ports, (std::vector<int>{3, 10}));
    ASSERT_EQ(host.statuses.size(), 100U);
    EXPECT_EQ(host.statuses.front(), "Detecting serial port COM1");
    EXPECT_EQ(host.statuses.back(), "Detecting serial port COM100");
    EXPECT_EQ(host.turns, 100);
    EXPECT_EQ(port.Count("Close"), 0);  // lines that opened stay open
    EXPECT_EQ(port.rate, 9600);
}

TEST(PortDiscoveryTest, EndingProgramOpensNoFurtherLine) {
    for (const int turns : {0, 3}) {
        FakePort port;
        PortAccess access(port);
        RecordingHost host;
        host.abandonAfterTurns = turns;
        DiscoverPorts(access, host);
        EXPECT_EQ(port.Count("Open"), turns);
    }
}

TEST(PortDiscoveryTest, DevicesThatDoNotOpenAreReportedWithTheirReason) {
    FakePort port;
    port.open_by_line = {{4, 1}};
    port.open_fails_on_line = {
        {1, PortFailure(LineError::NoDevice, "COM1 has no serial device")},
        {2, PortFailure(LineError::NoAccess, "Permission denied")},
        {3, PortFailure(LineError::Busy, "The line is busy: process 7 (minicom) holds its lock")},
        {5, PortFailure(LineError::DeviceNotFound, "No such file or directory")}};
    PortAccess access(port);
    RecordingHost host;
    EXPECT_EQ(DiscoverPorts(access, host), 1);
    EXPECT_EQ(host.unlisted, (std::vector<std::string>{
                                 "2: Permission denied",
                                 "3: The line is busy: process 7 (minicom) holds its lock"}));
}

TEST(PortDiscoveryTest, LineWhoseRateFailsIsNotListed) {
    FakePort port;
    port.open_by_line = {{100, 1}};
    PortAccess access(port);
    RecordingHost host;
    EXPECT_EQ(DiscoverPorts(access, host), 1);
    EXPECT_EQ(host.ports, (std::vector<int>{100}));

    port.Fail("Open", LineError::SettingRefused, "Invalid argument");
    RecordingHost failing;
    EXPECT_EQ(DiscoverPorts(access, failing), 0);
}

}  // namespace probelyn
