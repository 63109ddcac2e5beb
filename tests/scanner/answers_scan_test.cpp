// What answered without being a find, and who a Modbus instrument is, as
// probelyn-scan says it against Modbus servers that nobody here wrote
// (pymodbus, libmodbus) and the simulator's devices of other kinds.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "child_process.h"
#include "instrument.h"
#include "line_rate.h"
#include "modbus_peer.h"
#include "null_modem.h"

namespace probelyn {

namespace {

using Args = std::vector<std::string>;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Ran {
    int status = -1;
    std::string out;
    std::string err;
};

// Modbus unless the arguments say otherwise.
Ran Scan(const std::string& line, Args args) {
    if (std::find(args.begin(), args.end(), "--protocol") == args.end()) {
        args.insert(args.begin(), {"--protocol", "modbus"});
    }
    args.insert(args.begin(), {"--port", line, "--framing", "8N1", "--order", "as-given"});
    ChildProcess scan;
    scan.Start(PROBELYN_SCAN, args);
    EXPECT_TRUE(scan.WaitForFinished(60000));
    return {scan.ExitCode(), scan.Out(), scan.Err()};
}

std::string WithoutTimes(std::string json) {
    for (std::size_t at; (at = json.find("\"elapsed_s\":")) != std::string::npos;) {
        json.erase(at - 1, json.find('}', at) - at + 1);
    }
    return json;
}

// pymodbus serving stations 5 (no register 60), 6 (register 60 another
// value) and 7 (an instrument of the family that says who it is): each said
// for what it is, in JSON and in words, and only 7 found.
TEST(AnswersScanTest, PymodbusStationsAreSaidForWhatTheyAre) {
    NullModem cable;
    ChildProcess server;
    server.Start(PYMODBUS_RTU, {cable.One()});
    for (int i = 0; i < 500 && cable.OneRate() != 19200; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(cable.OneRate(), 19200) << "pymodbus did not open its line";
    const Ran json =
        Scan(cable.Other(), {"--rate", "19200", "--station", "4-8", "--all", "--json"});
    EXPECT_EQ(json.status, 0) << json.err;
    const std::string port = "\"port\":\"" + cable.Other() + "\",\"com\":null";
    EXPECT_EQ(WithoutTimes(json.out),
              "{\"event\":\"answered\"," + port +
                  ",\"kind\":\"exception\",\"baud\":19200,\"framing\":\"8N1\",\"protocol\":"
                  "\"modbus\",\"station\":5,\"exception\":2}\n"
                  "{\"event\":\"answered\"," +
                  port +
                  ",\"kind\":\"modbus_reply\",\"baud\":19200,\"framing\":\"8N1\",\"protocol\":"
                  "\"modbus\",\"station\":6,\"byte_count\":4,\"register_60\":4660}\n"
                  "{\"event\":\"found\"," +
                  port +
                  ",\"protocol\":\"modbus\",\"baud\":19200,\"station\":7,\"framing\":\"8N1\"}\n"
                  "{\"event\":\"identified\"," +
                  port +
                  ",\"station\":7,\"vendor\":\"VKT Test Works\",\"product_code\":\"LX-7\","
                  "\"revision\":\"3.1\"}\n"
                  "{\"event\":\"done\",\"finds\":1}\n");
    const Ran words = Scan(cable.Other(), {"--rate", "19200", "--station", "5-6"});
    EXPECT_EQ(words.status, 1);
    EXPECT_EQ(words.out, "");
    EXPECT_TRUE(Contains(words.err, cable.Other() +
                                        ": a Modbus device answered at station 5 at 19200 baud, "
                                        "8N1 with exception 2 (illegal data address): not an "
                                        "instrument of this family, or one whose register 60 "
                                        "cannot be read\n"))
        << words.err;
    EXPECT_TRUE(Contains(words.err,
                         ": a Modbus device at station 6 at 19200 baud, 8N1 answered; "
                         "its register 60 holds 0x1234: not an instrument of this "
                         "family\n"))
        << words.err;
    EXPECT_TRUE(Contains(words.err,
                         "; what answered without being an instrument of this family "
                         "is said above\n"))
        << words.err;
    EXPECT_EQ(Scan(cable.Other(), {"--rate", "19200", "--station", "5-6", "--quiet"}).err, "");
    const Ran found = Scan(cable.Other(), {"--rate", "19200", "--station", "7", "--no-identify"});
    EXPECT_EQ(found.out,
              "ModBus device on " + cable.Other() + " at 19200 baudrate on station 7, 8N1\n");
}

// An exception libmodbus builds: a device without register 60.
TEST(AnswersScanTest, LibmodbusExceptionsAreSaid) {
    ModbusPeer peer(2, 9600, 50);
    const Ran ran = Scan(peer.Device(), {"--rate", "9600", "--station", "1-3"});
    EXPECT_EQ(ran.status, 1);
    EXPECT_TRUE(Contains(ran.err,
                         ": a Modbus device answered at station 2 at 9600 baud, 8N1 "
                         "with exception 2 (illegal data address)"))
        << ran.err;
}

// A gateway's answers for absent stations are no device; bytes that make
// no valid reply are said once a setting, for each protocol; a hostile
// identification adds nothing, and asks no more than four times.
TEST(AnswersScanTest, SimulatedDevicesOfOtherKinds) {
    const struct {
        const char* name;
        InstrumentConfig instrument;
        Args args;
        std::string said;  // on stderr, or on stdout after the find
        int most;          // requests the instrument may see
    } rows[] = {
        {"gateway",
         {.protocol = Protocol::Modbus, .baud = 9600, .station = 200, .gateway = true},
         {"--rate", "9600", "--station", "1-4"},
         ": a gateway answered for stations 1-4 at 9600 baud, 8N1 with exception 11 (gateway "
         "target device failed to respond): no device behind it\n",
         4},
        {"partial modbus",
         {.protocol = Protocol::Modbus, .baud = 9600, .station = 2, .partial = 4},
         {"--rate", "9600", "--station", "1-3"},
         ": bytes came back at 9600 baud, 8N1 after 1 probe but made no valid reply",
         3},
        {"partial lyrabus",
         {.protocol = Protocol::LyraBus, .baud = 9600, .station = 2, .partial = 10},
         {"--protocol", "lyrabus", "--rate", "9600", "--station", "1-3"},
         ": bytes came back at 9600 baud, 8N1 after 1 probe but made no valid reply",
         3},
        {"a lone ?",
         {.protocol = Protocol::Ascii, .baud = 9600, .station = 2, .partial = 1},
         {"--protocol", "ascii", "--rate", "9600", "--station", "1-3"},
         ": bytes came back at 9600 baud, 8N1 after 1 probe but made no valid reply",
         3},
        {"noise at another rate",
         {.protocol = Protocol::Modbus, .baud = 9600, .station = 9, .noise = true},
         {"--rate", "19200,9600", "--station", "1-2"},
         ": bytes came back at 19200 baud, 8N1 after 2 probes but made no valid reply",
         4},
        {"endless identification",
         {.protocol = Protocol::Modbus,
          .baud = 9600,
          .station = 1,
          .identity = {"VKT", "X", "1"},
          .identityFault = IdentityFault::Endless},
         {"--rate", "9600", "--station", "1"},
         "Station 1 on LINE says it is vendor \"VKT\"\n",
         5},
        {"identification with a bad CRC",
         {.protocol = Protocol::Modbus,
          .baud = 9600,
          .station = 1,
          .identity = {"VKT", "X", "1"},
          .identityFault = IdentityFault::BadCrc},
         {"--rate", "9600", "--station", "1"},
         "ModBus device on LINE at 9600 baudrate on station 1, 8N1\n",
         2},
    };
    for (const auto& row : rows) {
        Instrument instrument(row.instrument);
        const Ran ran = Scan(instrument.Device(), row.args);
        std::string said = row.said;
        if (said.find("LINE") != std::string::npos) {
            said.replace(said.find("LINE"), 4, instrument.Device());
            EXPECT_TRUE(ran.out.ends_with(said)) << row.name << ": " << ran.out;
        } else {
            EXPECT_TRUE(Contains(ran.err, instrument.Device() + said))
                << row.name << ": " << ran.err;
            EXPECT_FALSE(Contains(ran.err, "Modbus device")) << row.name << ": " << ran.err;
        }
        EXPECT_LE(instrument.Requests(), row.most) << row.name;
    }
}

}  // namespace

}  // namespace probelyn
