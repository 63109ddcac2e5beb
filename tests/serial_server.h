#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"

namespace probelyn {

// A free TCP port on the address ("127.0.0.1", "::1"), as the system hands
// one out; 0 when the address cannot be bound here (no IPv6, say).
inline int FreePort(const std::string& address) {
    const bool v6 = address.find(':') != std::string::npos;
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (v6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        ::inet_pton(AF_INET6, address.c_str(), &in6->sin6_addr);
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        ::inet_pton(AF_INET, address.c_str(), &in4->sin_addr);
        length = sizeof *in4;
    }
    int port = 0;
    auto* any = reinterpret_cast<sockaddr*>(&storage);
    if (fd != -1 && ::bind(fd, any, length) == 0 && ::getsockname(fd, any, &length) == 0) {
        port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                        : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    }
    ::close(fd);
    return port;
}

// A real serial device server (ser2net) serving devices, each on a free
// port of its own, with a configuration of the test's own, stopped with the
// test.
class SerialServer {
  public:
    struct Setup {
        std::vector<std::string> devices;
        std::string folder;               // for the configuration
        bool rfc2217 = true;              // false: raw TCP
        std::string setting = "9600n81";  // what each connection starts at
        std::string address = "127.0.0.1";
    };

    explicit SerialServer(const Setup& setup) {
        std::string yaml;
        for (const std::string& device : setup.devices) {
            int port = FreePort(setup.address);
            while (std::find(ports_.begin(), ports_.end(), port) != ports_.end()) {
                port = FreePort(setup.address);
            }
            ports_.push_back(port);
            yaml += "connection: &line" + std::to_string(port) +
                    "\n  accepter: " + (setup.rfc2217 ? "telnet(rfc2217)," : "") + "tcp," +
                    setup.address + "," + std::to_string(port) + "\n  connector: serialdev," +
                    device + "," + setup.setting + ",local\n  options:\n    chardelay: false\n";
        }
        const std::string config =
            setup.folder + "/ser2net-" + std::to_string(ports_.front()) + ".yaml";
        std::ofstream(config) << yaml;
        server_.Start(kProgram, {"-n", "-u", "-c", config});
        serving_ = AwaitListening(setup.address);
    }

    // The port of the first device, and of each.
    int Port() const { return ports_.front(); }
    const std::vector<int>& Ports() const { return ports_; }
    // Whether it took connections within a few seconds of its start.
    bool Serving() const { return serving_; }
    // Ends it at once, as a crash or a pulled network cable would.
    void Kill() { ::kill(server_.Pid(), SIGKILL); }
    static bool Installed() { return ::access(kProgram, X_OK) == 0; }

  private:
    static constexpr const char* kProgram = "/usr/sbin/ser2net";

    bool AwaitListening(const std::string& address) const {
        for (int i = 0; i < 250; ++i) {
            if (std::all_of(ports_.begin(), ports_.end(),
                            [&](int port) { return Listening(address, port); })) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // Whether the port is listening, as the system's table says (a test
    // connection would open the device).
    static bool Listening(const std::string& address, int port) {
        const bool v6 = address.find(':') != std::string::npos;
        std::ifstream table(v6 ? "/proc/net/tcp6" : "/proc/net/tcp");
        char hex[8];
        std::snprintf(hex, sizeof hex, ":%04X", port);
        std::string line;
        while (std::getline(table, line)) {
            // sl local_address rem_address st: 0A is LISTEN
            if (line.find(std::string(hex) + " ") != std::string::npos &&
                line.find(" 0A ") != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    std::vector<int> ports_;
    ChildProcess server_;
    bool serving_ = false;
};

}  // namespace probelyn
