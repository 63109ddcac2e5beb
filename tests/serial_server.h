#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

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

// A real serial device server (ser2net) serving one device, started on a
// free port with a configuration of the test's own, stopped with the test.
class SerialServer {
  public:
    struct Setup {
        std::string device;
        std::string folder;               // for the configuration
        bool rfc2217 = true;              // false: raw TCP
        std::string setting = "9600n81";  // what each connection starts at
        std::string address = "127.0.0.1";
    };

    explicit SerialServer(const Setup& setup) : port_(FreePort(setup.address)) {
        const std::string config = setup.folder + "/ser2net-" + std::to_string(port_) + ".yaml";
        std::ofstream(config) << "connection: &line\n"
                              << "  accepter: " << (setup.rfc2217 ? "telnet(rfc2217)," : "")
                              << "tcp," << setup.address << "," << port_ << "\n"
                              << "  connector: serialdev," << setup.device << "," << setup.setting
                              << ",local\n"
                              << "  options:\n    chardelay: false\n";
        server_.Start(kProgram, {"-n", "-u", "-c", config});
        serving_ = AwaitListening(setup.address);
    }

    int Port() const { return port_; }
    // Whether it took connections within a few seconds of its start.
    bool Serving() const { return serving_; }
    // Ends it at once, as a crash or a pulled network cable would.
    void Kill() { ::kill(server_.Pid(), SIGKILL); }
    static bool Installed() { return ::access(kProgram, X_OK) == 0; }

  private:
    static constexpr const char* kProgram = "/usr/sbin/ser2net";

    bool AwaitListening(const std::string& address) const {
        for (int i = 0; i < 250; ++i) {
            if (Listening(address)) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    // Whether its port is listening, as the system's table says (a test
    // connection would open the device).
    bool Listening(const std::string& address) const {
        const bool v6 = address.find(':') != std::string::npos;
        std::ifstream table(v6 ? "/proc/net/tcp6" : "/proc/net/tcp");
        char hex[8];
        std::snprintf(hex, sizeof hex, ":%04X", port_);
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

    int port_;
    ChildProcess server_;
    bool serving_ = false;
};

}  // namespace probelyn
