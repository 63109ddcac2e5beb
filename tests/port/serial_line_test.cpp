// The real line through Qt SerialPort on pseudo-terminals, with no event loop
// running, as during a scan.
#include "serial_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "port_access.h"
#include "port_failure.h"
#include "pty_line.h"

namespace {

std::string AllByteValues() {
    std::string bytes;
    for (int v = 0; v < 256; ++v) {
        bytes.push_back(static_cast<char>(v));
    }
    return bytes;
}

// Polls InputCount until it reaches n (or two seconds pass).
bool WaitForCount(SerialLine& line, int n) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (line.InputCount() < n) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class SerialLineTest : public testing::Test {
  protected:
    SerialLineTest() : line_(ComPortNames::FromDevices({pty_.SlavePath()})) {}

    void OpenAt(int rate) { ASSERT_GE(line_.Open({.line = {.com = 1}, .baud = rate}), 1); }

    PtyLine pty_;
    SerialLine line_;
};

TEST_F(SerialLineTest, EveryTableRateReachesTheOtherSide) {
    for (int rate : {300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 76800, 115200, 230400,
                     460800, 9600}) {
        OpenAt(rate);
        EXPECT_EQ(pty_.OutputRate(), rate);
        EXPECT_EQ(pty_.InputRate(), rate);
    }
    EXPECT_EQ(line_.Close(), 0);
}

TEST_F(SerialLineTest, EveryByteValuePassesBothWays) {
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

TEST_F(SerialLineTest, ReadTakesAtMostWhatIsAskedAndLeavesTheRest) {
    OpenAt(460800);
    pty_.Send(std::string(3000, 'x'));
    ASSERT_TRUE(WaitForCount(line_, 3000));
    EXPECT_EQ(line_.Read(999).size(), 999U);
    EXPECT_EQ(line_.InputCount(), 2001);
    EXPECT_EQ(line_.Read(999).size(), 999U);
}

TEST_F(SerialLineTest, DiscardInputEmptiesQtsBufferAndTheOsQueue) {
    OpenAt(9600);
    pty_.Send(std::string(100, 'a'));
    ASSERT_TRUE(WaitForCount(line_, 100));
    EXPECT_EQ(line_.Read(10).size(), 10U);  // the other 90 now sit in Qt's buffer
    pty_.Send(std::string(50, 'b'));        // these in the OS queue
    ASSERT_TRUE(WaitForCount(line_, 140));
    line_.DiscardInput();
    EXPECT_EQ(line_.InputCount(), 0);
    EXPECT_EQ(line_.Read(999), "");
}

TEST_F(SerialLineTest, VanishedLineFailsInsteadOfReportingNothing) {
    OpenAt(9600);
    pty_.Vanish();
    EXPECT_THROW(line_.InputCount(), PortFailure);
    EXPECT_THROW(line_.Read(999), PortFailure);
    EXPECT_THROW(line_.Write("abc"), PortFailure);
}

TEST_F(SerialLineTest, OpenWhileHeldReleasesTheEarlierLine) {
    PtyLine second;
    SerialLine line(ComPortNames::FromDevices({pty_.SlavePath(), second.SlavePath()}));
    ASSERT_EQ(line.Open({.line = {.com = 1}, .baud = 9600}), 1);
    ASSERT_EQ(line.Open({.line = {.com = 2}, .baud = 19200}), 1);
    EXPECT_EQ(second.OutputRate(), 19200);
    // The first line is free again for another program.
    SerialLine other(ComPortNames::FromDevices({pty_.SlavePath()}));
    EXPECT_EQ(other.Open({.line = {.com = 1}}), 1);
}

struct OpenFailureCase {
    const char* title;
    std::vector<std::string> devices;
    int number;
    const char* text;
};

TEST(SerialLineOpenTest, FailuresCarryTheSystemsText) {
    const OpenFailureCase cases[] = {
        {"missing device", {"/nonexistent/ttyS0"}, 1, "No such file or directory"},
        {"COMn without a device", {}, 5, "COM5 has no serial device"},
    };
    for (const OpenFailureCase& c : cases) {
        SerialLine line(ComPortNames::FromDevices(c.devices));
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
TEST(SerialLineOpenTest, NoAccessNamesOwnerGroupAndMode) {
    const std::string hint =
        "; join the dialout group: sudo usermod -aG dialout $USER, then log out and log in again";
    EXPECT_EQ(NoAccessText("root", "dialout", 020660),
              "Permission denied (owner root, group dialout, mode 0660" + hint + ")");
    EXPECT_EQ(NoAccessText("root", "root", 0600),
              "Permission denied (owner root, group root, mode 0600)");
    EXPECT_EQ(NoAccessText("root", "dialout", 0640),
              "Permission denied (owner root, group dialout, mode 0640)");
}

TEST(SerialLineOpenTest, HeldLineIsReportedAsBusy) {
    PtyLine pty;
    SerialLine holder(ComPortNames::FromDevices({pty.SlavePath()}));
    ASSERT_EQ(holder.Open({.line = {.com = 1}}), 1);
    SerialLine line(ComPortNames::FromDevices({pty.SlavePath()}));
    try {
        line.Open({.line = {.com = 1}});
        ADD_FAILURE() << "a held line opened twice";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.Error(), LineError::Refused);
        EXPECT_TRUE(failure.Description() == "Permission error while locking the device" ||
                    failure.Description() == "Device or resource busy")
            << failure.Description();
    }
}

// A driver that takes any rate and runs the line at 9600 whatever is asked.
class NineSixHundredLine : public SerialLine {
  public:
    using SerialLine::SerialLine;

  protected:
    int AppliedRate() override { return 9600; }
};

TEST(SerialLineOpenTest, RateTheDriverDidNotApplyIsAFailedOpen) {
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
    EXPECT_TRUE(access.OpenPort(
        {.line = {.com = 1}, .baud = 9800}));  // within the rounding of real dividers
    EXPECT_TRUE(access.OpenPort({.line = {.com = 1}, .baud = 9600}));
}

TEST_F(SerialLineTest, WaitIsForNewBytesAndNoFailureWhenSilent) {
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
}

TEST(SerialLineAccessTest, CheckPortLeavesTheLineOpenAt9600) {
    PtyLine pty;
    SerialLine line(
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

}  // namespace

// While a box is up its event loop lets Qt read the line; a peer that keeps
// sending must not make the program's buffer grow without bound.
TEST_F(SerialLineTest, StreamingPeerDuringAnEventLoopStaysBounded) {
    OpenAt(460800);
    std::atomic<bool> streaming{true};
    std::thread peer([&] {
        const std::string piece(46, 'x');
        while (streaming) {
            // What does not fit into a full queue is lost, as on a real line.
            [[maybe_unused]] const ssize_t n = ::write(pty_.MasterFd(), piece.data(), piece.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    qint64 most = 0;
    QEventLoop box;
    QTimer sample;
    QObject::connect(&sample, &QTimer::timeout,
                     [&] { most = std::max(most, line_.BufferedBytes()); });
    sample.start(20);
    QTimer::singleShot(1500, &box, &QEventLoop::quit);
    box.exec();
    streaming = false;
    peer.join();
    EXPECT_GT(most, 0);  // Qt did read while the loop ran
    EXPECT_LE(most, SerialLine::kReadBufferBytes);
    line_.DiscardInput();
    pty_.Send("?\r");
    EXPECT_TRUE(WaitForCount(line_, 2));
    EXPECT_EQ(line_.Read(999).substr(0, 2), "?\r");
}
