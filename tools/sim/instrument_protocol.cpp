#include "instrument_protocol.h"

#include <cctype>

#include "checksums.h"
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
    if (b.size() < 8) {
        return {};
    }
    const int station = static_cast<unsigned char>(b[0]);
    return Matching(b, ModbusRequest(station), station);
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
        case Protocol::Modbus: {
            // Registers 60 and 61: 0x4000, 0x0000.
            std::string reply = ModbusReplyStart(station) + std::string(2, '\0');
            const std::uint16_t crc = Crc16(reply);
            return reply + LowByte(crc) + HighByte(crc);
        }
        case Protocol::LyraBus: {
            std::string reply{Byte(station), 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, Byte(0x80)};
            return reply + NibbleChecksum(reply);
        }
    }
    return {};
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
