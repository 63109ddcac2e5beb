// probelyn-scan on instruments behind a real serial device server (ser2net)
// on this machine's loopback: RFC 2217 and raw TCP, as a script runs it.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "bus_line.h"
#include "child_process.h"
#include "instrument.h"
#include "serial_server.h"
#include "temp_folder.h"

namespace probelyn {

namespace {

using Args = std::vector<std::string>;

struct Ran {
    int status = -1;
    std::string out;
    std::string err;
};

Ran Scan(const Args& args) {
    ChildProcess scan;
    scan.Start(PROBELYN_SCAN, args);
    EXPECT_TRUE(scan.WaitForFinished(60000));
    return {scan.ExitCode(), scan.Out(), scan.Err()};
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

class NetworkScanTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SerialServer::Installed()) << "ser2net is missing: scripts/setup installs it";
    }
    // An instrument behind a server of its own; the line's name for --port.
    std::string Served(const InstrumentConfig& config, SerialServer::Setup setup = {}) {
        instruments_.push_back(std::make_unique<Instrument>(config));
        return Serve(*instruments_.back(), setup);
    }
    template <typename Device>
    std::string Serve(Device& device, const SerialServer::Setup& setup) {
        return ServeAll({Link(device)}, setup).front();
    }
    template <typename Device>
    std::string Link(Device& device) {
        const std::string link = dir_.FilePath("ttyServed" + std::to_string(++links_));
        device.LinkAt(link);
        return link;
    }
    // The linked devices served by one server, each on a port of its own;
    // their lines' names for --port.
    std::vector<std::string> ServeAll(std::vector<std::string> links, SerialServer::Setup setup) {
        setup.devices = std::move(links);
        setup.folder = dir_.Path();
        servers_.push_back(std::make_unique<SerialServer>(setup));
        EXPECT_TRUE(servers_.back()->Serving());
        const std::string host = setup.address.find(':') != std::string::npos
                                     ? "[" + setup.address + "]"
                                     : setup.address;
        std::vector<std::string> names;
        for (const int port : servers_.back()->Ports()) {
            names.push_back((setup.rfc2217 ? "rfc2217://" : "tcp://") + host + ":" +
                            std::to_string(port));
        }
        return names;
    }

    TempFolder dir_;
    std::vector<std::unique_ptr<Instrument>> instruments_;
    std::vector<std::unique_ptr<BusLine>> buses_;
    std::vector<std::unique_ptr<SerialServer>> servers_;
    int links_ = 0;
};

// Each protocol at a rate the server was not set to, at stations whose
// frames hold 0xFF (doubled on the way, both ways), and an odd-parity
// instrument in the second sweep of framings only.
TEST_F(NetworkScanTest, Rfc2217FindsEveryProtocolAtTheRateAndFramingAsked) {
    struct Row {
        InstrumentConfig instrument;
        Args args;
        std::string found;
    };
    const Row rows[] = {
        {{.protocol = Protocol::Modbus, .baud = 57600, .station = 255},
         {"--protocol", "modbus", "--rate", "115200,57600", "--station", "254-255", "--framing",
          "8N1"},
         "ModBus device on LINE at 57600 baudrate on station 255, 8N1\n"},
        {{.protocol = Protocol::LyraBus, .baud = 19200, .station = 255},
         {"--protocol", "lyrabus", "--rate", "38400,19200", "--station", "254-255", "--framing",
          "8N1"},
         "Lyrabus device on LINE at 19200 baudrate on station 255, 8N1\n"},
        {{.protocol = Protocol::Ascii, .baud = 4800, .station = 12},
         {"--protocol", "ascii", "--rate", "4800", "--station", "11-12", "--framing", "8N1"},
         "ASCII device on LINE at 4800 baudrate on station 12, 8N1\n"},
        {{.protocol = Protocol::Modbus, .baud = 38400, .station = 3, .framing = {Parity::Odd}},
         {"--protocol", "modbus", "--rate", "38400", "--station", "2-3", "--framing", "8N1,8O1"},
         "ModBus device on LINE at 38400 baudrate on station 3, 8O1\n"},
    };
    for (const Row& row : rows) {
        const std::string line = Served(row.instrument);
        Args args = {"--port", line};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Ran ran = Scan(args);
        std::string found = row.found;
        found.replace(found.find("LINE"), 4, line);
        EXPECT_EQ(ran.status, 0) << ran.err;
        EXPECT_EQ(ran.out, found) << ran.err;
        // Said once, however many settings the line opens at.
        EXPECT_EQ(Count(ran.err, "probelyn-scan: " + line + ": round trip "), 1) << ran.err;
    }
    // Odd parity is not there in a sweep of 8N1 alone.
    const std::string odd = Served(
        {.protocol = Protocol::Modbus, .baud = 38400, .station = 3, .framing = {Parity::Odd}});
    const Ran none = Scan({"--port", odd, "--protocol", "modbus", "--rate", "38400", "--station",
                           "3", "--framing", "8N1"});
    EXPECT_EQ(none.status, 1) << none.err;
}

