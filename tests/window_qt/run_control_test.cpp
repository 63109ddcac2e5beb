// Go/Stop and closing on the real window while a scan runs against the
// in-memory port in virtual time. User actions are posted so that the window
// handles them at the scan's next event-pump turn, as it would a real press.
#include <gtest/gtest.h>
#include <QKeyEvent>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "fake_port.h"
#include "message_box_answerer.h"
#include "probe_frames.h"
#include "test_form.h"

namespace probelyn {

namespace {

class RunControlTest : public testing::Test {
  protected:
    RunControlTest() {
        auto port = std::make_unique<FakePort>();
        port_ = port.get();
        port_->UseClock(&clock_);
        port_->open_by_line = {{1, 1}};
        port_->on_write = [this](const std::string&) {
            ++writes_;
            if (writes_ == act_at_) {
                QTimer::singleShot(0, form_.get(), act_);
            }
        };
        form_ = std::make_unique<TestForm>(std::move(port),
                                           ComPortNames::FromDevices({"/dev/ttyFAKE0"}), &clock_);
        EXPECT_TRUE(form_->Load());
        form_->Protocols()->setCurrentIndex(1);
    }

    // Runs `action` at the event-pump turn after the n-th request.
    void AtRequest(int n, std::function<void()> action) {
        act_at_ = n;
        act_ = std::move(action);
    }
    void ExpectIdleAfterStop() {
        EXPECT_EQ(form_->Go()->text(), "Go");
        EXPECT_TRUE(form_->Ports()->isEnabled());
        EXPECT_TRUE(form_->Protocols()->isEnabled());
        EXPECT_EQ(form_->BarCells(), 0);
        EXPECT_FALSE(form_->CancelRequested());
    }

    // A close request during the run, then `second` in the same turn: the
    // window closes at once, and the run still stops at its next check.
    void ClosingThen(const std::function<void()>& second) {
        MessageBoxAnswerer answerer;
        AtRequest(3, [this, second] {
            form_->close();
            EXPECT_TRUE(form_->isVisible());
            second();
            EXPECT_FALSE(form_->isVisible());
        });
        form_->Go()->click();
        EXPECT_EQ(writes_, 3);
        EXPECT_FALSE(form_->isVisible());
        EXPECT_TRUE(answerer.Boxes().empty());
    }

