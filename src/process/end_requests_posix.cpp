#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <iterator>
#include <thread>

#include "end_requests.h"

namespace probelyn {

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr std::size_t kSignalCount = std::size(kEndSignals);

// The handler writes one byte into this pipe; the watch waits on its read end.
int wakePipe[2] = {-1, -1};
// Which end signals are caught here; one ignored at start is not.
volatile sig_atomic_t caught[kSignalCount] = {};
// Lock-free, so that handlers running at once in two threads agree on which
// request came first.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);

void RestoreDefaults() {
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        if (caught[i] != 0) {
            caught[i] = 0;
            std::signal(kEndSignals[i], SIG_DFL);
        }
    }
}

void OnEndSignal(int signal) {
    const int saved = errno;
    RestoreDefaults();
    int none = 0;
    if (!received.compare_exchange_strong(none, signal)) {
        // A second request, caught by another thread before the defaults
        // were back: it ends the program as its default action does.
        std::signal(signal, SIG_DFL);
        ::raise(signal);
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
    errno = saved;
}

bool IgnoredAtStart(int signal) {
    struct sigaction current {};
    return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

// Catches the end signals; false when they cannot be watched (the default
// actions then stay, and the program still ends).
bool CatchEndSignals() {
    received = 0;
    if (wakePipe[0] == -1 && ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) == -1) {
        return false;
    }
    char stale[16];
    while (::read(wakePipe[0], stale, sizeof stale) > 0) {
    }
    struct sigaction action {};
    action.sa_handler = &OnEndSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : kEndSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        if (!IgnoredAtStart(kEndSignals[i])) {
            caught[i] = 1;
            ::sigaction(kEndSignals[i], &action, nullptr);
        }
    }
    return true;
}

}  // namespace

// One thread waits for the first request and for the watch to finish.
struct EndRequests::Watch {
    explicit Watch(std::function<void(int)> onRequest)
        : onRequest_(std::move(onRequest)), finish_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (CatchEndSignals()) {
            thread_ = std::thread([this] { Wait(); });
        }
    }
    ~Watch() {
        RestoreDefaults();
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(finish_, &one, sizeof one);
            thread_.join();
        }
        ::close(finish_);
    }

    void Wait() {
        pollfd fds[2] = {{wakePipe[0], POLLIN, 0}, {finish_, POLLIN, 0}};
        while (::poll(fds, 2, -1) >= 0 || errno == EINTR) {
            if (fds[1].revents != 0) {
                return;
            }
            if (fds[0].revents != 0) {
                onRequest_(received);
                return;
            }
        }
    }

    std::function<void(int)> onRequest_;
    int finish_;
    std::thread thread_;
};

EndRequests::EndRequests(std::function<void(int signal)> onRequest)
    : watch_(std::make_unique<Watch>(std::move(onRequest))) {}

EndRequests::~EndRequests() = default;

}  // namespace probelyn
