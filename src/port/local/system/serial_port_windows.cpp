// The serial port on Windows: a COM port opened for overlapped I/O, its DCB
// and time-outs, and waits on its receive events beside a stop event.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "error_marks.h"
#include "port_failure.h"
#include "serial_port.h"

namespace probelyn {

namespace {

constexpr DWORD kWriteWaitMs = 2000;

std::string Utf8(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                          nullptr, nullptr);
    return utf8;
}

std::wstring Wide(const std::string& text) {
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(std::max(size, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          size);
    return wide;
}

// The system's text for an error, without its line break.
std::string SystemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length > 0 ? std::wstring(text, length) : L"";
    ::LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.')) {
        message.pop_back();
    }
    return message.empty() ? "Windows error " + std::to_string(error) : Utf8(message);
}

// The system's errors as the line's own, mapped here once.
LineError KindOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:  // no device of that name
        case ERROR_PATH_NOT_FOUND:
            return LineError::DeviceNotFound;
        case ERROR_ACCESS_DENIED:  // another program has the port open
        case ERROR_SHARING_VIOLATION:
            return LineError::Refused;
        case ERROR_INVALID_PARAMETER:
            return LineError::SettingRefused;
        case ERROR_BAD_COMMAND:  // an adapter pulled out
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_GEN_FAILURE:
            return LineError::DeviceNotFound;
        default:
            return LineError::Io;
    }
}

// Listening, the bytes marked as a POSIX tty marks them (error_marks.h): the
// errors the port reported for the interval read as one errored character
// before them (Windows does not say which byte).
void AppendMarked(std::string& into, const std::string& bytes, bool& errored) {
    if (std::exchange(errored, false)) {
        AppendErrored(into);
    }
    AppendReceived(into, bytes);
}

[[noreturn]] void Fail(DWORD error) {
    throw PortFailure(KindOf(error), SystemText(error));
}

[[noreturn]] void Fail(LineError kind, DWORD error) {
    throw PortFailure(kind, SystemText(error));
}

DCB Raw(const DCB& found, const LineSettings& settings) {
    DCB dcb = found;
    dcb.BaudRate = static_cast<DWORD>(settings.baud);
    dcb.ByteSize = 8;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.framing.parity != Parity::None;
    dcb.Parity = settings.framing.parity == Parity::Even  ? EVENPARITY
                 : settings.framing.parity == Parity::Odd ? ODDPARITY
                                                          : NOPARITY;
    dcb.StopBits = settings.framing.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = settings.listen ? DTR_CONTROL_DISABLE : DTR_CONTROL_ENABLE;
    dcb.fRtsControl = settings.listen ? RTS_CONTROL_DISABLE : RTS_CONTROL_ENABLE;
    return dcb;
}

// An overlapped operation on the port, waited for to its end.
DWORD Finish(HANDLE port, OVERLAPPED& op, BOOL started) {
    DWORD done = 0;
    if (!started && ::GetLastError() != ERROR_IO_PENDING) {
        Fail(::GetLastError());
    }
    if (!::GetOverlappedResult(port, &op, &done, TRUE)) {
        Fail(::GetLastError());
    }
    return done;
}

}  // namespace

struct SerialPort::Device {
    ~Device() {
        if (restore) {
            ::SetCommState(port, &found);
        }
        if (port != INVALID_HANDLE_VALUE) {
            ::CloseHandle(port);
        }
        ::CloseHandle(stop);
        ::CloseHandle(io);
        ::timeEndPeriod(1);
    }

    HANDLE port = INVALID_HANDLE_VALUE;
    DCB found{};  // the settings at open, given back at close
    bool restore = false;
    bool listen = false;
    bool errored = false;  // a framing or parity error since the last read
    HANDLE stop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set when a stop comes
    HANDLE io = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);    // of the operation under way
    // Waits end to the millisecond, not to the system's default 15.6 ms tick.
    MMRESULT period = ::timeBeginPeriod(1);
};

void SerialPort::DeviceClose::operator()(Device* device) const {
    delete device;
}

namespace {

void Apply(HANDLE port, const DCB& found, const LineSettings& settings) {
    DCB raw = Raw(found, settings);
    if (!::SetCommState(port, &raw)) {
        Fail(LineError::SettingRefused, ::GetLastError());
    }
    if (!::PurgeComm(port, PURGE_RXCLEAR)) {
        Fail(::GetLastError());
    }
}

}  // namespace

