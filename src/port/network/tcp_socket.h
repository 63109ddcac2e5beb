#pragma once

#include <chrono>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace probelyn {

// The numeric addresses a host name resolves to ("127.0.0.1", "::1"),
// resolved within `limit` or until a stop is requested; empty,
// with the reason in `error`, when none.
struct Resolved {
    std::vector<std::string> addresses;
    std::string error;
};
Resolved ResolveHost(const std::string& host, int port, std::chrono::milliseconds limit,
                     std::stop_token stop);

// One TCP connection to a server, for a line over the network: no Nagle
// delay, every wait ended at once by a stop. Every failure is a PortFailure
// of kind Network whose text names the server and gives the system's
// reason. One implementation file per platform.
class TcpSocket {
  public:
    // Resolves the host and connects to the first of its addresses that
    // accepts, each step within `limit`.
    TcpSocket(const std::string& host, int port, std::chrono::milliseconds limit,
              std::stop_token stop);
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Hands every byte to the system for sending.
    void Send(std::string_view bytes);
    // Appends up to max received bytes to `into` without waiting; how many.
    // The bytes before the connection's end are taken first, the end met after.
    std::size_t ReceiveInto(std::string& into, std::size_t max);
    // Blocks until bytes (or the connection's end) can be received, the
    // timeout has passed or a stop is requested.
    bool AwaitReceivable(std::chrono::nanoseconds timeout, std::stop_token stop);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace probelyn
