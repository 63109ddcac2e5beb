#include <windows.h>

#include "com_port_names.h"
#include "serial_platform.h"

qint64 OsQueuedBytes(LineHandle handle, int* error) {
    COMSTAT status{};
    DWORD errors = 0;
    if (!::ClearCommError(handle, &errors, &status)) {
        *error = static_cast<int>(::GetLastError());
        return -1;
    }
    return static_cast<qint64>(status.cbInQue);
}

// Windows drivers have no low-latency request; their latency is set in the
// device manager.
void RequestLowLatency(LineHandle) {}

// Qt keeps its own overlapped reads on the handle; its wait is used instead.
LineWait WaitReadable(LineHandle, std::chrono::nanoseconds, std::stop_token, int*) {
    return LineWait::Unsupported;
}

int AppliedRate(LineHandle handle) {
    DCB state{};
    state.DCBlength = sizeof state;
    if (!::GetCommState(handle, &state)) {
        return -1;
    }
    return static_cast<int>(state.BaudRate);
}

const char* OsErrorText(int error) {
    static thread_local char text[256];
    const DWORD length =
        ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                         static_cast<DWORD>(error), 0, text, sizeof text, nullptr);
    if (length == 0) {
        return "Unknown error";
    }
    text[length] = '\0';
    return text;
}

// Windows has no device permissions for serial ports.
std::string DeviceAccessRefusal(const std::string&) {
    return {};
}

bool IsSerialDevice(const std::string&) {
    return true;
}

ComPortNames ComPortNames::System(const std::string&) {
    return Native();
}
