// Kept apart from <termios.h>, whose definitions clash with the kernel's.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "serial_platform.h"

int AppliedRate(LineHandle handle) {
    struct termios2 settings {};
    if (::ioctl(handle, TCGETS2, &settings) == -1) {
        return -1;
    }
    return static_cast<int>(settings.c_ospeed);
}
