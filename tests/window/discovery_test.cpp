// Start-up discovery in the real window over the real serial line.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>

#include <QTimer>

#include "fake_port.h"
#include "form1.h"
#include "message_box_answerer.h"
#include "pty_line.h"

TEST(WindowDiscoveryTest, ListsPtysAtCom3AndCom10) {
    PtyLine com3;
    PtyLine com10;
    std::vector<std::string> devices(10, "/nonexistent/tty");
    devices[2] = com3.SlavePath();
    devices[9] = com10.SlavePath();
    Form1 form(nullptr, ComPortNames::FromDevices(devices));
    MessageBoxAnswerer answerer;
    ASSERT_TRUE(form.Load());
    EXPECT_TRUE(answerer.Boxes().empty());

    auto* ports = form.findChild<QComboBox*>("PortList");
    ASSERT_EQ(ports->count(), 2);
    EXPECT_EQ(ports->itemText(0), "COM3");
    EXPECT_EQ(ports->itemData(0).toInt(), 3);
    EXPECT_EQ(ports->itemData(0, Qt::ToolTipRole).toString(),
              QString::fromStdString(com3.SlavePath()));
    EXPECT_EQ(ports->itemData(0, Qt::AccessibleDescriptionRole).toString(),
              QString::fromStdString(com3.SlavePath()));
    EXPECT_EQ(ports->itemText(1), "COM10");
    EXPECT_EQ(ports->itemData(1).toInt(), 10);
    EXPECT_EQ(ports->currentIndex(), 0);
    EXPECT_EQ(form.findChild<QComboBox*>("protocol")->currentIndex(), 0);
    EXPECT_EQ(form.findChild<QLabel*>("Status")->text(), "Ready");
    EXPECT_TRUE(form.isEnabled());
    EXPECT_TRUE(form.isVisible());
}

TEST(WindowDiscoveryTest, NoLineAtAllGivesTheCriticalBox) {
    Form1 form(nullptr, ComPortNames::FromDevices({}));
    MessageBoxAnswerer answerer;
    EXPECT_FALSE(form.Load());
    ASSERT_EQ(answerer.Boxes().size(), 1U);
    EXPECT_EQ(answerer.Boxes()[0].title, "Critical Error");
    EXPECT_EQ(answerer.Boxes()[0].text, "No serial ports detected!");
    EXPECT_EQ(answerer.Boxes()[0].icon, QMessageBox::Critical);
    EXPECT_EQ(answerer.Boxes()[0].details, "No serial device exists on this computer.");
    EXPECT_EQ(form.findChild<QLabel*>("Status")->text(), "Detecting serial port COM100");
}

// A user outside the dialout group, a line another program holds: the reasons
// go to standard error and into the critical box's details.
TEST(WindowDiscoveryTest, ReasonsWhyNoLineOpenedAreTold) {
    auto port = std::make_unique<FakePort>();
    port->open_fails_on_line = {
        {1, PortFailure(LineError::NoAccess, NoAccessText("root", "dialout", 0660))},
        {2, PortFailure(LineError::Busy, "The line is busy: process 7 (minicom) holds its lock")}};
    port->open_result = 0;
    Form1 form(std::move(port), ComPortNames::FromDevices({"/dev/ttyUSB0", "/dev/ttyACM0"}));
    MessageBoxAnswerer answerer;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(form.Load());
    const std::string errors = testing::internal::GetCapturedStderr();
    const std::string access =
        "/dev/ttyUSB0: Permission denied (owner root, group dialout, mode 0660; join the dialout "
        "group: sudo usermod -aG dialout $USER, then log out and log in again)";
    const std::string busy = "/dev/ttyACM0: The line is busy: process 7 (minicom) holds its lock";
    EXPECT_NE(
        errors.find("probelyn: not listed: " + access + "\nprobelyn: not listed: " + busy + "\n"),
        std::string::npos)
        << errors;
    ASSERT_EQ(answerer.Boxes().size(), 1U);
    EXPECT_EQ(answerer.Boxes()[0].text, "No serial ports detected!");
    EXPECT_EQ(answerer.Boxes()[0].details.toStdString(), access + "\n" + busy + "\n");
}

TEST(WindowDiscoveryTest, PortListHasTheFocusAfterDiscovery) {
    PtyLine com1;
    Form1 form(nullptr, ComPortNames::FromDevices({com1.SlavePath()}));
    ASSERT_TRUE(form.Load());
    EXPECT_EQ(form.focusWidget(), form.findChild<QWidget*>("PortList"));
}

TEST(WindowDiscoveryTest, CloseRequestDuringDiscoveryEndsTheProgram) {
    auto port = std::make_unique<FakePort>();
    FakePort* fake = port.get();
    fake->open_by_line = {{1, 1}, {50, 1}};
    Form1 form(std::move(port), ComPortNames::FromDevices({"/dev/ttyFAKE0"}));
    MessageBoxAnswerer answerer;
    QTimer::singleShot(0, &form, [&form] { form.close(); });
    EXPECT_FALSE(form.Load());
    EXPECT_TRUE(form.Closed());
    EXPECT_FALSE(form.isVisible());
    EXPECT_LT(fake->Count("Open"), 100);  // discovery stopped early
    EXPECT_TRUE(answerer.Boxes().empty());
}
