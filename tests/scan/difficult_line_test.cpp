// Scans over difficult lines: the scan loop through the real serial line on a
// pseudo-terminal against the simulated instrument, stations 1 to 6 at all ten
// rates. Each line gives the expected report or none, never a wrong station.
#include <gtest/gtest.h>

#include "fake_scan_steps.h"
#include "framing.h"
#include "instrument.h"
#include "port_line.h"
#include "scan_run.h"

namespace probelyn {

namespace {

struct DifficultLine {
    const char* name;
    InstrumentConfig instrument;
    const char* report;  // nothing when no instrument may be reported
};

void PrintTo(const DifficultLine& line, std::ostream* out) {
    *out << line.name;
}

// The engine on the real line to a simulated instrument.
struct RealLineScan {
    explicit RealLineScan(const Instrument& instrument)
        : line(ComPortNames::FromDevices({instrument.Device()})),
          access(line),
          run(access, clock) {}
    ScanOutcome Sweep(const ScanPlan& plan) { return run.DetectNow(plan, steps, {}); }

    PortLine line;
    PortAccess access;
    SteadyClock clock;
    FakeScanSteps steps;
    ScanRun run;
};

class DifficultLineTest : public testing::TestWithParam<DifficultLine> {};

TEST_P(DifficultLineTest, ReportsTheTrueStationOrNothing) {
    const DifficultLine& c = GetParam();
    Instrument instrument(c.instrument);
    RealLineScan scan(instrument);
    ScanPlan plan;
    plan.protocols = {c.instrument.protocol};
    plan.lastStation = 6;
    const ScanOutcome outcome = scan.Sweep(plan);
    if (c.report == nullptr) {
        EXPECT_NE(outcome.kind, ScanOutcome::Kind::Found) << FoundText(outcome.find, {.com = 1});
    } else {
        ASSERT_EQ(outcome.kind, ScanOutcome::Kind::Found);
        EXPECT_EQ(FoundText(outcome.find, {.com = 1}), c.report);
    }
}

// An instrument at station 5 at 460800 baud, replying delay_ms after the
// request, behind an adapter that echoes requests or not.
DifficultLine Line(const char* name, Protocol protocol, int delay_ms, bool echo,
                   const char* report) {
    return {
        name,
        {.protocol = protocol, .baud = 460800, .station = 5, .delay_ms = delay_ms, .echo = echo},
        report};
}

INSTANTIATE_TEST_SUITE_P(Lines, DifficultLineTest,
                         testing::Values(
                             // A reply 70 ms after the request, where the wait is 50 ms: it lands
                             // in the next station's wait.
                             Line("LateAscii", Protocol::Ascii, 70, false, nullptr),
                             // An adapter that echoes every request, the reply 3 ms after the echo.
                             Line("EchoAscii", Protocol::Ascii, 3, true,
                                  "ASCII device on COM1 at 460800 baudrate on station 5"),
                             Line("EchoModbus", Protocol::Modbus, 3, true,
                                  "ModBus device on COM1 at 460800 baudrate on station 5"),
                             Line("EchoLyraBus", Protocol::LyraBus, 3, true,
                                  "Lyrabus device on COM1 at 460800 baudrate on station 5")),
                         [](const testing::TestParamInfo<DifficultLine>& row) {
                             return std::string(row.param.name);
                         });

}  // namespace

// An instrument set to odd parity answers only a sweep framed so.
TEST(FramingSweepTest, OddParityIsFoundOnlyWithOddParity) {
    Instrument instrument({.protocol = Protocol::Modbus,
                           .baud = 460800,
                           .station = 2,
                           .framing = {.parity = Parity::Odd, .stopBits = 1}});
    RealLineScan scan(instrument);
    ScanPlan plan;
    plan.protocols = {Protocol::Modbus};
    plan.lastStation = 3;
    plan.rates = {460800};
    for (const char* framing : {"8N1", "8O2", "8O1"}) {
        plan.framings = {*FramingNamed(framing)};
        const ScanOutcome outcome = scan.Sweep(plan);
        EXPECT_EQ(outcome.kind == ScanOutcome::Kind::Found, framing == std::string("8O1"))
            << framing;
    }
}

}  // namespace probelyn
