#pragma once

#include <memory>
#include <stop_token>

#include "com_port_names.h"
#include "line_transport.h"

namespace probelyn {

// The transport a line's name calls for: rfc2217://HOST:PORT and
// tcp://HOST:PORT a line at a server on the network (see network_name.h),
// any other name the system's own line, COMn through the numbering. A
// network name that is not well formed fails (PortFailure, NoDevice).
std::unique_ptr<LineTransport> MakeTransport(const LineName& line, const ComPortNames& names,
                                             std::stop_token stop);

}  // namespace probelyn
