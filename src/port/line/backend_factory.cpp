#include "backend_factory.h"

#include "network_line.h"
#include "serial_port.h"

namespace probelyn {

std::unique_ptr<LineBackend> MakeBackend(const LineName& line, const ComPortNames& names,
                                         std::stop_token stop) {
    if (!line.network) {
        return std::make_unique<SerialPort>(names);
    }
    if (line.network->kind == NetworkAddress::Kind::RawTcp) {
        return std::make_unique<RawTcpLine>(line.device, *line.network, std::move(stop));
    }
    return std::make_unique<Rfc2217Line>(line.device, *line.network, std::move(stop));
}

}  // namespace probelyn