// With no option but the line, an instrument at any framing is found, even
// parity included, behind the simulator's own server, which answers only at
// the rate and framing it is set to: the likely stations first, each at
// every setting; the last behind a server that leaves purges unanswered.
TEST_F(NetworkScanTest, EveryFramingIsFoundWithNoOptions) {
    const struct {
        InstrumentConfig instrument;
        const char* found;
    } rows[] = {
        {{.protocol = Protocol::Modbus, .baud = 19200, .station = 1, .framing = {Parity::Even, 1}},
         "ModBus device on LINE at 19200 baudrate on station 1, 8E1\n"},
        {{.protocol = Protocol::LyraBus, .baud = 2400, .station = 1, .framing = {Parity::Odd, 1}},
         "Lyrabus device on LINE at 2400 baudrate on station 1, 8O1\n"},
        {{.protocol = Protocol::Ascii, .baud = 460800, .station = 1, .framing = {Parity::None, 2}},
         "ASCII device on LINE at 460800 baudrate on station 1, 8N2\n"},
        {{.protocol = Protocol::Modbus, .baud = 9600, .station = 5, .answerPurges = false},
         "ModBus device on LINE at 9600 baudrate on station 5, 8N1\n"},
    };
    std::vector<std::unique_ptr<ChildProcess>> scans;
    for (const auto& row : rows) {
        InstrumentConfig config = row.instrument;
        config.serve = "rfc2217://127.0.0.1:0";
        instruments_.push_back(std::make_unique<Instrument>(config));
        scans.push_back(std::make_unique<ChildProcess>());
        scans.back()->Start(PROBELYN_SCAN, {"--port", instruments_.back()->Device()});
    }
    for (std::size_t i = 0; i < scans.size(); ++i) {
        ASSERT_TRUE(scans[i]->WaitForFinished(60000));
        std::string found = rows[i].found;
        found.replace(found.find("LINE"), 4, instruments_[i]->Device());
        EXPECT_EQ(scans[i]->ExitCode(), 0) << scans[i]->Err();
        EXPECT_EQ(scans[i]->Out(), found) << scans[i]->Err();
        EXPECT_FALSE(Contains(scans[i]->Err(), "cannot")) << scans[i]->Err();
    }
}

