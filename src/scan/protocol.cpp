#include "protocol.h"

namespace {

constexpr const char* kNames[] = {"ascii", "modbus", "lyrabus"};  // in the enum's order

}  // namespace

std::optional<Protocol> ProtocolNamed(const std::string& name) {
    for (int p = 0; p < 3; ++p) {
        if (name == kNames[p]) {
            return static_cast<Protocol>(p);
        }
    }
    return std::nullopt;
}

std::string NameOf(Protocol protocol) {
    return kNames[static_cast<int>(protocol)];
}
