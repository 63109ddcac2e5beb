#include "form1.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include "cell_bar_widget.h"
#include "logo_link.h"
#include "message_box_answerer.h"

namespace probelyn {

namespace {

template <typename T = QWidget>
T* Control(Form1& form, const char* name) {
    T* control = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

struct Placement {
    const char* name;
    const char* container;
    QRect rect;  // pixels in the container
};

}  // namespace

TEST(Form1Test, EveryControlSitsInItsContainerAtItsPlace) {
    Form1 form;
    const Placement table[] = {
        {"Picture1", "Form1", {-4, -4, 517, 61}}, {"Image2", "Picture1", {12, 8, 48, 48}},
        {"Label4", "Picture1", {60, 8, 281, 45}}, {"Image1", "Picture1", {372, 16, 141, 38}},
        {"Label2", "Picture1", {464, 4, 45, 13}}, {"Label3", "Form1", {28, 68, 305, 17}},
        {"PortList", "Form1", {28, 88, 65, 21}},  {"protocol", "Form1", {108, 88, 129, 21}},
        {"GoButton", "Form1", {256, 88, 69, 21}}, {"Frame1", "Form1", {-8, 124, 529, 61}},
        {"Status", "Frame1", {16, 12, 453, 17}},  {"bar", "Frame1", {12, 28, 541, 17}},
        {"Label1", "Frame1", {12, 28, 541, 17}},
    };
    for (const Placement& p : table) {
        QWidget* control = Control(form, p.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->parentWidget()->objectName(), QString::fromLatin1(p.container))
            << p.name;
        EXPECT_EQ(control->geometry(), p.rect) << p.name;
    }
}

TEST(Form1Test, WindowAtCreation) {
    Form1 form;
    EXPECT_EQ(form.windowTitle(), "VKT/VRN Probelyn");
    EXPECT_EQ(form.minimumSize(), QSize(512, 178));
    EXPECT_EQ(form.maximumSize(), QSize(512, 178));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(form.windowIcon().isNull());
    for (int size : {16, 24, 32}) {
        EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(size, size))) << size;
    }

    EXPECT_EQ(Control<QLabel>(form, "Status")->text(), "Ready");
    EXPECT_EQ(Control<CellBar>(form, "bar")->Cells(), 0);
    EXPECT_EQ(Control<CellBar>(form, "Label1")->Cells(), 100);
    EXPECT_EQ(Control<QLabel>(form, "Label2")->text(), "v1.5");
    EXPECT_EQ(Control<QLabel>(form, "Label2")->font().pointSizeF(), 6.75);
    // The track's cells in the button shadow, the bar's in the highlight.
    form.SetBar(1, 1);
    for (const auto& [name, role] :
         {std::pair{"Label1", QPalette::Dark}, std::pair{"bar", QPalette::Highlight}}) {
        auto* row = Control<CellBar>(form, name);
        EXPECT_EQ(row->grab().toImage().pixel(1, row->height() / 2),
                  form.palette().color(QPalette::Active, role).rgb())
            << name;
    }
    EXPECT_EQ(Control<QLabel>(form, "Label3")->text(),
              "Select COM port to scan and the protocol type then press Go");
    EXPECT_EQ(Control<QLabel>(form, "Label4")->text(),
              "Detects VRN and VKT devices in either Modbus, ASCII or LyraBus protocol variants. "
              "You should have only the unidentified device connected to the selected COM port.");
    EXPECT_EQ(Control<QLabel>(form, "Label4")->palette().color(QPalette::WindowText),
              QColor(0x01, 0x36, 0x68));
    EXPECT_EQ(Control<QLabel>(form, "Image2")->pixmap().size(), QSize(48, 48));
    EXPECT_EQ(Control<QLabel>(form, "Image1")->pixmap().size(), QSize(141, 38));
    EXPECT_EQ(Control<QLabel>(form, "Image1")->cursor().hotSpot(), QPoint(5, 0));
    EXPECT_EQ(Control<QPushButton>(form, "GoButton")->text(), "Go");

    auto* protocol = Control<QComboBox>(form, "protocol");
    ASSERT_EQ(protocol->count(), 3);
    EXPECT_EQ(protocol->itemText(0), "LyraBus");
    EXPECT_EQ(protocol->itemText(1), "LyrASCII");
    EXPECT_EQ(protocol->itemText(2), "Modbus");
    EXPECT_FALSE(protocol->isEditable());
    auto* ports = Control<QComboBox>(form, "PortList");
    EXPECT_EQ(ports->count(), 0);
    EXPECT_FALSE(ports->isEditable());
}

