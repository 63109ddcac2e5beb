#include "serial_line.h"

#include <algorithm>
#include <cstdlib>

#include "line_lock.h"
#include "port_failure.h"
#include "serial_platform.h"

namespace {

// How far the rate a driver applies may lie from the one asked for: real UART
// dividers round a rate by up to a few per cent.
constexpr double kRateTolerance = 0.03;

bool CloseEnough(int applied, int requested) {
    return std::abs(applied - requested) <= kRateTolerance * requested;
}

// Qt's errors as the line's own, mapped here once.
LineError ErrorOf(QSerialPort::SerialPortError error) {
    switch (error) {
        case QSerialPort::NoError:
            return LineError::None;
        case QSerialPort::DeviceNotFoundError:
            return LineError::DeviceNotFound;
        case QSerialPort::PermissionError:
            return LineError::Refused;
        case QSerialPort::OpenError:
        case QSerialPort::NotOpenError:
            return LineError::NotOpen;
        case QSerialPort::UnsupportedOperationError:
            return LineError::SettingRefused;
        case QSerialPort::WriteError:
        case QSerialPort::ReadError:
        case QSerialPort::ResourceError:
        case QSerialPort::TimeoutError:
            return LineError::Io;
        case QSerialPort::UnknownError:
            break;
    }
    return LineError::Other;
}

QSerialPort::Parity ParityOf(Parity parity) {
    switch (parity) {
        case Parity::Even:
            return QSerialPort::EvenParity;
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::None:
            break;
    }
    return QSerialPort::NoParity;
}

std::string BusyText(const LockHolder& holder) {
    std::string who = "process " + std::to_string(holder.pid);
    if (!holder.program.empty()) {
        who += " (" + holder.program + ")";
    }
    return "The line is busy: " + who + " holds its lock";
}

}  // namespace

SerialLine::SerialLine(ComPortNames names) : names_(std::move(names)) {}

std::optional<std::string> SerialLine::DeviceOf(const LineName& line) const {
    if (!line.device.empty()) {
        return line.device;
    }
    return line.com ? names_.DeviceFor(*line.com) : std::nullopt;
}

SerialLine::~SerialLine() = default;

