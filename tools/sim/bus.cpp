#include "bus.h"

#include <algorithm>
#include <bit>

#include "checksums.h"
#include "error_marks.h"
#include "instrument_protocol.h"
#include "probe_frames.h"

namespace probelyn {

namespace {

constexpr std::int64_t kSecond = 1'000'000'000;

std::int64_t BitNs(int baud) {
    return kSecond / baud;
}

int BitsPerCharacter(const BusSetting& bus) {
    return 1 + 8 + (bus.framing.parity != Parity::None ? 1 : 0) + bus.framing.stopBits;
}

// The parity bit that makes the character's ones even or odd.
bool ParityBit(unsigned char byte, Parity parity) {
    const bool odd = std::popcount(byte) % 2 == 1;
    return parity == Parity::Even ? odd : !odd;
}

}  // namespace

std::int64_t CharacterNs(const BusSetting& bus) {
    return BitNs(bus.baud) * BitsPerCharacter(bus);
}

void Wire::Low(std::int64_t from, std::int64_t to) {
    if (!lows_.empty() && lows_.back().second >= from) {
        lows_.back().second = std::max(lows_.back().second, to);  // adjoining: one stretch
        return;
    }
    lows_.emplace_back(from, to);
}

std::int64_t Wire::Send(unsigned char byte, std::int64_t at, const BusSetting& bus) {
    const std::int64_t bit = BitNs(bus.baud);
    std::vector<bool> bits{false};  // the start bit
    for (int i = 0; i < 8; ++i) {
        bits.push_back(((byte >> i) & 1) != 0);
    }
    if (bus.framing.parity != Parity::None) {
        bits.push_back(ParityBit(byte, bus.framing.parity));
    }
    for (int i = 0; i < bus.framing.stopBits; ++i) {
        bits.push_back(true);
    }
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (!bits[i]) {
            const std::int64_t start = at + static_cast<std::int64_t>(i) * bit;
            Low(start, start + bit);
        }
    }
    return at + static_cast<std::int64_t>(bits.size()) * bit;
}

std::int64_t Wire::Send(const std::string& bytes, std::int64_t at, const BusSetting& bus) {
    for (const char c : bytes) {
        at = Send(static_cast<unsigned char>(c), at, bus);
    }
    return at;
}

bool Wire::HighAt(std::int64_t t) const {
    const auto after =
        std::upper_bound(lows_.begin(), lows_.end(), t,
                         [](std::int64_t time, const auto& low) { return time < low.first; });
    return after == lows_.begin() || std::prev(after)->second <= t;
}

std::int64_t Wire::FallingEdgeAfter(std::int64_t t) const {
    for (const auto& [start, end] : lows_) {
        if (start > t) {
            return start;
        }
    }
    return -1;
}

void Wire::DropBefore(std::int64_t t) {
    lows_.erase(lows_.begin(), std::find_if(lows_.begin(), lows_.end(),
                                            [t](const auto& low) { return low.second > t; }));
}

std::vector<RxChar> Receive(const Wire& wire, const BusSetting& receiver, std::int64_t& from,
                            std::int64_t until) {
    const std::int64_t bit = BitNs(receiver.baud);
    const bool parity = receiver.framing.parity != Parity::None;
    std::vector<RxChar> chars;
    for (std::int64_t edge = wire.FallingEdgeAfter(from); edge >= 0;
         edge = wire.FallingEdgeAfter(from)) {
        const std::int64_t stopAt = edge + bit / 2 + (parity ? 9 : 8) * bit + bit;
        if (stopAt >= until) {
            break;
        }
        if (wire.HighAt(edge + bit / 2)) {
            from = edge + bit / 2;  // a glitch, not a start bit
            continue;
        }
        RxChar c;
        for (int i = 0; i < 8; ++i) {
            if (wire.HighAt(edge + bit / 2 + (i + 1) * bit)) {
                c.value = static_cast<unsigned char>(c.value | (1 << i));
            }
        }
        if (parity) {
            c.parityError = wire.HighAt(edge + bit / 2 + 9 * bit) !=
                            ParityBit(c.value, receiver.framing.parity);
        }
        c.framingError = !wire.HighAt(stopAt);
        chars.push_back(c);
        from = stopAt;
    }
    return chars;
}

