// The window core against a surface that records what it is told, driving
// the in-memory port in virtual time: run control as a table of user actions
// at moments of a run, and how each way a run ends leaves the window.
#include "window_core.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "fake_port.h"
#include "probe_frames.h"

namespace probelyn {

namespace {

// Records looks, boxes, questions, closes and the status texts other than a
// station's; answers questions from a script (No when it runs out).
class RecordingSurface : public WindowSurface {
  public:
    void ShowStatus(const std::string& text) override {
        status = text;
        if (text.rfind("Trying ", 0) != 0 && text.rfind("Detecting ", 0) != 0) {
            log.push_back("status " + text);
        }
    }
    void ShowCells(int n) override { cells = n; }
    void SetLook(const Look& shown) override {
        look = shown;
        log.push_back(std::string("look ") + shown.caption + (shown.portList ? " P" : " -") +
                      (shown.protocol ? "P" : "-"));
    }
    void ShowBox(const Box& box) override {
        boxes.push_back(box);
        log.push_back("box " + box.title);
        Pump();
    }
    bool AskYesNo(const std::string& title, const std::string& asked) override {
        log.push_back("ask " + title);
        question = asked;
        const bool yes = !answers.empty() && answers.front();
        if (!answers.empty()) {
            answers.erase(answers.begin());
        }
        return yes;
    }
    void TurnEventPump() override { Pump(); }
    void CloseWindow() override {
        log.push_back("close window");
        closedAccepted = core->CloseRequest();
    }
    void AddPortEntry(const PortEntry& entry) override { entries.push_back(entry); }
    void SelectFirstEntries() override { selected = {entries.at(0).com, 0}; }
    Selections Selected() const override { return selected; }

    // Runs the actions queued for this turn, as the toolkit would the events
    // waiting at it.
    void Pump() {
        std::vector<std::function<void()>> now;
        now.swap(queued);
        for (const auto& action : now) {
            action();
        }
    }

    WindowCore* core = nullptr;
    std::vector<std::string> log;
    std::vector<Box> boxes;
    std::vector<bool> answers;
    std::vector<std::function<void()>> queued;
    std::vector<PortEntry> entries;
    std::string status = "Ready";
    std::string question;
    Look look{"Go", true, true};
    Selections selected{0, -1};
    int cells = 0;
    bool closedAccepted = false;
};

class WindowCoreTest : public testing::Test {
  protected:
    WindowCoreTest() {
        auto port = std::make_unique<FakePort>();
        port_ = port.get();
        port_->UseClock(&clock_);
        port_->open_by_line = {{1, 1}};
        port_->on_write = [this](const std::string& request) {
            ++writes_;
            if (onWrite_) {
                onWrite_(request);
            }
        };
        core_ = std::make_unique<WindowCore>(
            surface_, std::move(port),
            ComPortNames::FromDevices({"/dev/ttyFAKE0", "/dev/ttyFAKE1"}), &clock_,
            [](const std::string& device) { return "USB serial adapter at " + device; });
        surface_.core = core_.get();
    }
    bool StartsUp() { return core_->Settle(core_->Discover()); }
    // Queues the actions for the event-pump turn after the n-th request.
    void AtRequest(int n, std::vector<std::function<void()>> actions) {
        onWrite_ = [this, n, actions](const std::string&) {
            if (writes_ == n) {
                for (const auto& action : actions) {
                    surface_.queued.push_back(action);
                }
            }
        };
    }

