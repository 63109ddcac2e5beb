#pragma once

#include <exception>

#include "port_failure.h"

// Runs one step in skip-on-failure mode: a failure is recorded in `record`
// and passed over, so the caller goes on with its next step.
template <typename Step>
void SkipOnFailure(ErrorRecord& record, Step&& step) {
    try {
        step();
    } catch (const PortFailure& failure) {
        record = failure.Record();
    } catch (const std::exception& failure) {
        record = {LineError::Other, failure.what()};
    }
}
