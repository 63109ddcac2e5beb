#include "instrument_protocol.h"

#include <algorithm>
#include <cctype>

#include "checksums.h"
#include "identification.h"
#include "probe_frames.h"

namespace probelyn {

namespace {

char Byte(int value) {
    return static_cast<char>(value & 0xFF);
}

// A request when the buffer starts with exactly the request a probe sends to
// the station the buffer names.
Parsed Matching(const std::string& buffer, const std::string& request, int station) {
    if (buffer.compare(0, request.size(), request) != 0) {
        return {Parsed::Junk, 1, 0};
    }
    return {Parsed::Request, request.size(), station};
}

Parsed ParseAscii(const std::string& b) {
    if (b[0] != '!') {
        return {Parsed::Junk, 1, 0};
    }
    if (b.size() < 10) {
        return {};
    }
    for (std::size_t i = 1; i <= 3; ++i) {
        if (std::isdigit(static_cast<unsigned char>(b[i])) == 0) {
            return {Parsed::Junk, 1, 0};
        }
    }
    const int station = std::stoi(b.substr(1, 3));
    return Matching(b, AsciiRequest(station), station);
}

Parsed ParseModbus(const std::string& b) {
    const int station = static_cast<unsigned char>(b[0]);
    if (b.size() >= 2 && b[1] == 0x2B) {  // identification: 7 bytes
        if (b.size() < 7) {
            return {};
        }
        Parsed parsed = Matching(b, IdentificationRequest(station, b[4] & 0xFF), station);
        parsed.object = parsed.kind == Parsed::Request ? b[4] & 0xFF : -1;
        return parsed;
    }
    if (b.size() < 8) {
        return {};
    }
    return Matching(b, ModbusRequest(station), station);
}

std::string WithCrc(std::string frame) {
    const std::uint16_t crc = Crc16(frame);
    return frame + LowByte(crc) + HighByte(crc);
}

Parsed ParseLyraBus(const std::string& b) {
    if (b[0] != Byte(0xFE)) {
        return {Parsed::Junk, 1, 0};
    }
    if (b.size() < 5) {
        return {};
    }
    const int station = static_cast<unsigned char>(b[1]);
    return Matching(b, LyraBusRequest(station), station);
}

}  // namespace

Parsed ParseRequest(Protocol protocol, const std::string& buffer) {
    if (buffer.empty()) {
        return {};
    }
    switch (protocol) {
        case Protocol::Ascii:
            return ParseAscii(buffer);
        case Protocol::Modbus:
            return ParseModbus(buffer);
        case Protocol::LyraBus:
            return ParseLyraBus(buffer);
    }
    return {};
}

std::string ReplyFor(Protocol protocol, int station) {
    switch (protocol) {
        case Protocol::Ascii:
            return "?\r";
        case Protocol::Modbus:
            return ModbusRegisterReply(station, 0x4000);
        case Protocol::LyraBus: {
            std::string reply{Byte(station), 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, Byte(0x80)};
            return reply + NibbleChecksum(reply);
        }
    }
    return {};
}

std::string ModbusRegisterReply(int station, int value) {
    // Registers 60 and 61: the value, then 0.
    return WithCrc({Byte(station), 0x03, 0x04, Byte(value >> 8), Byte(value), 0x00, 0x00});
}

std::string ModbusException(int station, int function, int code) {
    return WithCrc({Byte(station), Byte(function | 0x80), Byte(code)});
}

std::string IdentificationAnswer(int station, int object, const std::vector<std::string>& values,
                                 IdentityFault fault) {
    std::string objects;
    int count = 0;
    for (int id = std::max(object, 0); id < static_cast<int>(values.size()); ++id) {
        objects += Byte(id);
        objects +=
            Byte(fault == IdentityFault::Overlong ? 250 : static_cast<int>(values[id].size()));
        objects += values[id];
        ++count;
        if (fault == IdentityFault::Endless) {
            break;  // one object a reply, and always more to follow
        }
    }
    const bool more = fault == IdentityFault::Endless;
    std::string frame =
        WithCrc(std::string{Byte(station), 0x2B, 0x0E, 0x01, 0x01, Byte(more ? 0xFF : 0x00),
                            Byte(more ? object : 0), Byte(count)} +
                objects);
    if (fault == IdentityFault::BadCrc) {
        frame.back() = Byte(frame.back() ^ 0x55);
    }
    return frame;
}

namespace {

unsigned NextRandom(unsigned* seed) {
    *seed = *seed * 1103515245U + 12345U;
    return *seed >> 16;
}

}  // namespace

std::string RandomBytes(unsigned* seed) {
    const unsigned count = 1 + NextRandom(seed) % 8;
    std::string out;
    for (unsigned i = 0; i < count; ++i) {
        out += Byte(static_cast<int>(NextRandom(seed)));
    }
    return out;
}

std::string Garbage(unsigned* seed) {
    static const char kValues[] = {Byte(0x80), Byte(0xE0), Byte(0xF8), Byte(0xFE), Byte(0xFF)};
    const unsigned count = 1 + NextRandom(seed) % 4;
    std::string out;
    for (unsigned i = 0; i < count; ++i) {
        out += kValues[NextRandom(seed) % sizeof kValues];
    }
    return out;
}

}  // namespace probelyn
