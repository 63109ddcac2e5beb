#include "com_port_server.h"

#include "com_port_codec.h"

namespace probelyn {

namespace {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                       kSe = 240;
constexpr std::uint8_t kBinary = 0, kSuppressGoAhead = 3, kComPort = 44;
constexpr std::uint8_t kAnswerOffset = 100;
constexpr std::uint8_t kPurgeData = 12;

std::string Command(std::uint8_t verb, std::uint8_t option) {
    return {static_cast<char>(kIac), static_cast<char>(verb), static_cast<char>(option)};
}

std::string Answer(std::uint8_t command, std::uint32_t value, int width) {
    std::string body;
    for (int i = width - 1; i >= 0; --i) {
        body += static_cast<char>(value >> (8 * i));
    }
    return std::string{static_cast<char>(kIac), static_cast<char>(kSb), static_cast<char>(kComPort),
                       static_cast<char>(command + kAnswerOffset)} +
           ComPortCodec::Escaped(body) +
           std::string{static_cast<char>(kIac), static_cast<char>(kSe)};
}

}  // namespace

Framing ComPortServer::LineFraming() const {
    static constexpr Parity kParities[] = {Parity::None, Parity::Odd, Parity::Even};
    const Parity parity = parity_ >= 1 && parity_ <= 3 ? kParities[parity_ - 1] : Parity::None;
    return Framing{parity, static_cast<int>(stopSize_)};
}

std::string ComPortServer::Take(std::string_view received, std::string& data) {
    std::string reply;
    for (const char c : received) {
        TakeByte(static_cast<std::uint8_t>(c), data, reply);
    }
    return reply;
}

void ComPortServer::TakeByte(std::uint8_t byte, std::string& data, std::string& reply) {
    switch (state_) {
        case State::Data:
            if (byte == kIac) {
                state_ = State::Command;
            } else {
                data += static_cast<char>(byte);
            }
            return;
        case State::Command:
            state_ = State::Data;
            if (byte == kIac) {
                data += static_cast<char>(byte);
            } else if (byte >= kWill) {
                verb_ = byte;
                state_ = State::Option;
            } else if (byte == kSb) {
                sub_.clear();
                state_ = State::Sub;
            }
            return;
        case State::Option:
            state_ = State::Data;
            Negotiate(verb_, byte, reply);
            return;
        case State::Sub:
            if (byte == kIac) {
                state_ = State::SubCommand;
            } else if (sub_.size() < kMaxSubnegotiation) {
                sub_ += static_cast<char>(byte);
            }
            return;
        case State::SubCommand:
            if (byte == kIac) {
                state_ = State::Sub;
                if (sub_.size() < kMaxSubnegotiation) {
                    sub_ += static_cast<char>(byte);
                }
                return;
            }
            state_ = State::Data;
            if (sub_.size() >= 2 && static_cast<std::uint8_t>(sub_[0]) == kComPort) {
                std::uint32_t value = 0;
                for (std::size_t i = 2; i < sub_.size() && i < 6; ++i) {
                    value = (value << 8) | static_cast<std::uint8_t>(sub_[i]);
                }
                reply += Setting(static_cast<std::uint8_t>(sub_[1]), value);
            }
            return;
    }
}

void ComPortServer::Negotiate(std::uint8_t verb, std::uint8_t option, std::string& reply) {
    const bool theirs = verb == kWill || verb == kWont;
    const bool wanted = verb == kWill || verb == kDo;
    const bool agreeable =
        option == kBinary || option == kSuppressGoAhead || (theirs && option == kComPort);
    bool& enabled = theirs ? theirs_[option] : ours_[option];
    const bool now = wanted && agreeable;
    if (now == enabled && !(wanted && !agreeable)) {
        return;  // no change: nothing to answer
    }
    enabled = now;
    reply += Command(theirs ? (now ? kDo : kDont) : (now ? kWill : kWont), option);
}

std::string ComPortServer::Setting(std::uint8_t command, std::uint32_t value) {
    switch (command) {
        case 1:
            baud_ = value != 0 ? static_cast<int>(value) : baud_;
            return Answer(command, static_cast<std::uint32_t>(baud_), 4);
        case 2:
            dataSize_ = value != 0 ? static_cast<int>(value) : dataSize_;
            return Answer(command, static_cast<std::uint32_t>(dataSize_), 1);
        case 3:
            parity_ = value != 0 ? value : parity_;
            return Answer(command, parity_, 1);
        case 4:
            stopSize_ = value != 0 ? value : stopSize_;
            return Answer(command, stopSize_, 1);
        case kPurgeData:
            ++purges_;
            return answerPurges ? Answer(command, value, 1) : std::string();
        default:  // control, masks: taken as asked
            return command <= kPurgeData ? Answer(command, value, 1) : std::string();
    }
}

}  // namespace probelyn
