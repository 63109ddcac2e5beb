// The report as scripts read it: JSON that stays valid whatever a device is
// called, and every write checked.
#include "scan_report.h"

#include <gtest/gtest.h>

#include <csignal>
#ifndef _WIN32
#include <unistd.h>
#endif
#include <cstdio>

#include "json_text.h"

namespace probelyn {

namespace {

TEST(JsonTextTest, EveryTextBecomesValidJson) {
    const struct {
        std::string text;
        std::string json;
    } rows[] = {
        {"/dev/ttyUSB0", "\"/dev/ttyUSB0\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {std::string("\x01\n\x1f\x7f", 4), "\"\\u0001\\u000a\\u001f\\u007f\""},
        {"tty\xc3\xa9", "\"tty\xc3\xa9\""},                            // é stays as it is
        {"tty\xff", "\"tty\xef\xbf\xbd\""},                            // a stray byte
        {"\xc3", "\"\xef\xbf\xbd\""},                                  // a sequence cut short
        {"\xc0\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\""},                  // an overlong '/'
        {"\xed\xa0\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // a surrogate
        {"\xf0\x9f\x94\x8c", "\"\xf0\x9f\x94\x8c\""},                  // four bytes
        {"\xf4\x90\x80\x80", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},  // > U+10FFFF
        // Three-byte forms: a third byte that is no continuation, a sequence
        // cut by the end of the name, an overlong form, and the edges of what
        // is well formed.
        {"a\xe2\x82z", "\"a\xef\xbf\xbd\xef\xbf\xbdz\""},
        {"a\xe2\x82", "\"a\xef\xbf\xbd\xef\xbf\xbd\""},
        {"\xe0\x80\xaf", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},
        {"\xe0\xa0\x80\xed\x9f\xbf\xef\xbf\xbf", "\"\xe0\xa0\x80\xed\x9f\xbf\xef\xbf\xbf\""},
        {"\xf0\x90\x80\x80\xf4\x8f\xbf\xbf", "\"\xf0\x90\x80\x80\xf4\x8f\xbf\xbf\""},
        {"\xf0\x8f\xbf\xbf", "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(JsonString(row.text), row.json) << row.text;
        EXPECT_TRUE(IsUtf8(JsonString(row.text)));
    }
    EXPECT_EQ(JsonPort({.com = 3, .device = "/dev/tty\xff"}),
              "\"port\":\"/dev/tty\xef\xbf\xbd\",\"port_hex\":\"2F 64 65 76 2F 74 74 79 FF\","
              "\"com\":3");
    EXPECT_EQ(JsonPort({.com = std::nullopt, .device = "/dev/pts/4"}),
              "\"port\":\"/dev/pts/4\",\"com\":null");
}

// A report into a file: what a script gets in JSON and in words.
class ScanReportTest : public testing::Test {
  protected:
    ~ScanReportTest() override {
        std::fclose(file_);
        std::fclose(err_);
    }
    std::string Written() {
        std::fflush(file_);
        std::rewind(file_);
        std::string text;
        for (int c; (c = std::fgetc(file_)) != EOF;) {
            text += static_cast<char>(c);
        }
        return text;
    }

    std::stop_source stop_;
    std::FILE* file_ = std::tmpfile();
    std::FILE* err_ = std::tmpfile();
    Ending ending_{stop_, err_};
    Output out_{file_, "the results", ending_};
};

TEST_F(ScanReportTest, EveryFieldStandsOnItsOwn) {
    ScanReport report(true, out_, err_);
    const LineName line{.com = 2, .device = "/dev/ttyUSB0"};
    report.Found(line, {Protocol::Modbus, 19200, 17, {Parity::Even, 1}});
    report.Error(line, "cannot open at 460800 baud, 8N1: Input/output error", 460800, Framing{});
    report.Error(line, "Input/output error");
    report.Unusable({.com = std::nullopt, .device = "/dev/ttyS0"}, "the system's console");
    report.Aborted();
    report.Done();
    std::string json = Written();
    for (std::size_t at; (at = json.find("\"elapsed_s\":0.0")) != std::string::npos;) {
        json.replace(at, json.find('}', at) - at, "\"elapsed_s\":T");
    }
    EXPECT_EQ(json,
              "{\"event\":\"found\",\"port\":\"/dev/ttyUSB0\",\"com\":2,\"protocol\":\"modbus\","
              "\"baud\":19200,\"station\":17,\"framing\":\"8E1\",\"elapsed_s\":T}\n"
              "{\"event\":\"error\",\"port\":\"/dev/ttyUSB0\",\"com\":2,\"baud\":460800,"
              "\"framing\":\"8N1\",\"message\":\"cannot open at 460800 baud, 8N1: Input/output "
              "error\"}\n"
              "{\"event\":\"error\",\"port\":\"/dev/ttyUSB0\",\"com\":2,\"baud\":null,"
              "\"framing\":null,\"message\":\"Input/output error\"}\n"
              "{\"event\":\"unusable\",\"port\":\"/dev/ttyS0\",\"com\":null,\"reason\":\"the "
              "system's console\"}\n"
              "{\"event\":\"aborted\",\"elapsed_s\":T}\n"
              "{\"event\":\"done\",\"finds\":1,\"elapsed_s\":T}\n");
    EXPECT_EQ(report.Finds(), 1);
}

// What a sweep that ended early did not get to, in words and in JSON: the
// rest of the setting where the line was lost, then each later part.
TEST(UntriedTest, WhatWasNotTriedInWordsAndJson) {
    ScanPlan plan;
    plan.rates = {460800, 230400, 2400};
    plan.framings = {Framing{}, {Parity::Even, 1}};
    plan.lastStation = 50;
    const auto words = [&](const EndedAt& at) {
        return UntriedText(UntriedFrom(SweepOf(plan), at), plan, at.station > 0);
    };
    EXPECT_EQ(words({460800, Framing{}, 1, 0}),
              "stations 1-50 at 460800 baud, 8N1; at 2 rates from 230400 to 2400 baud, 8N1; at "
              "3 rates from 460800 to 2400 baud, 8E1");
    EXPECT_EQ(words({2400, {Parity::Even, 1}, 0, 1}), "at 2400 baud, 8E1");
    plan.order = ScanOrder::LikelyFirst;
    plan.lastStation = 255;
    EXPECT_EQ(words({230400, {Parity::Even, 1}, 7, 1}),
              "stations 7-10 and 247 at 230400 baud, 8E1; stations 2-10 and 247 at 2 settings "
              "from 460800 baud, 8N1 to 460800 baud, 8E1; stations 11-246 and 248-255 at 6 "
              "settings from 2400 baud, 8N1 to 460800 baud, 8E1");
    EXPECT_EQ(words({460800, {Parity::Even, 1}, 1, 0}),
              "station 1 at 460800 baud, 8E1; stations 2-10 and 247 at 6 settings from 2400 "
              "baud, 8N1 to 460800 baud, 8E1; stations 11-246 and 248-255 at 6 settings from "
              "2400 baud, 8N1 to 460800 baud, 8E1");
    EXPECT_EQ(UntriedJson(UntriedFrom(SweepOf(plan), {460800, {Parity::Even, 1}, 8, 1})),
              "[{\"stations\":[[8,10],[247,247]],\"settings\":[{\"baud\":460800,\"framing\":"
              "\"8E1\"}]},{\"stations\":[[11,246],[248,255]],\"settings\":[{\"baud\":2400,"
              "\"framing\":\"8N1\"},{\"baud\":2400,\"framing\":\"8E1\"},{\"baud\":230400,"
              "\"framing\":\"8N1\"},{\"baud\":230400,\"framing\":\"8E1\"},{\"baud\":460800,"
              "\"framing\":\"8N1\"},{\"baud\":460800,\"framing\":\"8E1\"}]}]");
}

// What an instrument says of itself is untrusted: in words every byte that is
// not printable ASCII escaped, in JSON valid UTF-8 with the exact bytes
// beside where they are not.
TEST_F(ScanReportTest, WhoAnInstrumentSaysItIsIsEscaped) {
    const LineName line{.com = std::nullopt, .device = "/dev/ttyUSB0"};
    const Find find{Protocol::Modbus, 19200, 17, Framing{}};
    const Identity identity{"V\xFF\n", "\"x\\", ""};
    ScanReport words(false, out_, err_);
    words.Identified(line, find, identity);
    ScanReport json(true, out_, err_);
    json.Identified(line, find, identity);
    EXPECT_EQ(Written(),
              "Station 17 on /dev/ttyUSB0 says it is vendor \"V\\xFF\\x0A\", product code "
              "\"\\\"x\\\\\"\n"
              "{\"event\":\"identified\",\"port\":\"/dev/ttyUSB0\",\"com\":null,\"station\":17,"
              "\"vendor\":\"V\xEF\xBF\xBD\\u000a\",\"vendor_hex\":\"56 FF 0A\",\"product_code\":"
              "\"\\\"x\\\\\",\"revision\":\"\"}\n");
}

// What a listen heard, in words: one line per protocol heard, with the
// framings that were not excluded.
TEST_F(ScanReportTest, WhatWasHeardInWords) {
    ScanReport report(false, out_, err_);
    const probelyn::Heard lyraBus{Protocol::LyraBus, {4, 9}, {9}, 6, 0, 3, 4};
    report.Heard({.com = 2, .device = "/dev/ttyUSB0"},
                 {76800, {Parity::Odd, 1}, {lyraBus}, {Framing{Parity::Even, 1}}});
    EXPECT_EQ(Written(),
              "LyraBus traffic on COM2 (/dev/ttyUSB0) at 76800 baud, 8O1: master polls 4, 9; "
              "answers from 9 (8E1 not excluded: the line marks no errors)\n");
    EXPECT_EQ(report.Finds(), 1);
}

#ifndef _WIN32
// A full disk is said once and stops the scan with status 2; a reader that
// went away (EPIPE) ends it quietly with 141; whichever came first decides.
TEST_F(ScanReportTest, FailedWritesEndTheScan) {
    std::signal(SIGPIPE, SIG_IGN);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    ::close(pipeEnds[0]);
    std::FILE* full = std::fopen("/dev/full", "w");
    std::FILE* readerGone = ::fdopen(pipeEnds[1], "w");
    ASSERT_NE(full, nullptr);
    const struct {
        std::FILE* file;
        int status;
        const char* said;
    } rows[] = {{full, 2, "probelyn-scan: cannot write the results: No space left on device\n"},
                {readerGone, 141, ""}};
    for (const auto& row : rows) {
        std::stop_source stop;
        std::FILE* err = std::tmpfile();
        Ending ending(stop, err);
        Output out(row.file, "the results", ending);
        ScanReport report(true, out, err);
        report.Found({.com = 1, .device = "/dev/ttyS0"}, {});
        report.Done();
        ending.Signal(SIGTERM);  // later: changes nothing
        EXPECT_TRUE(stop.stop_requested());
        EXPECT_EQ(ending.Status(0), row.status);
        std::rewind(err);
        char said[128] = {};
        [[maybe_unused]] const char* line = std::fgets(said, sizeof said, err);
        EXPECT_STREQ(said, row.said);
        std::fclose(err);
    }
    std::fclose(full);
    std::fclose(readerGone);
}
#endif

}  // namespace

}  // namespace probelyn