    FakeClock clock_;
    FakePort* port_ = nullptr;
    RecordingSurface surface_;
    std::unique_ptr<WindowCore> core_;
    int writes_ = 0;
    std::function<void(const std::string&)> onWrite_;
};

// One way through run control: what the user does at the turn after the
// third request, what the window was told from the press on, and whether a
// close request made there was accepted.
struct RunCase {
    const char* name;
    std::vector<const char*> actions;  // "press", "close", "end"
    std::vector<std::string> log;
    std::vector<bool> closeAnswers;
    bool closed;
};

class RunControlTableTest : public WindowCoreTest, public testing::WithParamInterface<RunCase> {};

TEST_P(RunControlTableTest, MovesAsTheTableSays) {
    const RunCase& c = GetParam();
    ASSERT_TRUE(StartsUp());
    surface_.log.clear();
    std::vector<bool> closeAnswers;
    std::vector<std::function<void()>> actions;
    for (const std::string action : c.actions) {
        actions.push_back([this, action, &closeAnswers] {
            if (action == "press") {
                core_->Press();
            } else if (action == "close") {
                closeAnswers.push_back(core_->CloseRequest());
            } else {
                core_->EndRequest();
            }
        });
    }
    AtRequest(3, actions);
    core_->Press();
    EXPECT_EQ(surface_.log, c.log);
    EXPECT_EQ(closeAnswers, c.closeAnswers);
    EXPECT_EQ(core_->Closed(), c.closed);
    EXPECT_FALSE(core_->RunOnStack());
    EXPECT_EQ(core_->PortHandle(), 0);
    EXPECT_EQ(writes_, 3);  // the run stopped at its next check
    EXPECT_EQ(surface_.cells, 0);
    EXPECT_EQ(port_->writes_while_closed, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Moves, RunControlTableTest,
    testing::Values(
        RunCase{"Stop",
                {"press"},
                {"look Stop --", "look Go -P", "status Cancelled by user", "look Go PP"},
                {},
                false},
        RunCase{"CloseRequestStopsThenCloses",
                {"close"},
                {"look Stop --", "look Stop --", "look Go PP", "close window", "look Go PP"},
                {false},
                true},
        RunCase{"SecondCloseClosesAtOnce",
                {"close", "close"},
                {"look Stop --", "look Stop --", "look Go PP"},
                {false, true},
                true},
        RunCase{"PressWhileClosingClosesAtOnce",
                {"close", "press"},
                {"look Stop --", "look Stop --", "look Go PP", "close window", "look Go PP"},
                {false},
                true},
        RunCase{"StopThenCloseClosesAtOnce",
                {"press", "close"},
                {"look Stop --", "look Go -P", "status Cancelled by user", "look Go PP"},
                {true},
                true},
        // The second press reaches a run that is still unwinding: no second
        // run starts inside it.
        RunCase{"StopThenGoStartsNoSecondRun",
                {"press", "press"},
                {"look Stop --", "look Go -P", "status Cancelled by user", "look Go PP"},
                {},
                false},
        RunCase{"EndRequestClosesAtOnce",
                {"end"},
                {"look Stop --", "look Go PP", "close window", "look Go PP"},
                {},
                true},
        RunCase{"EndRequestAfterStop",
                {"press", "end"},
                {"look Stop --", "look Go -P", "status Cancelled by user", "look Go PP",
                 "close window", "look Go PP"},
                {},
                true}),
    [](const testing::TestParamInfo<RunCase>& param) { return param.param.name; });

TEST_F(WindowCoreTest, IdleRequestsCloseAtOnce) {
    ASSERT_TRUE(StartsUp());
    EXPECT_TRUE(core_->CloseRequest());
    EXPECT_TRUE(core_->Closed());
    EXPECT_TRUE(core_->CloseRequest());   // and again, once closed
    EXPECT_EQ(port_->Count("Close"), 0);  // the line is left to the component
}

TEST_F(WindowCoreTest, EndSessionStopsTheRunAndClosesTheLineAtOnce) {
    ASSERT_TRUE(StartsUp());
    int handleAfter = -1;
    AtRequest(2, {[this, &handleAfter] {
                  core_->EndSession();
                  handleAfter = core_->PortHandle();
              }});
    core_->Press();
    EXPECT_EQ(handleAfter, 0);
    EXPECT_TRUE(core_->Closed());
    EXPECT_EQ(writes_, 2);
    EXPECT_TRUE(surface_.boxes.empty());
}

// A run that meets a rate at which the line does not open, finds nothing (No,
// then Yes to the extended scan), then finds an instrument.
TEST_F(WindowCoreTest, EachEndLeavesItsTextsAndControls) {
    port_->open_by_line = {{2, 1}};
    port_->open_fails_at_rate = {{230400, "No such file or directory"}};
    ASSERT_TRUE(StartsUp());
    ASSERT_EQ(surface_.entries.size(), 1U);
    EXPECT_EQ(surface_.entries[0].text, "COM2");
    EXPECT_EQ(surface_.entries[0].com, 2);
    EXPECT_EQ(surface_.entries[0].description, "USB serial adapter at /dev/ttyFAKE1");
    surface_.selected.protocolIndex = 2;  // Modbus
    surface_.log.clear();
    core_->Press();
    ASSERT_EQ(surface_.boxes.size(), 1U);
    EXPECT_EQ(surface_.boxes[0].kind, BoxKind::Warning);
    EXPECT_EQ(surface_.boxes[0].text,
              "Trying 230400 baud on COM2 caused the following error: No such file or "
              "directory");
    EXPECT_EQ(surface_.question,
              "No instrument was identified! Would you like to attempt an extended address "
              "scan for ASCII instruments (Addresses 256 to 999)?\r\nThis could take a long "
              "time so you should only select Yes if you believe you have an ASCII "
              "instrument connected.");
    EXPECT_EQ(surface_.log.back(), "look Go --");
    EXPECT_EQ(surface_.status, "Trying 2400 baud on COM2 for station number 255...");

    surface_.answers = {true};
    core_->Press();
    ASSERT_EQ(surface_.boxes.size(), 4U);  // 230400 failed in the extended scan too
    EXPECT_EQ(surface_.boxes[3].title, "Identification Failed");
    EXPECT_EQ(surface_.boxes[3].text, "No instrument detected!");
    EXPECT_EQ(surface_.status, "Ready");

    int cells = -1;
    onWrite_ = [&](const std::string& request) {
        if (request == ModbusRequest(100) && port_->rate == 115200) {
            cells = surface_.cells;
            port_->Arrive(std::chrono::milliseconds(3), ModbusReplyStart(100));
        }
    };
    core_->Press();
    EXPECT_EQ(cells, 14);  // 354 stations of 2540 tried (230400 did not open)
    ASSERT_EQ(surface_.boxes.size(), 6U);
    EXPECT_EQ(surface_.boxes[5].kind, BoxKind::Information);
    EXPECT_EQ(surface_.boxes[5].title, "Device Found");
    EXPECT_EQ(surface_.boxes[5].text, "ModBus device on COM2 at 115200 baudrate on station 100");
    EXPECT_EQ(surface_.status,
              "Device Found: ModBus device on COM2 at 115200 baudrate on station 100");
    EXPECT_EQ(surface_.log.back(), "look Go P-");
}

TEST_F(WindowCoreTest, LineFailingToCloseIsReportedAndGivesBothListsBack) {
    ASSERT_TRUE(StartsUp());
    AtRequest(4, {[this] {
                  port_->Fail("Close", LineError::Io, "Input/output error");
                  core_->Press();
              }});
    core_->Press();
    ASSERT_EQ(surface_.boxes.size(), 1U);
    EXPECT_EQ(surface_.boxes[0].title, "Port Error");
    EXPECT_EQ(surface_.boxes[0].text, "Input/output error");
    EXPECT_EQ(surface_.log.back(), "box Port Error");
    EXPECT_EQ(surface_.log.end()[-2], "look Go PP");
}

TEST_F(WindowCoreTest, NoBoxOnceTheWindowHasGone) {
    port_->open_fails_at_rate = {{230400, "No such file or directory"}};
    ASSERT_TRUE(StartsUp());
    surface_.queued.push_back([this] { core_->EndRequest(); });
    core_->Press();
    EXPECT_TRUE(surface_.boxes.empty());
    EXPECT_TRUE(core_->Closed());
}

// The protocol list's index picks the probe; the port entry's item data the
// line.
TEST_F(WindowCoreTest, PlanFollowsTheSelections) {
    port_->open_by_line = {{2, 1}};
    ASSERT_TRUE(StartsUp());
    const std::string expected[] = {LyraBusRequest(1), AsciiRequest(1), ModbusRequest(1)};
    for (int index = 0; index < 3; ++index) {
        surface_.selected.protocolIndex = index;
        std::string first;
        onWrite_ = [&](const std::string& request) {
            if (first.empty()) {
                first = request;
                surface_.queued.push_back([this] { core_->Press(); });
            }
        };
        core_->Press();
        EXPECT_EQ(first, expected[index]) << index;
        EXPECT_EQ(port_->line, 2);
    }
}

class DiscoveryOutcomeTest : public WindowCoreTest {
  protected:
    DiscoveryOutcomeTest() {
        port_->open_by_line.clear();
        port_->open_result = 0;
    }
};

TEST_F(DiscoveryOutcomeTest, NoLineGivesTheCriticalBoxWithTheReasons) {
    port_->open_fails_on_line = {{2, PortFailure(LineError::Refused, "Device or resource busy")}};
    EXPECT_FALSE(StartsUp());
    EXPECT_TRUE(core_->NoPortsDetected());
    ASSERT_EQ(surface_.boxes.size(), 1U);
    EXPECT_EQ(surface_.boxes[0].kind, BoxKind::Critical);
    EXPECT_EQ(surface_.boxes[0].title, "Critical Error");
    EXPECT_EQ(surface_.boxes[0].text, "No serial ports detected!");
    EXPECT_EQ(surface_.boxes[0].details,
              "/dev/ttyFAKE1: Device or resource busy (another program may be using the "
              "line)\n");
}

TEST_F(DiscoveryOutcomeTest, NoDeviceAtAllIsSaidSo) {
    EXPECT_FALSE(StartsUp());
    ASSERT_EQ(surface_.boxes.size(), 1U);
    EXPECT_EQ(surface_.boxes[0].details, "No serial device exists on this computer.");
}

TEST_F(DiscoveryOutcomeTest, CloseDuringDiscoveryEndsWithoutABox) {
    port_->open_result = 1;
    surface_.queued.push_back([this] { EXPECT_TRUE(core_->CloseRequest()); });
    const StartUp startUp = core_->Discover();
    EXPECT_EQ(startUp.outcome, StartUp::Outcome::Abandoned);
    EXPECT_FALSE(core_->Settle(startUp));
    EXPECT_FALSE(core_->NoPortsDetected());
    EXPECT_TRUE(surface_.boxes.empty());
    EXPECT_LT(port_->Count("Open"), 100);
}

}  // namespace

}  // namespace probelyn
