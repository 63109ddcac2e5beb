#include "local_line.h"

#include "line_lock.h"
#include "line_os.h"
#include "port_failure.h"
#include "serial_platform.h"

namespace probelyn {

LocalLine::LocalLine(ComPortNames names) : names_(std::move(names)) {}

LocalLine::~LocalLine() {
    Close();
}

std::optional<std::string> LocalLine::DeviceOf(const LineName& line) const {
    if (!line.device.empty()) {
        return line.device;
    }
    return line.com ? names_.DeviceFor(*line.com) : std::nullopt;
}

void LocalLine::Open(const LineSettings& settings) {
    Close();
    const std::optional<std::string> device = DeviceOf(settings.line);
    if (!device) {
        throw PortFailure(LineError::NoDevice,
                          DisplayName(settings.line) + " has no serial device");
    }
    if (const std::string refusal = DeviceAccessRefusal(*device); !refusal.empty()) {
        throw PortFailure(LineError::NoAccess, refusal);
    }
    // Claimed before it is opened: opening raises DTR, which another
    // program's instrument must not see.
    auto lock = std::make_unique<LineLock>(*device);
    os_ = std::make_unique<OsLine>(*device, settings);
    lock_ = std::move(lock);
}

void LocalLine::ChangeSettings(const LineSettings& settings) {
    os_->ChangeSettings(settings);
}

void LocalLine::Close() {
    os_.reset();  // the line first, then its lock
    lock_.reset();
}

int LocalLine::AppliedRate() {
    return os_->AppliedRate();
}

std::size_t LocalLine::Queued() {
    return os_->Queued();
}

void LocalLine::ReadInto(std::string& into, std::size_t max) {
    os_->ReadInto(into, max);
}

void LocalLine::Write(const std::string& bytes) {
    os_->Write(bytes);
}

void LocalLine::DiscardInput() {
    os_->DiscardInput();
}

bool LocalLine::AwaitInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    return os_->AwaitInput(timeout, stop);
}

}  // namespace probelyn