int SerialLine::Open(const LineSettings& settings) {
    if (port_.isOpen()) {
        port_.close();
    }
    port_.clearError();
    settings_ = settings;
    const std::optional<std::string> device = DeviceOf(settings_.line);
    if (!device) {
        throw PortFailure(LineError::NoDevice,
                          DisplayName(settings_.line) + " has no serial device");
    }
    if (const std::string refusal = DeviceAccessRefusal(*device); !refusal.empty()) {
        throw PortFailure(LineError::NoAccess, refusal);
    }
    RefuseLockedLine(*device);
    port_.setPortName(QString::fromStdString(*device));
    port_.setBaudRate(settings.baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(ParityOf(settings.framing.parity));
    port_.setStopBits(settings.framing.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(kReadBufferBytes);
    if (!port_.open(QIODevice::ReadWrite)) {
        ThrowOnError();
        throw PortFailure(LineError::NotOpen, "The line did not open");
    }
    if (port_.error() != QSerialPort::NoError) {
        // Opened, but a setting (most often the rate) was refused.
        const PortFailure failure(LineError::SettingRefused, port_.errorString().toStdString());
        port_.close();
        throw failure;
    }
    RefuseUnappliedRate();
    RequestLowLatency(port_.handle());
    return 1;
}

void SerialLine::RefuseLockedLine(const std::string& device) const {
    const LineLocks locks = InspectLineLocks(device);
    switch (locks.verdict) {
        case LineLocks::Verdict::Free:
            return;
        case LineLocks::Verdict::Held:
            throw PortFailure(LineError::Busy, BusyText(locks.holder));
        case LineLocks::Verdict::Unjudged:
            throw PortFailure(LineError::LockUnjudged,
                              "The line's lock cannot be judged: " + locks.reason);
    }
}

int SerialLine::AppliedRate() {
    return ::AppliedRate(port_.handle());
}

void SerialLine::RefuseUnappliedRate() {
    // Some drivers accept any rate without an error and run the line at
    // another (a plain UART at 460800 runs at 9600): a find there would be
    // reported at the wrong rate.
    const int applied = AppliedRate();
    if (applied > 0 && !CloseEnough(applied, settings_.baud)) {
        port_.close();
        throw PortFailure(LineError::RateNotApplied,
                          DisplayName(settings_.line) + " does not run at " +
                              std::to_string(settings_.baud) + " baud (the driver set " +
                              std::to_string(applied) + ")");
    }
}

int SerialLine::Close() {
    if (!port_.isOpen()) {
        return 0;
    }
    port_.clearError();
    port_.close();
    ThrowOnError();
    return 0;
}

int SerialLine::InputCount() {
    RequireOpen();
    return static_cast<int>(port_.bytesAvailable() + OsQueued());
}

qint64 SerialLine::OsQueued() {
    int error = 0;
    const qint64 queued = OsQueuedBytes(port_.handle(), &error);
    if (queued < 0) {
        throw PortFailure(LineError::Io, OsErrorText(error));
    }
    return queued;
}

std::string SerialLine::Read(int max) {
    RequireOpen();
    PullQueued(max);
    const QByteArray bytes = port_.read(max);
    return bytes.toStdString();
}

void SerialLine::PullQueued(int max) {
    // Without an event loop Qt only sees what waitForReadyRead pulls in from
    // the OS queue; a zero wait does that without blocking. It reads a chunk
    // at a time, so repeat while more is queued and wanted.
    while (port_.bytesAvailable() < max && OsQueued() > 0) {
        if (!port_.waitForReadyRead(0)) {
            break;
        }
    }
    if (port_.error() == QSerialPort::TimeoutError) {
        port_.clearError();
    }
    ThrowOnError();
}

bool SerialLine::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    RequireOpen();
    // The line is readable while anything is queued, however little: what is
    // there moves into Qt's buffer first (new since the last look, if any), so
    // the wait blocks only for bytes yet to come.
    const qint64 held = port_.bytesAvailable();
    PullQueued(static_cast<int>(kReadBufferBytes));
    if (port_.bytesAvailable() > held) {
        return true;
    }
    int error = 0;
    switch (WaitReadable(port_.handle(), std::max(timeout, std::chrono::nanoseconds::zero()), stop,
                         &error)) {
        case LineWait::Readable:
            return true;
        case LineWait::TimedOut:
            return false;
        case LineWait::Failed:
            throw PortFailure(LineError::Io, OsErrorText(error));
        case LineWait::Unsupported:
            break;
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout);
    const bool arrived = port_.waitForReadyRead(static_cast<int>(ms.count()));
    if (port_.error() == QSerialPort::TimeoutError) {
        // Nothing came: not a failure, and the error would otherwise stick.
        port_.clearError();
    }
    ThrowOnError();
    return arrived;
}

void SerialLine::Write(const std::string& bytes) {
    RequireOpen();
    port_.clearError();
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (port_.write(data) != data.size()) {
        ThrowOnError();
        throw PortFailure(LineError::Io, "The bytes could not be queued for sending");
    }
    // write() only fills Qt's buffer; flush() hands it to the OS now, without
    // waiting for the bytes to drain.
    port_.flush();
    ThrowOnError();
}

void SerialLine::DiscardInput() {
    RequireOpen();
    port_.clearError();
    if (!port_.clear(QSerialPort::Input)) {
        ThrowOnError();
        throw PortFailure(LineError::Io, "The received bytes could not be discarded");
    }
}

void SerialLine::ThrowOnError() {
    const QSerialPort::SerialPortError error = port_.error();
    if (error != QSerialPort::NoError) {
        // Qt's text is the system's own; judge by error(), never by the text.
        const std::string text = port_.errorString().toStdString();
        port_.clearError();
        throw PortFailure(ErrorOf(error), text);
    }
}

void SerialLine::RequireOpen() const {
    if (!port_.isOpen()) {
        throw PortFailure(LineError::NotOpen, DisplayName(settings_.line) + " is not open");
    }
}
