// Kept apart from <termios.h>, whose definitions clash with the kernel's.
#include "line_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace probelyn {

bool ReadLineRates(int fd, LineRates* rates) {
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) == -1) {
        return false;
    }
    rates->output = static_cast<int>(tio.c_ospeed);
    rates->input = static_cast<int>(tio.c_ispeed);
    rates->parityEnabled = (tio.c_cflag & PARENB) != 0;
    rates->parityOdd = (tio.c_cflag & PARODD) != 0;
    rates->twoStopBits = (tio.c_cflag & CSTOPB) != 0;
    rates->markErrors = (tio.c_iflag & PARMRK) != 0;
    rates->checkParity = (tio.c_iflag & INPCK) != 0;
    rates->ignoreErrors = (tio.c_iflag & IGNPAR) != 0;
    return true;
}

}  // namespace probelyn
