#include "port_line.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "backend_factory.h"
#include "port_failure.h"

namespace probelyn {

namespace {

// How far the rate a driver or a server applies may lie from the one asked
// for: real UART dividers round a rate by up to a few per cent.
constexpr double kRateTolerance = 0.03;

bool CloseEnough(int applied, int requested) {
    return std::abs(applied - requested) <= kRateTolerance * requested;
}

}  // namespace

PortLine::PortLine(ComPortNames names, std::stop_token stop)
    : names_(std::move(names)), stop_(std::move(stop)) {}

PortLine::~PortLine() = default;

int PortLine::Open(const LineSettings& settings) {
    if (open_ && settings.line == settings_.line && settings.listen == settings_.listen) {
        ChangeSettings(settings);
        return 1;
    }
    Release();
    settings_ = settings;
    if (!backend_ || !(backendFor_ == settings.line)) {
        backend_.reset();  // the old line's connection ends first
        backend_ = MakeBackend(settings.line, names_, stop_);
        backendFor_ = settings.line;
    }
    backend_->Open(settings);
    open_ = true;
    TellTiming();
    if (const std::string refusal = UnappliedRate(); !refusal.empty()) {
        Release();
        throw PortFailure(LineError::RateNotApplied, refusal);
    }
    return 1;
}

void PortLine::ChangeSettings(const LineSettings& settings) {
    settings_ = settings;
    buffer_.clear();
    backend_->ChangeSettings(settings);
    if (const std::string refusal = UnappliedRate(); !refusal.empty()) {
        throw PortFailure(LineError::RateNotApplied, refusal);
    }
}

void PortLine::TellTiming() {
    const LineTiming timing = backend_->Timing();
    if (timing.network && told_) {
        std::exchange(told_, nullptr)(timing);
    }
}

int PortLine::AppliedRate() {
    return backend_->AppliedRate();
}

std::string PortLine::UnappliedRate() {
    // Some drivers accept any rate without an error and run the line at
    // another (a plain UART at 460800 runs at 9600): a find there would be
    // reported at the wrong rate.
    const int applied = AppliedRate();
    if (applied != -1 && !CloseEnough(applied, settings_.baud)) {
        return DisplayName(settings_.line) + " does not run at " + std::to_string(settings_.baud) +
               " baud (the " + (settings_.line.network ? "server" : "driver") + " set " +
               std::to_string(applied) + ")";
    }
    return {};
}

void PortLine::Release() {
    buffer_.clear();
    if (std::exchange(open_, false)) {
        backend_->Close();
    }
}

int PortLine::Close() {
    Release();
    return 0;
}

LineBackend& PortLine::RequireOpen() {
    if (!open_) {
        throw PortFailure(LineError::NotOpen, DisplayName(settings_.line) + " is not open");
    }
    return *backend_;
}

LineTiming PortLine::Timing() const {
    return open_ ? backend_->Timing() : LineTiming{};
}

int PortLine::InputCount() {
    LineBackend& backend = RequireOpen();
    return static_cast<int>(buffer_.size() + backend.InputCount());
}

void PortLine::PullQueued(LineBackend& backend) {
    if (buffer_.size() < kBufferBytes) {
        backend.Read(buffer_, kBufferBytes - buffer_.size());
    }
}

std::string PortLine::Read(int max) {
    LineBackend& backend = RequireOpen();
    const auto wanted = static_cast<std::size_t>(std::max(max, 0));
    try {
        if (buffer_.size() < wanted) {
            backend.Read(buffer_, wanted - buffer_.size());
        }
    } catch (const PortFailure&) {
        if (buffer_.empty()) {
            throw;
        }  // what came before a failure is read first; the next call meets it again
    }
    std::string taken = buffer_.substr(0, wanted);
    buffer_.erase(0, taken.size());
    return taken;
}

bool PortLine::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    LineBackend& backend = RequireOpen();
    // Whatever the backend holds is new since the last look (earlier bytes
    // were moved into the buffer then); the wait ends at once while it holds
    // any.
    if (backend.WaitForInput(std::max(timeout, std::chrono::nanoseconds::zero()), stop)) {
        PullQueued(backend);
        return true;
    }
    return false;
}

void PortLine::Write(const std::string& bytes) {
    RequireOpen().Write(bytes);
}

void PortLine::DiscardInput() {
    LineBackend& backend = RequireOpen();
    buffer_.clear();
    backend.DiscardInput();
}

}  // namespace probelyn
