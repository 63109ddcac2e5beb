#include "com_port_names.h"
#include "serial_platform.h"

namespace probelyn {

// Windows has no device permissions for serial ports.
std::string DeviceAccessRefusal(const std::string&) {
    return {};
}

bool IsSerialDevice(const std::string&) {
    return true;
}

ComPortNames ComPortNames::System(const std::string&) {
    return Native();
}

}  // namespace probelyn
