// Whole scans against the in-memory port, clock and front end: full length
// in milliseconds of real time.
#include "scan_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

#include "base_time_limit.h"
#include "fake_port.h"
#include "fake_scan_steps.h"
#include "probe_frames.h"
#include "protocol.h"

namespace probelyn {

namespace {

using std::chrono::milliseconds;
using Kind = ScanOutcome::Kind;

TEST(BaseTimeLimitTest, ComesOutOfTheRule) {
    const int expected[] = {50, 50, 60, 77, 86, 94, 103, 107, 109, 110};
    for (std::size_t i = 0; i < std::size(kScanRates); ++i) {
        EXPECT_EQ(BaseTimeLimit(kScanRates[i]), expected[i]) << kScanRates[i];
    }
}

ScanPlan Plan(std::vector<Protocol> protocols, int first = 1, int last = 255) {
    ScanPlan plan;
    plan.protocols = std::move(protocols);
    plan.firstStation = first;
    plan.lastStation = last;
    return plan;
}

class ScanRunTest : public testing::Test {
  protected:
    ScanRunTest() : access_(port_), run_(access_, clock_) {
        port_.UseClock(&clock_);
        port_.on_write = [this](const std::string& request) {
            writes_.push_back({clock_.Now(), port_.rate, request});
        };
    }

    // Makes the instrument answer `reply` 3 ms after the request `expected`.
    void Answer(const std::string& expected, const std::string& reply) {
        port_.on_write = [this, expected, reply](const std::string& request) {
            writes_.push_back({clock_.Now(), port_.rate, request});
            if (request == expected) {
                port_.Arrive(milliseconds(3), reply);
            }
        };
    }
    // Asks for a stop at the given event-loop turn.
    void StopAtTurn(int turn) {
        steps_.on_turn = [this, turn](int t) {
            if (t == turn) {
                stop_.request_stop();
            }
        };
    }
    ScanOutcome DetectNow(const ScanPlan& plan) {
        return run_.DetectNow(plan, steps_, stop_.get_token());
    }

    struct Write {
        Clock::Duration at;
        int rate;
        std::string bytes;
    };

    FakeClock clock_;
    FakePort port_;
    FakeScanSteps steps_;
    std::stop_source stop_;
    PortAccess access_;
    ScanRun run_;
    std::vector<Write> writes_;
};

TEST_F(ScanRunTest, TenRatesInOrderEachWithItsWait) {
    for (bool modbus : {false, true}) {
        writes_.clear();
        const Clock::Duration start = clock_.Now();
        EXPECT_EQ(DetectNow(Plan({modbus ? Protocol::Modbus : Protocol::Ascii}, 1, 1)).kind,
                  Kind::NothingFound);
        ASSERT_EQ(writes_.size(), 10U);
        for (std::size_t i = 0; i < 10; ++i) {
            EXPECT_EQ(writes_[i].rate, kScanRates[i]);
            const Clock::Duration next = i + 1 < 10 ? writes_[i + 1].at : clock_.Now();
            const int wait = BaseTimeLimit(kScanRates[i]) + (modbus ? 20 : 0);
            EXPECT_EQ(next - writes_[i].at, milliseconds(wait)) << kScanRates[i];
        }
        EXPECT_EQ(clock_.Now() - start, milliseconds(modbus ? 1046 : 846));
    }
}

// A line over the network widens each reply window by its margin, on top of
// the plan's extra wait.
TEST_F(ScanRunTest, ALineOverTheNetworkWidensEveryWindowByItsMargin) {
    port_.timing = {.network = true, .replyMarginMs = 30};
    ScanPlan plan = Plan({Protocol::LyraBus}, 1, 2);
    plan.rates = {9600};
    plan.extraWaitMs = 7;
    DetectNow(plan);
    ASSERT_EQ(writes_.size(), 2U);
    EXPECT_EQ(writes_[1].at - writes_[0].at, milliseconds(BaseTimeLimit(9600) + 7 + 30));
}

// On a line whose bytes come in segments, a gap inside an ASCII reply is
// not taken for its end: the rest goes with the discard before the second
// probe, which the station then answers cleanly.
TEST_F(ScanRunTest, ASegmentedAsciiReplyIsConfirmedAfterTheLinesQuietFloor) {
    port_.timing = {.network = true, .quietFloor = milliseconds(25)};
    port_.on_write = [this](const std::string& request) {
        if (request == AsciiRequest(1)) {
            port_.Arrive(milliseconds(8), "?\r");
            port_.Arrive(milliseconds(26), "x");
        }
    };
    ScanPlan plan = Plan({Protocol::Ascii}, 1, 1);
    plan.rates = {9600};
    EXPECT_EQ(DetectNow(plan).kind, Kind::Found);
}

TEST_F(ScanRunTest, NothingFoundAndNoToTheExtendedScan) {
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii})).kind, Kind::NothingFound);
    ASSERT_EQ(steps_.steps.size(), 2550U);
    EXPECT_EQ(steps_.steps.front(), (ScanStep{460800, 1, 1, 2540}));
    EXPECT_EQ(steps_.steps.back(), (ScanStep{2400, 255, 2550, 2540}));
    EXPECT_EQ(steps_.questions, 1);
    EXPECT_EQ(port_.Count("Open"), 10);
    EXPECT_EQ(port_.Count("Close"), 10);
    EXPECT_TRUE(steps_.notices.empty());
}

