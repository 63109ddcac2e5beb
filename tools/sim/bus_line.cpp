#include "bus_line.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "line_rate.h"

namespace probelyn {

namespace {

// The listener's UART as the pty keeps its settings.
BusSetting ListenerSetting(const LineRates& rates) {
    return {rates.input, {rates.parityOdd ? Parity::Odd : Parity::None, rates.twoStopBits ? 2 : 1}};
}

}  // namespace

BusLine::BusLine(BusConfig config) : config_(std::move(config)) {
    if (::pipe(wake_) == -1) {
        throw std::runtime_error("pipe");
    }
    thread_ = std::thread([this] { Run(); });
}

BusLine::~BusLine() {
    const char stop = 's';
    [[maybe_unused]] const ssize_t n = ::write(wake_[1], &stop, 1);
    thread_.join();
    ::close(wake_[0]);
    ::close(wake_[1]);
}

bool BusLine::SleepUntil(std::chrono::steady_clock::time_point t) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(t - std::chrono::steady_clock::now());
    pollfd stop{wake_[0], POLLIN, 0};
    return ::poll(&stop, 1, static_cast<int>(std::max<long>(left.count(), 0))) == 0;
}

void BusLine::CountWrites() {
    char bytes[256];
    for (ssize_t n; (n = ::read(line_.MasterFd(), bytes, sizeof bytes)) > 0;) {
        written_ += n;
    }
}

void BusLine::Run() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const std::int64_t pollNs = std::int64_t{config_.pollMs} * 1'000'000;
    Wire wire;
    std::int64_t received = 0;  // where the listener's UART stands on the wire
    for (std::int64_t round = 0;;
         round += pollNs * static_cast<std::int64_t>(config_.polled.size())) {
        for (const BusFrame& frame :
             PollRound(config_.protocol, config_.polled, config_.answering, config_.setting, round,
                       pollNs, std::int64_t{config_.replyDelayMs} * 1'000'000)) {
            const std::int64_t end = wire.Send(frame.bytes, frame.at, config_.setting);
            if (!SleepUntil(start + std::chrono::nanoseconds(end))) {
                return;
            }
            LineRates rates;
            if (ReadLineRates(line_.MasterFd(), &rates) && rates.input > 0) {
                const std::vector<RxChar> chars =
                    Receive(wire, ListenerSetting(rates), received, end);
                line_.Offer(
                    OverPty(chars, {rates.markErrors, rates.checkParity, rates.ignoreErrors}));
            }
            wire.DropBefore(received);
            CountWrites();
        }
    }
}

}  // namespace probelyn
