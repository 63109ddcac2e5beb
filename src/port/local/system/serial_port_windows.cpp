// The serial port on Windows: a COM port opened for overlapped I/O, its DCB
// and time-outs, and waits on a read that ends at the first byte, beside a
// stop event.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "error_marks.h"
#include "port_failure.h"
#include "serial_port.h"
#include "stop_event.h"

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

// How long one waiting read lasts at most: the longest a stop waits for
// it, and for the line's close after a stop.
constexpr DWORD kReadSliceMs = 40;

// A read returns once it has the bytes it asks for, or once the constant
// (ms) has passed with what came. A read of what is queued returns at once;
// the waiting read asks for one byte, so it returns at the first. Windows'
// own "return at the first byte" (interval and multiplier MAXDWORD) never
// returns under Wine 8, whose COM ports the tests run on, and an interval
// time-out would hold every reply back by the interval.
COMMTIMEOUTS Timeouts(DWORD ms) {
    return {0, 0, ms, 0, kWriteWaitMs};
}

struct SerialPort::Device {
    ~Device() {
        if (restore) {
            ::SetCommState(port, &found);
        }
        if (port != INVALID_HANDLE_VALUE) {
            ::CloseHandle(port);
        }
        ::CloseHandle(io);
        ::CloseHandle(waiting.done);
        ::timeEndPeriod(1);
    }

    // Whether the waiting read has ended; collects what it took.
    bool Collect();
    // Lets the waiting read end (within its time-out) and collects it, so
    // that the byte it takes comes before those a read takes after it.
    void Settle();
    // Starts a waiting read that ends at the first byte or after `ms`.
    void StartWaiting(DWORD ms);
    // Appends bytes read, marked where the line listens.
    void Keep(std::string& into, const char* bytes, DWORD got);

    HANDLE port = INVALID_HANDLE_VALUE;
    DCB found{};  // the settings at open, given back at close
    bool restore = false;
    bool listen = false;
    bool errored = false;  // a framing or parity error since the last read
    StopEvent stop;        // set when a stop comes
    HANDLE io = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);  // of a write or a read at once
    // The read a wait leaves under way, with its byte, until it ends: it
    // ends at the first byte that comes, or at its time-out, never
    // cancelled. What it took is held in `taken` until read or discarded.
    struct Waiting {
        HANDLE done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        OVERLAPPED op{};
        char byte = 0;
        bool pending = false;
        DWORD constant = MAXDWORD;  // the time-out set for it
    } waiting;
    std::string taken;
    // Waits end to the millisecond, not to the system's default 15.6 ms tick.
    MMRESULT period = ::timeBeginPeriod(1);
};

void SerialPort::DeviceClose::operator()(Device* device) const {
    if (device->waiting.pending &&
        ::WaitForSingleObject(device->waiting.done, 20 * kReadSliceMs) != WAIT_OBJECT_0) {
        // A read that outlives its time-out still writes into the device's
        // state: that is left to it rather than freed under it.
        return;
    }
    delete device;
}

bool SerialPort::Device::Collect() {
    if (!waiting.pending) {
        return true;
    }
    DWORD got = 0;
    const bool ended = ::GetOverlappedResult(port, &waiting.op, &got, FALSE);
    const DWORD error = ended ? ERROR_SUCCESS : ::GetLastError();
    if (error == ERROR_IO_INCOMPLETE) {
        return false;
    }
    waiting.pending = false;
    if (error != ERROR_SUCCESS && error != ERROR_TIMEOUT) {  // Wine ends a read with nothing so
        Fail(error);
    }
    Keep(taken, &waiting.byte, got);
    return true;
}

void SerialPort::Device::Keep(std::string& into, const char* bytes, DWORD got) {
    if (listen) {
        AppendMarked(into, std::string(bytes, got), errored);
    } else {
        into.append(bytes, got);
    }
}

void SerialPort::Device::Settle() {
    if (waiting.pending) {
        ::WaitForSingleObject(waiting.done, waiting.constant + kReadSliceMs);
    }
    Collect();
}

