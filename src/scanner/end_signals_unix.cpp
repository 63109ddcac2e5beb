#include <pthread.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "end_signals.h"

// One thread takes the signals, which every other thread blocks.
struct EndSignals::Watcher {
    explicit Watcher(std::stop_source& stop) : stop_(stop) {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, nullptr);  // every thread made from here on
        thread_ = std::thread([this] { Watch(); });
    }
    ~Watcher() {
        finished_ = true;
        thread_.join();
    }

    void Watch() {
        const timespec tick{0, 50'000'000};
        while (!finished_) {
            const int signal = sigtimedwait(&set_, nullptr, &tick);
            if (signal > 0 && received_ == 0) {
                received_ = signal;
                stop_.request_stop();
                std::signal(SIGINT, SIG_DFL);
                std::signal(SIGTERM, SIG_DFL);
                pthread_sigmask(SIG_UNBLOCK, &set_, nullptr);  // the next one ends it
            } else if (received_ != 0) {
                nanosleep(&tick, nullptr);
            }
        }
    }

    std::stop_source& stop_;
    sigset_t set_{};
    std::atomic<bool> finished_{false};
    std::atomic<int> received_{0};
    std::thread thread_;
};

EndSignals::EndSignals(std::stop_source& stop) : watcher_(std::make_unique<Watcher>(stop)) {}

EndSignals::~EndSignals() = default;

int EndSignals::Received() const {
    return watcher_->received_;
}
