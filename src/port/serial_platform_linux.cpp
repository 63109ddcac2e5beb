#include <linux/serial.h>
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

const char* OsErrorText(int error) {
    return std::strerror(error);
}

ComPortNames ComPortNames::System() {
    return FromDevices(NumberSerialDevices("/dev"));
}
