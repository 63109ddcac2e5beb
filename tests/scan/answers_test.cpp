// What answered without being a find, and who a Modbus find is, as the
// engine tells its front end: on the in-memory port and clock.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "checksums.h"
#include "fake_port.h"
#include "fake_scan_steps.h"
#include "identification.h"
#include "probe_frames.h"
#include "scan_run.h"

namespace probelyn {

namespace {

using std::chrono::milliseconds;
using Kind = Answered::Kind;

std::string Frame(std::string bytes) {
    const std::uint16_t crc = Crc16(bytes);
    return bytes + LowByte(crc) + HighByte(crc);
}

char B(int value) {
    return static_cast<char>(value);
}

std::string Exception(int station, int code) {
    return Frame({B(station), B(0x83), B(code)});
}

class AnswersTest : public testing::Test {
  protected:
    AnswersTest() : access_(port_), run_(access_, clock_) { port_.UseClock(&clock_); }

    // Each request `reply` gives bytes for arrives in pieces, at the delays.
    using Pieces = std::vector<std::pair<int, std::string>>;
    void Replies(std::function<Pieces(const std::string&)> reply) {
        onWrite_ = [this, reply](const std::string& request) {
            for (const auto& [ms, bytes] : reply(request)) {
                port_.Arrive(milliseconds(ms), bytes);
            }
        };
    }
    ScanOutcome Run(int last, bool stopAtFind = true, Protocol protocol = Protocol::Modbus) {
        steps_ = FakeScanSteps();
        port_ = FakePort();
        port_.UseClock(&clock_);
        port_.on_write = onWrite_;
        ScanPlan plan;
        plan.protocols = {protocol};
        plan.lastStation = last;
        plan.rates = {9600};
        plan.stopAtFind = stopAtFind;
        plan.order = ScanOrder::LikelyFirst;  // a setting met in each of the three passes
        plan.change = SettingChange::OnOpenLine;
        plan.tellAnswers = plan.identify = true;
        const Clock::Duration start = clock_.Now();
        const ScanOutcome outcome = run_.DetectNow(plan, steps_, stop_.get_token());
        took_ = clock_.Now() - start;
        return outcome;
    }

