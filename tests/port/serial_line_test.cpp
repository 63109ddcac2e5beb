// The real line on pseudo-terminals, as during a scan.
#include "port_line.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "framing.h"
#include "line_lock.h"
#include "line_rate.h"
#include "port_access.h"
#include "port_failure.h"
#include "pty_line.h"
#include "temp_folder.h"

namespace probelyn {

namespace {

std::string AllByteValues() {
    std::string bytes;
    for (int v = 0; v < 256; ++v) {
        bytes.push_back(static_cast<char>(v));
    }
    return bytes;
}

// Polls InputCount until it reaches n (or two seconds pass).
bool WaitForCount(PortLine& line, int n) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (line.InputCount() < n) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class PortLineTest : public testing::Test {
  protected:
    PortLineTest() : line_(ComPortNames::FromDevices({pty_.SlavePath()})) {}

    void OpenAt(int rate) { ASSERT_GE(line_.Open({.line = {.com = 1}, .baud = rate}), 1); }

    PtyLine pty_;
    PortLine line_;
};

TEST_F(PortLineTest, EveryTableRateReachesTheOtherSide) {
    for (int rate : {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 76800, 115200, 230400,
                     460800, 9600}) {
        OpenAt(rate);
        EXPECT_EQ(pty_.OutputRate(), rate);
        EXPECT_EQ(pty_.InputRate(), rate);
    }
    EXPECT_EQ(line_.Close(), 0);
}

TEST_F(PortLineTest, EveryByteValuePassesBothWays) {
    OpenAt(115200);
    const std::string bytes = AllByteValues();
    line_.Write(bytes);
    EXPECT_EQ(pty_.ReceiveExactly(bytes.size(), 2000), bytes);

    pty_.Send(bytes);
    ASSERT_TRUE(WaitForCount(line_, 256));
    EXPECT_EQ(line_.InputCount(), 256);
    EXPECT_EQ(line_.Read(999), bytes);
    EXPECT_EQ(line_.InputCount(), 0);
}

TEST_F(PortLineTest, ReadTakesAtMostWhatIsAskedAndLeavesTheRest) {
    OpenAt(460800);
    pty_.Send(std::string(3000, 'x'));
    ASSERT_TRUE(WaitForCount(line_, 3000));
    EXPECT_EQ(line_.Read(999).size(), 999U);
    EXPECT_EQ(line_.InputCount(), 2001);
    EXPECT_TRUE(line_.WaitForInput(std::chrono::seconds(1), {}));  // the rest into the buffer
    EXPECT_EQ(line_.Read(10).size(), 10U);
    EXPECT_EQ(line_.InputCount(), 1991);
}

TEST_F(PortLineTest, DiscardInputEmptiesTheLinesBufferAndTheSystemsQueue) {
    OpenAt(9600);
    pty_.Send(std::string(100, 'a'));
    ASSERT_TRUE(WaitForCount(line_, 100));
    ASSERT_TRUE(line_.WaitForInput(std::chrono::seconds(1), {}));  // into the line's buffer
    pty_.Send(std::string(50, 'b'));                               // these in the OS queue
    ASSERT_TRUE(WaitForCount(line_, 150));
    line_.DiscardInput();
    EXPECT_EQ(line_.InputCount(), 0);
    EXPECT_EQ(line_.Read(999), "");
}

// An adapter pulled out: every member fails, as a device that is gone.
TEST_F(PortLineTest, VanishedLineFailsAsAGoneDevice) {
    OpenAt(9600);
    pty_.Vanish();
    for (const auto& use : std::vector<std::function<void()>>{
             [&] { line_.InputCount(); }, [&] { line_.Read(999); },
             [&] { line_.WaitForInput(std::chrono::seconds(1), {}); }}) {
        try {
            use();
            ADD_FAILURE() << "a vanished line answered";
        } catch (const PortFailure& failure) {
            EXPECT_EQ(failure.Error(), LineError::DeviceNotFound) << failure.Description();
        }
    }
    EXPECT_THROW(line_.Write("abc"), PortFailure);
}

TEST_F(PortLineTest, OpenWhileHeldReleasesTheEarlierLine) {
    PtyLine second;
    PortLine line(ComPortNames::FromDevices({pty_.SlavePath(), second.SlavePath()}));
    ASSERT_EQ(line.Open({.line = {.com = 1}, .baud = 9600}), 1);
    ASSERT_EQ(line.Open({.line = {.com = 2}, .baud = 19200}), 1);
    EXPECT_EQ(second.OutputRate(), 19200);
    // The first line is free again for another program.
    PortLine other(ComPortNames::FromDevices({pty_.SlavePath()}));
    EXPECT_EQ(other.Open({.line = {.com = 1}}), 1);
}

struct OpenFailureCase {
    const char* title;
    std::vector<std::string> devices;
    int number;
    const char* text;
};

TEST(PortLineOpenTest, FailuresCarryTheSystemsText) {
    const OpenFailureCase cases[] = {
        {"missing device", {"/nonexistent/ttyS0"}, 1, "No such file or directory"},
        {"no serial line", {"/dev/null"}, 1, "Inappropriate ioctl for device"},
        {"COMn without a device", {}, 5, "COM5 has no serial device"},
    };
    for (const OpenFailureCase& c : cases) {
        PortLine line(ComPortNames::FromDevices(c.devices));
        try {
            line.Open({.line = {.com = c.number}});
            ADD_FAILURE() << c.title << ": opened";
        } catch (const PortFailure& failure) {
            EXPECT_NE(failure.Error(), LineError::None) << c.title;
            EXPECT_EQ(failure.Description(), c.text) << c.title;
        }
    }
}

// The dialout hint only where joining that group would open the device.
TEST(PortLineOpenTest, NoAccessNamesOwnerGroupAndMode) {
    const std::string hint =
        "; join the dialout group: sudo usermod -aG dialout $USER, then log out and log in again";
    EXPECT_EQ(NoAccessText("root", "dialout", 020660),
              "Permission denied (owner root, group dialout, mode 0660" + hint + ")");
    EXPECT_EQ(NoAccessText("root", "root", 0600),
              "Permission denied (owner root, group root, mode 0600)");
    EXPECT_EQ(NoAccessText("root", "dialout", 0640),
              "Permission denied (owner root, group dialout, mode 0640)");
    EXPECT_EQ(NoAccessText("root", "uucp", 0660),
              "Permission denied (owner root, group uucp, mode 0660)");
}

// A second user of a line in this program: busy, whether it names the
// device or a link to it.
TEST(PortLineOpenTest, HeldLineIsReportedAsBusy) {
    PtyLine pty;
    TempFolder dir;
    const std::string link = dir.FilePath("ttyProbelynHeld");
    pty.LinkAt(link);
    PortLine holder(ComPortNames::FromDevices({link}));
    ASSERT_EQ(holder.Open({.line = {.com = 1}}), 1);
    PortLine line(ComPortNames::FromDevices({pty.SlavePath()}));
    try {
        line.Open({.line = {.com = 1}});
        ADD_FAILURE() << "a held line opened twice";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.Error(), LineError::Busy);
        EXPECT_EQ(failure.Description(), "The line is busy: this program already uses it");
    }
    holder.Close();
    EXPECT_EQ(line.Open({.line = {.com = 1}}), 1);
}

// A driver that takes any rate and runs the line at 9600 whatever is asked.
class NineSixHundredLine : public PortLine {
  public:
    using PortLine::PortLine;

