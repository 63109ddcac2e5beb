#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <optional>

#include "descriptor_watch_posix.h"
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

// The signals caught while the watch lives; the first request told from the
// watch's thread.
struct EndRequests::Watch {
    explicit Watch(std::function<void(int)> onRequest) {
        if (CatchEndSignals()) {
            watch_.emplace(wakePipe[0], POLLIN,
                           [onRequest = std::move(onRequest)] { onRequest(received); });
        }
    }
    ~Watch() { RestoreDefaults(); }  // before the watch ends

    std::optional<DescriptorWatch> watch_;
};

EndRequests::EndRequests(std::function<void(int signal)> onRequest)
    : watch_(std::make_unique<Watch>(std::move(onRequest))) {}

EndRequests::~EndRequests() = default;

}  // namespace probelyn
