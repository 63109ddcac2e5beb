// The probes through the real serial line on pseudo-terminals, against the
// instrument simulator and a libmodbus server.
#include <gtest/gtest.h>

#include "instrument.h"
#include "modbus_peer.h"
#include "port_line.h"
#include "probes.h"
#include "scan_plan.h"

namespace probelyn {

namespace {

// A wait well beyond any simulated reply's delay, so that a busy machine does
// not turn a find into a miss; what is tested here is the judgement of replies.
constexpr int kT = 150;

struct Scanner {
    explicit Scanner(const std::string& device)
        : line(ComPortNames::FromDevices({device})), wait(line, clock), probes(line, wait) {}
    void OpenAt(int rate) { ASSERT_EQ(line.Open({.line = {.com = 1}, .baud = rate}), 1); }
    bool Probe(Protocol protocol, int station) {
        bool found = false;
        switch (protocol) {
            case Protocol::Ascii:
                found = probes.ProbeAscii(station, kT);
                break;
            case Protocol::Modbus:
                found = probes.ProbeModbus(station, kT);
                break;
            case Protocol::LyraBus:
                found = probes.ProbeLyraBus(station, kT);
                break;
        }
        if (!found) {
            line.DiscardInput();
        }
        return found;
    }

    PortLine line;
    SteadyClock clock;
    ReplyWait wait;
    Probes probes;
};

const char* Name(Protocol p) {
    return p == Protocol::Ascii ? "ascii" : p == Protocol::Modbus ? "modbus" : "lyrabus";
}

class ProbeLineTest : public testing::TestWithParam<Protocol> {};

TEST_P(ProbeLineTest, FindsTheInstrumentAtEveryScanRateAndNotAtAnother) {
    const Protocol protocol = GetParam();
    for (std::size_t index = 0; index < kScanRates.size(); ++index) {
        const int rate = kScanRates[index];
        const int station = protocol == Protocol::Ascii ? 300 : 138;
        Instrument instrument({.protocol = protocol, .baud = rate, .station = station});
        Scanner scanner(instrument.Device());
        scanner.OpenAt(rate);
        EXPECT_FALSE(scanner.Probe(protocol, station - 1)) << Name(protocol) << " " << rate;
        EXPECT_TRUE(scanner.Probe(protocol, station)) << Name(protocol) << " " << rate;
        scanner.OpenAt(kScanRates[(index + 1) % kScanRates.size()]);
        EXPECT_FALSE(scanner.Probe(protocol, station)) << Name(protocol) << " wrong rate";
    }
}

TEST_P(ProbeLineTest, NoiseAtWrongRatesIsNeverAFind) {
    const Protocol protocol = GetParam();
    Instrument instrument({.protocol = protocol, .baud = 76800, .station = 5, .noise = true});
    Scanner scanner(instrument.Device());
    for (int rate : {460800, 115200, 9600}) {
        scanner.OpenAt(rate);
        for (int station = 4; station <= 6; ++station) {
            EXPECT_FALSE(scanner.Probe(protocol, station)) << Name(protocol) << " " << rate;
        }
    }
    EXPECT_EQ(instrument.Requests(), 9);
    scanner.OpenAt(76800);
    EXPECT_TRUE(scanner.Probe(protocol, 5));
}

INSTANTIATE_TEST_SUITE_P(Protocols, ProbeLineTest,
                         testing::Values(Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus),
                         [](const auto& p) { return std::string(Name(p.param)); });

TEST(ProbeLineRobustnessTest, RepliesInPiecesArriveWholePartialOnesDoNot) {
    {
        Instrument split(
            {.protocol = Protocol::LyraBus, .baud = 57600, .station = 9, .pieces = 4, .gap_ms = 5});
        Scanner scanner(split.Device());
        scanner.OpenAt(57600);
        EXPECT_TRUE(scanner.Probe(Protocol::LyraBus, 9));
    }
    {
        Instrument partial(
            {.protocol = Protocol::LyraBus, .baud = 57600, .station = 9, .partial = 10});
        Scanner scanner(partial.Device());
        scanner.OpenAt(57600);
        EXPECT_FALSE(scanner.Probe(Protocol::LyraBus, 9));
    }
    {
        Instrument late(
            {.protocol = Protocol::Ascii, .baud = 57600, .station = 9, .delay_ms = kT + 100});
        Scanner scanner(late.Device());
        scanner.OpenAt(57600);
        EXPECT_FALSE(scanner.Probe(Protocol::Ascii, 9));
    }
}

TEST(ProbeLineRobustnessTest, BabblingLineGivesNoFalseFind) {
    Instrument babbler(
        {.protocol = Protocol::Modbus, .baud = 9600, .station = 200, .babble = true});
    Scanner scanner(babbler.Device());
    scanner.OpenAt(19200);
    for (int station = 1; station <= 3; ++station) {
        EXPECT_FALSE(scanner.Probe(Protocol::Modbus, station));
        EXPECT_FALSE(scanner.Probe(Protocol::LyraBus, station));
        EXPECT_FALSE(scanner.Probe(Protocol::Ascii, station));
    }
}

TEST(ModbusPeerTest, LibmodbusServerIsFoundAtItsStationOnly) {
    ModbusPeer peer(7, 19200);
    Scanner scanner(peer.Device());
    scanner.OpenAt(19200);
    EXPECT_FALSE(scanner.Probe(Protocol::Modbus, 6));
    EXPECT_TRUE(scanner.Probe(Protocol::Modbus, 7));
    scanner.line.DiscardInput();
    EXPECT_FALSE(scanner.Probe(Protocol::Modbus, 8));
    EXPECT_TRUE(scanner.Probe(Protocol::Modbus, 7));

    const std::vector<ModbusPeer::Request> requests = peer.Requests();
    ASSERT_EQ(requests.size(), 2U);  // only those to its own station decode as its own
    for (const ModbusPeer::Request& r : requests) {
        EXPECT_EQ(r.slave, 7);
        EXPECT_EQ(r.function, 3);
        EXPECT_EQ(r.address, 60);
        EXPECT_EQ(r.quantity, 2);
    }
}

}  // namespace

}  // namespace probelyn
