#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
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
#include "port_failure.h"
#include "serial_platform.h"

namespace probelyn {

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

}  // namespace probelyn
