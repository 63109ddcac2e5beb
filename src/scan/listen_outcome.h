#pragma once

#include <vector>

#include "error_record.h"
#include "scan_outcome.h"
#include "traffic.h"

namespace probelyn {

// The setting at which a line's traffic was identified, and what was heard:
// one entry per protocol identified there, most frames first.
struct Hearing {
    int baud = 0;
    Framing framing;
    std::vector<Heard> heard;
    // The plan's other framings at that rate, not tried, which might decode
    // the same bytes: named only when the line marked no error at any
    // setting (many USB adapters report none).
    std::vector<Framing> notExcluded;
};

// How a listen ended.
struct ListenOutcome {
    enum class Kind {
        Heard,
        NothingHeard,
        Stopped,
        // The line failed in a way no other setting can change: the setting
        // `at` and every later one were not listened to.
        Unfinished,
    };
    Kind kind = Kind::NothingHeard;
    Hearing hearing;      // Heard
    ErrorRecord failure;  // Unfinished: why
    EndedAt at;           // Unfinished
};

}  // namespace probelyn
