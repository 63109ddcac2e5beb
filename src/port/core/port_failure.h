#pragma once

#include <stdexcept>
#include <string>

#include "error_record.h"

namespace probelyn {

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

}  // namespace probelyn