TEST_F(ScanRunTest, ExtendedScanWalks256To999WithTheAsciiProbeOnly) {
    steps_.answer_yes = true;
    EXPECT_EQ(DetectNow(Plan({Protocol::LyraBus})).kind, Kind::NothingFound);
    EXPECT_EQ(steps_.steps.back(), (ScanStep{2400, 999, 7440, 7430}));
    EXPECT_EQ(steps_.steps.size(), 2550U + 7440U);
    EXPECT_EQ(writes_[2550].bytes, AsciiRequest(256));
    EXPECT_EQ(writes_.back().bytes, AsciiRequest(999));
    ASSERT_EQ(steps_.notices.size(), 1U);
    EXPECT_EQ(steps_.notices[0].kind, Notice::Kind::NothingIdentified);
}

TEST_F(ScanRunTest, FindAtTheVeryFirstProbe) {
    ScanPlan plan = Plan({Protocol::Modbus});
    plan.line = {.com = 7};
    Answer(ModbusRequest(1), ModbusReplyStart(1) + "\x01\x02");
    const ScanOutcome outcome = DetectNow(plan);
    EXPECT_EQ(outcome.kind, Kind::Found);
    EXPECT_EQ(port_.line, 7);
    ASSERT_EQ(steps_.steps.size(), 1U);
    EXPECT_EQ(steps_.steps[0], (ScanStep{460800, 1, 1, 2540}));
    ASSERT_EQ(steps_.notices.size(), 1U);
    EXPECT_EQ(FoundText(steps_.notices[0].find, {.com = 7}),
              "ModBus device on COM7 at 460800 baudrate on station 1");
    EXPECT_EQ(FoundText(outcome.find, {.com = 7}),
              "ModBus device on COM7 at 460800 baudrate on station 1");
    EXPECT_EQ(port_.Count("Close"), 1);  // by CancelNow
    EXPECT_EQ(steps_.turns, 0);
    EXPECT_EQ(steps_.questions, 0);
}

TEST_F(ScanRunTest, EachKindIsFoundAtItsStation) {
    const struct {
        Protocol protocol;
        std::string request;
        std::string reply;
        int station;
    } cases[] = {
        {Protocol::Ascii, AsciiRequest(300), "?\r", 300},
        {Protocol::LyraBus, LyraBusRequest(138),
         std::string("\x8a\x10\x20\x30\x40\x50\x60\x70\x80\x00\x0a", 11), 138},
    };
    for (const auto& c : cases) {
        steps_ = FakeScanSteps();
        steps_.answer_yes = true;
        Answer(c.request, c.reply);
        const ScanOutcome outcome = DetectNow(Plan({c.protocol}));
        EXPECT_EQ(outcome.kind, Kind::Found);
        EXPECT_EQ(outcome.find.protocol, c.protocol);
        EXPECT_EQ(outcome.find.baud, 460800);
        EXPECT_EQ(outcome.find.station, c.station);
    }
}

