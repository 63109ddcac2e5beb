#include "answers.h"

#include <algorithm>
#include <utility>

#include "checksums.h"

namespace probelyn {

namespace {

constexpr int kReadHoldingRegisters = 0x03;
constexpr int kExceptionOfFunction3 = 0x83;

int At(const std::string& bytes, std::size_t i) {
    return static_cast<unsigned char>(bytes[i]);
}

// Whether the first n bytes end in the CRC of those before.
bool CrcHolds(const std::string& bytes, std::size_t n) {
    if (n < 3 || bytes.size() < n) {
        return false;
    }
    const std::uint16_t crc = Crc16(bytes.substr(0, n - 2));
    return bytes[n - 2] == LowByte(crc) && bytes[n - 1] == HighByte(crc);
}

std::optional<Classified> ModbusReply(int station, const std::string& reply) {
    if (reply.size() < 2 || At(reply, 0) != station) {
        return std::nullopt;
    }
    if (At(reply, 1) == kExceptionOfFunction3 && CrcHolds(reply, 5)) {
        return Classified{Classified::Kind::Exception, At(reply, 2), 0, std::nullopt};
    }
    if (At(reply, 1) != kReadHoldingRegisters || reply.size() < 3) {
        return std::nullopt;
    }
    const int count = At(reply, 2);
    if (!CrcHolds(reply, 5 + static_cast<std::size_t>(count))) {
        return std::nullopt;
    }
    Classified other{Classified::Kind::OtherReply, 0, count, std::nullopt};
    if (count >= 2) {
        other.register60 = At(reply, 3) << 8 | At(reply, 4);
    }
    return other;
}

}  // namespace

std::size_t FrameLength(Protocol protocol, const std::string& reply) {
    std::size_t length = reply.size();
    if (protocol == Protocol::Modbus && reply.size() >= 2 &&
        At(reply, 1) == kExceptionOfFunction3) {
        length = 5;
    } else if (protocol == Protocol::Modbus && reply.size() >= 3 &&
               At(reply, 1) == kReadHoldingRegisters) {
        length = 5 + static_cast<std::size_t>(At(reply, 2));
    } else if (protocol == Protocol::Ascii && !reply.empty()) {
        const std::size_t end = reply.find('\r');
        length = end == std::string::npos ? kLongestFrame : end + 1;
    }
    return std::min(length, kLongestFrame);
}

std::optional<Classified> Classify(Protocol protocol, int station, const std::string& reply) {
    if (reply.empty()) {
        return std::nullopt;
    }
    if (protocol == Protocol::Modbus) {
        if (const std::optional<Classified> modbus = ModbusReply(station, reply)) {
            return modbus;
        }
    }
    return Classified{};
}

bool IsGatewayException(int code) {
    return code == 0x0A || code == 0x0B;
}

AnswerTally::Told& AnswerTally::At(const Setting& setting) {
    const auto found = std::find_if(told_.begin(), told_.end(),
                                    [&](const Told& t) { return t.setting == setting; });
    return found != told_.end() ? *found : told_.emplace_back(Told{setting});
}

std::optional<Answered> AnswerTally::Take(const Setting& setting, Protocol protocol, int station,
                                          const Classified& reply) {
    using Kind = Classified::Kind;
    if (reply.kind == Kind::NoValidReply) {
        ++noValid_;
        return std::nullopt;
    }
    if (reply.kind == Kind::Exception && IsGatewayException(reply.exception)) {
        if (!gateway_.empty() && gateway_.back().last + 1 == station) {
            gateway_.back().last = station;
        } else {
            gateway_.push_back({station, station});
        }
        gatewayCode_ = reply.exception;
        return std::nullopt;
    }
    Told& told = At(setting);
    if (told.devices >= kToldAtOnce) {
        ++unsaid_;
        return std::nullopt;
    }
    ++told.devices;
    return Answered{.kind = reply.kind == Kind::Exception ? Answered::Kind::Exception
                                                          : Answered::Kind::OtherReply,
                    .protocol = protocol,
                    .setting = setting,
                    .station = station,
                    .reply = reply};
}

std::vector<Answered> AnswerTally::Leave(const Setting& setting) {
    std::vector<Answered> left;
    Told& told = At(setting);
    if (!gateway_.empty() && !std::exchange(told.gateway, true)) {
        left.push_back({.kind = Answered::Kind::Gateway,
                        .setting = setting,
                        .reply = {Classified::Kind::Exception, gatewayCode_, 0, std::nullopt},
                        .stations = gateway_});
    }
    if (noValid_ > 0 && !std::exchange(told.noValid, true)) {
        left.push_back(
            {.kind = Answered::Kind::NoValidReply, .setting = setting, .count = noValid_});
    }
    if (unsaid_ > 0) {
        left.push_back({.kind = Answered::Kind::Unsaid, .setting = setting, .count = unsaid_});
    }
    gateway_.clear();
    noValid_ = 0;
    unsaid_ = 0;
    return left;
}

}  // namespace probelyn