void SerialPort::Device::StartWaiting(DWORD ms) {
    if (ms != waiting.constant) {
        COMMTIMEOUTS timeouts = Timeouts(ms);
        if (!::SetCommTimeouts(port, &timeouts)) {
            Fail(::GetLastError());
        }
        waiting.constant = ms;
    }
    waiting.op = OVERLAPPED{};
    waiting.op.hEvent = waiting.done;
    if (::ReadFile(port, &waiting.byte, 1, nullptr, &waiting.op) ||
        ::GetLastError() == ERROR_IO_PENDING) {
        waiting.pending = true;
        return;
    }
    Fail(::GetLastError());
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
    COMMTIMEOUTS timeouts = Timeouts(kReadSliceMs);
    if (!::SetCommTimeouts(d.port, &timeouts) ||
        !::PurgeComm(d.port, PURGE_RXCLEAR | PURGE_RXABORT)) {
        Fail(::GetLastError());
    }
    d.waiting.constant = kReadSliceMs;
    return device;
}

void SerialPort::ChangeSettings(const LineSettings& settings) {
    Device& d = Held();
    d.Settle();
    d.taken.clear();
    Apply(d.port, d.found, settings);
}

int SerialPort::AppliedRate() {
    Device& d = Held();
    d.Settle();
    DCB state{};
    state.DCBlength = sizeof state;
    return ::GetCommState(d.port, &state) ? static_cast<int>(state.BaudRate) : -1;
}

namespace {

// What the system holds for the port, and the errors it met since the last look.
std::size_t SystemHolds(HANDLE port, bool& errored) {
    COMSTAT status{};
    DWORD errors = 0;
    if (!::ClearCommError(port, &errors, &status)) {
        Fail(::GetLastError());
    }
    errored = errored || (errors & (CE_FRAME | CE_RXPARITY | CE_BREAK)) != 0;
    return status.cbInQue;
}

}  // namespace

std::size_t SerialPort::InputCount() {
    Device& d = Held();
    d.Settle();
    return d.taken.size() + SystemHolds(d.port, d.errored);
}

void SerialPort::Read(std::string& into, std::size_t max) {
    Device& d = Held();
    d.Settle();
    const std::size_t held = std::min(max, d.taken.size());
    into.append(d.taken, 0, held);
    d.taken.erase(0, held);
    max -= held;
    // Only what is queued is asked for: a read of more could wait.
    for (std::size_t want = std::min(max, SystemHolds(d.port, d.errored)); want > 0;
         want = std::min(max, SystemHolds(d.port, d.errored))) {
        char bytes[1024];
        OVERLAPPED op{};
        op.hEvent = d.io;
        const auto size = static_cast<DWORD>(std::min(want, sizeof bytes));
        const DWORD got = Finish(d.port, op, ::ReadFile(d.port, bytes, size, nullptr, &op));
        d.Keep(into, bytes, got);
        max -= std::min<std::size_t>(max, got);
        if (got == 0) {
            return;
        }
    }
}

void SerialPort::Write(const std::string& bytes) {
    Device& d = Held();
    d.Settle();
    OVERLAPPED op{};
    op.hEvent = d.io;
    const DWORD sent =
        Finish(d.port, op,
               ::WriteFile(d.port, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &op));
    if (sent < bytes.size()) {
        throw PortFailure(LineError::Io, "The line takes no more bytes to send");
    }
}

void SerialPort::DiscardInput() {
    Device& d = Held();
    d.Settle();
    d.taken.clear();
    if (!::PurgeComm(d.port, PURGE_RXCLEAR)) {
        Fail(::GetLastError());
    }
}

bool SerialPort::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    using Clock = std::chrono::steady_clock;
    Device& d = Held();
    const Clock::time_point deadline = Clock::now() + timeout;
    d.stop.Arm(stop);
    // A read waits for the first byte, beside the stop: the wait blocks in
    // the system however the port reports its events (Wine's COM ports
    // report them at once, without a byte). While it waits, the port is
    // asked nothing else.
    for (;;) {
        const bool idle = d.Collect();
        if (!d.taken.empty() || (idle && SystemHolds(d.port, d.errored) > 0)) {
            return true;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (stop.stop_requested() || left <= 0) {
            return false;
        }
        if (idle) {
            d.StartWaiting(std::min<DWORD>(static_cast<DWORD>(left), kReadSliceMs));
        }
        const HANDLE both[2] = {d.waiting.done, reinterpret_cast<HANDLE>(d.stop.Native())};
        ::WaitForMultipleObjects(2, both, FALSE, static_cast<DWORD>(left));
    }
}

}  // namespace probelyn
