#include "port_discovery.h"

int DiscoverPorts(PortAccess& access, DiscoveryHost& host) {
    int listed = 0;
    for (int n = 1; n <= kHighestComPort; ++n) {
        host.SetStatus("Detecting serial port COM" + std::to_string(n));
        if (access.CheckPort(n)) {
            host.AddPort(n);
            ++listed;
        }
        host.ServiceEvents();
        if (host.Abandoned()) {
            break;
        }
    }
    return listed;
}
