#pragma once

#include <chrono>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

#include "network_name.h"

namespace probelyn {

class SystemSocket;

// The numeric addresses a host name resolves to, resolved within `limit` or
// until a stop is requested; none, with the reason, when it does not.
Resolved ResolveHost(const std::string& host, int port, std::chrono::milliseconds limit,
                     std::stop_token stop);

// One TCP connection to a server, for a line over the network: no Nagle
// delay, every wait ended at once by a stop. Every failure is a PortFailure
// of kind Network whose text names the server and gives the system's
// reason. The loops are written once here over the few calls each platform
// makes its own way (SystemSocket).
class TcpSocket {
  public:
    // Connects to the first of the address's numeric addresses that accepts
    // (resolved now unless they were already), each step within `limit`.
    TcpSocket(const NetworkAddress& address, std::chrono::milliseconds limit, std::stop_token stop);
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Hands every byte to the system for sending.
    void Write(std::string_view bytes);
    // Appends up to max received bytes to `into` without waiting; how many.
    // The bytes before the connection's end are taken first, the end met after.
    std::size_t Read(std::string& into, std::size_t max);
    // Blocks until bytes (or the connection's end) can be read, the timeout
    // has passed or a stop is requested.
    bool WaitForInput(std::chrono::nanoseconds timeout, std::stop_token stop);

  private:
    // One address: connected, or the system's reason it is not.
    int Attempt(const std::string& address, int port, std::chrono::milliseconds limit,
                std::stop_token stop);
    [[noreturn]] void Fail(const std::string& what, int error) const;

    std::unique_ptr<SystemSocket> socket_;
    std::string server_;  // as messages name it
};

}  // namespace probelyn
