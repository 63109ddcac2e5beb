// Listening on the fake line in virtual time, with a simulated bus behind it
// delivering what a UART at the line's setting would receive, marks included.
#include "listen_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "bus.h"
#include "fake_port.h"
#include "scan_plan.h"

namespace probelyn {

namespace {

using std::chrono::milliseconds;

const Framing k8N1{};
const Framing k8E1{Parity::Even, 1};
const Framing k8O1{Parity::Odd, 1};

// An adapter that marks errors, and one that reports none.
const TtyInput kMarks{true, true, false};
const TtyInput kNoMarks{false, false, false};

struct Bus {
    Protocol protocol;
    BusSetting setting;
    std::vector<int> polled;
    std::vector<int> answering;
    TtyInput adapter = kMarks;
    int modbusFunction = 3;
};

// The frames of the next seconds of the bus, as a UART at the line's setting
// takes them, arriving when their last bit is in.
void Behind(FakePort& port, const Bus& bus) {
    port.on_open = [&port, bus](const LineSettings& line) {
        port.DropArrivals();
        constexpr std::int64_t kPoll = 100'000'000;
        constexpr std::int64_t kSeconds = 4;
        Wire wire;
        std::int64_t from = -1;
        const auto rounds =
            kSeconds * 1'000'000'000 / (kPoll * static_cast<std::int64_t>(bus.polled.size()));
        for (std::int64_t round = 0; round < rounds; ++round) {
            const std::int64_t at =
                7'000'000 + round * kPoll * static_cast<std::int64_t>(bus.polled.size());
            for (const BusFrame& frame :
                 PollRound(bus.protocol, bus.polled, bus.answering, bus.setting, at, kPoll,
                           3'000'000, bus.modbusFunction)) {
                const std::int64_t end = wire.Send(frame.bytes, frame.at, bus.setting);
                const std::string delivered =
                    Deliver(Receive(wire, {line.baud, line.framing}, from, end), bus.adapter);
                if (!delivered.empty()) {
                    port.Arrive(std::chrono::nanoseconds(end), delivered);
                }
            }
        }
    };
}

class ListenTest : public testing::Test {
  protected:
    ListenTest() : access_(port_) { port_.UseClock(&clock_); }

    std::optional<Hearing> Listened(const std::vector<Framing>& framings = {k8N1, k8E1, k8O1}) {
        ListenPlan plan;
        plan.rates.assign(kScanRates.begin(), kScanRates.end());
        plan.framings = framings;
        return Listen(plan);
    }
    // What the listen heard; nothing when it heard nothing.
    std::optional<Hearing> Listen(const ListenPlan& plan) {
        const ListenOutcome outcome = ListenRun(access_, clock_).ListenNow(plan, steps_, {});
        if (outcome.kind != ListenOutcome::Kind::Heard) {
            return std::nullopt;
        }
        return outcome.hearing;
    }
    ListenOutcome Outcome(const ListenPlan& plan, std::stop_token stop = {}) {
        return ListenRun(access_, clock_).ListenNow(plan, steps_, std::move(stop));
    }

    struct Steps : ListenSteps {
        void Listening(const LineSettings& settings, int, int) override {
            tried.push_back(settings);
            if (on_listening) {
                on_listening(static_cast<int>(tried.size()));
            }
        }
        std::function<void(int)> on_listening;
        void Failed(const LineSettings&, const ErrorRecord&) override { ++failed; }
        std::vector<LineSettings> tried;
        int failed = 0;
    };

