#include "port_access.h"

#include "skip_on_failure.h"

namespace probelyn {

bool PortAccess::OpenPort(const LineSettings& settings) {
    error_.Clear();
    SkipOnFailure(error_, [&] { PortHandle_ = Prt_.Open(settings); });
    return error_.IsClear() && PortHandle_ >= 1;
}

bool PortAccess::CheckPort(int Port) {
    return OpenPort({.line = {.com = Port}, .baud = 9600});
}

void PortAccess::ClosePort() {
    if (PortHandle_ > 0) {
        PortHandle_ = Prt_.Close();
    }
}

}  // namespace probelyn
