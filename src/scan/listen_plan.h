#pragma once

#include <chrono>
#include <vector>

#include "line_settings.h"
#include "protocol.h"

namespace probelyn {

// What to listen for, at which settings, how long at each.
struct ListenPlan {
    LineName line;
    std::vector<Protocol> protocols{Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus};
    std::vector<int> rates;
    std::vector<Framing> framings;
    // How long each setting is listened to; once traffic is identified, as
    // long again at that setting, so that every station polled is heard.
    std::chrono::nanoseconds dwell = std::chrono::milliseconds(1000);
};

}  // namespace probelyn
