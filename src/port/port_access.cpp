#include "port_access.h"

#include "port_failure.h"

template <typename Step>
void PortAccess::Skipping(Step step) {
    try {
        step();
    } catch (const PortFailure& failure) {
        error_.number = failure.Number();
        error_.description = failure.Description();
    }
}

bool PortAccess::OpenPort(int comport, int baudrate) {
    error_.Clear();
    Skipping([&] { Prt_.PortNumber(comport); });
    Skipping([&] { Prt_.BaudRate(baudrate); });
    Skipping([&] { PortHandle_ = Prt_.Open(); });
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
