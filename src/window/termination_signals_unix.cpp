#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

#include "termination_signals.h"

namespace {

constexpr int kEndSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr std::size_t kSignalCount = std::size(kEndSignals);

// The handler only writes one byte into this pipe; the notifier reads it on
// the event loop.
int wakePipe[2] = {-1, -1};
// Which end signals are caught here; one ignored at start (nohup) is not.
volatile sig_atomic_t caught[kSignalCount] = {};

void RestoreDefaults() {
    for (std::size_t i = 0; i < kSignalCount; ++i) {
        if (caught[i] != 0) {
            caught[i] = 0;
            std::signal(kEndSignals[i], SIG_DFL);
        }
    }
}

// The first request ends the program in order; a second one ends it at once,
// by the signal's default action, in case closing the line stalls.
void OnEndSignal(int) {
    const int saved = errno;
    RestoreDefaults();
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
    errno = saved;
}

bool IgnoredAtStart(int signal) {
    struct sigaction current {};
    return ::sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    if (wakePipe[0] == -1 && ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) == -1) {
        return;  // the default handlers stay: the program still ends
    }
    notifier_ = std::make_unique<QSocketNotifier>(wakePipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::Take);
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
}

TerminationSignals::~TerminationSignals() {
    RestoreDefaults();
}

void TerminationSignals::Take() {
    char bytes[16];
    while (::read(wakePipe[0], bytes, sizeof bytes) > 0) {
    }
    if (!received_) {
        received_ = true;
        emit Requested();
    }
}
