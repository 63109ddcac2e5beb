#pragma once

#include <chrono>

// The monotonic clock the reply waits are measured on, behind an interface so
// tests can drive waits in virtual time.
class Clock {
  public:
    using Duration = std::chrono::nanoseconds;

    virtual ~Clock() = default;
    virtual Duration Now() = 0;
    virtual void SleepFor(Duration d) = 0;
};

// std::chrono::steady_clock.
class SteadyClock : public Clock {
  public:
    Duration Now() override;
    void SleepFor(Duration d) override;
};
