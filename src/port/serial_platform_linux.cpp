#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

#include "com_port_names.h"
#include "serial_platform.h"

qint64 OsQueuedBytes(LineHandle handle, int* error) {
    int count = 0;
    if (::ioctl(handle, FIONREAD, &count) == -1) {
        *error = errno;
        return -1;
    }
    return count;
}

void RequestLowLatency(LineHandle handle) {
    serial_struct serial{};
    if (::ioctl(handle, TIOCGSERIAL, &serial) == -1) {
        return;
    }
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(handle, TIOCSSERIAL, &serial);
}

LineWait WaitReadable(LineHandle handle, std::chrono::nanoseconds timeout, int* error) {
    using std::chrono::duration_cast;
    using std::chrono::seconds;
    const seconds whole = duration_cast<seconds>(timeout);
    const timespec limit{static_cast<time_t>(whole.count()),
                         static_cast<long>((timeout - whole).count())};
    pollfd line{handle, POLLIN, 0};
    const int ready = ::ppoll(&line, 1, &limit, nullptr);
    if (ready == -1) {
        if (errno == EINTR) {
            return LineWait::TimedOut;  // the caller looks at the clock again
        }
        *error = errno;
        return LineWait::Failed;
    }
    return ready == 0 ? LineWait::TimedOut : LineWait::Readable;
}

const char* OsErrorText(int error) {
    return std::strerror(error);
}

ComPortNames ComPortNames::System() {
    return FromDevices(NumberSerialDevices("/dev"));
}
