#pragma once

// The system's socket headers, and the little that differs around them.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <chrono>
#include <cstddef>
#include <memory>
#include <stop_token>
#include <string>

namespace probelyn {

// Readies the system's sockets once per process (Winsock); nothing on POSIX.
void StartSockets();
// The resolver's reason for a failure, for people.
std::string ResolveFailureText(int error);

// One TCP socket as the platform makes it: the calls that differ between
// POSIX and Winsock, each error the system's own number. One implementation
// file per platform.
class SystemSocket {
  public:
    SystemSocket();
    ~SystemSocket();
    SystemSocket(const SystemSocket&) = delete;
    SystemSocket& operator=(const SystemSocket&) = delete;

    // Starts connecting to the numeric address, without waiting: 0 when
    // connected or under way (`pending`), the system's error otherwise.
    int Connect(const std::string& address, int port, bool* pending);
    // Waits until it can be written to (`write`) or read from, the timeout
    // has passed or a stop is requested; whether it can.
    bool Await(bool write, std::chrono::nanoseconds timeout, std::stop_token stop);
    // How a connection under way ended: 0 when connected.
    int ConnectResult();
    void NoDelay();
    void Close();

    // One send or receive: the bytes it took, 0 at the connection's end
    // (receive), -1 with the system's error in `error`.
    long Send(const char* bytes, std::size_t size, int* error);
    long Receive(char* bytes, std::size_t size, int* error);

    // What the system's errors mean here.
    static bool WouldBlock(int error);
    static bool Interrupted(int error);
    static int TimedOut();
    static int Cancelled();
    static std::string Text(int error);

  private:
    struct Handles;
    std::unique_ptr<Handles> handles_;
};

}  // namespace probelyn
