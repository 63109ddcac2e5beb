// Times one start-up discovery pass (COM1..COM100) over the real serial line:
// with no devices, with three pseudo-terminals, and with this machine's own
// numbering. Prints milliseconds per pass.
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "port_discovery.h"
#include "port_line.h"
#include "pty_line.h"

using namespace probelyn;

namespace {

struct SilentHost : DiscoveryHost {
    void SetStatus(const std::string&) override {}
    void AddPort(int) override { ++listed; }
    void NotListed(int, const ErrorRecord&) override {}
    void ServiceEvents() override {}
    int listed = 0;
};

void TimePass(const char* title, const ComPortNames& names) {
    constexpr int kPasses = 20;
    int listed = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kPasses; ++i) {
        PortLine line(names);
        PortAccess access(line);
        SilentHost host;
        DiscoverPorts(access, host);
        listed = host.listed;
    }
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    std::printf("%-28s %3d listed  %8.3f ms per pass\n", title, listed, spent.count() / kPasses);
}

}  // namespace

int main() {
    TimePass("no devices", ComPortNames::FromDevices({}));
    std::vector<std::unique_ptr<PtyLine>> ptys;
    std::vector<std::string> devices;
    for (int i = 0; i < 3; ++i) {
        ptys.push_back(std::make_unique<PtyLine>());
        devices.push_back(ptys.back()->SlavePath());
    }
    TimePass("three pseudo-terminals", ComPortNames::FromDevices(devices));
    TimePass("this machine's /dev", ComPortNames::System());
    return 0;
}