TEST_F(ScanRunTest, FailedOpenShowsThePortErrorAndTheCountCarriesOn) {
    port_.open_fails_at_rate = {{76800, "Device or resource busy"}};
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii}, 1, 2)).kind, Kind::NothingFound);
    ASSERT_EQ(steps_.notices.size(), 1U);
    EXPECT_EQ(steps_.notices[0].kind, Notice::Kind::PortError);
    EXPECT_EQ(steps_.notices[0].baud, 76800);
    EXPECT_EQ(steps_.notices[0].error.description, "Device or resource busy");
    for (const Write& w : writes_) {
        EXPECT_NE(w.rate, 76800);
    }
    ASSERT_EQ(steps_.steps.size(), 18U);
    EXPECT_EQ(steps_.steps[6], (ScanStep{57600, 1, 7, 10}));  // first station at 57600

    port_.open_fails_at_rate.clear();
    port_.open_result = 0;  // refused without a recorded failure
    steps_.notices.clear();
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii}, 1, 2)).kind, Kind::NothingFound);
    ASSERT_EQ(steps_.notices.size(), 10U);
    EXPECT_EQ(steps_.notices[0].baud, 460800);
    EXPECT_TRUE(steps_.notices[0].error.description.empty());
}

// An ASCII reply names no station: a reply to station 5 that comes 70 ms late
// at 460800 (T = 50) lands in station 6's wait. It is not reported as station
// 6; the confirming probe finds station 6 silent.
TEST_F(ScanRunTest, LateAsciiReplyIsNotCreditedToTheNextStation) {
    port_.on_write = [this](const std::string& request) {
        writes_.push_back({clock_.Now(), port_.rate, request});
        if (request == AsciiRequest(5) && port_.rate == 460800) {
            port_.Arrive(milliseconds(70), "?\r");
        }
    };
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii}, 1, 8)).kind, Kind::NothingFound);
    EXPECT_TRUE(steps_.notices.empty());
    EXPECT_EQ(writes_.size(), 8U * 10U + 1U);  // and the confirming probe of station 6
}

TEST_F(ScanRunTest, NoProbeChosenStillWalksEveryRateAndStation) {
    EXPECT_EQ(DetectNow(Plan({}, 1, 3)).kind, Kind::NothingFound);
    EXPECT_EQ(port_.Count("Open"), 10);
    EXPECT_EQ(port_.Count("Close"), 10);
    EXPECT_EQ(steps_.steps.size(), 30U);
    EXPECT_TRUE(writes_.empty());
}

// One station with every probe chosen, on an odd-parity line, where a
// LyraBus instrument answers: the probes in the engine's order, each miss
// waited out and discarded, the find's line closed.
TEST_F(ScanRunTest, StationTranscript) {
    Answer(LyraBusRequest(138), std::string("\x8a\x10\x20\x30\x40\x50\x60\x70\x80\x00\x0a", 11));
    ScanPlan plan = Plan({Protocol::LyraBus, Protocol::Modbus, Protocol::Ascii}, 138, 138);
    plan.rates = {460800};
    plan.framings = {{.parity = Parity::Odd, .stopBits = 1}};
    EXPECT_EQ(DetectNow(plan).kind, Kind::Found);
    EXPECT_EQ(port_.transcript,
              "open COM1 460800 8O1\n"
              ">> 21 31 33 38 3A 58 58 59 3F 0D\n"  // !138:XXY? CR
              "wait 50 ms\n"
              "discard\n"
              ">> 8A 03 00 3C 00 02 1A BC\n"
              "wait 70 ms\n"
              "discard\n"
              ">> FE 8A 8A 00 00\n"
              "wait 3 ms\n"
              "<< 8A 10 20 30 40 50 60 70 80 00 0A\n"
              "close\n");
}

// Several instruments on one bus, behind a converter that needs more time:
// every one reported, the first one the outcome, each silent station waited
// out with the extra time, and the tail of each reply (2 ms after its start)
// let in and discarded before the next station is asked.
TEST_F(ScanRunTest, EveryFindReportedWhenTheRunGoesOn) {
    port_.on_write = [this](const std::string& request) {
        for (const int station : {3, 5}) {
            if (request == ModbusRequest(station)) {
                port_.Arrive(milliseconds(3), ModbusReplyStart(station));
                port_.Arrive(milliseconds(5), "\x11\x22");
            }
        }
    };
    ScanPlan plan = Plan({Protocol::Modbus}, 1, 6);
    plan.rates = {460800};
    plan.stopAtFind = false;
    plan.extraWaitMs = 30;
    const Clock::Duration start = clock_.Now();
    const ScanOutcome outcome = DetectNow(plan);
    const Clock::Duration quiet = Probes::kQuietBeforeConfirm;
    EXPECT_EQ(clock_.Now() - start, 4 * milliseconds(70 + 30) + 2 * (milliseconds(5) + quiet));
    EXPECT_EQ(outcome.kind, Kind::Found);
    EXPECT_EQ(outcome.find.station, 3);
    const std::vector<Notice> found = steps_.Noticed(Notice::Kind::Found);
    ASSERT_EQ(found.size(), 2U);
    EXPECT_EQ(found[1].find.station, 5);
    EXPECT_EQ(steps_.turns, 6);
    EXPECT_EQ(port_.Count("Close"), 1);
    EXPECT_EQ(port_.transcript.find("<< 11 22"), std::string::npos) << port_.transcript;
}