    FakeClock clock_;
    FakePort port_;
    PortAccess access_;
    Steps steps_;
};

// Each protocol is identified at its setting and at no setting tried before
// it, with the stations polled and those that answered, and not a byte is
// written to the line.
TEST_F(ListenTest, EachBusIsIdentifiedAtItsSettingWithItsStations) {
    const struct {
        const char* name;
        Bus bus;
        std::vector<Framing> notExcluded;
    } rows[] = {
        {"Modbus 19200 8E1", {Protocol::Modbus, {19200, k8E1}, {3, 7, 12}, {3, 7}}, {}},
        {"LyraBus 76800 8O1", {Protocol::LyraBus, {76800, k8O1}, {4, 9}, {9}}, {}},
        {"ASCII 9600 8N1", {Protocol::Ascii, {9600, k8N1}, {12, 345}, {12, 345}}, {}},
        {"Modbus 2400 8N1", {Protocol::Modbus, {2400, k8N1}, {1, 2}, {1, 2}}, {}},
        {"Modbus 19200 8N1, no marks",
         {Protocol::Modbus, {19200, k8N1}, {5, 6}, {6}, kNoMarks},
         {k8E1, k8O1}},
        // Masters that read or write with other functions than the probe's.
        {"Modbus reading coils", {Protocol::Modbus, {9600, k8N1}, {2, 9}, {2, 9}, kMarks, 1}, {}},
        {"Modbus reading inputs", {Protocol::Modbus, {9600, k8N1}, {4, 8}, {8}, kMarks, 2}, {}},
        {"Modbus reading input registers",
         {Protocol::Modbus, {9600, k8E1}, {1, 2, 3}, {1, 3}, kMarks, 4},
         {}},
        {"Modbus writing a coil", {Protocol::Modbus, {9600, k8N1}, {6, 7}, {6, 7}, kMarks, 5}, {}},
        {"Modbus writing coils", {Protocol::Modbus, {9600, k8N1}, {10, 11}, {11}, kMarks, 15}, {}},
        {"Modbus writing registers",
         {Protocol::Modbus, {38400, k8N1}, {12, 247}, {12, 247}, kMarks, 16},
         {}},
    };
    for (const auto& row : rows) {
        steps_ = Steps();
        port_.written.clear();
        Behind(port_, row.bus);
        const std::optional<Hearing> hearing = Listened();
        ASSERT_TRUE(hearing.has_value()) << row.name;
        EXPECT_EQ(hearing->baud, row.bus.setting.baud) << row.name;
        EXPECT_EQ(hearing->framing, row.bus.setting.framing) << row.name;
        ASSERT_EQ(hearing->heard.size(), 1U) << row.name;
        const Heard& heard = hearing->heard[0];
        EXPECT_EQ(heard.protocol, row.bus.protocol) << row.name;
        EXPECT_EQ(heard.polled, row.bus.polled) << row.name;
        EXPECT_EQ(heard.answered, row.bus.answering) << row.name;
        EXPECT_EQ(heard.badFrames, 0) << row.name;
        EXPECT_EQ(hearing->notExcluded, row.notExcluded) << row.name;
        EXPECT_EQ(steps_.tried.back().baud, row.bus.setting.baud) << row.name;
        EXPECT_TRUE(steps_.tried.back().listen) << row.name;
        EXPECT_EQ(port_.written, "") << row.name;
    }
    EXPECT_EQ(port_.Count("Write"), 0);
}

// A master that polls one station only late in its cycle: once the bus is
// identified the listen goes on for another dwell, so that station is still
// listed.
TEST_F(ListenTest, StationsPolledLateInTheCycleAreStillListed) {
    Behind(port_, {Protocol::Modbus, {9600, k8N1}, {3, 7, 9, 40}, {3, 7, 9, 40}});
    ListenPlan plan;
    plan.rates = {9600};
    plan.framings = {k8N1};
    plan.dwell = milliseconds(250);  // station 40 is polled 307 ms in
    const std::optional<Hearing> hearing = Listen(plan);
    ASSERT_TRUE(hearing.has_value());
    EXPECT_EQ(hearing->heard.front().polled, (std::vector<int>{3, 7, 9, 40}));
}

// A stop ends the listen at once, as stopped; a line lost while it is
// listened to ends it there, unfinished, said once.
TEST_F(ListenTest, AStopOrALostLineEndsTheListenWhereItCame) {
    ListenPlan plan;
    plan.rates = {19200, 9600};
    plan.framings = {k8N1, k8E1};
    for (const int stopAt : {2, 4}) {  // a setting between others, and the last
        steps_ = Steps();
        std::stop_source stop;
        steps_.on_listening = [&stop, stopAt](int setting) {
            if (setting == stopAt) {
                stop.request_stop();
            }
        };
        const Clock::Duration start = clock_.Now();
        EXPECT_EQ(Outcome(plan, stop.get_token()).kind, ListenOutcome::Kind::Stopped) << stopAt;
        EXPECT_EQ(steps_.tried.size(), static_cast<std::size_t>(stopAt));
        EXPECT_LT(clock_.Now() - start, plan.dwell * stopAt);
    }

    steps_ = Steps();
    port_.Fail("WaitForInput", LineError::DeviceNotFound, "gone");
    const ListenOutcome lost = Outcome(plan);
    EXPECT_EQ(lost.kind, ListenOutcome::Kind::Unfinished);
    EXPECT_EQ(lost.at.baud, 19200);
    EXPECT_EQ(lost.at.framing, k8N1);
    EXPECT_EQ(steps_.tried.size(), 1U);
    EXPECT_EQ(steps_.failed, 1);
}

// A setting whose marked errors show it wrong is left at once; a silent
// line is listened to for the whole dwell at every setting.
TEST_F(ListenTest, MarkedErrorsLeaveASettingAtOnceSilenceTakesTheDwell) {
    Behind(port_, {Protocol::Modbus, {460800, k8E1}, {3}, {3}});
    ListenPlan plan;
    plan.rates = {460800};
    plan.framings = {k8N1};
    const Clock::Duration start = clock_.Now();
    EXPECT_FALSE(Listen(plan).has_value());
    EXPECT_LT(clock_.Now() - start, milliseconds(200));

    port_.on_open = [this](const LineSettings&) { port_.DropArrivals(); };
    const Clock::Duration silent = clock_.Now();
    EXPECT_FALSE(Listen(plan).has_value());
    EXPECT_EQ(clock_.Now() - silent, plan.dwell);
}

// Random bytes are never taken for traffic: 10 MB at the ten rates, each
// arriving in pieces as fast as its rate carries them.
TEST_F(ListenTest, RandomBytesAreNeverTraffic) {
    std::mt19937 random(20261207);
    std::size_t delivered = 0;
    port_.on_open = [&](const LineSettings& line) {
        port_.DropArrivals();
        const std::int64_t perByte = 10'000'000'000LL / line.baud;
        std::int64_t at = 0;
        for (std::size_t sent = 0; sent < 1'000'000;) {
            std::string piece(1 + random() % 512, '\0');
            for (char& c : piece) {
                c = static_cast<char>(random());
            }
            sent += piece.size();
            at += perByte * static_cast<std::int64_t>(piece.size());
            std::string marked;  // a real 0377 as the tty doubles it
            for (const char c : piece) {
                marked += c;
                marked += c == '\xFF' ? "\xFF" : "";
            }
            port_.Arrive(std::chrono::nanoseconds(at), marked);
        }
        delivered += 1'000'000;
    };
    ListenPlan plan;
    plan.rates.assign(kScanRates.begin(), kScanRates.end());
    plan.framings = {k8N1};
    plan.dwell = std::chrono::seconds(5000);  // every byte heard
    EXPECT_FALSE(Listen(plan).has_value());
    EXPECT_GE(delivered, 10'000'000U);
    EXPECT_EQ(steps_.tried.size(), 10U);
}

}  // namespace

}  // namespace probelyn
