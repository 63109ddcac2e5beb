#include "port_discovery.h"

namespace {

// Whether a failed attempt met a device: no device numbered COMn, a device
// that is not there, and a refusal without a reason tell nothing.
bool DeviceExists(const ErrorRecord& error) {
    return !error.IsClear() && error.error != LineError::NoDevice &&
           error.error != LineError::DeviceNotFound;
}

}  // namespace

int DiscoverPorts(PortAccess& access, DiscoveryHost& host) {
    int listed = 0;
    // Checked before each line: opening one raises its DTR, which a program
    // that is ending must not do.
    for (int n = 1; n <= kHighestComPort && !host.Abandoned(); ++n) {
        host.SetStatus("Detecting serial port COM" + std::to_string(n));
        if (access.CheckPort(n)) {
            host.AddPort(n);
            ++listed;
        } else if (DeviceExists(access.Error())) {
            host.NotListed(n, access.Error());
        }
        host.ServiceEvents();
    }
    return listed;
}
