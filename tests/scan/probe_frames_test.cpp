#include "probe_frames.h"

#include <gtest/gtest.h>

#include "byte_string.h"

#include "checksums.h"

namespace probelyn {

namespace {

struct FrameCase {
    const char* probe;
    int station;
    const char* request;
};

class RequestTest : public testing::TestWithParam<FrameCase> {};

TEST_P(RequestTest, BytesOnTheLine) {
    const FrameCase& c = GetParam();
    const std::string probe = c.probe;
    const std::string request = probe == "ascii"    ? AsciiRequest(c.station)
                                : probe == "modbus" ? ModbusRequest(c.station)
                                                    : LyraBusRequest(c.station);
    EXPECT_EQ(HexText(request), c.request) << probe << " " << c.station;
}

INSTANTIATE_TEST_SUITE_P(Frames, RequestTest,
                         testing::Values(FrameCase{"ascii", 1, "21 30 30 31 3A 58 58 59 3F 0D"},
                                         FrameCase{"ascii", 5, "21 30 30 35 3A 58 58 59 3F 0D"},
                                         FrameCase{"ascii", 256, "21 32 35 36 3A 58 58 59 3F 0D"},
                                         FrameCase{"ascii", 999, "21 39 39 39 3A 58 58 59 3F 0D"},
                                         FrameCase{"modbus", 1, "01 03 00 3C 00 02 04 07"},
                                         FrameCase{"modbus", 17, "11 03 00 3C 00 02 06 97"},
                                         FrameCase{"modbus", 247, "F7 03 00 3C 00 02 10 91"},
                                         FrameCase{"lyrabus", 1, "FE 01 8A 08 0B"},
                                         FrameCase{"lyrabus", 138, "FE 8A 8A 00 00"},
                                         FrameCase{"lyrabus", 255, "FE FF 8A 07 05"}));

TEST(ChecksumTest, CrcCheckValuesAndNibbles) {
    EXPECT_EQ(Crc16(""), 0xFFFF);
    EXPECT_EQ(Crc16("123456789"), 0x4B37);
    EXPECT_EQ(LowByte(0x4B37), '\x37');
    EXPECT_EQ(HighByte(0x4B37), '\x4B');
    EXPECT_EQ(NibbleChecksum(""), Bytes({0, 0}));
    EXPECT_EQ(NibbleChecksum(Bytes({0x01, 0x8A})), Bytes({0x08, 0x0B}));
}

struct LyraReplyCase {
    const char* title;
    int station;
    std::string reply;
    bool matches;
};

TEST(LyraBusReplyTest, StationAndChecksumDecide) {
    const std::string good =
        Bytes({0x01, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x08, 0x01});
    const std::string other =
        Bytes({0x02, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80, 0x08, 0x02});
    const LyraReplyCase cases[] = {
        {"worked example", 1, good, true},
        {"valid reply of another station", 2, good, false},
        {"other station's own valid reply, wrong station asked", 1, other, false},
        {"wrong checksum", 1, good.substr(0, 10) + '\x02', false},
        {"ten bytes", 1, good.substr(0, 10), false},
    };
    for (const LyraReplyCase& c : cases) {
        EXPECT_EQ(LyraBusReplyMatches(c.station, c.reply), c.matches) << c.title;
    }
}

}  // namespace

}  // namespace probelyn
