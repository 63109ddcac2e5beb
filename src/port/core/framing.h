#pragma once

#include <optional>
#include <string>

namespace probelyn {

enum class Parity { None, Even, Odd };

// How each character is framed on the wire. Every byte value needs 8 data
// bits; parity and stop bits are the line's.
struct Framing {
    Parity parity = Parity::None;
    int stopBits = 1;  // 1 or 2

    friend bool operator==(const Framing&, const Framing&) = default;
};

// A framing by its usual name: 8 data bits, then N, E or O for the parity,
// then 1 or 2 stop bits ("8N1", "8E1", "8O2"), the letter in either case.
// Nothing for any other name.
std::optional<Framing> FramingNamed(const std::string& name);
std::string NameOf(const Framing& framing);

}  // namespace probelyn
