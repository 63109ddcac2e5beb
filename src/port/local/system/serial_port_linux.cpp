// The serial port on Linux: termios2, kept apart from <termios.h>, whose
// definitions clash with the kernel's.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "line_rate.h"
#include "port_failure.h"
#include "serial_port.h"
#include "stop_event.h"

namespace probelyn {

namespace {

// How long a write may wait for room in the system's send queue.
constexpr int kWriteWaitMs = 2000;

// The system's errors as the line's own, mapped here once.
LineError KindOf(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case EIO:  // a device unplugged, a pty whose other side is gone
            return LineError::DeviceNotFound;
        case EACCES:
        case EPERM:
            return LineError::NoAccess;
        case EBUSY:  // another program opened it for itself alone
            return LineError::Refused;
        case ENOTTY:
        case EISDIR:
            return LineError::NotOpen;
        default:
            return LineError::Io;
    }
}

[[noreturn]] void Fail(int error) {
    throw PortFailure(KindOf(error), std::strerror(error));
}

[[noreturn]] void Fail(LineError kind, int error) {
    throw PortFailure(kind, std::strerror(error));
}

termios2 Raw(const termios2& found, const LineSettings& settings) {
    termios2 tio{};
    tio.c_line = found.c_line;
    // A byte with a framing error is dropped; listening, every error is marked.
    tio.c_iflag = settings.listen ? INPCK | PARMRK : IGNPAR;
    tio.c_cflag = CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
    if (settings.framing.parity != Parity::None) {
        tio.c_cflag |= PARENB;
    }
    if (settings.framing.parity == Parity::Odd) {
        tio.c_cflag |= PARODD;
    }
    if (settings.framing.stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tio.c_ispeed = static_cast<speed_t>(settings.baud);
    tio.c_ospeed = static_cast<speed_t>(settings.baud);
    return tio;
}

// Asks the driver to pass received bytes on at once instead of after its
// latency timer (USB adapters). Refusals are ignored.
void RequestLowLatency(int fd) {
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ::ioctl(fd, TIOCSSERIAL, &serial);
    }
}

}  // namespace

struct SerialPort::Device {
    ~Device() {
        if (restore) {
            ::ioctl(fd, TCSETS2, &found);
            ::ioctl(fd, TIOCNXCL);  // others may open it again, as before
        }
        if (fd != -1) {
            ::close(fd);
        }
    }

    int fd = -1;
    termios2 found{};  // the settings at open, given back at close
    bool restore = false;
    StopEvent stop;  // readable once a stop comes
};

void SerialPort::DeviceClose::operator()(Device* device) const {
    delete device;
}

namespace {

void Apply(int fd, const termios2& found, const LineSettings& settings) {
    const termios2 raw = Raw(found, settings);
    if (::ioctl(fd, TCSETS2, &raw) == -1) {
        Fail(LineError::SettingRefused, errno);
    }
    if (::ioctl(fd, TCFLSH, TCIFLUSH) == -1) {
        Fail(errno);
    }
}

}  // namespace

SerialPort::OpenDevice SerialPort::Opened(const std::string& path, const LineSettings& settings) {
    OpenDevice device(new Device);
    Device& d = *device;
    d.fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (d.fd == -1) {
        Fail(errno);
    }
    if (::ioctl(d.fd, TCGETS2, &d.found) == -1) {
        Fail(LineError::NotOpen, errno);  // not a serial line
    }
    if (::ioctl(d.fd, TIOCEXCL) == -1) {
        Fail(errno);
    }
    d.restore = true;
    Apply(d.fd, d.found, settings);
    int lines = TIOCM_DTR | TIOCM_RTS;
    // A pty has no modem lines: not a failure.
    ::ioctl(d.fd, settings.listen ? TIOCMBIC : TIOCMBIS, &lines);
    RequestLowLatency(d.fd);
    ::ioctl(d.fd, TCFLSH, TCIFLUSH);
    return device;
}

void SerialPort::ChangeSettings(const LineSettings& settings) {
    Device& d = Held();
    Apply(d.fd, d.found, settings);
}

int SerialPort::AppliedRate() {
    LineRates rates;
    return ReadLineRates(Held().fd, &rates) ? rates.output : -1;
}

std::size_t SerialPort::InputCount() {
    int count = 0;
    if (::ioctl(Held().fd, FIONREAD, &count) == -1) {
        Fail(errno);
    }
    return static_cast<std::size_t>(count);
}

void SerialPort::Read(std::string& into, std::size_t max) {
    const int fd = Held().fd;
    char bytes[1024];
    while (max > 0) {
        const ssize_t n = ::read(fd, bytes, std::min(max, sizeof bytes));
        if (n > 0) {
            into.append(bytes, static_cast<std::size_t>(n));
            max -= static_cast<std::size_t>(n);
        } else if (n == 0) {
            throw PortFailure(LineError::DeviceNotFound, "The device is gone (hung up)");
        } else if (errno == EAGAIN) {
            return;
        } else if (errno != EINTR) {
            Fail(errno);
        }
    }
}

void SerialPort::Write(const std::string& bytes) {
    const int fd = Held().fd;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
        } else if (errno == EAGAIN) {
            pollfd room{fd, POLLOUT, 0};
            if (::poll(&room, 1, kWriteWaitMs) == 0) {
                throw PortFailure(LineError::Io, "The line takes no more bytes to send");
            }
        } else if (errno != EINTR) {
            Fail(errno);
        }
    }
}

void SerialPort::DiscardInput() {
    if (::ioctl(Held().fd, TCFLSH, TCIFLUSH) == -1) {
        Fail(errno);
    }
}

bool SerialPort::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    Device& d = Held();
    d.stop.Arm(stop);
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec limit{static_cast<time_t>(whole.count()),
                         static_cast<long>((timeout - whole).count())};
    pollfd fds[2] = {{d.fd, POLLIN, 0}, {static_cast<int>(d.stop.Native()), POLLIN, 0}};
    if (::ppoll(fds, 2, &limit, nullptr) == -1) {
        if (errno == EINTR) {
            return false;  // the caller looks at the clock again
        }
        Fail(errno);
    }
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 && (fds[0].revents & POLLIN) == 0) {
        throw PortFailure(LineError::DeviceNotFound, "The device is gone (hung up)");
    }
    return (fds[0].revents & POLLIN) != 0;
}

}  // namespace probelyn
