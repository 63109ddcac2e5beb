#include "line_lock.h"

namespace probelyn {

// Windows opens a serial device for one program at a time and keeps no lock
// files: a busy line fails to open with the system's own reason.
LineLocks InspectLineLocks(const std::string&, const std::string&) {
    return {};
}

// Windows opens a serial device for one program at a time: no lock is written.
LineLock::LineLock(const std::string&, const std::string&) {}

LineLock::~LineLock() = default;

}  // namespace probelyn
