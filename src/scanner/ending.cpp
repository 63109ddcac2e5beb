#include "ending.h"

#include <cerrno>
#include <cstring>

namespace {

// The status of a pipeline member whose reader went away: 128 + SIGPIPE.
constexpr int kReaderGoneStatus = 141;
constexpr int kTrouble = 2;

}  // namespace

bool Ending::First(Cause cause, int signal) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (cause_ != Cause::None) {
            return false;
        }
        cause_ = cause;
        signal_ = signal;
    }
    stop_.request_stop();
    return true;
}

void Ending::Signal(int signal) {
    First(Cause::Signal, signal);
}

void Ending::ReaderGone() {
    First(Cause::ReaderGone, 0);
}

void Ending::WriteFailed(const std::string& what, int error) {
    if (error == EPIPE) {
        ReaderGone();
    } else if (First(Cause::WriteFailed, 0)) {
        std::fprintf(err_, "probelyn-scan: cannot write %s: %s\n", what.c_str(),
                     std::strerror(error));
        std::fflush(err_);
    }
}

Ending::Cause Ending::Why() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return cause_;
}

int Ending::Status(int normal) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    switch (cause_) {
        case Cause::Signal:
            return 128 + signal_;
        case Cause::ReaderGone:
            return kReaderGoneStatus;
        case Cause::WriteFailed:
            return kTrouble;
        case Cause::None:
            break;
    }
    return normal;
}
