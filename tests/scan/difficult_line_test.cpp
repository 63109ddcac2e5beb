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

constexpr int kFastest = 460800;

INSTANTIATE_TEST_SUITE_P(
    Lines, DifficultLineTest,
    testing::Values(
        // A reply 70 ms after the request, where the wait is 50 ms: it lands in
        // the next station's wait.
        DifficultLine{"LateAscii",
                      {.protocol = Protocol::Ascii, .baud = kFastest, .station = 5, .delay_ms = 70},
                      1,
                      nullptr},
        DifficultLine{
            "LateLyraBus",
            {.protocol = Protocol::LyraBus, .baud = kFastest, .station = 5, .delay_ms = 70},
            0,
            nullptr},
        // An adapter that echoes every request, the reply 3 ms after the echo.
        DifficultLine{"EchoAscii",
                      {.protocol = Protocol::Ascii,
                       .baud = kFastest,
                       .station = 5,
                       .delay_ms = 3,
                       .echo = true},
                      1,
                      "ASCII device on COM1 at 460800 baudrate on station 5"},
        DifficultLine{"EchoModbus",
                      {.protocol = Protocol::Modbus,
                       .baud = kFastest,
                       .station = 5,
                       .delay_ms = 3,
                       .echo = true},
                      2,
                      "ModBus device on COM1 at 460800 baudrate on station 5"},
        DifficultLine{"EchoLyraBus",
                      {.protocol = Protocol::LyraBus,
                       .baud = kFastest,
                       .station = 5,
                       .delay_ms = 3,
                       .echo = true},
                      0,
                      "Lyrabus device on COM1 at 460800 baudrate on station 5"},
        // Random bytes all the time and no instrument at these stations.
        DifficultLine{
            "StaticAscii",
            {.protocol = Protocol::Ascii, .baud = kFastest, .station = 999, .static_noise = true},
            1,
            nullptr}),
    [](const testing::TestParamInfo<DifficultLine>& row) { return std::string(row.param.name); });

}  // namespace
