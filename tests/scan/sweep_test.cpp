// The likely order of a sweep, run by the engine on the in-memory port and
// clock: which settings and stations come when, and how long a find takes.
#include <gtest/gtest.h>

#include "fake_port.h"
#include "fake_scan_steps.h"
#include "probe_frames.h"
#include "scan_run.h"

namespace probelyn {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const Framing k8N1{};
const Framing k8E1{Parity::Even, 1};
const Framing k8O1{Parity::Odd, 1};
const Framing k8N2{Parity::None, 2};

ScanPlan Likely(std::vector<Protocol> protocols) {
    ScanPlan plan;
    plan.protocols = std::move(protocols);
    plan.framings = {k8N1, k8E1, k8O1, k8N2};
    plan.order = ScanOrder::LikelyFirst;
    plan.change = SettingChange::OnOpenLine;
    plan.tellAnswers = plan.identify = true;  // as the scanner's: a silent station costs no more
    return plan;
}

class SweepTest : public testing::Test {
  protected:
    struct Write {
        Setting setting;
        int station;
    };

    SweepTest() : access_(port_), run_(access_, clock_) {
        port_.UseClock(&clock_);
        port_.on_write = [this](const std::string& request) { Record(request); };
    }
    // The request with the station it asks, whichever probe it is.
    void Record(const std::string& request) {
        const int station = request.size() == 10  ? std::stoi(request.substr(1, 3))
                            : request.size() == 5 ? static_cast<unsigned char>(request[1])
                                                  : static_cast<unsigned char>(request[0]);
        writes_.push_back({{port_.rate, port_.framing}, station});
    }
    ScanOutcome Run(const ScanPlan& plan) {
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
    std::vector<Write> writes_;
    Clock::Duration took_{};
};

// Station 1 at every setting, the likely rates at 8N1 and 8E1 before 8O1 and
// 8N2; then stations 2-10 and 247 at each setting; then the others at each
// setting. The line is set anew at each setting and closed once, at the end,
// and the sweep takes its reply windows, nothing more.
TEST_F(SweepTest, TheLikelySettingsAndStationsComeFirstOnALineThatStaysOpen) {
    EXPECT_EQ(Run(Likely({Protocol::Modbus})).kind, ScanOutcome::Kind::NothingFound);
    ASSERT_EQ(writes_.size(), 255U * 40U);
    const Setting first[] = {{9600, k8N1},  {9600, k8E1},  {19200, k8N1},
                             {19200, k8E1}, {38400, k8N1}, {115200, k8N1}};
    EXPECT_EQ(writes_[0].setting, first[0]);
    EXPECT_EQ(writes_[3].setting, first[3]);
    EXPECT_EQ(writes_[4].setting, first[4]);
    EXPECT_EQ(writes_[6].setting, first[5]);
    EXPECT_EQ(writes_[20].setting, (Setting{9600, k8O1}));
    EXPECT_EQ(writes_[21].setting, (Setting{9600, k8N2}));
    EXPECT_EQ(writes_[39].setting, (Setting{460800, k8N2}));
    for (std::size_t i = 0; i < 40; ++i) {
        EXPECT_EQ(writes_[i].station, 1);
        for (std::size_t j = 0; j < i; ++j) {
            EXPECT_FALSE(writes_[i].setting == writes_[j].setting) << i << " " << j;
        }
    }
    const int likely[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 247};
    for (std::size_t i = 40; i < 440; ++i) {
        EXPECT_EQ(writes_[i].station, likely[(i - 40) % 10]) << i;
        EXPECT_EQ(writes_[i].setting, writes_[(i - 40) / 10].setting) << i;
    }
    EXPECT_EQ(writes_[440].station, 11);
    EXPECT_EQ(writes_[440].setting, writes_[0].setting);
    EXPECT_EQ(writes_[440 + 235].station, 246);
    EXPECT_EQ(writes_[440 + 236].station, 248);
    EXPECT_EQ(writes_.back().station, 255);
    EXPECT_EQ(writes_.back().setting, writes_[39].setting);
    EXPECT_EQ(port_.Count("Open"), 120);
    EXPECT_EQ(port_.Count("Close"), 1);
    EXPECT_EQ(took_, 255 * 4 * milliseconds(1046));
}

// An instrument at station 1 is found within 15 s at any setting, one at
// stations 2-10 or 247 within two and a half minutes, one elsewhere at
// last; the slowest of each is at the sweep's last setting, with the probe
// that comes last at a station.
TEST_F(SweepTest, LikelyInstrumentsAreFoundSoon) {
    const struct {
        int station;
        Setting setting;
        Protocol protocol;
        Clock::Duration within;
    } rows[] = {
        {1, {9600, k8N1}, Protocol::Ascii, milliseconds(200)},
        {1, {460800, k8N2}, Protocol::LyraBus, seconds(15)},
        {247, {460800, k8N2}, Protocol::LyraBus, seconds(150)},
        {10, {76800, k8O1}, Protocol::Modbus, seconds(150)},
        {200, {2400, k8E1}, Protocol::Ascii, std::chrono::hours(1)},
    };
    for (const auto& row : rows) {
        writes_.clear();
        port_.on_write = [&](const std::string& request) {
            Record(request);
            if (writes_.back().setting == row.setting && writes_.back().station == row.station) {
                if (row.protocol == Protocol::Ascii && request == AsciiRequest(row.station)) {
                    port_.Arrive(milliseconds(3), "?\r");
                } else if (row.protocol == Protocol::LyraBus &&
                           request == LyraBusRequest(row.station)) {
                    port_.Arrive(milliseconds(3),
                                 std::string(1, static_cast<char>(row.station)) +
                                     std::string(8, '\0') +
                                     std::string{static_cast<char>(row.station >> 4),
                                                 static_cast<char>(row.station & 15)});
                } else if (row.protocol == Protocol::Modbus &&
                           request == ModbusRequest(row.station)) {
                    port_.Arrive(milliseconds(3), ModbusReplyStart(row.station));
                }
            }
        };
        const ScanOutcome outcome =
            Run(Likely({Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus}));
        ASSERT_EQ(outcome.kind, ScanOutcome::Kind::Found) << row.station;
        EXPECT_EQ(outcome.find.station, row.station);
        EXPECT_EQ((Setting{outcome.find.baud, outcome.find.framing}), row.setting);
        EXPECT_LE(took_, row.within) << row.station;
    }
}

// Narrowing removes settings and stations and keeps the order: the rates
// and framings the order does not know come after those it does, as given.
TEST_F(SweepTest, NarrowedPlansKeepTheOrder) {
    ScanPlan plan = Likely({Protocol::Modbus});
    plan.rates = {19200, 14400, 460800, 9600};
    plan.framings = {k8O1, {Parity::Even, 2}, k8N1};
    plan.firstStation = 5;
    plan.lastStation = 12;
    Run(plan);
    const Setting order[] = {{9600, k8N1},
                             {19200, k8N1},
                             {460800, k8N1},
                             {14400, k8N1},
                             {9600, k8O1},
                             {19200, k8O1},
                             {460800, k8O1},
                             {14400, k8O1},
                             {9600, {Parity::Even, 2}},
                             {19200, {Parity::Even, 2}},
                             {460800, {Parity::Even, 2}},
                             {14400, {Parity::Even, 2}}};
    ASSERT_EQ(writes_.size(), 12U * 8U);
    for (std::size_t s = 0; s < 12; ++s) {
        for (std::size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(writes_[s * 6 + i].setting, order[s]) << s;
            EXPECT_EQ(writes_[s * 6 + i].station, 5 + static_cast<int>(i));
        }
        EXPECT_EQ(writes_[72 + s * 2].setting, order[s]) << s;
        EXPECT_EQ(writes_[72 + s * 2 + 1].station, 12);
    }
}

// A line lost in a later pass ends the run there, and says which pass.
TEST_F(SweepTest, ALineLostInALaterPassSaysWhere) {
    ScanPlan plan = Likely({Protocol::Modbus});
    plan.rates = {9600};
    plan.framings = {k8N1};
    plan.lastStation = 12;
    plan.onLineLoss = LineLoss::EndRun;
    port_.on_write = [this](const std::string& request) {
        Record(request);
        if (writes_.size() == 3) {  // stations 1 to 3 went out, then the adapter was pulled
            port_.Fail("Write", LineError::DeviceNotFound, "gone");
        }
    };
    const ScanOutcome outcome = Run(plan);
    EXPECT_EQ(outcome.kind, ScanOutcome::Kind::Unfinished);
    EXPECT_EQ(outcome.at.station, 4);
    EXPECT_EQ(outcome.at.pass, 1U);
}

// As given on a line that stays open: today's nesting, the line set anew
// at each rate and closed once.
TEST_F(SweepTest, AsGivenOnALineThatStaysOpen) {
    ScanPlan plan = Likely({Protocol::Ascii});
    plan.order = ScanOrder::AsGiven;
    plan.framings = {k8E1, k8N1};
    plan.firstStation = plan.lastStation = 3;
    Run(plan);
    ASSERT_EQ(writes_.size(), 20U);
    for (std::size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(writes_[i].setting, (Setting{kScanRates[i % 10], i < 10 ? k8E1 : k8N1}));
    }
    EXPECT_EQ(port_.Count("Open"), 20);
    EXPECT_EQ(port_.Count("Close"), 1);
}

}  // namespace

}  // namespace probelyn
