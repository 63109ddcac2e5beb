#pragma once

#include <stdexcept>
#include <string>

// Every way a serial line can fail, as one enumeration. Qt's and the system's
// errors are mapped onto it once, where the line meets them; code judges the
// kind, and the description that travels with it is for people. "No access"
// and "busy" stay distinct.
enum class LineError {
    None,
    NoDevice,        // no device is numbered COMn
    DeviceNotFound,  // the device is not there (any more)
    NoAccess,        // this user may not open the device
    Refused,         // the system refused the open, or its lock (often another program)
    Busy,            // another program holds the line, as its lock says
    LockUnjudged,    // a lock names the line but cannot be read
    SettingRefused,  // the line opened but refused a setting (most often the rate)
    RateNotApplied,  // the driver runs the line at another rate than asked
    NotOpen,         // the line is not open, or did not open
    Io,              // reading, writing or querying the open line failed
    Other,           // anything else
};

// The record of the last failure: its kind (None when clear) and the system's
// description text.
struct ErrorRecord {
    LineError error = LineError::None;
    std::string description;

    void Clear() { *this = {}; }
    bool IsClear() const { return error == LineError::None; }
};

// A failure of a serial-port member, with its record; the description travels
// unchanged to the box that shows it.
class PortFailure : public std::runtime_error {
  public:
    PortFailure(LineError error, const std::string& description);

    LineError Error() const { return record_.error; }
    const std::string& Description() const { return record_.description; }
    const ErrorRecord& Record() const { return record_; }

  private:
    ErrorRecord record_;
};

// Why a user may not use a device, for people: the system's reason with the
// device's owner, group and mode, and, where joining the dialout group would
// help, how to join it.
std::string NoAccessText(const std::string& owner, const std::string& group, unsigned mode);