    FakeClock clock_;
    FakePort port_;
    FakeScanSteps steps_;
    std::stop_source stop_;
    PortAccess access_;
    ScanRun run_;
    std::function<void(const std::string&)> onWrite_;
    Clock::Duration took_{};
};

// A Modbus device of another kind is told at once, at most eight a setting
// and the rest counted as the line leaves the setting; a gateway's "no
// device behind it" and bytes that make no valid reply are gathered and told
// once a setting. A reply's frame is read on within the probe's window (127
// ms at 9600), never past it, and no longer than 3.5 characters of silence.
TEST_F(AnswersTest, WhatAnsweredIsToldByKindAndBounded) {
    const auto at2 = [](Pieces pieces) {
        return [pieces](const std::string& r) { return r == ModbusRequest(2) ? pieces : Pieces{}; };
    };
    const struct {
        const char* name;
        std::function<Pieces(const std::string&)> reply;
        int last;
        std::vector<Kind> told;
        Clock::Duration took;
    } rows[] = {
        {"exception", at2({{3, Exception(2, 2)}}), 3, {Kind::Exception}, milliseconds(254 + 3)},
        {"another register in two pieces",
         at2({{3, std::string("\x02\x03\x04\x12\x34", 5)},
              {6, Frame(std::string("\x02\x03\x04\x12\x34\x00\x00", 7)).substr(5)}}),
         3,
         {Kind::OtherReply},
         milliseconds(254 + 6)},
        {"a frame whose rest trickles on past the window",
         at2({{120, std::string("\x02\x03\x04\x12\x34", 5)},
              {123, "\x01"},
              {126, "\x02"},
              {129, "\x03"},
              {132, "\x04"}}),
         3,
         {Kind::NoValidReply},
         milliseconds(3 * 127)},
        {"a frame cut short",
         at2({{3, std::string("\x02\x03\x04\x12\x34", 5)}}),
         3,
         {Kind::NoValidReply},
         milliseconds(254 + 3) + std::chrono::nanoseconds(3645833)},
        {"a bad CRC", at2({{3, Exception(2, 2).substr(0, 4) + "x"}}), 2, {Kind::NoValidReply}},
        {"no valid reply in both passes",
         [](const std::string&) {
             return Pieces{{3, "?"}};
         },
         3,
         {Kind::NoValidReply}},
        {"another station", at2({{3, Exception(3, 2)}}), 2, {Kind::NoValidReply}},
        {"a gateway",
         [](const std::string& r) {
             return Pieces{{3, Exception(r[0], 0x0A + (r[0] & 1))}};
         },
         3,
         {Kind::Gateway}},
        {"many devices",
         [](const std::string& r) {
             return Pieces{{3, Exception(r[0], 2)}};
         },
         12,
         {Kind::Exception, Kind::Exception, Kind::Exception, Kind::Exception, Kind::Exception,
          Kind::Exception, Kind::Exception, Kind::Exception, Kind::Unsaid, Kind::Unsaid}},
    };
    for (const auto& row : rows) {
        Replies(row.reply);
        EXPECT_EQ(Run(row.last).kind, ScanOutcome::Kind::NothingFound) << row.name;
        std::vector<Kind> told;
        for (const Answered& a : steps_.answered) {
            told.push_back(a.kind);
            EXPECT_EQ(a.setting, (Setting{9600, Framing{}})) << row.name;
        }
        EXPECT_EQ(told, row.told) << row.name;
        if (row.took != Clock::Duration{}) {
            EXPECT_EQ(took_, row.took) << row.name;
        }
    }
    const Answered& last = steps_.answered.back();
    EXPECT_EQ(last.count, 2);  // stations 11 and 12, after 9 and 10
    EXPECT_EQ(steps_.answered[0].station, 1);
    EXPECT_EQ(steps_.answered[0].reply.exception, 2);
    // A byte count of one holds no register.
    Replies(at2({{3, Frame(std::string("\x02\x03\x01\x12", 4))}}));
    Run(3);
    ASSERT_EQ(steps_.answered.size(), 1U);
    EXPECT_EQ(steps_.answered[0].reply.byteCount, 1);
    EXPECT_EQ(steps_.answered[0].reply.register60, std::nullopt);
    // An ASCII station that answers once but not again made no valid reply.
    int asked = 0;
    Replies([&asked](const std::string& r) {
        return r == AsciiRequest(1) && ++asked == 1 ? Pieces{{3, "?\r"}} : Pieces{};
    });
    EXPECT_EQ(Run(1, true, Protocol::Ascii).kind, ScanOutcome::Kind::NothingFound);
    ASSERT_EQ(steps_.answered.size(), 1U);
    EXPECT_EQ(steps_.answered[0].kind, Kind::NoValidReply);
    // What was gathered at a setting is told when a find ends the scan there.
    Replies([](const std::string& r) {
        return r == ModbusRequest(2)   ? Pieces{{3, "?"}}
               : r == ModbusRequest(3) ? Pieces{{3, Frame({3, 3, 4, 0x40, 0, 0, 0})}}
                                       : Pieces{};
    });
    EXPECT_EQ(Run(3).kind, ScanOutcome::Kind::Found);
    ASSERT_EQ(steps_.answered.size(), 1U);
    EXPECT_EQ(steps_.answered[0].kind, Kind::NoValidReply);
}

// Who a Modbus find is: asked right after the find, before it is told,
// with at most four requests; told after the find, and not at all when the
// instrument answers with an exception, silence or something malformed. The
// find stands either way.
TEST_F(AnswersTest, AModbusFindSaysWhoItIs) {
    // A reply of n objects; more follows from `next` on where `more` says so.
    const auto counted = [](int more, int next, int n, const std::string& items) {
        return Frame(std::string{1, 0x2B, 0x0E, 0x01, 0x01, B(more), B(next), B(n)} + items);
    };
    const std::string vendor("\x00\x03VKT", 5);
    const std::string product("\x01\x04LX-2", 6);
    const std::string revision(
        "\x02\x03"
        "2.1",
        5);
    const struct {
        const char* name;
        std::map<int, std::string> byObject;  // the reply to a request from the object on
        std::optional<Identity> said;
        int requests;
    } rows[] = {
        {"in one reply",
         {{0, counted(0, 0, 3, vendor + product + revision)}},
         Identity{"VKT", "LX-2", "2.1"},
         1},
        {"in two replies",
         {{0, counted(0xFF, 2, 2, vendor + product)}, {2, counted(0, 0, 1, revision)}},
         Identity{"VKT", "LX-2", "2.1"},
         2},
        {"more follows for ever", {{0, counted(0xFF, 0, 1, vendor)}}, Identity{"VKT", "", ""}, 4},
        {"after the request's echo",
         {{0, IdentificationRequest(1, 0) + counted(0, 0, 3, vendor + product + revision)}},
         Identity{"VKT", "LX-2", "2.1"},
         1},
        {"neither the end nor more to follow",
         {{0, counted(0x01, 0, 3, vendor + product + revision)}},
         std::nullopt,
         1},
        {"an exception", {{0, Frame({1, B(0xAB), 1})}}, std::nullopt, 1},
        {"silence", {}, std::nullopt, 1},
        {"a bad CRC",
         {{0, counted(0, 0, 3, vendor + product + revision).substr(0, 24) + "xx"}},
         std::nullopt,
         1},
        {"an object past any frame",
         {{0, counted(0, 0, 1, std::string("\x00\xFA", 2) + "VKT")}},
         std::nullopt,
         1},
        {"not UTF-8",
         {{0, counted(0, 0, 1, std::string("\x00\x02\xFF\xFE", 4))}},
         Identity{"\xFF\xFE", "", ""},
         1},
    };
    for (const auto& row : rows) {
        int requests = 0;
        Replies([&](const std::string& request) {
            if (request == ModbusRequest(1)) {
                return Pieces{{3, Frame({1, 3, 4, 0x40, 0, 0, 0})}};
            }
            ++requests;
            const auto reply = row.byObject.find(request[4]);
            EXPECT_EQ(request, IdentificationRequest(1, request[4])) << row.name;
            return reply == row.byObject.end() ? Pieces{} : Pieces{{3, reply->second}};
        });
        EXPECT_EQ(Run(1).kind, ScanOutcome::Kind::Found) << row.name;
        EXPECT_EQ(steps_.Noticed(Notice::Kind::Found).size(), 1U) << row.name;
        EXPECT_EQ(requests, row.requests) << row.name;
        if (row.said) {
            ASSERT_EQ(steps_.identities.size(), 1U) << row.name;
            EXPECT_EQ(steps_.identities[0], *row.said) << row.name;
            EXPECT_EQ(steps_.identifiedAfterFinds[0], 1) << row.name;
        } else {
            EXPECT_TRUE(steps_.identities.empty()) << row.name;
        }
    }
}

}  // namespace

}  // namespace probelyn
