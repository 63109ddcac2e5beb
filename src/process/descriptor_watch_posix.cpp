#include "descriptor_watch_posix.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace probelyn {

DescriptorWatch::DescriptorWatch(int fd, short events, std::function<void()> onReady)
    : onReady_(std::move(onReady)), finish_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    thread_ = std::thread([this, fd, events] { Wait(fd, events); });
}

DescriptorWatch::~DescriptorWatch() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(finish_, &one, sizeof one);
    thread_.join();
    ::close(finish_);
}

void DescriptorWatch::Wait(int fd, short events) {
    pollfd fds[2] = {{fd, events, 0}, {finish_, POLLIN, 0}};
    while (::poll(fds, 2, -1) >= 0 || errno == EINTR) {
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[0].revents != 0) {
            onReady_();
            return;
        }
    }
}

}  // namespace probelyn
