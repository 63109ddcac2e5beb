#pragma once

#include <string>

#include "error_record.h"
#include "line_settings.h"
#include "protocol.h"

namespace probelyn {

// An instrument that answered.
struct Find {
    Protocol protocol = Protocol::Ascii;
    int baud = 0;
    int station = 0;
    Framing framing;
};

// Where a run that could not finish ended: the setting, the first station
// not tried there (0 when the line did not open at that setting, or for a
// listen), and the pass of the sweep the setting belongs to.
struct EndedAt {
    int baud = 0;
    Framing framing;
    int station = 0;
    std::size_t pass = 0;
};

// How a run ended.
struct ScanOutcome {
    enum class Kind {
        Found,
        NothingFound,
        Stopped,
        // The line failed when it was closed at the end.
        LineFailure,
        // The line failed in a way no other setting can change, and the plan
        // ends the run there (LineLoss::EndRun): the stations from `at` on and
        // every later setting were not tried.
        Unfinished,
    };
    Kind kind = Kind::NothingFound;
    Find find;            // Found: the first find
    ErrorRecord failure;  // LineFailure, Unfinished: why
    EndedAt at;           // Unfinished
};

// The find in the window's words, e.g. "ModBus device on COM2 at 460800
// baudrate on station 17", the line named as DisplayName names it.
std::string FoundText(const Find& find, const LineName& line);

}  // namespace probelyn