// A stop (Ctrl-C) during a long reply window ends the wait at once: the
// station in flight gives no verdict, even when its reply comes with the
// stop, nothing more is sent, and the line is closed.
TEST_F(ScanRunTest, StopEndsTheWaitInProgress) {
    const std::vector<Protocol> rows[] = {{Protocol::Ascii},
                                          {Protocol::Modbus},
                                          {Protocol::LyraBus},
                                          {Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus}};
    for (const std::vector<Protocol>& protocols : rows) {
        port_.transcript.clear();
        stop_ = std::stop_source();
        port_.on_write = [this](const std::string&) {
            port_.StopAt(milliseconds(5), stop_);
            port_.Arrive(milliseconds(5), ModbusReplyStart(1) + "\x11\x22");
        };
        ScanPlan plan = Plan(protocols, 1, 3);
        plan.extraWaitMs = 10000;
        const Clock::Duration start = clock_.Now();
        EXPECT_EQ(DetectNow(plan).kind, Kind::Stopped);
        EXPECT_EQ(clock_.Now() - start, milliseconds(5)) << NameOf(protocols.back());
        EXPECT_EQ(std::count(port_.transcript.begin(), port_.transcript.end(), '>'), 2)
            << port_.transcript;  // one request
        EXPECT_TRUE(port_.transcript.ends_with("close\n")) << port_.transcript;
        EXPECT_TRUE(steps_.Noticed(Notice::Kind::Found).empty());
        port_.DiscardInput();
    }
}

TEST_F(ScanRunTest, StopPendingOnEntryTouchesNothing) {
    stop_.request_stop();
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii})).kind, Kind::Stopped);
    EXPECT_TRUE(steps_.steps.empty());
    EXPECT_TRUE(port_.calls.empty());
}

TEST_F(ScanRunTest, StopAtTheLastStationOfTheLastRateTakesTheStopPath) {
    StopAtTurn(2550);
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii})).kind, Kind::Stopped);
    EXPECT_EQ(steps_.questions, 0);
    EXPECT_EQ(access_.PortHandle(), 0);
}

TEST_F(ScanRunTest, StopEndsTheRunBeforeTheNextStationWithTheLineClosed) {
    StopAtTurn(3);
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii})).kind, Kind::Stopped);
    EXPECT_EQ(steps_.steps.size(), 3U);
    EXPECT_EQ(port_.Count("Close"), 1);
    EXPECT_EQ(access_.PortHandle(), 0);
}

TEST_F(ScanRunTest, StopDuringTheExtendedScanReportsNoFailure) {
    steps_.answer_yes = true;
    StopAtTurn(2550 + 100);
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii})).kind, Kind::Stopped);
    EXPECT_EQ(steps_.steps.size(), 2550U + 100U);
    EXPECT_TRUE(steps_.notices.empty());
}

TEST_F(ScanRunTest, FailuresInsideTheEngineArePassedOver) {
    port_.Fail("DiscardInput");
    port_.Fail("Write");
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii}, 1, 2)).kind, Kind::NothingFound);
    EXPECT_EQ(steps_.steps.size(), 20U);
    EXPECT_EQ(port_.Count("Write"), 20);

    port_.Heal("Write");
    port_.Fail("Close", LineError::Io, "Input/output error");
    EXPECT_EQ(DetectNow(Plan({Protocol::Ascii}, 1, 2)).kind, Kind::NothingFound);
    EXPECT_EQ(port_.Count("Close"), 20);  // every rate still closes (and fails)
    EXPECT_EQ(steps_.steps.size(), 40U);
}