TEST(Form1Test, TooltipsAndFocusOrder) {
    Form1 form;
    EXPECT_EQ(Control(form, "PortList")->toolTip(), "Select COM port where instrument is attached");
    EXPECT_EQ(Control(form, "GoButton")->toolTip(), "Start / stop detection");
    EXPECT_EQ(Control(form, "Status")->toolTip(), "Status information");
    EXPECT_EQ(Control(form, "Image1")->toolTip(), "Go to the Corvallen web site");
    EXPECT_FALSE(Control(form, "protocol")->toolTip().isEmpty());

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::setActiveWindow(&form);
    EXPECT_EQ(form.focusWidget(), Control(form, "PortList"));
    EXPECT_EQ(Control(form, "PortList")->nextInFocusChain(), Control(form, "GoButton"));
    EXPECT_EQ(Control(form, "GoButton")->nextInFocusChain(), Control(form, "protocol"));
}

TEST(Form1Test, SetStatusReplacesTheLine) {
    Form1 form;
    form.SetStatus("Detecting serial port COM7");
    EXPECT_EQ(Control<QLabel>(form, "Status")->text(), "Detecting serial port COM7");
    form.SetStatus("");
    EXPECT_EQ(Control<QLabel>(form, "Status")->text(), "");
}

TEST(Form1Test, SetBarFillsCells) {
    Form1 form;
    form.SetBar(127, 2540);
    EXPECT_EQ(Control<CellBar>(form, "bar")->Cells(), 5);
    form.SetBar(3, 0);
    EXPECT_EQ(Control<CellBar>(form, "bar")->Cells(), 1);
}

TEST(Form1Test, DoFoundShowsTheBoxThenTheStatus) {
    Form1 form;
    form.show();
    form.SetStatus("Trying 460800 baud on COM1 for station number 1...");
    const QString found = "ModBus device on COM1 at 460800 baudrate on station 1";
    MessageBoxAnswerer answerer;
    form.DoFound(found);
    ASSERT_EQ(answerer.Boxes().size(), 1U);
    EXPECT_EQ(answerer.Boxes()[0].title, "Device Found");
    EXPECT_EQ(answerer.Boxes()[0].text, found);
    EXPECT_EQ(answerer.Boxes()[0].icon, QMessageBox::Information);
    EXPECT_EQ(Control<QLabel>(form, "Status")->text(), "Device Found: " + found);
}

class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

TEST(Form1Test, LogoClickOpensTheWebSite) {
    Form1 form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "Open");
    QTest::mouseClick(Control(form, "Image1"), Qt::LeftButton, {}, QPoint(20, 10));
    QDesktopServices::unsetUrlHandler("https");
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0], QUrl(kMakerWebSite));
}

TEST(Form1Test, ProgressAndLogoAreReadableByAssistiveTechnology) {
    Form1 form;
    form.SetBar(1270, 2540);
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Control(form, "bar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->role(), QAccessible::ProgressBar);
    EXPECT_FALSE(bar->text(QAccessible::Name).isEmpty());
    ASSERT_NE(bar->valueInterface(), nullptr);
    EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 50);
    EXPECT_EQ(bar->valueInterface()->maximumValue().toInt(), 100);
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(Control(form, "Label1"))->state().invisible);

    QWidget* logo = Control(form, "Image1");
    QAccessibleInterface* link = QAccessible::queryAccessibleInterface(logo);
    EXPECT_EQ(link->role(), QAccessible::Link);
    EXPECT_FALSE(link->text(QAccessible::Name).isEmpty());
    EXPECT_EQ(link->text(QAccessible::Description), "Go to the Corvallen web site");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::setActiveWindow(&form);
    Control(form, "protocol")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(Control(form, "protocol"), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), logo);

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "Open");
    link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTest::keyClick(logo, Qt::Key_Return);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(logo, &repeat);  // held down: opened once only
    QDesktopServices::unsetUrlHandler("https");
    EXPECT_EQ(catcher.opened.size(), 2);
}

#include "form1_test.moc"

}  // namespace probelyn
