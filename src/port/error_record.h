#pragma once

#include <exception>
#include <string>

#include "port_failure.h"

// The record of the last failure: a number (0 when clear) and the system's
// description text.
struct ErrorRecord {
    int number = 0;
    std::string description;

    void Clear() { *this = {}; }
    bool IsClear() const { return number == 0; }
};

// Runs one step in skip-on-failure mode: a failure is recorded in `record`
// and passed over, so the caller goes on with its next step.
template <typename Step>
void SkipOnFailure(ErrorRecord& record, Step&& step) {
    try {
        step();
    } catch (const PortFailure& failure) {
        record.number = failure.Number();
        record.description = failure.Description();
    } catch (const std::exception& failure) {
        record.number = -1;
        record.description = failure.what();
    }
}
