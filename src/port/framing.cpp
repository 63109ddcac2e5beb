#include "framing.h"

namespace {

constexpr char kParityLetters[] = {'N', 'E', 'O'};  // in the order of Parity

}  // namespace

std::optional<Framing> FramingNamed(const std::string& name) {
    if (name.size() != 3 || name[0] != '8' || (name[2] != '1' && name[2] != '2')) {
        return std::nullopt;
    }
    for (int p = 0; p < 3; ++p) {
        if (name[1] == kParityLetters[p]) {
            return Framing{static_cast<Parity>(p), name[2] - '0'};
        }
    }
    return std::nullopt;
}

std::string NameOf(const Framing& framing) {
    return std::string("8") + kParityLetters[static_cast<int>(framing.parity)] +
           std::to_string(framing.stopBits);
}
