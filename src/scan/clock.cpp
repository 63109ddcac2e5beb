#include "clock.h"

#include <condition_variable>
#include <mutex>

namespace probelyn {

Clock::Duration SteadyClock::Now() {
    return std::chrono::steady_clock::now().time_since_epoch();
}

void SteadyClock::SleepFor(Duration d, std::stop_token stop) {
    if (d > kWakeLatency) {
        std::mutex mutex;
        std::condition_variable_any stopped;
        std::unique_lock<std::mutex> lock(mutex);
        stopped.wait_for(lock, stop, d, [] { return false; });
        return;
    }
    const Duration end = Now() + d;
    while (Now() < end && !stop.stop_requested()) {
    }
}

}  // namespace probelyn
