#pragma once

#include "answers.h"
#include "error_record.h"
#include "identification.h"
#include "scan_outcome.h"

namespace probelyn {

// Where a scan stands: the rate and station being tried, and how many
// stations it has tried so far out of how many (as the window counts them,
// see StationTotal).
struct ScanStep {
    int baud = 0;
    int station = 0;
    int count = 0;
    int total = 0;

    friend bool operator==(const ScanStep&, const ScanStep&) = default;
};

// What a run tells its front end, or asks of it, besides its outcome.
struct Notice {
    enum class Kind {
        Found,              // an instrument answered; the line is still open
        PortError,          // the line did not open at a rate; the rate is skipped
        NothingIdentified,  // the extended scan found nothing either
    };
    Kind kind = Kind::Found;
    Find find;          // Found
    int baud = 0;       // PortError
    Framing framing;    // PortError
    ErrorRecord error;  // PortError: why; clear when the line just did not open
};

// The front end as the engine sees it: every call a run makes upward. A run
// calls Progress and TurnEventLoop once per station, the rest rarely. A stop
// is asked for through the run's stop token, not through a call.
class ScanSteps {
  public:
    virtual ~ScanSteps() = default;

    // Where the run stands; called while the station's first probe awaits its
    // reply, so that showing it costs the scan no time.
    virtual void Progress(const ScanStep& step) = 0;
    // The front end's turn to handle what came in meanwhile (a Stop press);
    // once after each station that did not answer.
    virtual void TurnEventLoop() = 0;
    virtual void Report(const Notice& notice) = 0;
    // Whether to go on with the extended ASCII scan after nothing answered.
    virtual bool AskExtendedScan() = 0;
    // What answered without being a find, where the plan asks for it.
    virtual void WhatAnswered(const Answered&) {}
    // Who a Modbus instrument found is, where the plan asks and it says so;
    // told right after its find.
    virtual void Identified(const Find&, const Identity&) {}
};

}  // namespace probelyn