std::string Deliver(const std::vector<RxChar>& chars, const TtyInput& input) {
    std::string out;
    for (const RxChar& c : chars) {
        const char value = static_cast<char>(c.value);
        const bool errored = c.framingError || c.parityError;
        if (c.Break() && input.markErrors) {
            AppendErrored(out);
        } else if (c.Break()) {
            out += '\0';
        } else if (errored && input.checkParity) {
            if (input.ignoreErrors) {
                continue;
            }
            if (input.markErrors) {
                AppendErrored(out, value);
            } else {
                out += '\0';
            }
        } else if (errored || !input.markErrors) {
            out += value;  // an error not checked passes as it came, undoubled
        } else {
            AppendReceived(out, std::string_view(&value, 1));
        }
    }
    return out;
}

std::string OverPty(const std::vector<RxChar>& chars, const TtyInput& input) {
    std::string out;
    for (const RxChar& c : chars) {
        if (!c.framingError && !c.parityError) {
            out += static_cast<char>(c.value);
        } else if (!input.markErrors && !input.ignoreErrors) {
            out += '\0';
        }
    }
    return out;
}

namespace {

std::string WithCrc(std::string frame) {
    const std::uint16_t crc = Crc16(frame);
    frame += static_cast<char>(crc & 0xFF);
    frame += static_cast<char>(crc >> 8);
    return frame;
}

}  // namespace

ModbusExchange ModbusPoll(int function, int station) {
    const char s = static_cast<char>(station);
    const char f = static_cast<char>(function);
    switch (function) {
        case 1:  // 19 coils or inputs from 0x13
        case 2:
            return {WithCrc({s, f, 0, 0x13, 0, 0x13}), WithCrc({s, f, 3, '\xCD', 0x6B, 0x05})};
        case 4:  // 3 registers from 0x6B
            return {WithCrc({s, f, 0, 0x6B, 0, 3}), WithCrc({s, f, 6, 0x02, 0x2B, 0, 0, 0, 0x64})};
        case 5: {  // coil 0xAC on: 0xFF 0x00, echoed
            const std::string request = WithCrc({s, f, 0, '\xAC', '\xFF', 0});
            return {request, request};
        }
        case 6: {  // register 1 set to 3, echoed
            const std::string request = WithCrc({s, f, 0, 1, 0, 3});
            return {request, request};
        }
        case 15:  // 10 coils from 0x13
            return {WithCrc({s, f, 0, 0x13, 0, 0x0A, 2, '\xCD', 0x01}),
                    WithCrc({s, f, 0, 0x13, 0, 0x0A})};
        case 16:  // 2 registers from 1
            return {WithCrc({s, f, 0, 1, 0, 2, 4, 0, 0x0A, 1, 2}), WithCrc({s, f, 0, 1, 0, 2})};
        default:
            return {ModbusRequest(station), ReplyFor(Protocol::Modbus, station)};
    }
}

std::vector<BusFrame> PollRound(Protocol protocol, const std::vector<int>& polled,
                                const std::vector<int>& answering, const BusSetting& bus,
                                std::int64_t at, std::int64_t pollNs, std::int64_t replyDelayNs,
                                int modbusFunction) {
    std::vector<BusFrame> frames;
    for (const int station : polled) {
        const ModbusExchange modbus = ModbusPoll(modbusFunction, station);
        const std::string request = protocol == Protocol::Ascii    ? AsciiRequest(station)
                                    : protocol == Protocol::Modbus ? modbus.request
                                                                   : LyraBusRequest(station);
        frames.push_back({at, request});
        if (std::find(answering.begin(), answering.end(), station) != answering.end()) {
            const std::int64_t end =
                at + CharacterNs(bus) * static_cast<std::int64_t>(request.size());
            frames.push_back({end + replyDelayNs, protocol == Protocol::Modbus
                                                      ? modbus.reply
                                                      : ReplyFor(protocol, station)});
        }
        at += pollNs;
    }
    return frames;
}

}  // namespace probelyn
