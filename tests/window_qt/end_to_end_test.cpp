// The whole program path: the real window, the real serial line through Qt
// SerialPort, and the instrument simulator on a pseudo-terminal reached
// through a device link, with every box answered by the test.
#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

#include "instrument.h"
#include "message_box_answerer.h"
#include "test_form.h"

namespace probelyn {

namespace {

class EndToEndTest : public testing::Test {
  protected:
    // Places the instrument at COM1, under a name no real device has (locks go
    // by name), and starts the window as the program does.
    void Start(InstrumentConfig config, int protocolIndex) {
        instrument_ = std::make_unique<Instrument>(config);
        const std::string device = dir_.filePath("ttyProbelynEndToEnd").toStdString();
        instrument_->LinkAt(device);
        form_ = std::make_unique<TestForm>(nullptr, ComPortNames::FromDevices({device}));
        ASSERT_TRUE(form_->Load());
        form_->Protocols()->setCurrentIndex(protocolIndex);
    }
    void After(int ms, std::function<void()> action) {
        QTimer::singleShot(ms, form_.get(), std::move(action));
    }

    QTemporaryDir dir_;
    std::unique_ptr<Instrument> instrument_;
    std::unique_ptr<TestForm> form_;
};

TEST_F(EndToEndTest, ModbusInstrumentAt460800Station1) {
    Start({.protocol = Protocol::Modbus, .baud = 460800, .station = 1}, 2);
    MessageBoxAnswerer answerer;
    form_->Go()->click();
    const QString found = "ModBus device on COM1 at 460800 baudrate on station 1";
    ASSERT_EQ(answerer.Boxes().size(), 1U);
    EXPECT_EQ(answerer.Boxes()[0].title, "Device Found");
    EXPECT_EQ(answerer.Boxes()[0].text, found);
    EXPECT_EQ(form_->StatusText(), "Device Found: " + found);
    EXPECT_EQ(form_->Go()->text(), "Go");
    EXPECT_TRUE(form_->Ports()->isEnabled());
    EXPECT_FALSE(form_->Protocols()->isEnabled());
    EXPECT_EQ(form_->BarCells(), 0);
}

TEST_F(EndToEndTest, LyraBusInstrumentAt76800Station138) {
    Start({.protocol = Protocol::LyraBus, .baud = 76800, .station = 138}, 0);
    MessageBoxAnswerer answerer;
    form_->Go()->click();
    ASSERT_EQ(answerer.Boxes().size(), 1U);
    EXPECT_EQ(answerer.Boxes()[0].text, "Lyrabus device on COM1 at 76800 baudrate on station 138");
}

// The first scan (stations 1 to 255) meets a silent line; after Yes the
// extended scan finds the instrument at station 300.
TEST_F(EndToEndTest, AsciiInstrumentAt460800Station300ByTheExtendedScan) {
    Start({.protocol = Protocol::Ascii, .baud = 460800, .station = 300}, 1);
    MessageBoxAnswerer answerer({QMessageBox::Yes, QMessageBox::Ok});
    form_->Go()->click();
    ASSERT_EQ(answerer.Boxes().size(), 2U);
    EXPECT_EQ(answerer.Boxes()[0].title, "No Instrument Detected");
    EXPECT_EQ(answerer.Boxes()[1].title, "Device Found");
    EXPECT_EQ(answerer.Boxes()[1].text, "ASCII device on COM1 at 460800 baudrate on station 300");
    EXPECT_EQ(form_->Go()->text(), "Go");
}

TEST_F(EndToEndTest, StopInTheMiddleOfAScan) {
    Start({.protocol = Protocol::Ascii, .baud = 9600, .station = 77}, 1);
    MessageBoxAnswerer answerer;
    After(300, [this] { form_->Go()->click(); });
    form_->Go()->click();
    const int requests = instrument_->Requests();
    EXPECT_GT(requests, 0);
    EXPECT_TRUE(answerer.Boxes().empty());
    EXPECT_EQ(form_->Go()->text(), "Go");
    EXPECT_EQ(form_->StatusText(), "Cancelled by user");
    EXPECT_TRUE(form_->Ports()->isEnabled());
    EXPECT_TRUE(form_->Protocols()->isEnabled());
    EXPECT_EQ(form_->BarCells(), 0);
    EXPECT_EQ(form_->PortHandle(), 0);
}

TEST_F(EndToEndTest, CloseRequestInTheMiddleOfAScan) {
    Start({.protocol = Protocol::LyraBus, .baud = 2400, .station = 9}, 0);
    MessageBoxAnswerer answerer;
    After(300, [this] {
        EXPECT_FALSE(form_->close());
        EXPECT_TRUE(form_->isVisible());
    });
    form_->Go()->click();
    EXPECT_FALSE(form_->isVisible());
    EXPECT_EQ(form_->PortHandle(), 0);
    EXPECT_TRUE(answerer.Boxes().empty());
}

TEST_F(EndToEndTest, InstrumentVanishingInTheMiddleOfAScan) {
    Start({.protocol = Protocol::Modbus, .baud = 9600, .station = 200}, 2);
    MessageBoxAnswerer answerer;  // every Port Error OK, then No to the question
    After(300, [this] { instrument_->Vanish(); });
    form_->Go()->click();

    ASSERT_EQ(answerer.Boxes().size(), 10U);
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_EQ(answerer.Boxes()[i].title, "Port Error");
        EXPECT_TRUE(answerer.Boxes()[i].text.endsWith("No such file or directory"))
            << answerer.Boxes()[i].text.toStdString();
    }
    EXPECT_TRUE(answerer.Boxes()[0].text.startsWith("Trying 230400 baud on COM1 caused"));
    EXPECT_EQ(answerer.Boxes()[9].title, "No Instrument Detected");
    EXPECT_EQ(form_->Go()->text(), "Go");
    EXPECT_TRUE(form_->Go()->isEnabled());
    EXPECT_TRUE(form_->isVisible());
}

}  // namespace

}  // namespace probelyn
