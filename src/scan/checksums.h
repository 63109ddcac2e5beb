#pragma once

#include <cstdint>
#include <string>

namespace probelyn {

// Checksums carried by the probe frames. Byte strings are std::string holding
// one 8-bit value per char.

// CRC-16 of the Modbus standard: start 0xFFFF, reflected polynomial 0xA001,
// no final XOR. Empty text gives 0xFFFF; "123456789" gives 0x4B37.
std::uint16_t Crc16(const std::string& text);

char LowByte(std::uint16_t value);
char HighByte(std::uint16_t value);

// XOR of all bytes, returned as two raw nibbles (high, low), each 0x00..0x0F.
std::string NibbleChecksum(const std::string& text);

}  // namespace probelyn
