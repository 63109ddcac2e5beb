#include "network_line.h"

#include <algorithm>

#include "port_failure.h"

namespace probelyn {

namespace {

using Steady = std::chrono::steady_clock;

// Quiet shorter than this may be a gap between two segments of one reply:
// servers hold received bytes a while before they send them (up to 20 ms).
constexpr std::chrono::milliseconds kQuietFloor{25};
// What a reply window grows by beyond the round trips: the server's holding
// of the reply's bytes.
constexpr int kServerHoldMs = 5;

}  // namespace

NetworkLine::NetworkLine(std::string name, NetworkAddress address, std::stop_token stop)
    : name_(std::move(name)), address_(std::move(address)), stop_(std::move(stop)) {}

NetworkLine::~NetworkLine() = default;

bool NetworkLine::Connect() {
    if (socket_) {
        return false;
    }
    const Steady::time_point start = Steady::now();
    socket_ = std::make_unique<TcpSocket>(address_, kConnectLimit, stop_);
    Measured(Steady::now() - start);
    return true;
}

void NetworkLine::Measured(std::chrono::nanoseconds roundTrip) {
    if (timing_.network && roundTrip >= timing_.roundTrip) {
        return;
    }
    timing_.network = true;
    timing_.roundTrip = roundTrip;
    // A request and its reply each cross the network once; three round trips
    // leave room for the network's jitter.
    const auto trips = std::chrono::ceil<std::chrono::milliseconds>(3 * roundTrip);
    timing_.replyMarginMs = static_cast<int>(trips.count()) + kServerHoldMs;
    timing_.quietFloor = kQuietFloor;
}

void NetworkLine::Close() {
    held_.clear();
}

void NetworkLine::Pull() {
    std::string received;
    try {
        while (held_.size() < kHeldBytes &&
               socket_->Read(received, kHeldBytes - held_.size()) > 0) {
            const std::string reply = Decode(received);
            received.clear();
            if (!reply.empty()) {
                socket_->Write(reply);
            }
        }
    } catch (const PortFailure&) {
        if (held_.empty()) {
            throw;
        }  // what came before the end is read first; the next call meets it again
    }
}

std::size_t NetworkLine::InputCount() {
    Pull();
    return held_.size();
}

void NetworkLine::Read(std::string& into, std::size_t max) {
    Pull();
    const std::size_t n = std::min(max, held_.size());
    into.append(held_, 0, n);
    held_.erase(0, n);
}

bool NetworkLine::WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop) {
    const Steady::time_point deadline = Steady::now() + timeout;
    Pull();
    while (held_.empty() && !stop.stop_requested()) {
        const auto left = deadline - Steady::now();
        if (left <= Steady::duration::zero() || !socket_->WaitForInput(left, stop)) {
            break;
        }
        Pull();  // what came may be negotiation alone
    }
    return !held_.empty();
}

void RawTcpLine::Open(const LineSettings& settings) {
    if (Connect()) {
        held_.clear();
        return;
    }
    ChangeSettings(settings);
}

void RawTcpLine::ChangeSettings(const LineSettings&) {
    DiscardInput();  // what came at the setting before
}

std::string RawTcpLine::Decode(std::string_view received) {
    held_.append(received);
    return {};
}

void RawTcpLine::Write(const std::string& bytes) {
    Socket().Write(bytes);
}

void NetworkLine::DropWhatCame() {
    Pull();
    held_.clear();
}

void RawTcpLine::DiscardInput() {
    DropWhatCame();
}

}  // namespace probelyn