TEST_F(NetworkScanTest, JsonSaysTheRoundTripAndMargin) {
    const std::string line = Served({.protocol = Protocol::Modbus, .baud = 9600, .station = 2});
    const Ran ran = Scan({"--port", line, "--json", "--protocol", "modbus", "--rate", "19200,9600",
                          "--station", "1-2"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(Contains(ran.out, "{\"event\":\"network\",\"port\":\"" + line +
                                      "\",\"com\":null,\"round_trip_ms\":"))
        << ran.out;
    EXPECT_TRUE(Contains(ran.out, "\"protocol\":\"modbus\",\"baud\":9600,\"station\":2,"))
        << ran.out;
}

TEST_F(NetworkScanTest, AServerKilledMidScanEndsTheLinesRun) {
    const std::string line = Served({.protocol = Protocol::Modbus, .baud = 9600, .station = 1});
    ChildProcess scan;
    scan.Start(PROBELYN_SCAN, {"--port", line, "--protocol", "modbus", "--rate", "460800,230400",
                               "--station", "1-50", "--framing", "8N1", "--order", "as-given"});
    for (int i = 0; i < 500 && instruments_.back()->Requests() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GT(instruments_.back()->Requests(), 0);
    servers_.back()->Kill();
    ASSERT_TRUE(scan.WaitForFinished(10000));
    EXPECT_EQ(scan.ExitCode(), 2);
    EXPECT_TRUE(Contains(scan.Err(), "probelyn-scan: " + line + ": lost at station "))
        << scan.Err();
    EXPECT_TRUE(Contains(scan.Err(), ": the scan could not finish; not tried: stations "))
        << scan.Err();
}

TEST_F(NetworkScanTest, AListenThroughRfc2217IdentifiesTheBus) {
    buses_.push_back(
        std::make_unique<BusLine>(BusConfig{Protocol::Modbus, {19200, {}}, {3, 7}, {3, 7}}));
    const std::string line = Serve(*buses_.back(), {});
    const Ran heard = Scan({"--listen", "--port", line, "--rate", "38400,19200", "--framing", "8N1",
                            "--dwell-ms", "600"});
    EXPECT_EQ(heard.status, 0) << heard.err;
    EXPECT_TRUE(Contains(
        heard.out,
        "Modbus traffic on " + line + " at 19200 baud, 8N1: master polls 3, 7; answers from 3, 7"))
        << heard.out << heard.err;
    EXPECT_EQ(buses_.back()->BytesWritten(), 0);
}

// Raw TCP at the server's own rate: found there, the rate as given; a
// listen says once that it judges by frames alone.
TEST_F(NetworkScanTest, RawTcpFindsAtTheServersRate) {
    const std::string line = Served({.protocol = Protocol::LyraBus, .baud = 19200, .station = 9},
                                    {.rfc2217 = false, .setting = "19200n81"});
    const Ran ran =
        Scan({"--port", line, "--protocol", "lyrabus", "--rate", "19200", "--station", "8-9"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "Lyrabus device on " + line +
                           " at 19200 baudrate on station 9, 8N1 (rate and framing as given: a "
                           "raw TCP line cannot set them)\n");
    buses_.push_back(
        std::make_unique<BusLine>(BusConfig{Protocol::Modbus, {9600, {}}, {4, 5}, {4, 5}}));
    const std::string bus = Serve(*buses_.back(), {.rfc2217 = false});
    const Ran heard = Scan({"--listen", "--port", bus, "--rate", "9600", "--dwell-ms", "800"});
    EXPECT_EQ(heard.status, 0) << heard.err;
    EXPECT_TRUE(Contains(heard.err, bus + ": a raw TCP line can neither lower the modem lines nor "
                                          "mark errors; the listen judges by frames alone\n"))
        << heard.err;
}

TEST_F(NetworkScanTest, Ipv6Loopback) {
    if (FreePort("::1") == 0) {
        GTEST_SKIP() << "this machine has no IPv6 loopback";
    }
    const std::string line =
        Served({.protocol = Protocol::Modbus, .baud = 9600, .station = 4}, {.address = "::1"});
    const Ran ran =
        Scan({"--port", line, "--protocol", "modbus", "--rate", "9600", "--station", "4"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_EQ(ran.out, "ModBus device on " + line + " at 9600 baudrate on station 4, 8N1\n");
}

// Lines that cannot be reached, each said once with the server's address
// and the system's reason, and status 2; names of one server's port merged.
TEST_F(NetworkScanTest, UnreachableLinesAreTrouble) {
    const int closed = FreePort("127.0.0.1");
    struct Row {
        std::string port;
        std::string said;
    };
    const Row rows[] = {
        {"rfc2217://127.0.0.1:" + std::to_string(closed),
         "cannot open at 9600 baud, 8N1: cannot connect to 127.0.0.1:" + std::to_string(closed) +
             ": Connection refused\n"},
        {"rfc2217://no-such-host.invalid:4001",
         "cannot open at 9600 baud, 8N1: cannot resolve "
         "no-such-host.invalid: "},
    };
    std::vector<Row> all(std::begin(rows), std::end(rows));
    if (const int closed6 = FreePort("::1"); closed6 != 0) {  // the host in brackets
        all.push_back({"rfc2217://[::1]:" + std::to_string(closed6),
                       "cannot open at 9600 baud, 8N1: cannot connect to [::1]:" +
                           std::to_string(closed6) + ": Connection refused\n"});
    }
    for (const Row& row : all) {
        const Ran ran = Scan({"--port", row.port, "--rate", "9600,4800", "--station", "1"});
        EXPECT_EQ(ran.status, 2) << ran.err;
        EXPECT_TRUE(Contains(ran.err, "probelyn-scan: " + row.port + ": " + row.said)) << ran.err;
        EXPECT_FALSE(Contains(ran.err, "4800")) << ran.err;
    }
    const std::string line = Served({.protocol = Protocol::Modbus, .baud = 9600, .station = 1});
    const std::string alias = "rfc2217://localhost" + line.substr(line.rfind(':'));
    const Ran merged = Scan({"--port", line, "--port", alias, "--protocol", "modbus", "--rate",
                             "9600", "--station", "1"});
    EXPECT_EQ(merged.status, 0) << merged.err;
    EXPECT_TRUE(Contains(merged.err,
                         alias + " is the server's port " + line + " leads to; it is scanned once"))
        << merged.err;
}

// Two ports of one server are two lines, each scanned to its own find.
TEST_F(NetworkScanTest, TwoPortsOfOneServerAreTwoLines) {
    instruments_.push_back(std::make_unique<Instrument>(
        InstrumentConfig{.protocol = Protocol::Modbus, .baud = 9600, .station = 2}));
    instruments_.push_back(std::make_unique<Instrument>(
        InstrumentConfig{.protocol = Protocol::Ascii, .baud = 19200, .station = 1}));
    const std::vector<std::string> lines =
        ServeAll({Link(*instruments_[0]), Link(*instruments_[1])}, {});
    const Ran ran = Scan({"--port", lines[0], "--port", lines[1], "--each", "--rate", "19200,9600",
                          "--station", "1-2", "--framing", "8N1"});
    EXPECT_EQ(ran.status, 0) << ran.err;
    EXPECT_TRUE(
        Contains(ran.out, "ModBus device on " + lines[0] + " at 9600 baudrate on station 2, 8N1\n"))
        << ran.out;
    EXPECT_TRUE(
        Contains(ran.out, "ASCII device on " + lines[1] + " at 19200 baudrate on station 1, 8N1\n"))
        << ran.out;
    EXPECT_FALSE(Contains(ran.err, "scanned once")) << ran.err;
}

// Ctrl-C while a server keeps the line waiting for its answers, and during
// a listen's dwell on a network line, ends the run within half a second,
// with nothing said of the line.
TEST_F(NetworkScanTest, CtrlCEndsAWaitOnTheNetwork) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), length);
    ::listen(listener, 4);  // connections complete, and nothing answers them
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string silent = "rfc2217://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    const std::string served = Served({.protocol = Protocol::Modbus, .baud = 9600, .station = 1});
    const Args runs[] = {
        {"--port", silent, "--rate", "9600", "--station", "1"},
        {"--listen", "--port", served, "--rate", "9600", "--dwell-ms", "60000"},
    };
    for (const Args& args : runs) {
        ChildProcess scan;
        scan.Start(PROBELYN_SCAN, args);
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        ::kill(scan.Pid(), SIGINT);
        EXPECT_TRUE(scan.WaitForFinished(500)) << args[1];
        ASSERT_TRUE(scan.WaitForFinished(10000));
        EXPECT_EQ(scan.ExitCode(), 130);
        EXPECT_TRUE(("\n" + scan.Err()).ends_with("\nprobelyn-scan: aborted\n")) << scan.Err();
        EXPECT_FALSE(Contains(scan.Err(), "cannot")) << scan.Err();
    }
    ::close(listener);
}

}  // namespace

}  // namespace probelyn
