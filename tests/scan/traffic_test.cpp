// The traffic decoder's rules, frame by frame, on runs made by hand.
#include "traffic.h"

#include <gtest/gtest.h>

#include "checksums.h"
#include "probe_frames.h"

namespace probelyn {

namespace {

using std::string_literals::operator""s;

std::string WithCrc(std::string frame) {
    const std::uint16_t crc = Crc16(frame);
    return frame + LowByte(crc) + HighByte(crc);
}

std::string WithNibbles(const std::string& bytes) {
    return bytes + NibbleChecksum(bytes);
}

// Each piece is one read; pieces come 10 ms apart at 9600 baud, more than
// the 3.65 ms of silence that end a run, unless joined in one piece.
Heard Heard(Protocol protocol, const std::vector<std::string>& pieces, int* errors = nullptr,
            std::chrono::microseconds gap = std::chrono::milliseconds(10)) {
    Traffic traffic(9600, {protocol});
    std::chrono::microseconds at{0};
    for (const std::string& piece : pieces) {
        traffic.Take(piece, at += gap);
    }
    traffic.Finish();
    if (errors != nullptr) {
        *errors = traffic.Errors();
    }
    return traffic.Heards().front();
}

TEST(TrafficTest, FramesByEachProtocolsRules) {
    const std::string reply3 = WithCrc("\x03\x03\x04\x40\x00\x00\x00"s);
    const std::string write5 = WithCrc("\x05\x06\x00\x10\x00\x2A"s);
    const struct {
        const char* name;
        Protocol protocol;
        std::vector<std::string> pieces;
        std::vector<int> polled;
        std::vector<int> answered;
        int frames;
        int bad;
    } rows[] = {
        {"request and reply", Protocol::Modbus, {ModbusRequest(3), reply3}, {3}, {3}, 2, 0},
        {"one run, as USB blurs them",
         Protocol::Modbus,
         {ModbusRequest(3) + reply3},
         {3},
         {3},
         2,
         0},
        {"an exception answers",
         Protocol::Modbus,
         {ModbusRequest(3), WithCrc("\x03\x83\x02"s)},
         {3},
         {3},
         2,
         0},
        {"5 and 6 echo their request", Protocol::Modbus, {write5, write5}, {5}, {5}, 2, 0},
        {"station 248 is none", Protocol::Modbus, {ModbusRequest(248)}, {}, {}, 0, 1},
        {"a wrong CRC", Protocol::Modbus, {ModbusRequest(3).substr(0, 7) + "\x00"s}, {}, {}, 0, 1},
        {"another station's reply",
         Protocol::Modbus,
         {ModbusRequest(3), WithCrc("\x04\x03\x04\x40\x00\x00\x00"s)},
         {3},
         {},
         2,
         0},
        {"LyraBus",
         Protocol::LyraBus,
         {LyraBusRequest(9), WithNibbles("\x09\x10\x20\x30\x40\x50\x60\x70\x80"s)},
         {9},
         {9},
         2,
         0},
        {"LyraBus reply from another",
         Protocol::LyraBus,
         {LyraBusRequest(9), WithNibbles("\x08\x10\x20\x30\x40\x50\x60\x70\x80"s)},
         {9},
         {},
         1,
         1},
        {"ASCII, LF after CR", Protocol::Ascii, {AsciiRequest(12), "?\r\n"}, {12}, {12}, 2, 0},
        {"ASCII unanswered", Protocol::Ascii, {"!345:A\r", AsciiRequest(12)}, {12, 345}, {}, 2, 0},
        {"ASCII without ':'", Protocol::Ascii, {"!345AB\r"}, {}, {}, 0, 1},
        {"ASCII reply with no request", Protocol::Ascii, {"?\r"}, {}, {}, 0, 1},
    };
    for (const auto& row : rows) {
        const probelyn::Heard heard = Heard(row.protocol, row.pieces);
        EXPECT_EQ(heard.polled, row.polled) << row.name;
        EXPECT_EQ(heard.answered, row.answered) << row.name;
        EXPECT_EQ(heard.frames, row.frames) << row.name;
        EXPECT_EQ(heard.badFrames, row.bad) << row.name;
    }
}

// Marks as the tty writes them: a doubled 0377 is one byte (here inside a
// reply), an errored character ends the run and is counted, also when
// a read cuts its mark in two.
TEST(TrafficTest, MarkedErrorsAreCountedAndEndTheRun) {
    const std::string reply = WithCrc("\x03\x03\x04\xFF\xFF\x00\x00"s);
    std::string doubled;
    for (const char c : reply) {
        doubled += c;
        doubled += c == '\xFF' ? "\xFF" : "";
    }
    int errors = 0;
    EXPECT_EQ(Heard(Protocol::Modbus, {ModbusRequest(3), doubled}, &errors).answered,
              std::vector<int>{3});
    EXPECT_EQ(errors, 0);
    // Pieces close enough to be one run, but for the error between them.
    const probelyn::Heard split =
        Heard(Protocol::Modbus,
              {ModbusRequest(3).substr(0, 4) + "\xFF", "\0x"s + ModbusRequest(3).substr(4)},
              &errors, std::chrono::microseconds(100));
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(split.frames, 0);
    EXPECT_EQ(split.badFrames, 2);
}

// A frame handed over in pieces two characters apart is one run; a gap of
// four characters ends it.
TEST(TrafficTest, SilenceOfThreeAndAHalfCharactersEndsARun) {
    const std::string request = ModbusRequest(3);
    const std::vector<std::string> halves = {request.substr(0, 4), request.substr(4)};
    EXPECT_EQ(Heard(Protocol::Modbus, halves, nullptr, std::chrono::microseconds(2083)).frames, 1);
    EXPECT_EQ(Heard(Protocol::Modbus, halves, nullptr, std::chrono::microseconds(4166)).frames, 0);
    // Bytes that come in segments: a gap below the line's floor ends no run.
    Traffic segmented(9600, {Protocol::Modbus}, std::chrono::milliseconds(25));
    segmented.Take(halves[0], std::chrono::milliseconds(100));
    segmented.Take(halves[1], std::chrono::milliseconds(120));
    segmented.Finish();
    EXPECT_EQ(segmented.Heards().front().frames, 1);
}

// What makes traffic: three frames, one exchange, two distinct frames, at
// least twice as many frames as unexplained runs (exactly twice is enough, as
// the manual says), and no error.
TEST(TrafficTest, IdentifiedTakesEveryRule) {
    const probelyn::Heard enough{Protocol::Modbus, {3}, {3}, 4, 2, 2, 2};
    EXPECT_TRUE(Identified(enough, 0));
    EXPECT_FALSE(Identified(enough, 1));
    probelyn::Heard h = enough;
    h.frames = 2;
    h.badFrames = 0;
    EXPECT_FALSE(Identified(h, 0));
    h = enough;
    h.exchanges = 0;
    EXPECT_FALSE(Identified(h, 0));
    h = enough;
    h.distinct = 1;
    EXPECT_FALSE(Identified(h, 0));
    h = enough;
    h.badFrames = 3;
    EXPECT_FALSE(Identified(h, 0));
}

}  // namespace

}  // namespace probelyn
