#pragma once

#include <string>
#include <utility>
#include <vector>

namespace probelyn {

// What the system knows of a serial device, for the person choosing a line.
struct DeviceFacts {
    std::string product;
    std::string manufacturer;
    std::string serialNumber;
    std::string byIdName;  // its stable name under /dev/serial/by-id, if any
};

// "/dev/ttyUSB0 — FT232R USB UART (FTDI), serial A10K3XYZ", then the by-id
// name on a line of its own; the path alone when nothing is known.
std::string DescribeDevice(const std::string& device, const DeviceFacts& facts);

// The serial devices the system knows (udev on Linux, SetupAPI on Windows),
// taken once. Knowing none, as in a container or under Wine, is no error.
class DeviceCatalogue {
  public:
    // byIdFolder: where the system names devices by what they are.
    explicit DeviceCatalogue(std::string byIdFolder = "/dev/serial/by-id");

    DeviceFacts FactsOf(const std::string& device) const;
    std::string Describe(const std::string& device) const {
        return DescribeDevice(device, FactsOf(device));
    }

  private:
    std::string byIdFolder_;
    std::vector<std::pair<std::string, DeviceFacts>> known_;  // by device path or name
};

// The serial devices the system knows, with what it knows of each. One
// implementation file per platform.
std::vector<std::pair<std::string, DeviceFacts>> KnownSerialDevices();

}  // namespace probelyn
