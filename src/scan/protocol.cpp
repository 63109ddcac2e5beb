#include "protocol.h"

#include <algorithm>
#include <iterator>

namespace probelyn {

const ProtocolNames& NamesOf(Protocol protocol) {
    return *std::find_if(
        std::begin(kProtocolNames), std::end(kProtocolNames),
        [protocol](const ProtocolNames& names) { return names.protocol == protocol; });
}

std::optional<Protocol> ProtocolNamed(const std::string& name) {
    for (const ProtocolNames& names : kProtocolNames) {
        if (name == names.command) {
            return names.protocol;
        }
    }
    return std::nullopt;
}

std::string NameOf(Protocol protocol) {
    return NamesOf(protocol).command;
}

}  // namespace probelyn
