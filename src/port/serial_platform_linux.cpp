#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "com_port_names.h"
#include "line_rate.h"
#include "port_failure.h"
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

int AppliedRate(LineHandle handle) {
    LineRates rates;
    return ReadLineRates(handle, &rates) ? rates.output : -1;
}

const char* OsErrorText(int error) {
    return std::strerror(error);
}

std::string DeviceAccessRefusal(const std::string& device) {
    if (::access(device.c_str(), R_OK | W_OK) == 0 || errno != EACCES) {
        return {};
    }
    struct stat node {};
    if (::stat(device.c_str(), &node) == -1) {
        return std::strerror(EACCES);
    }
    const passwd* owner = ::getpwuid(node.st_uid);
    const group* group = ::getgrgid(node.st_gid);
    return NoAccessText(owner != nullptr ? owner->pw_name : std::to_string(node.st_uid),
                        group != nullptr ? group->gr_name : std::to_string(node.st_gid),
                        node.st_mode & 07777);
}

// The major number of the 8250 driver's ttyS nodes.
constexpr unsigned kUartMajor = 4;

bool IsSerialDevice(const std::string& path) {
    // Only the 8250 driver makes nodes for UARTs that may not exist; it says
    // so through the port type, in sysfs or, for a link, through the node.
    const std::string name = std::filesystem::path(path).filename().string();
    if (name.rfind("ttyS", 0) != 0 || name.rfind("ttySC", 0) == 0) {
        return true;
    }
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int uart = -1;
    if (type >> uart) {
        return uart != PORT_UNKNOWN;
    }
    // Without sysfs, only an 8250 node (major 4) can be a phantom: a ttyS-named
    // link to another device (a USB adapter, say) is that device.
    struct stat node {};
    if (::stat(path.c_str(), &node) == -1 || !S_ISCHR(node.st_mode) ||
        major(node.st_rdev) != kUartMajor) {
        return true;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd == -1) {
        return true;  // cannot tell: listed, and discovery says why it fails
    }
    serial_struct serial{};
    const bool phantom = ::ioctl(fd, TIOCGSERIAL, &serial) == 0 && serial.type == PORT_UNKNOWN;
    ::close(fd);
    return !phantom;
}

ComPortNames ComPortNames::System() {
    return FromDevices(NumberSerialDevices("/dev", &IsSerialDevice));
}
