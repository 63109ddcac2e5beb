#include "probe_frames.h"

#include <algorithm>

#include "checksums.h"

namespace probelyn {

namespace {

char Byte(int value) {
    return static_cast<char>(value & 0xFF);
}

}  // namespace

std::string AsciiRequest(int station) {
    // The station's last three digits, with leading zeros.
    std::string request = "!000:XXY?\r";
    const std::string number = std::to_string(station);
    const std::size_t n = std::min<std::size_t>(3, number.size());
    request.replace(4 - n, n, number, number.size() - n, n);
    return request;
}

std::string AsciiReplyStart() {
    return "?\r";
}

std::string ModbusRequest(int station) {
    std::string frame{Byte(station), 0x03, 0x00, 0x3C, 0x00, 0x02};
    const std::uint16_t crc = Crc16(frame);
    frame += LowByte(crc);
    frame += HighByte(crc);
    return frame;
}

std::string ModbusReplyStart(int station) {
    return {Byte(station), 0x03, 0x04, 0x40, 0x00};
}

std::string LyraBusRequest(int station) {
    const std::string body{Byte(station), Byte(0x8A)};
    return Byte(0xFE) + body + NibbleChecksum(body);
}

bool LyraBusReplyMatches(int station, const std::string& reply) {
    if (reply.size() != static_cast<std::size_t>(kLyraBusReplyLength)) {
        return false;
    }
    return reply[0] == Byte(station) && reply.substr(9, 2) == NibbleChecksum(reply.substr(0, 9));
}

std::string HexText(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (!text.empty()) {
            text += ' ';
        }
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

}  // namespace probelyn
