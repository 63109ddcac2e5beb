#pragma once

#include <stdexcept>

#include "port_failure.h"

namespace probelyn {

// Runs one step that drives the line in skip-on-failure mode: a failure of
// the line is recorded in `record` and passed over, so the caller goes on with
// its next step. Anything else (a fault of the program, memory running out)
// is no failure of the line and passes on.
template <typename Step>
void SkipOnFailure(ErrorRecord& record, Step&& step) {
    try {
        step();
    } catch (const PortFailure& failure) {
        record = failure.Record();
    }
}

// Runs one of the front end's own steps (a status text, the bar, an event
// turn, a report) in skip-on-failure mode: a runtime failure there is passed
// over, leaving what was shown before, and the line's record untouched. A
// logic error or memory running out passes on.
template <typename Step>
void SkipFrontEndFailure(Step&& step) {
    try {
        step();
    } catch (const std::runtime_error&) {
        // Abandoned without a message: the run goes on with its next step.
    }
}

}  // namespace probelyn