  protected:
    int AppliedRate() override { return 9600; }
};

TEST(PortLineOpenTest, RateTheDriverDidNotApplyIsAFailedOpen) {
    PtyLine pty;
    NineSixHundredLine line(ComPortNames::FromDevices({pty.SlavePath()}));
    PortAccess access(line);
    // The line is named as it was given: by its COM number, its device, or both.
    const std::string device = pty.SlavePath();
    const std::pair<LineName, std::string> names[] = {
        {{.com = 1}, "COM1"},
        {{.com = std::nullopt, .device = device}, device},
        {{.com = 3, .device = device}, "COM3 (" + device + ")"}};
    for (const auto& [name, said] : names) {
        EXPECT_FALSE(access.OpenPort({.line = name, .baud = 460800}));
        EXPECT_EQ(access.Error().description,
                  said + " does not run at 460800 baud (the driver set 9600)");
    }
    EXPECT_THROW(line.InputCount(), PortFailure);  // not left open
    EXPECT_EQ(InspectLineLocks(pty.SlavePath()).verdict, LineLocks::Verdict::Free);  // nor locked
    EXPECT_TRUE(access.OpenPort(
        {.line = {.com = 1}, .baud = 9800}));  // within the rounding of real dividers
    EXPECT_TRUE(access.OpenPort({.line = {.com = 1}, .baud = 9600}));
    // Set anew while open: refused the same way, and the line stays open and
    // locked, so that no other program takes it between settings.
    EXPECT_FALSE(access.OpenPort({.line = {.com = 1}, .baud = 460800}));
    EXPECT_EQ(access.Error().description, "COM1 does not run at 460800 baud (the driver set 9600)");
    EXPECT_NO_THROW(line.InputCount());
    EXPECT_EQ(InspectLineLocks(pty.SlavePath()).verdict, LineLocks::Verdict::Ours);
}

TEST_F(PortLineTest, WaitIsForNewBytesAndNoFailureWhenSilent) {
    OpenAt(9600);
    EXPECT_FALSE(line_.WaitForInput(std::chrono::milliseconds(20), {}));
    pty_.Send("ab");
    EXPECT_TRUE(WaitForCount(line_, 2));
    EXPECT_TRUE(line_.WaitForInput(std::chrono::seconds(2), {}));  // came since the last look
    // Bytes already waiting are not new: the wait blocks for more.
    EXPECT_FALSE(line_.WaitForInput(std::chrono::milliseconds(20), {}));
    pty_.Send("c");
    EXPECT_TRUE(line_.WaitForInput(std::chrono::seconds(2), {}));
    EXPECT_TRUE(WaitForCount(line_, 3));
    EXPECT_EQ(line_.Read(999), "abc");
    // A stop ends a long wait, and each wait after it, at once.
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(line_.WaitForInput(std::chrono::seconds(20), stop.get_token()));
    }
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(PortLineAccessTest, CheckPortLeavesTheLineOpenAt9600) {
    PtyLine pty;
    PortLine line(
        ComPortNames::FromDevices({"/nonexistent/ttyS0", "/nonexistent/ttyS1", pty.SlavePath()}));
    PortAccess access(line);
    EXPECT_FALSE(access.CheckPort(1));
    EXPECT_EQ(access.Error().description, "No such file or directory");
    EXPECT_TRUE(access.CheckPort(3));
    EXPECT_EQ(access.PortHandle(), 1);
    EXPECT_EQ(pty.OutputRate(), 9600);
    pty.Send("still open");
    EXPECT_TRUE(WaitForCount(line, 10));
}

// The framing reaches the line as the pty keeps it (odd parity and two stop
// bits show; even parity reads as none), and the line gets back at close the
// settings it had before.
TEST_F(PortLineTest, FramingReachesTheLineAndTheSettingsComeBackAtClose) {
    LineRates before;
    ASSERT_TRUE(ReadLineRates(pty_.MasterFd(), &before));
    for (const char* name : {"8N1", "8E1", "8O1", "8N2", "8E2", "8O2"}) {
        const Framing framing = *FramingNamed(name);
        ASSERT_EQ(line_.Open({.line = {.com = 1}, .baud = 460800, .framing = framing}), 1);
        LineRates rates;
        ASSERT_TRUE(ReadLineRates(pty_.MasterFd(), &rates));
        EXPECT_EQ(rates.parityOdd, framing.parity == Parity::Odd) << name;
        EXPECT_EQ(rates.twoStopBits, framing.stopBits == 2) << name;
        line_.Close();
        LineRates after;
        ASSERT_TRUE(ReadLineRates(pty_.MasterFd(), &after));
        EXPECT_EQ(after.output, before.output) << name;
        EXPECT_EQ(after.twoStopBits, before.twoStopBits) << name;
    }
}

// While open the line is this program's alone (other users' opens fail);
// closed, it is anybody's again.
TEST_F(PortLineTest, LineIsExclusiveWhileOpen) {
    const auto exclusive = [&] {
        const int fd = ::open(pty_.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        int flag = -1;
        ::ioctl(fd, TIOCGEXCL, &flag);
        ::close(fd);
        return flag;
    };
    OpenAt(9600);
    EXPECT_EQ(exclusive(), 1);
    line_.Close();
    EXPECT_EQ(exclusive(), 0);
}

// Scanning, a character received with an error is dropped; listening, it is
// marked, parity checked.
TEST_F(PortLineTest, ListeningMarksErrorsScanningDropsThem) {
    for (const bool listen : {false, true}) {
        ASSERT_EQ(line_.Open({.line = {.com = 1}, .baud = 9600, .listen = listen}), 1);
        LineRates rates;
        ASSERT_TRUE(ReadLineRates(pty_.MasterFd(), &rates));
        EXPECT_EQ(rates.markErrors, listen);
        EXPECT_EQ(rates.checkParity, listen);
        EXPECT_EQ(rates.ignoreErrors, !listen);
    }
}

// A reply that came while the line was closed is not judged by the next run;
// nor one that came at the setting before, when the open line is set anew.
TEST_F(PortLineTest, WhatCameBeforeTheOpenIsDiscarded) {
    OpenAt(9600);
    line_.Close();
    pty_.Send("?\r");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    OpenAt(9600);
    EXPECT_FALSE(line_.WaitForInput(std::chrono::milliseconds(50), {}));
    EXPECT_EQ(line_.InputCount(), 0);
    pty_.Send("?");
    EXPECT_TRUE(line_.WaitForInput(std::chrono::seconds(2), {}));  // in the line's own buffer
    pty_.Send("\r");
    EXPECT_TRUE(WaitForCount(line_, 2));  // and with the system
    const Framing odd{Parity::Odd, 1};
    ASSERT_EQ(line_.Open({.line = {.com = 1}, .baud = 19200, .framing = odd}), 1);
    EXPECT_EQ(line_.InputCount(), 0);
    EXPECT_EQ(pty_.OutputRate(), 19200);
    EXPECT_TRUE(pty_.FramedAs(odd));
}

}  // namespace

}  // namespace probelyn
