#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <thread>

#include "standard_streams.h"

namespace probelyn {

namespace {

// Whether a descriptor is a pipe or socket, whose reader can go away.
bool HasReader(int fd) {
    struct stat about {};
    return ::fstat(fd, &about) == 0 && (S_ISFIFO(about.st_mode) || S_ISSOCK(about.st_mode));
}

}  // namespace

StandardStreams PrepareStandardStreams() {
    std::signal(SIGPIPE, SIG_IGN);
    if (::fcntl(STDERR_FILENO, F_GETFD) == -1) {
        return StandardStreams::ErrorClosed;
    }
    if (::fcntl(STDOUT_FILENO, F_GETFD) == -1) {
        return StandardStreams::OutputClosed;
    }
    return StandardStreams::Open;
}

bool ErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

// One thread waits for standard output's reader to go (POLLERR on a pipe
// whose reader exited), and for the watch to finish.
struct OutputReaderWatch::Watch {
    explicit Watch(std::function<void()> onGone)
        : onGone_(std::move(onGone)), finish_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (HasReader(STDOUT_FILENO)) {
            thread_ = std::thread([this] { Wait(); });
        }
    }
    ~Watch() {
        if (thread_.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(finish_, &one, sizeof one);
            thread_.join();
        }
        ::close(finish_);
    }

    void Wait() {
        pollfd fds[2] = {{STDOUT_FILENO, 0, 0}, {finish_, POLLIN, 0}};
        while (::poll(fds, 2, -1) >= 0 || errno == EINTR) {
            if (fds[1].revents != 0) {
                return;
            }
            if (fds[0].revents != 0) {
                onGone_();
                return;
            }
        }
    }

    std::function<void()> onGone_;
    int finish_;
    std::thread thread_;
};

OutputReaderWatch::OutputReaderWatch(std::function<void()> onGone)
    : watch_(std::make_unique<Watch>(std::move(onGone))) {}

OutputReaderWatch::~OutputReaderWatch() = default;

}  // namespace probelyn
