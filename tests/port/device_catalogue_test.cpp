#include "device_catalogue.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "pty_line.h"
#include "temp_folder.h"

namespace probelyn {

namespace {

TEST(DeviceCatalogueTest, DescriptionSaysWhatIsKnown) {
    struct Case {
        DeviceFacts facts;
        const char* expected;
    };
    const Case cases[] = {
        {{"FT232R USB UART", "FTDI", "A10K3XYZ", "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
         "/dev/ttyUSB0 \u2014 FT232R USB UART (FTDI), serial A10K3XYZ\n"
         "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0"},
        {{"CP2102 USB to UART Bridge Controller", "", "", ""},
         "/dev/ttyUSB0 \u2014 CP2102 USB to UART Bridge Controller"},
        {{"", "Prolific", "", ""}, "/dev/ttyUSB0 \u2014 Prolific"},
        {{"", "", "0001", ""}, "/dev/ttyUSB0 \u2014 serial 0001"},
        {{}, "/dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DescribeDevice("/dev/ttyUSB0", c.facts), c.expected);
    }
}

// A device is also named by its stable by-id name, through a link to it too.
TEST(DeviceCatalogueTest, ByIdNameIsFoundForTheDeviceALinkLeadsTo) {
    TempFolder byId;
    PtyLine pty;
    const std::string stable = byId.FilePath("usb-Maker_Adapter_A10K3XYZ-if00-port0");
    pty.LinkAt(stable);
    const DeviceCatalogue catalogue(byId.Path());
    EXPECT_EQ(catalogue.FactsOf(pty.SlavePath()).byIdName, stable);
    EXPECT_EQ(catalogue.Describe(pty.SlavePath()), pty.SlavePath() + "\n" + stable);
}

}  // namespace

}  // namespace probelyn