SerialPort::OpenDevice SerialPort::Opened(const std::string& path, const LineSettings& settings) {
    OpenDevice device(new Device);
    Device& d = *device;
    d.listen = settings.listen;
    const std::string name = path.rfind("\\\\.\\", 0) == 0 ? path : "\\\\.\\" + path;
    d.port = ::CreateFileW(Wide(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (d.port == INVALID_HANDLE_VALUE) {
        Fail(::GetLastError());
    }
    d.found.DCBlength = sizeof d.found;
    if (!::GetCommState(d.port, &d.found)) {
        Fail(LineError::NotOpen, ::GetLastError());  // not a serial port
    }
    d.restore = true;
    Apply(d.port, d.found, settings);
    // Reads return at once with what is there; waits are on receive events.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = kWriteWaitMs;
    if (!::SetCommTimeouts(d.port, &timeouts) || !::SetCommMask(d.port, EV_RXCHAR) ||
        !::PurgeComm(d.port, PURGE_RXCLEAR | PURGE_RXABORT)) {
        Fail(::GetLastError());
    }
    return device;
}

void SerialPort::ChangeSettings(const LineSettings& settings) {
    Device& d = Held();
    Apply(d.port, d.found, settings);
}

int SerialPort::AppliedRate() {
    DCB state{};
    state.DCBlength = sizeof state;
    return ::GetCommState(Held().port, &state) ? static_cast<int>(state.BaudRate) : -1;
}

std::size_t SerialPort::InputCount() {
    Device& d = Held();
    COMSTAT status{};
    DWORD errors = 0;
    if (!::ClearCommError(d.port, &errors, &status)) {
        Fail(::GetLastError());
    }
    d.errored = d.errored || (errors & (CE_FRAME | CE_RXPARITY | CE_BREAK)) != 0;
    return status.cbInQue;
}

void SerialPort::Read(std::string& into, std::size_t max) {
    Device& d = Held();
    // Only what is queued is asked for: a read of more could wait.
    for (std::size_t want = std::min(max, InputCount()); want > 0;
         want = std::min(max, InputCount())) {
        char bytes[1024];
        OVERLAPPED op{};
        op.hEvent = d.io;
        const auto size = static_cast<DWORD>(std::min(want, sizeof bytes));
        const DWORD got = Finish(d.port, op, ::ReadFile(d.port, bytes, size, nullptr, &op));
        if (d.listen) {
            AppendMarked(into, std::string(bytes, got), d.errored);
        } else {
            into.append(bytes, got);
        }
        max -= std::min<std::size_t>(max, got);
        if (got == 0) {
            return;
        }
    }
}

void SerialPort::Write(const std::string& bytes) {
    Device& d = Held();
    OVERLAPPED op{};
    op.hEvent = d.io;
    const DWORD sent = Finish(
        d.port, op,
        ::WriteFile(d.port, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &op));
    if (sent < bytes.size()) {
        throw PortFailure(LineError::Io, "The line takes no more bytes to send");
    }
}

void SerialPort::DiscardInput() {
    if (!::PurgeComm(Held().port, PURGE_RXCLEAR)) {
        Fail(::GetLastError());
    }
}

bool SerialPort::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    using Clock = std::chrono::steady_clock;
    Device& d = Held();
    const Clock::time_point deadline = Clock::now() + timeout;
    ::ResetEvent(d.stop);
    const std::stop_callback onStop(stop, [event = d.stop] { ::SetEvent(event); });
    // A receive event may also come without a byte (Wine polls): each one
    // is followed by a look at the queue.
    for (;;) {
        if (InputCount() > 0) {
            return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (stop.stop_requested() || left.count() <= 0) {
            return false;
        }
        OVERLAPPED op{};
        op.hEvent = d.io;
        DWORD events = 0;
        if (::WaitCommEvent(d.port, &events, &op)) {
            continue;
        }
        if (::GetLastError() != ERROR_IO_PENDING) {
            Fail(::GetLastError());
        }
        const HANDLE both[2] = {d.io, d.stop};
        if (::WaitForMultipleObjects(2, both, FALSE, static_cast<DWORD>(left.count())) !=
            WAIT_OBJECT_0) {
            ::CancelIoEx(d.port, &op);
        }
        DWORD ignored = 0;
        ::GetOverlappedResult(d.port, &op, &ignored, TRUE);
    }
}

}  // namespace probelyn
