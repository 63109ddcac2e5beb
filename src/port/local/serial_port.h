#pragma once

#include <memory>
#include <optional>
#include <string>

#include "com_port_names.h"
#include "line_backend.h"

namespace probelyn {

class LineLock;

// The system's own serial port as a line: a device given by name or
// numbered COMn, claimed with a lock other programs see (LineLock) before it
// opens, so that one another program holds is busy and never opened, and
// given back, lock and all, at each Close. Opened for this program alone,
// raw (8 data bits, the framing's parity and stop bits, no flow control,
// every byte value passed unchanged; a byte received with a framing error
// dropped), with DTR and RTS raised and whatever the device had received
// before discarded; to listen, DTR and RTS lowered and errors marked as a
// POSIX tty marks them (see LineSettings). Closed, the device gets back the
// settings it had. What meets the system is written once per platform
// (system/serial_port_linux.cpp, system/serial_port_windows.cpp), each
// failure mapped there onto the line's own kinds with the system's text.
class SerialPort : public LineBackend {
  public:
    explicit SerialPort(ComPortNames names);
    ~SerialPort() override;

    void Open(const LineSettings& settings) override;
    void ChangeSettings(const LineSettings& settings) override;
    void Close() override;
    int AppliedRate() override;
    std::size_t InputCount() override;
    void Read(std::string& into, std::size_t max) override;
    void Write(const std::string& bytes) override;
    void DiscardInput() override;
    bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) override;

  private:
    // The system's side of the open device, one definition per platform.
    struct Device;
    struct DeviceClose {
        void operator()(Device* device) const;
    };
    using OpenDevice = std::unique_ptr<Device, DeviceClose>;
    // Opens the device at the settings.
    static OpenDevice Opened(const std::string& path, const LineSettings& settings);
    Device& Held();

    // The device a line name leads to: the one given, or COMn's.
    std::optional<std::string> DeviceOf(const LineName& line) const;

    ComPortNames names_;
    std::unique_ptr<LineLock> lock_;
    OpenDevice device_;
};

}  // namespace probelyn
