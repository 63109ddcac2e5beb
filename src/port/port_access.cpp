#include "port_access.h"

bool PortAccess::OpenPort(int comport, int baudrate) {
    error_.Clear();
    SkipOnFailure(error_, [&] { Prt_.PortNumber(comport); });
    SkipOnFailure(error_, [&] { Prt_.BaudRate(baudrate); });
    SkipOnFailure(error_, [&] { PortHandle_ = Prt_.Open(); });
    return error_.IsClear() && PortHandle_ >= 1;
}

bool PortAccess::CheckPort(int Port) {
    return OpenPort(Port, 9600);
}

void PortAccess::ClosePort() {
    if (PortHandle_ > 0) {
        PortHandle_ = Prt_.Close();
    }
}
