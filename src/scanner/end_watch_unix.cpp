#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <thread>

#include "end_requests.h"
#include "end_watch.h"

namespace {

// Whether a descriptor is a pipe or socket, whose reader can go away.
bool HasReader(int fd) {
    struct stat about {};
    return ::fstat(fd, &about) == 0 && (S_ISFIFO(about.st_mode) || S_ISSOCK(about.st_mode));
}

}  // namespace

// One thread waits for an end request, for standard output's reader to go,
// and for the watch to finish.
struct EndWatch::Watcher {
    explicit Watcher(Ending& ending)
        : ending_(ending), finish_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        thread_ = std::thread([this] { Watch(); });
    }
    ~Watcher() {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(finish_, &one, sizeof one);
        thread_.join();
        ::close(finish_);
    }

    void Watch() {
        // A descriptor of -1 is left out of the poll: each is watched until
        // it has said what it had to say.
        pollfd fds[3] = {{requests_.Descriptor(), POLLIN, 0},
                         {HasReader(STDOUT_FILENO) ? STDOUT_FILENO : -1, 0, 0},
                         {finish_, POLLIN, 0}};
        while (::poll(fds, 3, -1) >= 0 || errno == EINTR) {
            if (fds[2].revents != 0) {
                return;
            }
            if (fds[0].revents != 0) {
                ending_.Signal(requests_.Received());
                fds[0].fd = -1;
            }
            if (fds[1].revents != 0) {  // POLLERR: the reader is gone
                ending_.ReaderGone();
                fds[1].fd = -1;
            }
        }
    }

    Ending& ending_;
    EndRequests requests_;
    int finish_;
    std::thread thread_;
};

EndWatch::EndWatch(Ending& ending) : watcher_(std::make_unique<Watcher>(ending)) {}

EndWatch::~EndWatch() = default;

bool PrepareStandardStreams() {
    std::signal(SIGPIPE, SIG_IGN);
    if (::fcntl(STDERR_FILENO, F_GETFD) == -1) {
        return false;
    }
    if (::fcntl(STDOUT_FILENO, F_GETFD) == -1) {
        std::fputs(
            "probelyn-scan: standard output is closed; there is nowhere to write the "
            "results\n",
            stderr);
        return false;
    }
    return true;
}

bool ErrorIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}
