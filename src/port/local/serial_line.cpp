#include "serial_line.h"

#include <algorithm>
#include <cstdlib>

#include "line_lock.h"
#include "line_os.h"
#include "port_failure.h"
#include "serial_platform.h"

namespace probelyn {

namespace {

// How far the rate a driver applies may lie from the one asked for: real UART
// dividers round a rate by up to a few per cent.
constexpr double kRateTolerance = 0.03;

bool CloseEnough(int applied, int requested) {
    return std::abs(applied - requested) <= kRateTolerance * requested;
}

}  // namespace

SerialLine::SerialLine(ComPortNames names) : names_(std::move(names)) {}

SerialLine::~SerialLine() {
    Release();
}

std::optional<std::string> SerialLine::DeviceOf(const LineName& line) const {
    if (!line.device.empty()) {
        return line.device;
    }
    return line.com ? names_.DeviceFor(*line.com) : std::nullopt;
}

void SerialLine::Release() {
    os_.reset();  // the line first, then its lock
    lock_.reset();
    buffer_.clear();
}

int SerialLine::Open(const LineSettings& settings) {
    Release();
    settings_ = settings;
    const std::optional<std::string> device = DeviceOf(settings_.line);
    if (!device) {
        throw PortFailure(LineError::NoDevice,
                          DisplayName(settings_.line) + " has no serial device");
    }
    if (const std::string refusal = DeviceAccessRefusal(*device); !refusal.empty()) {
        throw PortFailure(LineError::NoAccess, refusal);
    }
    // Claimed before it is opened: opening raises DTR, which another
    // program's instrument must not see.
    auto lock = std::make_unique<LineLock>(*device);
    os_ = std::make_unique<OsLine>(*device, settings);
    lock_ = std::move(lock);
    RefuseUnappliedRate();
    return 1;
}

int SerialLine::AppliedRate() {
    return os_->AppliedRate();
}

void SerialLine::RefuseUnappliedRate() {
    // Some drivers accept any rate without an error and run the line at
    // another (a plain UART at 460800 runs at 9600): a find there would be
    // reported at the wrong rate.
    const int applied = AppliedRate();
    if (applied > 0 && !CloseEnough(applied, settings_.baud)) {
        Release();
        throw PortFailure(LineError::RateNotApplied,
                          DisplayName(settings_.line) + " does not run at " +
                              std::to_string(settings_.baud) + " baud (the driver set " +
                              std::to_string(applied) + ")");
    }
}

int SerialLine::Close() {
    Release();
    return 0;
}

OsLine& SerialLine::RequireOpen() {
    if (!os_) {
        throw PortFailure(LineError::NotOpen, DisplayName(settings_.line) + " is not open");
    }
    return *os_;
}

int SerialLine::InputCount() {
    OsLine& os = RequireOpen();
    return static_cast<int>(buffer_.size() + os.Queued());
}

void SerialLine::PullQueued(OsLine& os) {
    if (buffer_.size() < kBufferBytes) {
        os.ReadInto(buffer_, kBufferBytes - buffer_.size());
    }
}

std::string SerialLine::Read(int max) {
    OsLine& os = RequireOpen();
    const auto wanted = static_cast<std::size_t>(std::max(max, 0));
    if (buffer_.size() < wanted) {
        os.ReadInto(buffer_, wanted - buffer_.size());
    }
    std::string taken = buffer_.substr(0, wanted);
    buffer_.erase(0, taken.size());
    return taken;
}

bool SerialLine::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    OsLine& os = RequireOpen();
    // Whatever the system holds is new since the last look (earlier bytes were
    // moved into the buffer then); the wait ends at once while it holds any.
    if (os.AwaitInput(std::max(timeout, std::chrono::nanoseconds::zero()), stop)) {
        PullQueued(os);
        return true;
    }
    return false;
}

void SerialLine::Write(const std::string& bytes) {
    RequireOpen().Write(bytes);
}

void SerialLine::DiscardInput() {
    OsLine& os = RequireOpen();
    buffer_.clear();
    os.DiscardInput();
}

}  // namespace probelyn
