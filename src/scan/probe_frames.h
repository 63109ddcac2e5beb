#pragma once

#include <string>

namespace probelyn {

// The three probe requests and what their replies are judged by. Byte strings
// hold one 8-bit value per char.

// The bytes as hexadecimal pairs, space apart: "01 03 00 3C".
std::string HexText(const std::string& bytes);

// "!" + station as three digits + ":XXY?" + CR. Stations 1..999.
std::string AsciiRequest(int station);
// The reply an ASCII instrument gives: "?" CR.
std::string AsciiReplyStart();

// Read Holding Registers: station 03 00 3C 00 02, CRC low byte first.
std::string ModbusRequest(int station);
// The start of the reply: station 03 04 40 00 (register 60 holds 0x4000).
std::string ModbusReplyStart(int station);

// FE station 8A, then the nibble checksum of station 8A.
std::string LyraBusRequest(int station);
inline constexpr int kLyraBusReplyLength = 11;
// An 11-byte reply matches when it comes from the station and its last two
// bytes are the nibble checksum of the first nine.
bool LyraBusReplyMatches(int station, const std::string& reply);

}  // namespace probelyn
