#include "serial_port.h"

#include "line_lock.h"
#include "port_failure.h"
#include "serial_platform.h"

namespace probelyn {

SerialPort::SerialPort(ComPortNames names) : names_(std::move(names)) {}

SerialPort::~SerialPort() {
    Close();
}

std::optional<std::string> SerialPort::DeviceOf(const LineName& line) const {
    if (!line.device.empty()) {
        return line.device;
    }
    return line.com ? names_.DeviceFor(*line.com) : std::nullopt;
}

void SerialPort::Open(const LineSettings& settings) {
    Close();
    const std::optional<std::string> device = DeviceOf(settings.line);
    if (!device) {
        throw PortFailure(LineError::NoDevice,
                          DisplayName(settings.line) + " has no serial device");
    }
    if (const std::string refusal = DeviceAccessRefusal(*device); !refusal.empty()) {
        throw PortFailure(LineError::NoAccess, refusal);
    }
    // Claimed before it is opened: opening raises DTR, which another
    // program's instrument must not see.
    auto lock = std::make_unique<LineLock>(*device);
    device_ = Opened(*device, settings);
    lock_ = std::move(lock);
}

void SerialPort::Close() {
    device_.reset();  // the device first, then its lock
    lock_.reset();
}

SerialPort::Device& SerialPort::Held() {
    if (!device_) {
        throw PortFailure(LineError::NotOpen, "the serial port is not open");
    }
    return *device_;
}

}  // namespace probelyn
