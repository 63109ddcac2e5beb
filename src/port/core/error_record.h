#pragma once

#include <string>

namespace probelyn {

// Every way a serial line can fail, as one enumeration, each kind meaning one
// situation on every platform. The system's errors are mapped onto it once,
// where the line meets them; code judges the kind, and the description that
// travels with it is for people.
enum class LineError {
    None,
    // The name leads to no device: no device is numbered COMn.
    NoDevice,
    // The device named is not there, or is gone since it opened: ENOENT,
    // ENODEV, ENXIO, EIO on Linux; ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND
    // and a pulled-out adapter on Windows.
    DeviceNotFound,
    // This user may not open the device (its owner, group and mode say so).
    NoAccess,
    // The system refused the open, most often because another program has the
    // device open for itself alone (EBUSY; ERROR_ACCESS_DENIED,
    // ERROR_SHARING_VIOLATION).
    Refused,
    // Another program holds the line, as its lock says.
    Busy,
    // A lock names the line but cannot be read.
    LockUnjudged,
    // The line opened but refused a setting (most often the rate).
    SettingRefused,
    // The driver runs the line at another rate than asked.
    RateNotApplied,
    // The line is not open, or is no serial line at all.
    NotOpen,
    // Reading, writing or querying the open line failed.
    Io,
    // A line over the network cannot be reached or is gone: its host does
    // not resolve, the connection is refused, lost or not answered in time,
    // or the server will not carry a serial line.
    Network,
    // Anything else.
    Other,
};

// Whether another rate or framing may fare differently on the same line:
// false for the failures that say the line cannot be used at all (no device,
// a device gone, no access, held by another program, a lock that cannot be
// read, a line over the network that cannot be reached), true for a refused setting, an unapplied
// rate and a failed transfer.
bool DependsOnSetting(LineError error);

// The record of the last failure: its kind (None when clear) and the system's
// description text.
struct ErrorRecord {
    LineError error = LineError::None;
    std::string description;

    void Clear() { *this = {}; }
    bool IsClear() const { return error == LineError::None; }
};

}  // namespace probelyn
