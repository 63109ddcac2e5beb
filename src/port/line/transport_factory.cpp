#include "transport_factory.h"

#include "local_line.h"
#include "network_line.h"
#include "network_name.h"
#include "port_failure.h"

namespace probelyn {

std::unique_ptr<LineTransport> MakeTransport(const LineName& line, const ComPortNames& names,
                                             std::stop_token stop) {
    if (line.com || !IsNetworkName(line.device)) {
        return std::make_unique<LocalLine>(names);
    }
    const ParsedAddress parsed = ParseNetworkName(line.device);
    if (!parsed.address) {
        throw PortFailure(LineError::NoDevice, parsed.error);
    }
    if (parsed.address->kind == NetworkAddress::Kind::RawTcp) {
        return std::make_unique<RawTcpLine>(line.device, *parsed.address, std::move(stop));
    }
    return std::make_unique<Rfc2217Line>(line.device, *parsed.address, std::move(stop));
}

}  // namespace probelyn
