#include "port_discovery.h"

namespace probelyn {

bool MetADevice(const ErrorRecord& error) {
    return !error.IsClear() && error.error != LineError::NoDevice &&
           error.error != LineError::DeviceNotFound;
}

int DiscoverPorts(PortAccess& access, DiscoveryHost& host) {
    int listed = 0;
    // Checked before each line: opening one raises its DTR, which a program
    // that is ending must not do.
    for (int n = 1; n <= kHighestComPort && !host.Abandoned(); ++n) {
        host.SetStatus("Detecting serial port " + DisplayName({.com = n}));
        if (access.CheckPort(n)) {
            host.AddPort(n);
            ++listed;
        } else if (MetADevice(access.Error())) {
            host.NotListed(n, access.Error());
        }
        host.ServiceEvents();
    }
    return listed;
}

}  // namespace probelyn
