#pragma once

#include <optional>
#include <string>
#include <vector>

// Which device is COMn. On Windows COMn is the native name. On Linux the
// serial devices are numbered the way Wine numbers them: /dev/ttyS0, ttyS1, ...
// up to the first missing index, then ttyUSB0..., then ttyACM0..., as COM1,
// COM2, ... The numbering is made once and kept for the life of the program.
class ComPortNames {
  public:
    // The platform's numbering, made now.
    static ComPortNames System();
    // COM1 is devices[0], COM2 devices[1], ...
    static ComPortNames FromDevices(std::vector<std::string> devices);
    // COMn is the native name "COMn".
    static ComPortNames Native();

    // The device to open for COMn, or nothing when COMn has no device.
    std::optional<std::string> DeviceFor(int n) const;

  private:
    bool native_ = false;
    std::vector<std::string> devices_;
};

// Walks root/<pattern>0, root/<pattern>1, ... for each pattern in order, each up
// to its first missing index, and lists what exists (symlinks to devices count).
std::vector<std::string> NumberSerialDevices(const std::string& root,
                                             const std::vector<std::string>& patterns = {
                                                 "ttyS", "ttyUSB", "ttyACM"});
