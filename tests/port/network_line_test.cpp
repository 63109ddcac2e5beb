// Lines over the network against servers of the test's own on the
// loopback, each playing a part: a fair RFC 2217 server and hostile ones.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>
#include <utility>

#include "byte_string.h"
#include "port_failure.h"
#include "port_line.h"

namespace probelyn {

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int IAC = 255, DO = 253, DONT = 254, WILL = 251, SB = 250, SE = 240;

// Reads what the client sent within the time; empty when nothing came or
// the client is gone.
std::string Receive(int fd, int ms) {
    pollfd ready{fd, POLLIN, 0};
    char bytes[4096];
    if (::poll(&ready, 1, ms) <= 0) {
        return {};
    }
    const ssize_t n = ::recv(fd, bytes, sizeof bytes, 0);
    return n > 0 ? std::string(bytes, static_cast<std::size_t>(n)) : std::string();
}

void Send(int fd, const std::string& bytes) {
    [[maybe_unused]] const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

// A server on 127.0.0.1 that plays `part` with each client it accepts.
class Server {
  public:
    using Part = std::function<void(int fd, const std::atomic<bool>& ending)>;

    explicit Server(Part part) : part_(std::move(part)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length);
        ::listen(listener_, 4);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~Server() {
        ending_ = true;
        thread_.join();
        ::close(listener_);
    }

    // The line at this server, named as --port names it.
    LineName Line(const std::string& scheme = "rfc2217") const {
        return *ParseLineName(scheme + "://127.0.0.1:" + std::to_string(port_)).line;
    }
    int Accepted() const { return accepted_; }

  private:
    void Serve() {
        while (!ending_) {
            pollfd ready{listener_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) {
                continue;
            }
            const int fd = ::accept(listener_, nullptr, nullptr);
            ++accepted_;
            part_(fd, ending_);
            ::close(fd);
        }
    }

    Part part_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> ending_{false};
    std::atomic<int> accepted_{0};
    std::thread thread_;
};

// The options agreed at once, as a real server does.
const std::string kAgreed = Bytes({IAC, DO, 44, IAC, DO, 0, IAC, WILL, 0});

// What a fair server does beyond answering each setting with its own value.
struct Fairness {
    int rate = 0;               // answered for every rate asked, where given
    int parity = 0;             // answered for every parity asked, where given
    std::string beforeAnswer;   // data sent before each answer
    std::string afterSettings;  // data sent 200 ms after the stop size's answer
    std::string afterPurge;     // data sent after a purge's answer
    std::string greeting;       // data sent with the options, before any setting
    std::string opened;         // sent once the line has opened (its first purges answered)
    int answeredPurges = 1000;  // the first ones only
    std::string late;           // data sent a while after an unanswered purge
    int firstRateDelayMs = 0;   // the first rate's answer held this long
    // What the client sent besides its settings.
    std::shared_ptr<std::string> said = std::make_shared<std::string>();
    // Every command asked, as "command=value" with the value in hex.
    std::shared_ptr<std::vector<std::string>> asked = std::make_shared<std::vector<std::string>>();
};

std::string Hex(const std::string& bytes) {
    std::string text;
    for (const char c : bytes) {
        char two[3];
        std::snprintf(two, sizeof two, "%02x", static_cast<unsigned char>(c));
        text += two;
    }
    return text;
}

Server::Part Fair(Fairness how = {}) {
    return [=](int fd, const std::atomic<bool>& ending) {
        int purges = 0;
        int delay = how.firstRateDelayMs;
        Send(fd, kAgreed + how.greeting + Bytes({IAC, WILL, 1}));
        std::string got;
        while (!ending) {
            const std::string more = Receive(fd, 20);
            got += more;
            *how.said += more;
            for (std::size_t at = got.find(Bytes({IAC, SB, 44})); at != std::string::npos;
                 at = got.find(Bytes({IAC, SB, 44}))) {
                const std::size_t end = got.find(Bytes({IAC, SE}), at);
                if (end == std::string::npos) {
                    break;
                }
                std::string value = got.substr(at + 4, end - at - 4);
                const int command = static_cast<unsigned char>(got[at + 3]);
                got.erase(0, end + 2);
                how.asked->push_back(std::to_string(command) + "=" + Hex(value));
                if (command == 1 && std::exchange(delay, 0) > 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(how.firstRateDelayMs));
                }
                if (command == 1 && how.rate > 0) {
                    value = Bytes(
                        {0, (how.rate >> 16) & 0xFF, (how.rate >> 8) & 0xFF, how.rate & 0xFF});
                }
                if (command == 3 && how.parity > 0) {
                    value = Bytes({how.parity});
                }
                if ((command == 5 && value != Bytes({1})) || command == 10) {
                    continue;  // modem lines and the mask: never answered, as on a pty
                }
                if (command == 12 && ++purges > how.answeredPurges) {
                    std::this_thread::sleep_for(1200ms);
                    Send(fd, how.late);
                    continue;
                }
                Send(fd, how.beforeAnswer + Bytes({IAC, SB, 44, command + 100}) + value +
                             Bytes({IAC, SE}) + (command == 12 ? how.afterPurge : ""));
                if (command == 4 && !how.afterSettings.empty()) {
                    std::this_thread::sleep_for(200ms);  // the settings' answers read by then
                    Send(fd, how.afterSettings);
                }
                if (command == 12 && purges == 3 && !how.opened.empty()) {
                    std::this_thread::sleep_for(100ms);
                    Send(fd, how.opened);
                }
            }
        }
    };
}

// How a line opened at 9600 ends: the failure's kind and text, and when.
struct Ending {
    LineError kind = LineError::None;
    std::string text;
    Clock::duration took{};
};

Ending OpenAt9600(const LineName& line) {
    PortLine serial;
    const Clock::time_point start = Clock::now();
    try {
        serial.Open({.line = line, .baud = 9600});
    } catch (const PortFailure& failure) {
        return {failure.Error(), failure.Description(), Clock::now() - start};
    }
    return {LineError::None, {}, Clock::now() - start};
}

// Servers that cannot or will not carry the line: each a clear failure of
// its own within a couple of seconds, however much they send.
TEST(NetworkLineTest, HostileServersFailClearlyAndSoon) {
    const struct {
        const char* name;
        Server::Part part;
        LineError kind;
        std::string text;
    } rows[] = {
        {"closes at once", [](int fd, const std::atomic<bool>&) { Receive(fd, 1000); },
         LineError::Network, "closed the connection"},
        {"never answers",
         [](int fd, const std::atomic<bool>& ending) {
             while (!ending && Receive(fd, 20).size() < 1000000) {
             }
         },
         LineError::Network, "did not agree to RFC 2217 within 1 s"},
        {"an endless subnegotiation",
         [](int fd, const std::atomic<bool>& ending) {
             Send(fd, kAgreed + Bytes({IAC, SB, 44, 107}));
             for (int i = 0; i < 1000 && !ending; ++i) {
                 Send(fd, std::string(4096, 'x'));
             }
         },
         LineError::Network, "a subnegotiation that does not end"},
        {"a flood of doubled 0xFF",
         [](int fd, const std::atomic<bool>& ending) {
             const std::string flood(64 * 1024, '\xFF');
             for (const Clock::time_point end = Clock::now() + 3s; !ending && Clock::now() < end;) {
                 Send(fd, flood);
             }
         },
         LineError::Network, "did not agree to RFC 2217 within 1 s"},
        {"no COM port option",
         [](int fd, const std::atomic<bool>&) {
             Send(fd, Bytes({IAC, DONT, 44}));
             Receive(fd, 2000);
         },
         LineError::Network, "does not carry a serial line"},
        {"settings never answered",
         [](int fd, const std::atomic<bool>& ending) {
             Send(fd, kAgreed);
             while (!ending) {
                 Receive(fd, 20);
             }
         },
         LineError::Network, "did not answer the line's settings within 1 s"},
        {"another rate", Fair({.rate = 38400}), LineError::RateNotApplied,
         " does not run at 9600 baud (the server set 38400)"},
        {"another parity", Fair({.parity = 3}), LineError::SettingRefused,
         " does not run at 8N1 (the server set 8E1)"},
        {"binary without the COM port option",
         [](int fd, const std::atomic<bool>& ending) {
             Send(fd, Bytes({IAC, DO, 0, IAC, WILL, 0}));
             while (!ending) {
                 Receive(fd, 20);
             }
         },
         LineError::Network, "did not agree to RFC 2217 within 1 s"},
    };
    for (const auto& row : rows) {
        Server server(row.part);
        const Ending ending = OpenAt9600(server.Line());
        EXPECT_EQ(ending.kind, row.kind) << row.name << ": " << ending.text;
        EXPECT_NE(ending.text.find(row.text), std::string::npos) << row.name << ": " << ending.text;
        EXPECT_LT(ending.took, 3s) << row.name;
    }
}

// One connection for the line's whole run: closed between settings, it is
// kept, and what came meanwhile is not read as a reply.
TEST(NetworkLineTest, OneConnectionFromSettingToSetting) {
    for (const std::string scheme : {"rfc2217", "tcp"}) {
        // Data comes with the answers and after them, as on a line at the
        // setting before.
        Server server(Fair({.beforeAnswer = "x", .afterSettings = "y"}));
        PortLine line;
        line.Open({.line = server.Line(scheme), .baud = 9600});
        // A raw line reads the server's options as data: they are in before
        // the line opens again, so that they are not taken for a reply.
        for (int i = 0; i < 200 && scheme == "tcp" && line.InputCount() < 12; ++i) {
            line.WaitForInput(10ms, {});
        }
        line.Close();
        line.Open({.line = server.Line(scheme), .baud = 19200});
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(line.InputCount(), 0) << scheme;
        line.Open({.line = server.Line(scheme), .baud = 38400});  // set anew, open
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(line.InputCount(), 0) << scheme;
        line.Close();
        for (int i = 0; i < 100 && server.Accepted() == 0; ++i) {
            std::this_thread::sleep_for(10ms);  // a raw connection is taken before it is accepted
        }
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(server.Accepted(), 1) << scheme;
        const LineTiming timing = [&] {
            line.Open({.line = server.Line(scheme), .baud = 9600});
            return line.Timing();
        }();
        EXPECT_TRUE(timing.network);
        EXPECT_GE(timing.replyMarginMs, 5);
        EXPECT_GE(timing.quietFloor, 20ms);
        Server another(Fair({}));  // another line: a connection of its own
        line.Open({.line = another.Line(scheme), .baud = 9600});
        for (int i = 0; i < 100 && another.Accepted() == 0; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(another.Accepted(), 1) << scheme;
    }
}

// The first answer of a connection may come late (a server opening its
// device, many lines opening at once): the margin is the shortest round
// trip's, not that one's.
TEST(NetworkLineTest, ALateFirstAnswerDoesNotWidenTheWindows) {
    Server server(Fair({.firstRateDelayMs = 300}));
    PortLine line;
    line.Open({.line = server.Line(), .baud = 9600});
    EXPECT_LT(line.Timing().replyMarginMs, 300);
}

// What a server sent before it hung up is read; the hang-up then fails the
// line.
TEST(NetworkLineTest, BytesBeforeAHangUpAreRead) {
    std::atomic<bool> sent = false;
    Server server([&sent](int fd, const std::atomic<bool>& ending) {
        while (!ending && Receive(fd, 20).empty()) {
        }
        Send(fd, "bye");  // a reply, and the connection ends
        sent = true;
    });
    PortLine line;
    line.Open({.line = server.Line("tcp"), .baud = 9600});
    line.Write("?");
    for (int i = 0; i < 500 && !sent; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(50ms);  // the hang-up follows
    ASSERT_TRUE(line.WaitForInput(2s, {}));
    EXPECT_EQ(line.Read(100), "bye");
    EXPECT_THROW(line.InputCount(), PortFailure);
}

// A server that stops reading fails a write within seconds: the line never
// hangs on it.
TEST(NetworkLineTest, AServerThatStopsReadingFailsAWrite) {
    Server server([](int, const std::atomic<bool>& ending) {
        while (!ending) {
            std::this_thread::sleep_for(20ms);
        }
    });
    PortLine line;
    line.Open({.line = server.Line("tcp"), .baud = 9600});
    const Clock::time_point start = Clock::now();
    try {
        line.Write(std::string(std::size_t{64} << 20, 'x'));  // beyond both ends' buffers
        ADD_FAILURE() << "written";
    } catch (const PortFailure& failure) {
        EXPECT_NE(std::string(failure.what()).find("no room to send to"), std::string::npos)
            << failure.what();
    }
    EXPECT_LT(Clock::now() - start, 10s);
}

// A raw line's discard takes what the socket holds with it.
TEST(NetworkLineTest, ARawDiscardDropsWhatCame) {
    std::atomic<bool> sent = false;
    Server server([&sent](int fd, const std::atomic<bool>& ending) {
        Send(fd, "stale");  // in the line's socket once sent, on the loopback
        sent = true;
        while (!ending) {
            Receive(fd, 20);
        }
    });
    PortLine line;
    line.Open({.line = server.Line("tcp"), .baud = 9600});
    for (int i = 0; i < 500 && !sent; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    line.DiscardInput();
    EXPECT_EQ(line.InputCount(), 0);
}

// Each setting is asked for as the line opens at it: rate, 8 data bits,
// parity, stop bits, no flow control, and DTR and RTS raised to probe or
// lowered to listen, with the errors reported then and marked in the data.
TEST(NetworkLineTest, EverySettingIsAskedOfTheServer) {
    const struct {
        LineSettings settings;
        std::vector<std::string> asked;
        std::string data;  // after a framing error and an "x"
    } rows[] = {
        {{.baud = 19200, .framing = {Parity::Odd, 1}},
         {"1=00004b00", "2=08", "3=02", "4=01", "5=01", "5=08", "5=0b"},
         "x"},
        {{.baud = 460800, .framing = {Parity::Even, 2}, .listen = true},
         {"1=00070800", "2=08", "3=03", "4=02", "5=01", "5=09", "5=0c", "10=1c"},
         Bytes({0xFF, 0, 0, 'x'})},
    };
    for (const auto& row : rows) {
        const Fairness how{.opened = Bytes({IAC, SB, 44, 106, 0x08, IAC, SE, 'x'})};
        Server server(Fair(how));
        PortLine line;
        LineSettings settings = row.settings;
        settings.line = server.Line();
        line.Open(settings);
        const std::vector<std::string> opening(how.asked->begin(),
                                               how.asked->begin() + row.asked.size());
        EXPECT_EQ(opening, row.asked);
        EXPECT_NE(how.said->find(Bytes({IAC, DONT, 1})), std::string::npos);  // no echo
        line.WaitForInput(2s, {});
        std::this_thread::sleep_for(50ms);
        EXPECT_EQ(line.Read(100), row.data);
    }
}

// Bytes the server had on their way when the line opened or was discarded
// are dropped up to the answers; those after them are the reply. A purge
// the server never answers drops data for a second at most.
TEST(NetworkLineTest, ADiscardDropsWhatWasOnItsWay) {
    Server server(Fair({.beforeAnswer = "stale", .afterPurge = "reply", .greeting = "hello"}));
    PortLine line;
    line.Open({.line = server.Line(), .baud = 9600});
    EXPECT_EQ(line.InputCount(), 0);
    line.DiscardInput();
    EXPECT_TRUE(line.WaitForInput(2s, {}));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(line.Read(100), "reply");

    Server silent(Fair({.answeredPurges = 3, .late = "late"}));  // those that time the line
    PortLine other;
    other.Open({.line = silent.Line(), .baud = 9600});
    other.DiscardInput();
    for (int i = 0; i < 500 && other.InputCount() == 0; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(other.InputCount(), 4);
}

}  // namespace

}  // namespace probelyn
