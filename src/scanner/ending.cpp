#include "ending.h"

#include <cerrno>
#include <cstring>

#include "exit_status.h"

namespace probelyn {

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
            return SignalStatus(signal_);
        case Cause::ReaderGone:
            return Code(ExitStatus::ReaderGone);
        case Cause::WriteFailed:
            return Code(ExitStatus::Trouble);
        case Cause::None:
            break;
    }
    return normal;
}

}  // namespace probelyn
