#include "clock.h"

#include <thread>

Clock::Duration SteadyClock::Now() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

void SteadyClock::SleepFor(Duration d) {
    std::this_thread::sleep_for(d);
}
