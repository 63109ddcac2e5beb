#pragma once

#include <stdexcept>
#include <string>

// The numbers a failure of the line carries: Qt SerialPort's SerialPortError
// values for what Qt reports (the first two named here, as they are judged),
// and the line's own above them. "No permission" and "busy" stay distinct.
namespace LineError {
inline constexpr int kDeviceNotFound = 1;  // QSerialPort::DeviceNotFoundError
inline constexpr int kPermission = 2;      // QSerialPort::PermissionError (access or lock)
inline constexpr int kNoDevice = 100;      // no device is numbered COMn
inline constexpr int kNotOpen = 101;
inline constexpr int kOsQuery = 102;
inline constexpr int kBusy = 103;            // another program holds the line
inline constexpr int kRateNotApplied = 104;  // the driver runs another rate
inline constexpr int kNoAccess = 105;        // the user may not open the device
inline constexpr int kLockUnjudged = 106;    // a lock names the line but cannot be read
}  // namespace LineError

// A failure of a serial-port member: a number and the system's own description
// text, which travels unchanged to the box that shows it.
class PortFailure : public std::runtime_error {
  public:
    PortFailure(int number, const std::string& description);

    int Number() const { return number_; }
    const std::string& Description() const { return description_; }

  private:
    int number_;
    std::string description_;
};

// Why a user may not use a device, for people: the system's reason with the
// device's owner, group and mode, and, where joining the dialout group would
// help, how to join it.
std::string NoAccessText(const std::string& owner, const std::string& group, unsigned mode);
