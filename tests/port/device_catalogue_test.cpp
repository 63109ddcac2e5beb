#include "device_catalogue.h"

#include <gtest/gtest.h>

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

}  // namespace
