// The simulated bus's receiver, against bit patterns worked out by hand.
#include "bus.h"

#include <gtest/gtest.h>

#include "checksums.h"

namespace probelyn {

namespace {

constexpr std::int64_t kEnd = 1'000'000'000;

std::vector<RxChar> ReadAs(const std::string& bytes, const BusSetting& bus,
                           const BusSetting& uart) {
    Wire wire;
    wire.Send(bytes, 0, bus);
    std::int64_t from = -1;
    return Receive(wire, uart, from, kEnd);
}

const Framing k8N1{};
const Framing k8O1{Parity::Odd, 1};
const Framing k8E1{Parity::Even, 1};

TEST(BusReceiverTest, CharactersAsAUartTakesThemOffTheWire) {
    const struct {
        const char* name;
        std::string bytes;
        BusSetting bus;
        BusSetting uart;
        std::vector<RxChar> received;
    } rows[] = {
        {"at its own rate", "\x55", {9600, k8N1}, {9600, k8N1}, {{0x55, false, false}}},
        // Sampled at 0.75, 1.25, ... bit times: 0 1 1 0 0 1 1 0, the stop
        // sample in data bit 3 (low); then from the falling edge of data bit
        // 5: 0 1 1 0 0 1 1 1 and a stop sample in the idle line.
        {"at double the rate",
         "\x55",
         {9600, k8N1},
         {19200, k8N1},
         {{0x66, true, false}, {0xE6, false, false}}},
        // Every start bit sampled a bit late lands on a 1: nothing is taken.
        {"0x55 at half the rate", "\x55", {9600, k8N1}, {4800, k8N1}, {}},
        // Sampled at 1, 3, ... 15 bit times: five zeros, the stop bit, idle.
        {"0x00 at half the rate",
         std::string(1, '\0'),
         {9600, k8N1},
         {4800, k8N1},
         {{0xF8, false, false}}},
        // The odd parity bit of 0x01 is 0, read where the stop bit should be.
        {"odd parity read as 8N1",
         "\x01\x03",
         {9600, k8O1},
         {9600, k8N1},
         {{0x01, true, false}, {0x03, false, false}}},
        {"even parity read as odd", "\x01", {9600, k8E1}, {9600, k8O1}, {{0x01, false, true}}},
        {"even parity read as even",
         "\x01\xFF",
         {9600, k8E1},
         {9600, k8E1},
         {{0x01, false, false}, {0xFF, false, false}}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ReadAs(row.bytes, row.bus, row.uart), row.received) << row.name;
    }
}

// What the tty layer hands over, marks included, and what a pty can carry.
TEST(BusReceiverTest, ErrorsReachTheProgramAsTheTtyLayerMarksThem) {
    const std::vector<RxChar> chars = {{'a', false, false},
                                       {0xFF, false, false},
                                       {'b', true, false},
                                       {'c', false, true},
                                       {0x00, true, false}};
    const TtyInput marks{true, true, false};
    const TtyInput ignore{false, true, true};
    const TtyInput nul{false, true, false};
    const TtyInput unchecked{false, false, true};
    using std::string_literals::operator""s;
    EXPECT_EQ(Deliver(chars, marks), "a\xFF\xFF\xFF\0b\xFF\0c\xFF\0\0"s);
    EXPECT_EQ(Deliver(chars, ignore), "a\xFF\0"s);
    EXPECT_EQ(Deliver(chars, nul), "a\xFF\0\0\0"s);
    EXPECT_EQ(Deliver(chars, unchecked),
              "a\xFF"
              "bc\0"s);
    EXPECT_EQ(OverPty(chars, marks), "a\xFF");
    EXPECT_EQ(OverPty(chars, nul), "a\xFF\0\0\0"s);
}

// A master's requests and the replies of each function the listen knows,
// each of its function and with its CRC (whole frames check to 0).
TEST(BusReceiverTest, EachFunctionPollsWithItsOwnFrames) {
    for (const int function : {1, 2, 3, 4, 5, 6, 15, 16}) {
        const ModbusExchange exchange = ModbusPoll(function, 9);
        for (const std::string& frame : {exchange.request, exchange.reply}) {
            EXPECT_EQ(frame[0], 9) << function;
            EXPECT_EQ(frame[1], function) << function;
            EXPECT_EQ(Crc16(frame), 0) << function;
        }
    }
}

// A master polling three stations, two of them answering, one round.
TEST(BusReceiverTest, PollRoundRepliesAfterTheRequest) {
    const BusSetting bus{19200, k8N1};
    const std::vector<BusFrame> frames =
        PollRound(Protocol::Modbus, {3, 7, 12}, {3, 7}, bus, 0, 100'000'000, 3'000'000);
    ASSERT_EQ(frames.size(), 5U);
    EXPECT_EQ(frames[1].at, 8 * CharacterNs(bus) + 3'000'000);
    EXPECT_EQ(frames[4].at, 200'000'000);
    EXPECT_EQ(static_cast<unsigned char>(frames[4].bytes[0]), 12);
}

}  // namespace

}  // namespace probelyn
