#include "checksums.h"

namespace probelyn {

std::uint16_t Crc16(const std::string& text) {
    unsigned c = 0xFFFF;
    for (char ch : text) {
        c ^= static_cast<unsigned char>(ch);
        for (int bit = 0; bit < 8; ++bit) {
            const bool low = (c & 1U) != 0;
            c >>= 1;
            if (low) {
                c ^= 0xA001;
            }
        }
    }
    return static_cast<std::uint16_t>(c);
}

char LowByte(std::uint16_t value) {
    return static_cast<char>(value & 0xFF);
}

char HighByte(std::uint16_t value) {
    return static_cast<char>(value >> 8);
}

std::string NibbleChecksum(const std::string& text) {
    unsigned x = 0;
    for (char ch : text) {
        x ^= static_cast<unsigned char>(ch);
    }
    return {static_cast<char>(x >> 4), static_cast<char>(x & 0x0F)};
}

}  // namespace probelyn
