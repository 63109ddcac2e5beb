#include "clock.h"

#include <thread>

Clock::Duration SteadyClock::Now() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

void SteadyClock::SleepFor(Duration d) {
    if (d > kWakeLatency) {
        std::this_thread::sleep_for(d);
        return;
    }
    const Duration end = Now() + d;
    while (Now() < end) {
    }
}
