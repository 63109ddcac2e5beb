#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

#include "stop_event.h"

namespace probelyn {

StopEvent::StopEvent() : native_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

StopEvent::~StopEvent() {
    callback_.reset();  // before what it sets goes
    if (native_ != -1) {
        ::close(static_cast<int>(native_));
    }
}

void StopEvent::Set() const {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(static_cast<int>(native_), &one, sizeof one);
}

void StopEvent::Clear() const {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(static_cast<int>(native_), &count, sizeof count);
}

}  // namespace probelyn
