#pragma once

#include <string>

#include "port_component.h"

// The record of the last failure: a number (0 when clear) and the system's
// description text.
struct ErrorRecord {
    int number = 0;
    std::string description;

    void Clear() { *this = {}; }
    bool IsClear() const { return number == 0; }
};

// Opening and closing a numbered line through the port component, keeping
// PortHandle (the last value returned by Open or Close; 1 or more means open)
// and the error record. Shows nothing; callers decide what to report.
class PortAccess {
  public:
    explicit PortAccess(PortComponent& Prt) : Prt_(Prt) {}

    // Opens line comport at baudrate. A failing step is recorded and the next
    // step still runs; true only when nothing failed and the line is open.
    bool OpenPort(int comport, int baudrate);
    // The start-up probe of one line: opened at 9600 and left open.
    bool CheckPort(int Port);
    // Closes the line when PortHandle says one is open. Failures pass on.
    void ClosePort();

    int PortHandle() const { return PortHandle_; }
    ErrorRecord& Error() { return error_; }
    const ErrorRecord& Error() const { return error_; }

  private:
    template <typename Step>
    void Skipping(Step step);

    PortComponent& Prt_;
    int PortHandle_ = 0;
    ErrorRecord error_;
};
