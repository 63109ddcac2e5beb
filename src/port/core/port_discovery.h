#pragma once

#include <string>

#include "com_port_names.h"
#include "port_access.h"

namespace probelyn {

// What start-up discovery needs from the window.
class DiscoveryHost {
  public:
    virtual ~DiscoveryHost() = default;
    virtual void SetStatus(const std::string& Message) = 0;
    // Lists line n as "COM" + n with item data n.
    virtual void AddPort(int n) = 0;
    // Line n has a device that did not open, for the reason in `error`.
    virtual void NotListed(int n, const ErrorRecord& error) = 0;
    virtual void ServiceEvents() = 0;
    // True once the program is ending (its window was closed): discovery
    // opens no further line.
    virtual bool Abandoned() { return false; }
};

// Whether a failed attempt to open a line met a device: no device numbered
// COMn and a device that is not there tell nothing.
bool MetADevice(const ErrorRecord& error);

// Tries COM1..COM100 at 9600 baud, in order, and lists each line that opens;
// a line whose device exists but does not open is reported with its reason.
// Lines that opened are left open. Stops before the next line once the host
// abandons it.
// Returns how many were listed.
int DiscoverPorts(PortAccess& access, DiscoveryHost& host);

}  // namespace probelyn
