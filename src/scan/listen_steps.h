#pragma once

#include "error_record.h"
#include "line_settings.h"

namespace probelyn {

// The front end as a listen sees it: what a listen tells it on the way.
class ListenSteps {
  public:
    virtual ~ListenSteps() = default;
    // The setting about to be listened to, the index-th of total.
    virtual void Listening(const LineSettings& settings, int index, int total) = 0;
    // The line did not open at the setting, or failed there.
    virtual void Failed(const LineSettings& settings, const ErrorRecord& error) = 0;
};

}  // namespace probelyn
