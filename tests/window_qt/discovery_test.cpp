// Start-up discovery in the real window over the real serial line.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QLabel>

#include <QTimer>

#include "desktop_session.h"
#include "fake_port.h"
#include "form1.h"
#include "message_box_answerer.h"
#include "pty_line.h"

namespace probelyn {

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

// A user outside the dialout group, a line another program holds, a line the
// system refused (another program may have it open) and one that refused its
// rate: the reasons go to standard error and into the critical box's details.
TEST(WindowDiscoveryTest, ReasonsWhyNoLineOpenedAreTold) {
    auto port = std::make_unique<FakePort>();
    port->open_fails_on_line = {
        {1, PortFailure(LineError::NoAccess, NoAccessText("root", "dialout", 0660))},
        {2, PortFailure(LineError::Busy, "The line is busy: process 7 (minicom) holds its lock")},
        {3, PortFailure(LineError::Refused, "Device or resource busy")},
        {4, PortFailure(LineError::SettingRefused, "Invalid argument")}};
    port->open_result = 0;
    Form1 form(std::move(port), ComPortNames::FromDevices(
                                    {"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS4", "/dev/ttyS5"}));
    MessageBoxAnswerer answerer;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(form.Load());
    const std::string errors = testing::internal::GetCapturedStderr();
    const std::string reasons =
        "/dev/ttyUSB0: Permission denied (owner root, group dialout, mode 0660; join the dialout "
        "group: sudo usermod -aG dialout $USER, then log out and log in again)\n"
        "/dev/ttyACM0: The line is busy: process 7 (minicom) holds its lock\n"
        "/dev/ttyS4: Device or resource busy (another program may be using the line)\n"
        "/dev/ttyS5: Invalid argument\n";
    std::string said;
    for (std::size_t at = 0;
         (at = errors.find("probelyn: not listed: ", at)) != std::string::npos;) {
        at += std::string("probelyn: not listed: ").size();
        said += errors.substr(at, errors.find('\n', at) + 1 - at);
    }
    EXPECT_EQ(said, reasons);
    ASSERT_EQ(answerer.Boxes().size(), 1U);
    EXPECT_EQ(answerer.Boxes()[0].text, "No serial ports detected!");
    EXPECT_EQ(answerer.Boxes()[0].details.toStdString(), reasons);
}

// Wayland alone is a desktop session; neither it nor DISPLAY is none.
TEST(WindowDiscoveryTest, DesktopSessionIsX11OrWayland) {
    const struct {
        const char* display;
        const char* wayland;
        bool refused;
    } rows[] = {{"", "wayland-0", false}, {":0", "", false}, {"", "", true}};
    for (const auto& row : rows) {
        qputenv("DISPLAY", row.display);
        qputenv("WAYLAND_DISPLAY", row.wayland);
        qunsetenv("QT_QPA_PLATFORM");
        EXPECT_EQ(MissingDesktopSession().has_value(), row.refused) << row.display << row.wayland;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
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

}  // namespace probelyn
