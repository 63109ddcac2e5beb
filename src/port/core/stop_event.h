#pragma once

#include <cstdint>
#include <optional>
#include <stop_token>

namespace probelyn {

// An event of the system's that a stop sets, for a wait of the system's to
// wait on beside its line or socket: an eventfd on Linux, an event object on
// Windows. It stays registered with the stop from wait to wait rather than
// for one wait: a wait ended by a stop then never tears down a callback the
// stopping thread may still be running (that hand-over blocks, and the
// Windows build's standard library can lose its wake-up for good).
class StopEvent {
  public:
    StopEvent();
    ~StopEvent();
    StopEvent(const StopEvent&) = delete;
    StopEvent& operator=(const StopEvent&) = delete;

    // Cleared, then set by this stop from now on: at once when it has been
    // requested, also where a wait before took what it set then.
    void Arm(const std::stop_token& stop);
    // What the system's wait waits on: the descriptor, or the HANDLE.
    std::intptr_t Native() const { return native_; }

  private:
    void Set() const;
    void Clear() const;

    struct Setter {
        const StopEvent* event;
        void operator()() const { event->Set(); }
    };
    std::intptr_t native_;
    std::stop_token watched_;
    std::optional<std::stop_callback<Setter>> callback_;
};

}  // namespace probelyn
