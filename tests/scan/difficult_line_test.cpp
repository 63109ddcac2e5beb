// Scans over difficult lines: the scan loop through the real serial line on a
// pseudo-terminal against the simulated instrument, stations 1 to 6 at all ten
// rates. Each line gives the expected report or none, never a wrong station.
#include <gtest/gtest.h>

#include "fake_scan_host.h"
#include "instrument.h"
#include "scan_run.h"
#include "serial_line.h"

namespace {

struct DifficultLine {
    const char* name;
    InstrumentConfig instrument;
    int protocolIndex;   // as the protocol list orders them
    const char* report;  // nothing when no instrument may be reported
};

void PrintTo(const DifficultLine& line, std::ostream* out) {
    *out << line.name;
}

class DifficultLineTest : public testing::TestWithParam<DifficultLine> {};

TEST_P(DifficultLineTest, ReportsTheTrueStationOrNothing) {
    const DifficultLine& c = GetParam();
    Instrument instrument(c.instrument);
    SerialLine line(ComPortNames::FromDevices({instrument.Device()}));
    PortAccess access(line);
    SteadyClock clock;
    FakeScanHost host;
    ScanRun run(host, line, access, kBaudTable, clock);
    const int p = c.protocolIndex;
    run.DetectionEngine(1, 6, p == 0, p == 1, p == 2);
    if (c.report == nullptr) {
        EXPECT_TRUE(host.found.empty()) << host.found.front();
    } else {
        ASSERT_EQ(host.found.size(), 1U);
        EXPECT_EQ(host.found[0], c.report);
    }
}

// An instrument at station 5 at 460800 baud, replying delay_ms after the
// request, behind an adapter that echoes requests or not.
DifficultLine Line(const char* name, Protocol protocol, int protocolIndex, int delay_ms, bool echo,
                   const char* report) {
    return {
        name,
        {.protocol = protocol, .baud = 460800, .station = 5, .delay_ms = delay_ms, .echo = echo},
        protocolIndex,
        report};
}

INSTANTIATE_TEST_SUITE_P(Lines, DifficultLineTest,
                         testing::Values(
                             // A reply 70 ms after the request, where the wait is 50 ms: it lands
                             // in the next station's wait.
                             Line("LateAscii", Protocol::Ascii, 1, 70, false, nullptr),
                             // An adapter that echoes every request, the reply 3 ms after the echo.
                             Line("EchoAscii", Protocol::Ascii, 1, 3, true,
                                  "ASCII device on COM1 at 460800 baudrate on station 5"),
                             Line("EchoModbus", Protocol::Modbus, 2, 3, true,
                                  "ModBus device on COM1 at 460800 baudrate on station 5"),
                             Line("EchoLyraBus", Protocol::LyraBus, 0, 3, true,
                                  "Lyrabus device on COM1 at 460800 baudrate on station 5")),
                         [](const testing::TestParamInfo<DifficultLine>& row) {
                             return std::string(row.param.name);
                         });

}  // namespace
