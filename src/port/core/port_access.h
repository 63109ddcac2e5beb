#pragma once

#include "error_record.h"
#include "port_component.h"

namespace probelyn {

// Opening and closing a numbered line through the port component, keeping
// PortHandle (the last value returned by Open or Close; 1 or more means open)
// and the error record. Shows nothing; callers decide what to report.
class PortAccess {
  public:
    explicit PortAccess(PortComponent& Prt) : Prt_(Prt) {}

    // Opens a line with the settings. A failure is recorded, not passed on;
    // true only when nothing failed and the line is open.
    bool OpenPort(const LineSettings& settings);
    // The start-up probe of one line: opened at 9600 and left open.
    bool CheckPort(int Port);
    // Closes the line when PortHandle says one is open. Failures pass on.
    void ClosePort();

    int PortHandle() const { return PortHandle_; }
    // The port component the line is driven through.
    PortComponent& Line() { return Prt_; }
    ErrorRecord& Error() { return error_; }
    const ErrorRecord& Error() const { return error_; }

  private:
    PortComponent& Prt_;
    int PortHandle_ = 0;
    ErrorRecord error_;
};

}  // namespace probelyn
