#include "framing.h"

#include <cctype>

namespace probelyn {

namespace {

constexpr char kParityLetters[] = {'N', 'E', 'O'};  // in the order of Parity

}  // namespace

std::optional<Framing> FramingNamed(const std::string& name) {
    if (name.size() != 3 || name[0] != '8' || (name[2] != '1' && name[2] != '2')) {
        return std::nullopt;
    }
    const auto letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[1])));
    for (int p = 0; p < 3; ++p) {
        if (letter == kParityLetters[p]) {
            return Framing{static_cast<Parity>(p), name[2] - '0'};
        }
    }
    return std::nullopt;
}

std::string NameOf(const Framing& framing) {
    return std::string("8") + kParityLetters[static_cast<int>(framing.parity)] +
           std::to_string(framing.stopBits);
}

}  // namespace probelyn