// A fault of the program is no failure of the line: it passes on, from the
// line and from the front end's steps alike, where a failure of the front
// end's own is passed over.
TEST_F(ScanRunTest, AFaultOfTheProgramIsNotPassedOver) {
    steps_.on_progress = [](const ScanStep&) { throw std::runtime_error("not drawn"); };
    EXPECT_EQ(DetectNow(Plan({Protocol::Modbus}, 1, 2)).kind, Kind::NothingFound);
    steps_.on_progress = [](const ScanStep&) { throw std::logic_error("a fault"); };
    EXPECT_THROW(DetectNow(Plan({Protocol::Modbus}, 1, 2)), std::logic_error);
    steps_.on_progress = nullptr;
    port_.Break("Write");
    EXPECT_THROW(DetectNow(Plan({Protocol::Modbus}, 1, 2)), std::logic_error);
    EXPECT_TRUE(access_.Error().IsClear());
}

// A line that cannot be used at all (gone at an open, or unplugged while its
// stations are tried) ends the run where the plan says so, as the scanner's
// does, with where it ended; the window's plan goes on to every next setting,
// as it always has. A failure that depends on the setting never ends it.
TEST_F(ScanRunTest, ALineThatCannotBeUsedEndsTheRunWhereThePlanSaysSo) {
    const auto goneAtOpen = [this] { port_.Fail("Open", LineError::DeviceNotFound, "gone"); };
    const auto unpluggedAtStation2 = [this] {
        port_.on_write = [this](const std::string&) {
            port_.Fail("Write", LineError::DeviceNotFound, "gone");
        };
    };
    const auto refusedRate = [this] { port_.open_fails_at_rate = {{460800, "refused"}}; };
    const auto failingWrites = [this] { port_.Fail("Write", LineError::Io, "I/O"); };
    const struct {
        const char* name;
        std::function<void()> setUp;
        LineLoss onLineLoss;
        Kind kind;
        int portErrors;
        int writes;
        EndedAt at;
    } rows[] = {
        {"gone at open, scanner", goneAtOpen, LineLoss::EndRun, Kind::Unfinished, 1, 0, {460800}},
        {"gone at open, window", goneAtOpen, LineLoss::NextSetting, Kind::NothingFound, 10, 0},
        {"unplugged, scanner",
         unpluggedAtStation2,
         LineLoss::EndRun,
         Kind::Unfinished,
         0,
         2,
         {460800, {}, 2}},
        {"unplugged, window", unpluggedAtStation2, LineLoss::NextSetting, Kind::NothingFound, 0,
         20},
        {"refused rate, scanner", refusedRate, LineLoss::EndRun, Kind::NothingFound, 1, 18},
        {"failing writes, scanner", failingWrites, LineLoss::EndRun, Kind::NothingFound, 0, 20},
    };
    for (const auto& row : rows) {
        port_ = FakePort();
        port_.UseClock(&clock_);
        steps_ = FakeScanSteps();
        row.setUp();
        ScanPlan plan = Plan({Protocol::Modbus}, 1, 2);
        plan.onLineLoss = row.onLineLoss;
        const ScanOutcome outcome = DetectNow(plan);
        EXPECT_EQ(outcome.kind, row.kind) << row.name;
        EXPECT_EQ(steps_.Noticed(Notice::Kind::PortError).size(), row.portErrors) << row.name;
        EXPECT_EQ(port_.Count("Write"), row.writes) << row.name;
        if (row.kind == Kind::Unfinished) {
            EXPECT_EQ(outcome.failure.error, LineError::DeviceNotFound) << row.name;
            EXPECT_EQ(outcome.at.baud, row.at.baud) << row.name;
            EXPECT_EQ(outcome.at.station, row.at.station) << row.name;
            EXPECT_EQ(port_.Count("Close"), row.writes > 0 ? 1 : 0) << row.name;
        }
    }
}

TEST_F(ScanRunTest, CloseFailureAtTheEndOfAStoppedRunIsTheOutcome) {
    StopAtTurn(1);
    port_.Fail("Close", LineError::Io, "Input/output error");
    const ScanOutcome outcome = DetectNow(Plan({Protocol::Ascii}));
    EXPECT_EQ(outcome.kind, Kind::LineFailure);
    EXPECT_EQ(outcome.failure.error, LineError::Io);
    EXPECT_EQ(outcome.failure.description, "Input/output error");
}

}  // namespace

}  // namespace probelyn
