#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "line_name.h"

namespace probelyn {

// The highest COM number given: the window lists COM1 to COM100.
inline constexpr int kHighestComPort = 100;

// Which device is COMn. On Windows COMn is the native name. On Linux the
// program numbers the serial devices it finds in /dev once, at start, and
// keeps that numbering for the life of the program (see SerialDeviceOrder).
class ComPortNames {
  public:
    // The platform's numbering, made now; on Linux of the serial devices in
    // the folder.
    static ComPortNames System(const std::string& deviceFolder = "/dev");
    // COM1 is devices[0], COM2 devices[1], ...
    static ComPortNames FromDevices(std::vector<std::string> devices);
    // COMn is the native name "COMn".
    static ComPortNames Native();

    // Whether COMn is the native name (Windows).
    bool IsNative() const { return native_; }
    // The device to open for COMn, or nothing when COMn has no device.
    std::optional<std::string> DeviceFor(int n) const;
    // Every line of the numbering, in order, with its COM number up to
    // kHighestComPort (on Windows COM1 to COM100 by their native names).
    std::vector<LineName> Lines() const;

  private:
    bool native_ = false;
    std::vector<std::string> devices_;
};

// The families of serial device names, in the order they are numbered: on-board
// UARTs, USB adapters (usb-serial drivers, then CDC-ACM), ARM boards' UARTs,
// Exar USB adapters, Bluetooth serial links, then the UARTs of i.MX, Tegra and
// SC16IS7xx boards.
inline const std::vector<std::string> kSerialFamilies = {
    "ttyS", "ttyUSB", "ttyACM", "ttyAMA", "ttyXRUSB", "rfcomm", "ttymxc", "ttyTHS", "ttySC"};

// The numbering rule: of the names in a device folder, those of a serial
// family followed by an index (ttyUSB1, rfcomm0), in family order and within a
// family by ascending index, gaps skipped. Names that isDevice rejects (a
// kernel's phantom UART with no hardware behind it) take no number.
std::vector<std::string> SerialDeviceOrder(const std::vector<std::string>& names,
                                           const std::function<bool(const std::string&)>& isDevice);

// The rule applied to a folder: its entries by the rule, as paths. A symlink
// counts when it leads to something; isDevice is asked with the path.
std::vector<std::string> NumberSerialDevices(
    const std::string& root, const std::function<bool(const std::string&)>& isDevice);

// Whether a node is a serial device rather than a phantom UART: on Linux a
// ttyS node whose driver reports no UART type behind it is a phantom.
bool IsSerialDevice(const std::string& path);

}  // namespace probelyn
