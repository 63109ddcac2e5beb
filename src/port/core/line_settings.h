#pragma once

#include "framing.h"
#include "line_name.h"

namespace probelyn {

// Everything a line opens with, as one value.
struct LineSettings {
    LineName line;    // the device, or the line numbered COMn
    int baud = 9600;  // bit/s
    Framing framing;  // 8N1 unless said otherwise
    // Opened only to listen to a live bus: DTR and RTS lowered at once (an
    // adapter may switch its RS-485 driver on RTS), and a character received
    // with a framing or parity error marked (see error_marks.h) instead of
    // dropped.
    bool listen = false;
};

}  // namespace probelyn
