#pragma once

#include <memory>
#include <stop_token>

#include "com_port_names.h"
#include "line_backend.h"

namespace probelyn {

// The backend a line's kind calls for: a line over the network the one its
// address's kind names, any other line the system's own serial port, COMn
// through the numbering. `stop` ends a connection under way.
std::unique_ptr<LineBackend> MakeBackend(const LineName& line, const ComPortNames& names,
                                         std::stop_token stop);

}  // namespace probelyn
