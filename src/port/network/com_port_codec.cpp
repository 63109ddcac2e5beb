#include "com_port_codec.h"

#include <utility>

#include "error_marks.h"
#include "port_failure.h"

namespace probelyn {

namespace {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                       kSe = 240;
constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
// The server's answer to a command carries the command's code plus this.
constexpr std::uint8_t kAnswerOffset = 100;

bool WeDo(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead || option == kComPort;
}

bool TheyMay(std::uint8_t option) {
    return option == kBinary || option == kSuppressGoAhead;
}

std::string Command(std::uint8_t verb, std::uint8_t option) {
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

void AppendEscaped(std::string& into, std::uint8_t byte) {
    into += static_cast<char>(byte);
    if (byte == kIac) {
        into += static_cast<char>(kIac);
    }
}

}  // namespace

std::string ComPortCodec::Greeting() {
    std::string bytes;
    for (const std::uint8_t option : {kBinary, kSuppressGoAhead, kComPort}) {
        ours_[option].asked = true;
        bytes += Command(kWill, option);
    }
    for (const std::uint8_t option : {kBinary, kSuppressGoAhead}) {
        theirs_[option].asked = true;
        bytes += Command(kDo, option);
    }
    return bytes;
}

std::string ComPortCodec::Escaped(std::string_view data) {
    std::string escaped;
    escaped.reserve(data.size());
    for (const char c : data) {
        AppendEscaped(escaped, static_cast<std::uint8_t>(c));
    }
    return escaped;
}

std::string ComPortCodec::Ask(ComCommand command, std::uint32_t value, bool dropData) {
    const auto code = static_cast<std::uint8_t>(command);
    std::string bytes = {static_cast<char>(kIac), static_cast<char>(kSb),
                         static_cast<char>(kComPort), static_cast<char>(code)};
    const int width = command == ComCommand::SetBaudRate ? 4 : 1;
    for (int i = width - 1; i >= 0; --i) {
        AppendEscaped(bytes, static_cast<std::uint8_t>(value >> (8 * i)));
    }
    bytes += static_cast<char>(kIac);
    bytes += static_cast<char>(kSe);
    ++awaited_[code];
    if (dropData) {
        ++dropping_[code];
        ++droppingTotal_;
    }
    return bytes;
}

bool ComPortCodec::Awaiting(ComCommand command) const {
    return awaited_[static_cast<std::uint8_t>(command)] > 0;
}

std::optional<std::uint32_t> ComPortCodec::Answer(ComCommand command) const {
    return answers_[static_cast<std::uint8_t>(command)];
}

void ComPortCodec::StopDropping() {
    dropping_.fill(0);
    droppingTotal_ = 0;
}

bool ComPortCodec::Ready() const {
    return ours_[kBinary].enabled && theirs_[kBinary].enabled && ours_[kComPort].enabled;
}

std::string ComPortCodec::Take(std::string_view received, std::string& data) {
    std::string reply;
    for (const char c : received) {
        TakeByte(static_cast<std::uint8_t>(c), data, reply);
    }
    return reply;
}

void ComPortCodec::AddData(char byte, std::string& data) const {
    if (droppingTotal_ > 0) {
        return;
    }
    if (markErrors_) {
        AppendReceived(data, std::string_view(&byte, 1));
    } else {
        data += byte;
    }
}

void ComPortCodec::TakeByte(std::uint8_t byte, std::string& data, std::string& reply) {
    switch (state_) {
        case State::Data:
            if (byte == kIac) {
                state_ = State::Command;
            } else {
                AddData(static_cast<char>(byte), data);
            }
            return;
        case State::Command:
            state_ = State::Data;
            if (byte == kIac) {
                AddData(static_cast<char>(byte), data);
            } else if (byte >= kWill) {
                verb_ = byte;
                state_ = State::Option;
            } else if (byte == kSb) {
                sub_.clear();
                state_ = State::Sub;
            }
            return;  // any other command (NOP, GA, a stray SE) carries nothing
        case State::Option:
            state_ = State::Data;
            Negotiate(verb_, byte, reply);
            return;
        case State::Sub:
            if (byte == kIac) {
                state_ = State::SubCommand;
                return;
            }
            AddToSubnegotiation(byte);
            return;
        case State::SubCommand:
            if (byte == kIac) {  // a doubled 0xFF inside the value
                state_ = State::Sub;
                AddToSubnegotiation(byte);
                return;
            }
            state_ = State::Data;
            Subnegotiation(data);
            if (byte != kSe) {  // IAC and a command end it too: that command follows
                state_ = State::Command;
                TakeByte(byte, data, reply);
            }
            return;
    }
}

void ComPortCodec::AddToSubnegotiation(std::uint8_t byte) {
    if (sub_.size() >= kMaxSubnegotiation) {
        throw PortFailure(LineError::Network, "the server sent a subnegotiation that does not end");
    }
    sub_ += static_cast<char>(byte);
}

void ComPortCodec::Negotiate(std::uint8_t verb, std::uint8_t option, std::string& reply) {
    if (verb == kDo || verb == kDont) {
        OurSide(verb == kDo, option, reply);
    } else {
        TheirSide(verb == kWill, option, reply);
    }
}

void ComPortCodec::OurSide(bool wanted, std::uint8_t option, std::string& reply) {
    Option& ours = ours_[option];
    const bool was = ours.enabled;
    const bool asked = std::exchange(ours.asked, false);
    if (wanted && !WeDo(option)) {
        reply += Command(kWont, option);
        return;
    }
    ours.enabled = wanted;
    if (was != wanted && !asked) {
        reply += Command(wanted ? kWill : kWont, option);
    }
    if (!wanted && (option == kBinary || option == kComPort) && refusal_.empty()) {
        refusal_ = option == kBinary ? "the server will not take binary data"
                                     : "the server does not carry a serial line (no RFC 2217 "
                                       "COM port option)";
    }
}

void ComPortCodec::TheirSide(bool wanted, std::uint8_t option, std::string& reply) {
    Option& theirs = theirs_[option];
    const bool was = theirs.enabled;
    const bool asked = std::exchange(theirs.asked, false);
    if (wanted && !TheyMay(option)) {
        reply += Command(kDont, option);
        return;
    }
    theirs.enabled = wanted;
    if (was != wanted && !asked) {
        reply += Command(wanted ? kDo : kDont, option);
    }
    if (!wanted && option == kBinary && refusal_.empty()) {
        refusal_ = "the server will not send binary data";
    }
}

void ComPortCodec::Subnegotiation(std::string& data) {
    if (sub_.size() < 2 || static_cast<std::uint8_t>(sub_[0]) != kComPort ||
        static_cast<std::uint8_t>(sub_[1]) <= kAnswerOffset) {
        return;  // another option's, or a request from the server: nothing asked
    }
    const auto code = static_cast<std::uint8_t>(static_cast<std::uint8_t>(sub_[1]) - kAnswerOffset);
    std::uint32_t value = 0;
    for (std::size_t i = 2; i < sub_.size() && i < 6; ++i) {
        value = (value << 8) | static_cast<std::uint8_t>(sub_[i]);
    }
    if (code == static_cast<std::uint8_t>(ComCommand::NotifyLineState)) {
        if (markErrors_ && droppingTotal_ == 0 && (value & com_value::kErrorStates) != 0) {
            AppendErrored(data);
        }
        return;
    }
    if (awaited_[code] == 0) {
        return;  // unasked: a notification, or an answer nobody waits for
    }
    --awaited_[code];
    answers_[code] = value;
    if (dropping_[code] > 0) {
        --dropping_[code];
        --droppingTotal_;
    }
}

}  // namespace probelyn
