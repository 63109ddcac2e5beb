#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <optional>

#include "descriptor_watch_posix.h"
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

// Standard output's reader gone: POLLERR on a pipe whose reader exited.
struct OutputReaderWatch::Watch {
    explicit Watch(std::function<void()> onGone) {
        if (HasReader(STDOUT_FILENO)) {
            watch_.emplace(STDOUT_FILENO, 0, std::move(onGone));
        }
    }

    std::optional<DescriptorWatch> watch_;
};

OutputReaderWatch::OutputReaderWatch(std::function<void()> onGone)
    : watch_(std::make_unique<Watch>(std::move(onGone))) {}

OutputReaderWatch::~OutputReaderWatch() = default;

}  // namespace probelyn
