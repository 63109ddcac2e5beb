#pragma once

#include <array>

// The baud table, index 0..12. The scan tries indexes 12 down to 3.
using BaudTable = std::array<int, 13>;
inline constexpr BaudTable kBaudTable{300,   600,   1200,  2400,   4800,   9600,  19200,
                                      38400, 57600, 76800, 115200, 230400, 460800};
