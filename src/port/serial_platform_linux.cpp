#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <pwd.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

namespace {

// A descriptor that a stop makes readable, one per thread (a line is driven
// from one thread). Emptied before each wait, so an earlier stop is not seen.
int StopWakeDescriptor() {
    thread_local const int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(fd, &count, sizeof count);
    return fd;
}

}  // namespace

LineWait WaitReadable(LineHandle handle, std::chrono::nanoseconds timeout, std::stop_token stop,
                      int* error) {
    using std::chrono::duration_cast;
    using std::chrono::seconds;
    const seconds whole = duration_cast<seconds>(timeout);
    const timespec limit{static_cast<time_t>(whole.count()),
                         static_cast<long>((timeout - whole).count())};
    const int wake = StopWakeDescriptor();
    const std::stop_callback onStop(stop, [wake] {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake, &one, sizeof one);
    });
    pollfd fds[2] = {{handle, POLLIN, 0}, {wake, POLLIN, 0}};
    const int ready = ::ppoll(fds, 2, &limit, nullptr);
    if (ready == -1) {
        if (errno == EINTR) {
            return LineWait::TimedOut;  // the caller looks at the clock again
        }
        *error = errno;
        return LineWait::Failed;
    }
    return fds[0].revents != 0 ? LineWait::Readable : LineWait::TimedOut;
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

ComPortNames ComPortNames::System(const std::string& deviceFolder) {
    return FromDevices(NumberSerialDevices(deviceFolder, &IsSerialDevice));
}
