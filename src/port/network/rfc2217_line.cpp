#include <algorithm>

#include "framing.h"
#include "network_line.h"
#include "port_failure.h"

namespace probelyn {

namespace {

using Steady = std::chrono::steady_clock;

std::uint32_t ParityValue(Parity parity) {
    switch (parity) {
        case Parity::Even:
            return com_value::kParityEven;
        case Parity::Odd:
            return com_value::kParityOdd;
        case Parity::None:
            break;
    }
    return com_value::kParityNone;
}

// The framing the server answered, by its usual name where it has one.
std::string AnsweredFraming(std::uint32_t size, std::uint32_t parity, std::uint32_t stop) {
    static constexpr Parity kParities[] = {Parity::None, Parity::Odd, Parity::Even};
    if (size == 8 && parity >= 1 && parity <= 3 && (stop == 1 || stop == 2)) {
        return NameOf(Framing{kParities[parity - 1], static_cast<int>(stop)});
    }
    return "data size " + std::to_string(size) + ", parity " + std::to_string(parity) +
           ", stop size " + std::to_string(stop);
}

}  // namespace

void Rfc2217Line::Open(const LineSettings& settings) {
    if (!Connect()) {
        ChangeSettings(settings);  // the connection kept from the setting before
        return;
    }
    Negotiate();
    Apply(settings, true);
}

void Rfc2217Line::ChangeSettings(const LineSettings& settings) {
    Apply(settings, false);
    DiscardInput();
}

template <typename Done>
bool Rfc2217Line::AwaitServer(Done done) {
    const Steady::time_point deadline = Steady::now() + kAnswerLimit;
    for (;;) {
        Pull();
        held_.clear();  // data before the answers is from before the setting
        if (done()) {
            return true;
        }
        const auto left = deadline - Steady::now();
        if (left <= Steady::duration::zero() || stop_.stop_requested()) {
            return false;
        }
        Socket().WaitForInput(left, stop_);
    }
}

void Rfc2217Line::Negotiate() {
    Socket().Write(codec_.Greeting());
    bool answered = false;
    try {
        answered = AwaitServer([&] { return codec_.Ready() || !codec_.Refusal().empty(); });
    } catch (const PortFailure&) {
        if (codec_.Refusal().empty()) {
            throw;
        }  // a server that refuses may hang up at once: its refusal is the reason
    }
    if (!codec_.Refusal().empty()) {
        throw PortFailure(LineError::Network, codec_.Refusal() + " (" + ServerText(address_) + ")");
    }
    if (!answered) {
        throw PortFailure(LineError::Network, "the server " + ServerText(address_) +
                                                  " did not agree to RFC 2217 within 1 s");
    }
}

void Rfc2217Line::Apply(const LineSettings& settings, bool first) {
    using enum ComCommand;
    namespace v = com_value;
    codec_.MarkErrors(settings.listen);
    std::string asked =
        codec_.Ask(SetBaudRate, static_cast<std::uint32_t>(settings.baud), true) +
        codec_.Ask(SetDataSize, 8, true) +
        codec_.Ask(SetParity, ParityValue(settings.framing.parity), true) +
        codec_.Ask(SetStopSize, static_cast<std::uint32_t>(settings.framing.stopBits), true) +
        codec_.Ask(SetControl, v::kNoFlowControl) +
        codec_.Ask(SetControl, settings.listen ? v::kDtrOff : v::kDtrOn) +
        codec_.Ask(SetControl, settings.listen ? v::kRtsOff : v::kRtsOn);
    if (settings.listen) {
        asked += codec_.Ask(SetLineStateMask, v::kErrorStates);
    }
    const Steady::time_point sent = Steady::now();
    Socket().Write(asked);
    const bool rate = AwaitServer([&] { return !codec_.Awaiting(SetBaudRate); });
    if (rate) {
        Measured(Steady::now() - sent);
    }
    if (!rate || !AwaitServer([&] {
            return !codec_.Awaiting(SetDataSize) && !codec_.Awaiting(SetParity) &&
                   !codec_.Awaiting(SetStopSize);
        })) {
        throw PortFailure(LineError::Network, "the server " + ServerText(address_) +
                                                  " did not answer the line's settings within 1 s");
    }
    RefuseFramingUnlike(settings);
    if (first) {
        TimePurges();
    }
}

void Rfc2217Line::TimePurges() {
    // The first answers of a connection come while the server opens its
    // device, and many lines opening at once slow each other: the round trip
    // is the shortest of a few more, each a purge of nothing yet received.
    for (int i = 0; i < kTimedPurges; ++i) {
        const Steady::time_point sent = Steady::now();
        Socket().Write(codec_.Ask(ComCommand::PurgeData, com_value::kPurgeReceived, true));
        if (!AwaitServer([&] { return !codec_.Awaiting(ComCommand::PurgeData); })) {
            PurgesUnanswered();
            return;  // the first answer stands
        }
        Measured(Steady::now() - sent);
    }
}

int Rfc2217Line::AppliedRate() {
    // An answer beyond any rate reads as a rate no line runs at.
    return static_cast<int>(
        std::min<std::uint32_t>(codec_.Answer(ComCommand::SetBaudRate).value_or(0), 0x7FFFFFFF));
}

void Rfc2217Line::RefuseFramingUnlike(const LineSettings& settings) {
    using enum ComCommand;
    const std::uint32_t size = codec_.Answer(SetDataSize).value_or(0);
    const std::uint32_t parity = codec_.Answer(SetParity).value_or(0);
    const std::uint32_t stop = codec_.Answer(SetStopSize).value_or(0);
    if (size != 8 || parity != ParityValue(settings.framing.parity) ||
        stop != static_cast<std::uint32_t>(settings.framing.stopBits)) {
        throw PortFailure(LineError::SettingRefused,
                          name_ + " does not run at " + NameOf(settings.framing) +
                              " (the server set " + AnsweredFraming(size, parity, stop) + ")");
    }
}

std::string Rfc2217Line::Decode(std::string_view received) {
    return codec_.Take(received, held_);
}

void Rfc2217Line::Write(const std::string& bytes) {
    Socket().Write(ComPortCodec::Escaped(bytes));
}

void Rfc2217Line::DiscardInput() {
    EndOverduePurge();
    if (!purgesAnswered_) {
        DropWhatCame();  // as a raw line does
        return;
    }
    held_.clear();
    Socket().Write(codec_.Ask(ComCommand::PurgeData, com_value::kPurgeReceived, true));
    purgeDeadline_ = Steady::now() + kAnswerLimit;
}

void Rfc2217Line::EndOverduePurge() {
    if (codec_.Awaiting(ComCommand::PurgeData) && Steady::now() >= purgeDeadline_) {
        PurgesUnanswered();
    }
}

void Rfc2217Line::PurgesUnanswered() {
    // Not every server implements purges: data waiting for an answer that
    // never comes would hide every reply from then on.
    codec_.StopDropping();
    purgesAnswered_ = false;
}

std::size_t Rfc2217Line::InputCount() {
    EndOverduePurge();
    return NetworkLine::InputCount();
}

}  // namespace probelyn
