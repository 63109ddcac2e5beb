#pragma once

#include "clock.h"

namespace probelyn {

// Virtual time: Now() stands still until someone sleeps or the fake port
// blocks; both advance it exactly.
class FakeClock : public Clock {
  public:
    Duration Now() override { return now_; }
    void SleepFor(Duration d, std::stop_token) override {
        if (d > Duration::zero()) {
            now_ += d;
        }
    }
    void Advance(Duration d) { now_ += d; }
    void AdvanceTo(Duration t) {
        if (t > now_) {
            now_ = t;
        }
    }

  private:
    Duration now_{std::chrono::hours(1)};
};

}  // namespace probelyn
