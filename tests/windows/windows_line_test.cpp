// The Win32 line on a COM port that leads to a simulated instrument handing
// back every byte it receives (PROBELYN_ECHO_PORT, e.g. COM7), as
// scripts/test runs it under Wine.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "port_failure.h"
#include "port_line.h"

namespace probelyn {

namespace {

using std::chrono::milliseconds;

std::string AllByteValues() {
    std::string bytes;
    for (int v = 0; v < 256; ++v) {
        bytes.push_back(static_cast<char>(v));
    }
    return bytes;
}

class WindowsLineTest : public testing::Test {
  protected:
    void SetUp() override {
        const char* port = std::getenv("PROBELYN_ECHO_PORT");
        if (port == nullptr) {
            GTEST_SKIP() << "no COM port given in PROBELYN_ECHO_PORT";
        }
        port_ = port;
        ASSERT_EQ(line_.Open({.line = {.com = std::nullopt, .device = port_}, .baud = 115200}), 1);
    }

    // Waits until n bytes are in, as a reply wait does; false after 5 s.
    bool AwaitCount(int n) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (line_.InputCount() < n) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            line_.WaitForInput(milliseconds(100), {});
        }
        return true;
    }

    std::string port_;
    PortLine line_;
};

TEST_F(WindowsLineTest, EveryByteValuePassesBothWays) {
    const std::string bytes = AllByteValues();
    line_.Write(bytes);
    ASSERT_TRUE(AwaitCount(256));
    EXPECT_EQ(line_.Read(999), bytes);
    EXPECT_EQ(line_.InputCount(), 0);
}

TEST_F(WindowsLineTest, ReadTakesAtMostWhatIsAskedAndDiscardDropsTheRest) {
    line_.Write(std::string(40, 'x'));
    ASSERT_TRUE(AwaitCount(40));
    EXPECT_EQ(line_.Read(10), std::string(10, 'x'));
    EXPECT_EQ(line_.InputCount(), 30);
    line_.DiscardInput();
    EXPECT_EQ(line_.InputCount(), 0);
    EXPECT_EQ(line_.Read(999), "");
}

// Silence is no failure, bytes already taken in are not new, and a stop ends
// a long wait, and each wait after it, at once.
TEST_F(WindowsLineTest, WaitsAreForNewBytesAndEndAtAStop) {
    EXPECT_FALSE(line_.WaitForInput(milliseconds(50), {}));
    line_.Write("ab");
    ASSERT_TRUE(AwaitCount(2));
    line_.WaitForInput(milliseconds(50), {});  // takes them in, if the count left them
    EXPECT_FALSE(line_.WaitForInput(milliseconds(50), {}));
    std::stop_source stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(milliseconds(100));
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(line_.WaitForInput(std::chrono::seconds(20), stop.get_token()));
    }
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(line_.Read(999), "ab");
}

// Listening, bytes come marked as a POSIX tty marks them: a real 0377 doubled.
TEST_F(WindowsLineTest, ListeningDoublesA0377) {
    ASSERT_EQ(line_.Open(
                  {.line = {.com = std::nullopt, .device = port_}, .baud = 115200, .listen = true}),
              1);
    line_.Write(std::string("a\xFF", 2));  // the echo stands in for a bus
    ASSERT_TRUE(AwaitCount(3));
    EXPECT_EQ(line_.Read(999), std::string("a\xFF\xFF", 3));
}

// A COM port with nothing behind it is a device that is not there, as a
// missing device is on Linux.
TEST_F(WindowsLineTest, PortThatDoesNotExistIsADeviceNotFound) {
    PortLine line;
    try {
        line.Open({.line = {.com = 98, .device = "COM98"}, .baud = 9600});
        ADD_FAILURE() << "COM98 opened";
    } catch (const PortFailure& failure) {
        EXPECT_EQ(failure.Error(), LineError::DeviceNotFound) << failure.Description();
        EXPECT_FALSE(failure.Description().empty());
    }
}

}  // namespace

}  // namespace probelyn
