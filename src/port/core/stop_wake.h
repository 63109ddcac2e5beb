#pragma once

#include <optional>
#include <stop_token>

namespace probelyn {

// Wakes a wait of the system's (an event, an eventfd) when a stop is
// requested, registered for as long as the stop stays the same rather than
// for one wait. A wait ended by a stop then never tears down a callback the
// stopping thread may still be running; that hand-over blocks, and the
// Windows build's standard library can lose its wake-up for good.
template <typename Wake>
class StopWake {
  public:
    explicit StopWake(Wake wake) : wake_(wake) {}

    // From now on wakes for this stop; at once when it was requested, also
    // where a wait before took the wake it gave then.
    void Watch(const std::stop_token& stop) {
        if (!callback_ || stop != watched_) {
            callback_.reset();
            watched_ = stop;
            callback_.emplace(watched_, wake_);
        } else if (stop.stop_requested()) {
            wake_();
        }
    }
    // Wakes no more: before what it wakes goes.
    void Forget() { callback_.reset(); }

  private:
    Wake wake_;
    std::stop_token watched_;
    std::optional<std::stop_callback<Wake>> callback_;
};

}  // namespace probelyn
