#include "serial_line.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "port_failure.h"
#include "transport_factory.h"

namespace probelyn {

namespace {

// How far the rate a driver applies may lie from the one asked for: real UART
// dividers round a rate by up to a few per cent.
constexpr double kRateTolerance = 0.03;

bool CloseEnough(int applied, int requested) {
    return std::abs(applied - requested) <= kRateTolerance * requested;
}

}  // namespace

SerialLine::SerialLine(ComPortNames names, std::stop_token stop)
    : names_(std::move(names)), stop_(std::move(stop)) {}

SerialLine::~SerialLine() = default;

int SerialLine::Open(const LineSettings& settings) {
    if (open_ && settings.line == settings_.line && settings.listen == settings_.listen) {
        ChangeSettings(settings);
        return 1;
    }
    Release();
    settings_ = settings;
    if (!transport_ || !(transportFor_ == settings.line)) {
        transport_.reset();  // the old line's connection ends first
        transport_ = MakeTransport(settings.line, names_, stop_);
        transportFor_ = settings.line;
    }
    transport_->Open(settings);
    open_ = true;
    TellTiming();
    if (const std::string refusal = UnappliedRate(); !refusal.empty()) {
        Release();
        throw PortFailure(LineError::RateNotApplied, refusal);
    }
    return 1;
}

void SerialLine::ChangeSettings(const LineSettings& settings) {
    settings_ = settings;
    buffer_.clear();
    transport_->ChangeSettings(settings);
    if (const std::string refusal = UnappliedRate(); !refusal.empty()) {
        throw PortFailure(LineError::RateNotApplied, refusal);
    }
}

void SerialLine::TellTiming() {
    const LineTiming timing = transport_->Timing();
    if (timing.network && told_) {
        std::exchange(told_, nullptr)(timing);
    }
}

int SerialLine::AppliedRate() {
    return transport_->AppliedRate();
}

std::string SerialLine::UnappliedRate() {
    // Some drivers accept any rate without an error and run the line at
    // another (a plain UART at 460800 runs at 9600): a find there would be
    // reported at the wrong rate.
    const int applied = AppliedRate();
    if (applied > 0 && !CloseEnough(applied, settings_.baud)) {
        return DisplayName(settings_.line) + " does not run at " + std::to_string(settings_.baud) +
               " baud (the driver set " + std::to_string(applied) + ")";
    }
    return {};
}

void SerialLine::Release() {
    buffer_.clear();
    if (std::exchange(open_, false)) {
        transport_->Close();
    }
}

int SerialLine::Close() {
    Release();
    return 0;
}

LineTransport& SerialLine::RequireOpen() {
    if (!open_) {
        throw PortFailure(LineError::NotOpen, DisplayName(settings_.line) + " is not open");
    }
    return *transport_;
}

LineTiming SerialLine::Timing() const {
    return open_ ? transport_->Timing() : LineTiming{};
}

int SerialLine::InputCount() {
    LineTransport& transport = RequireOpen();
    return static_cast<int>(buffer_.size() + transport.Queued());
}

void SerialLine::PullQueued(LineTransport& transport) {
    if (buffer_.size() < kBufferBytes) {
        transport.ReadInto(buffer_, kBufferBytes - buffer_.size());
    }
}

std::string SerialLine::Read(int max) {
    LineTransport& transport = RequireOpen();
    const auto wanted = static_cast<std::size_t>(std::max(max, 0));
    if (buffer_.size() < wanted) {
        transport.ReadInto(buffer_, wanted - buffer_.size());
    }
    std::string taken = buffer_.substr(0, wanted);
    buffer_.erase(0, taken.size());
    return taken;
}

bool SerialLine::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    LineTransport& transport = RequireOpen();
    // Whatever the transport holds is new since the last look (earlier bytes
    // were moved into the buffer then); the wait ends at once while it holds
    // any.
    if (transport.AwaitInput(std::max(timeout, std::chrono::nanoseconds::zero()), stop)) {
        PullQueued(transport);
        return true;
    }
    return false;
}

void SerialLine::Write(const std::string& bytes) {
    RequireOpen().Write(bytes);
}

void SerialLine::DiscardInput() {
    LineTransport& transport = RequireOpen();
    buffer_.clear();
    transport.DiscardInput();
}

}  // namespace probelyn
