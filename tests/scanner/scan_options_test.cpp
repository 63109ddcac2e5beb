#include "scan_options.h"

#include <gtest/gtest.h>

#include "framing.h"

namespace probelyn {

namespace {

// Each command line is understood, or refused with a reason naming the
// option; the bounds are the ones the help gives.
TEST(ScanOptionsTest, CommandLineIsUnderstoodOrRefusedWithItsReason) {
    const struct {
        std::vector<std::string> args;
        const char* error;  // "" when understood
    } rows[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--all=1"}, "unknown option '--all=1'"},
        {{"--quiet", "--rate"}, "--rate needs a value"},
        {{"--rate", ""}, "--rate needs a value, not an empty one"},
        {{"--framing="}, "--framing needs a value, not an empty one"},
        {{"--trace", ""}, "--trace needs a value, not an empty one"},
        {{"--port="}, "--port needs a value, not an empty one"},
        {{"--rate", "9600,"}, "--rate takes rates in bit/s from 50 to 4000000, not ''"},
        {{"--rate=50,4000000"}, ""},
        {{"--rate", "4000001"}, "not '4000001'"},
        {{"--rate", "49"}, "not '49'"},
        {{"--extra-wait-ms", "10000"}, ""},
        {{"--extra-wait-ms", "10001"}, "from 0 to 10000, not '10001'"},
        {{"--station", "999", "--protocol", "ascii"}, ""},
        {{"--station", "1000", "--protocol", "ascii"}, "--station is A-B with 1 <= A <= B <= 999"},
        {{"--station", "5-3"}, "--station is A-B with 1 <= A <= B <= 999, not '5-3'"},
        {{"--station", "255", "--protocol", "modbus"}, ""},
        {{"--station", "256", "--protocol", "modbus"}, "need --protocol ascii alone"},
        {{"--station", "1-300", "--protocol", "ascii", "--protocol", "lyrabus"},
         "need --protocol ascii alone"},
        {{"--station", "300"}, "need --protocol ascii alone"},
        {{"--framing", "8n1,8o2"}, ""},
        {{"--framing", "8N1x"}, "not '8N1x'"},
        {{"--framing", "7E1"}, "not '7E1'"},
        {{"--protocol", "Modbus"}, "--protocol is ascii, modbus or lyrabus, not 'Modbus'"},
        {{"--listen", "--station", "1-3"}, "--station has no meaning with --listen"},
        {{"--all", "--listen"}, "--all has no meaning with --listen"},
        {{"--listen", "--extra-wait-ms=5"}, "--extra-wait-ms has no meaning with --listen"},
        {{"--dwell-ms", "500"}, "--dwell-ms is for --listen"},
        {{"--order", "as-given", "--each"}, ""},
        {{"--order=random"}, "--order is likely or as-given, not 'random'"},
        {{"--listen", "--order", "likely"}, "--order has no meaning with --listen"},
        {{"--each", "--all"}, "--each ends each line's scan at its first find, --all at none"},
        {{"--listen", "--dwell-ms", "99"}, "from 100 to 60000, not '99'"},
        {{"--listen", "--dwell-ms=60000", "--rate", "9600", "--framing", "8o1"}, ""},
        {{"--port", "rfc2217://[::1]:4001", "--port", "tcp://gw:1", "--port", "tcp://gw:65535",
          "--rate", "9600"},
         ""},
        {{"--port", "rfc2217://::1:4001"}, "an IPv6 address goes in brackets"},
        {{"--port", "rfc2217://gw"}, "HOST:PORT"},
        {{"--port", "tcp://gw:65536", "--rate", "9600"}, "from 1 to 65535, not '65536'"},
        {{"--port", "tcp://gw:1"}, "give that one rate with --rate"},
        {{"--port", "tcp://gw:1", "--rate", "9600,4800"}, "give that one rate with --rate"},
        {{"--port", "tcp://gw:1", "--rate", "9600", "--framing", "8N1,8E1"}, "one --framing"},
        {{"--listen", "--port", "tcp://gw:1", "--rate", "9600", "--framing", "8E1"}, ""},
    };
    for (const auto& row : rows) {
        const ParsedOptions parsed = ParseOptions(row.args);
        const std::string context = ::testing::PrintToString(row.args);
        if (*row.error == '\0') {
            EXPECT_EQ(parsed.error, "") << context;
        } else {
            EXPECT_NE(parsed.error.find(row.error), std::string::npos)
                << context << ": " << parsed.error;
        }
    }
}

TEST(ScanOptionsTest, DefaultsAreTheWholeScan) {
    const ScanPlan plan = ParseOptions({}).options.plan;
    EXPECT_EQ(plan.protocols,
              (std::vector<Protocol>{Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus}));
    EXPECT_EQ(plan.rates, std::vector<int>(kScanRates.begin(), kScanRates.end()));
    EXPECT_EQ(
        plan.framings,
        (std::vector<Framing>{Framing{}, {Parity::Even, 1}, {Parity::Odd, 1}, {Parity::None, 2}}));
    EXPECT_EQ(plan.order, ScanOrder::LikelyFirst);
    EXPECT_EQ(ParseOptions({"--order", "as-given"}).options.plan.order, ScanOrder::AsGiven);
    EXPECT_EQ(plan.firstStation, 1);
    EXPECT_EQ(plan.lastStation, 255);
    EXPECT_EQ(plan.extraWaitMs, 0);
    EXPECT_TRUE(plan.stopAtFind);
    const ScanOptions listen = ParseOptions({"--listen"}).options;
    EXPECT_EQ(listen.plan.framings,
              (std::vector<Framing>{Framing{}, {Parity::Even, 1}, {Parity::Odd, 1}}));
    EXPECT_EQ(listen.dwellMs, 1000);
}

// Values given twice are tried once, in the order first given; either form
// of an option counts.
TEST(ScanOptionsTest, ValuesGivenTwiceAreTakenOnce) {
    const ParsedOptions parsed = ParseOptions(
        {"--rate=9600", "--rate", "19200,9600", "--framing", "8e1,8E1,8N1", "--protocol", "modbus",
         "--protocol=modbus", "--port", "COM2", "--port=COM2", "--all", "-h", "--station=7-9"});
    ASSERT_EQ(parsed.error, "");
    const ScanOptions& o = parsed.options;
    EXPECT_EQ(o.plan.rates, (std::vector<int>{9600, 19200}));
    EXPECT_EQ(o.plan.framings, (std::vector<Framing>{*FramingNamed("8E1"), Framing{}}));
    EXPECT_EQ(o.plan.protocols, std::vector<Protocol>{Protocol::Modbus});
    EXPECT_EQ(o.ports, std::vector<LineName>{LineName{.com = 2}});
    EXPECT_FALSE(o.plan.stopAtFind);
    EXPECT_TRUE(o.help);
    EXPECT_EQ(o.plan.firstStation, 7);
    EXPECT_EQ(o.plan.lastStation, 9);
}

// A raw TCP line's one setting holds for every line of the run; a listen
// there hears 8N1 alone unless told another framing.
TEST(ScanOptionsTest, ARawTcpLineTakesTheRunsOneSetting) {
    const ParsedOptions parsed = ParseOptions(
        {"--listen", "--port", "tcp://gw:1", "--port", "/dev/ttyS0", "--rate", "9600"});
    ASSERT_EQ(parsed.error, "");
    EXPECT_EQ(parsed.options.plan.rates, std::vector<int>{9600});
    EXPECT_EQ(parsed.options.plan.framings, std::vector<Framing>{Framing{}});
}

}  // namespace

}  // namespace probelyn