    FakeClock clock_;
    FakePort* port_ = nullptr;
    std::unique_ptr<TestForm> form_;
    int writes_ = 0;
    int act_at_ = -1;
    std::function<void()> act_;
};

TEST_F(RunControlTest, StopEndsTheRunBeforeTheNextStation) {
    MessageBoxAnswerer answerer;
    AtRequest(5, [this] {
        form_->Go()->click();
        EXPECT_EQ(form_->Go()->text(), "Go");
        EXPECT_EQ(form_->StatusText(), "Cancelled by user");
        EXPECT_TRUE(form_->Protocols()->isEnabled());
        EXPECT_FALSE(form_->Ports()->isEnabled());  // until the run has ended
    });
    form_->Go()->click();
    EXPECT_EQ(writes_, 5);
    ExpectIdleAfterStop();
    EXPECT_EQ(form_->StatusText(), "Cancelled by user");
    EXPECT_EQ(form_->PortHandle(), 0);
    EXPECT_TRUE(answerer.Boxes().empty());
}

TEST_F(RunControlTest, CloseRequestStopsTheRunThenClosesTheWindow) {
    MessageBoxAnswerer answerer;
    AtRequest(5, [this] {
        EXPECT_FALSE(form_->close());
        EXPECT_TRUE(form_->isVisible());
        EXPECT_EQ(form_->Go()->text(), "Stop");
        EXPECT_TRUE(form_->CancelRequested() && form_->CloseRequested());
    });
    form_->Go()->click();
    EXPECT_EQ(writes_, 5);
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(form_->PortHandle(), 0);
    EXPECT_TRUE(answerer.Boxes().empty());
}

TEST_F(RunControlTest, SecondCloseRequestClosesAtOnce) {
    ClosingThen([this] { form_->close(); });
}

TEST_F(RunControlTest, PressWhileClosingClosesAtOnce) {
    ClosingThen([this] { form_->Go()->click(); });
}

TEST_F(RunControlTest, StopThenCloseClosesAtOnce) {
    MessageBoxAnswerer answerer;
    AtRequest(3, [this] {
        form_->Go()->click();
        EXPECT_TRUE(form_->close());
        EXPECT_FALSE(form_->isVisible());
    });
    form_->Go()->click();
    EXPECT_EQ(writes_, 3);
    EXPECT_FALSE(form_->CloseRequested());
    EXPECT_TRUE(answerer.Boxes().empty());
}

TEST_F(RunControlTest, NoBoxAppearsOnceTheWindowHasGone) {
    port_->open_fails_at_rate = {{230400, "No such file or directory"}};
    MessageBoxAnswerer answerer;
    AtRequest(255, [this] {  // the last station of the first rate
        form_->close();
        form_->close();
    });
    form_->Go()->click();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_TRUE(answerer.Boxes().empty());
}

// Stop, then Go, reaching the window in one event-pump turn of a run: the Go
// comes while the stopped run is still unwinding and starts no second run
// inside it, so nothing opens the line again or is sent once the run has ended.
TEST_F(RunControlTest, StopThenGoInOneTurnStartsNoSecondRun) {
    MessageBoxAnswerer answerer;
    AtRequest(3, [this] {
        for (int press = 0; press < 2; ++press) {
            QTimer::singleShot(0, form_.get(), [this] { form_->Go()->click(); });
        }
    });
    form_->Go()->click();
    EXPECT_EQ(writes_, 4);                 // handled at the next station's turn
    EXPECT_EQ(port_->Count("Open"), 101);  // discovery, then the first rate once
    EXPECT_EQ(port_->writes_while_closed, 0);
    EXPECT_EQ(form_->PortHandle(), 0);
    EXPECT_TRUE(answerer.Boxes().empty());
    EXPECT_TRUE(form_->isVisible());
    ExpectIdleAfterStop();
    EXPECT_EQ(form_->StatusText(), "Cancelled by user");
    AtRequest(writes_ + 1, [this] { form_->Go()->click(); });
    form_->Go()->click();  // the next run starts as usual
    EXPECT_EQ(port_->Count("Open"), 102);
    ExpectIdleAfterStop();
}

TEST_F(RunControlTest, ReturnOnTheFocusedGoButtonPressesIt) {
    AtRequest(1, [this] {
        // The Return that started the run, held down: its repeats stop nothing.
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(form_->Go(), &repeat);
        AtRequest(2, [this] { QTest::keyClick(form_->Go(), Qt::Key_Enter); });
    });
    QTest::keyClick(form_->Go(), Qt::Key_Return);
    EXPECT_EQ(writes_, 2);
    ExpectIdleAfterStop();
}

TEST_F(RunControlTest, IdleCloseClosesAtOnce) {
    EXPECT_TRUE(form_->close());
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(port_->Count("Close"), 0);  // the line is left to the component
}

TEST_F(RunControlTest, LineFailingToCloseIsReportedAndTheWindowReturnsToIdle) {
    MessageBoxAnswerer answerer;
    AtRequest(4, [this] {
        port_->Fail("Close", LineError::Io, "Input/output error");
        form_->Go()->click();
    });
    form_->Go()->click();
    ASSERT_EQ(answerer.Boxes().size(), 1U);
    EXPECT_EQ(answerer.Boxes()[0].title, "Port Error");
    EXPECT_EQ(answerer.Boxes()[0].text, "Input/output error");
    EXPECT_EQ(answerer.Boxes()[0].icon, QMessageBox::Warning);
    ExpectIdleAfterStop();
    EXPECT_TRUE(form_->isVisible());

    port_->Heal("Close");
    AtRequest(writes_ + 2, [this] { form_->Go()->click(); });
    form_->Go()->click();  // usable again
    ExpectIdleAfterStop();
}

}  // namespace

// How each way a run ends leaves the window, with the window's words for what
// the engine reported: a find, nothing (No, then Yes to the extended scan),
// and a rate at which the line did not open.
TEST(RunOutcomeTest, EachEndLeavesItsTextsAndControls) {
    FakeClock clock;
    auto port = std::make_unique<FakePort>();
    FakePort* fake = port.get();
    fake->UseClock(&clock);
    fake->open_by_line = {{2, 1}};
    fake->open_fails_at_rate = {{230400, "No such file or directory"}};
    TestForm form(std::move(port), ComPortNames::FromDevices({"/dev/ttyFAKE0", "/dev/ttyFAKE1"}),
                  &clock);
    ASSERT_TRUE(form.Load());
    form.Protocols()->setCurrentIndex(2);  // Modbus
    const auto look = [&] {
        return form.Go()->text() + (form.Ports()->isEnabled() ? " ports" : "") +
               (form.Protocols()->isEnabled() ? " protocol" : "") +
               QString(" cells %1: ").arg(form.BarCells()) + form.StatusText();
    };
    {
        MessageBoxAnswerer answerer;  // OK to the Port Error, No to the question
        form.Go()->click();
        ASSERT_EQ(answerer.Boxes().size(), 2U);
        EXPECT_EQ(answerer.Boxes()[0].text,
                  "Trying 230400 baud on COM2 caused the following error: No such file or "
                  "directory");
        EXPECT_EQ(answerer.Boxes()[1].title, "No Instrument Detected");
        EXPECT_EQ(answerer.Boxes()[1].text,
                  "No instrument was identified! Would you like to attempt an extended address "
                  "scan for ASCII instruments (Addresses 256 to 999)?\r\nThis could take a long "
                  "time so you should only select Yes if you believe you have an ASCII "
                  "instrument connected.");
        EXPECT_EQ(look(), "Go cells 0: Trying 2400 baud on COM2 for station number 255...");
    }
    {
        MessageBoxAnswerer answerer({QMessageBox::Ok, QMessageBox::Yes});
        form.Go()->click();
        ASSERT_EQ(answerer.Boxes().size(), 4U);
        EXPECT_EQ(answerer.Boxes()[3].title, "Identification Failed");
        EXPECT_EQ(answerer.Boxes()[3].text, "No instrument detected!");
        EXPECT_EQ(look(), "Go cells 0: Ready");
    }
    int cells = -1;  // the bar when the instrument is asked
    fake->on_write = [&](const std::string& request) {
        if (request == ModbusRequest(100) && fake->rate == 115200) {
            cells = form.BarCells();
            fake->Arrive(std::chrono::milliseconds(3), ModbusReplyStart(100));
        }
    };
    MessageBoxAnswerer answerer;
    form.Go()->click();
    EXPECT_EQ(cells, 14);  // 354 stations of 2540 tried (230400 did not open)
    ASSERT_EQ(answerer.Boxes().size(), 2U);
    EXPECT_EQ(answerer.Boxes()[1].text, "ModBus device on COM2 at 115200 baudrate on station 100");
    EXPECT_EQ(look(),
              "Go ports cells 0: Device Found: ModBus device on COM2 at 115200 baudrate on "
              "station 100");
}

}  // namespace probelyn
