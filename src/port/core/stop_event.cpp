#include "stop_event.h"

namespace probelyn {

void StopEvent::Arm(const std::stop_token& stop) {
    Clear();
    if (!callback_ || stop != watched_) {
        callback_.reset();
        watched_ = stop;
        callback_.emplace(watched_, Setter{this});
    } else if (stop.stop_requested()) {
        Set();
    }
}

}  // namespace probelyn
