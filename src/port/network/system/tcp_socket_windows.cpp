#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come before windows.h.
#include <windows.h>

#include <algorithm>
#include <mutex>

#include "port_failure.h"
#include "socket_system.h"
#include "tcp_socket.h"

namespace probelyn {

namespace {

// How long a send may wait for room in the system's send queue.
constexpr DWORD kSendWaitMs = 2000;

std::string SystemText(int error) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string said = n > 0 ? std::string(text, n) : "error " + std::to_string(error);
    ::LocalFree(text);
    while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == '.')) {
        said.pop_back();
    }
    return said;
}

DWORD Milliseconds(std::chrono::nanoseconds timeout) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(timeout).count();
    return static_cast<DWORD>(std::clamp<long long>(ms, 0, 0x7FFFFFFF));
}

}  // namespace

void StartSockets() {
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
    });
}

std::string ResolveFailureText(int error) {
    return SystemText(error);
}

struct TcpSocket::State {
    ~State() {
        if (socket != INVALID_SOCKET) {
            ::closesocket(socket);
        }
        ::WSACloseEvent(ready);
        ::CloseHandle(wake);
    }
    std::string server;
    SOCKET socket = INVALID_SOCKET;
    WSAEVENT ready = ::WSACreateEvent();
    HANDLE wake = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set once a stop comes

    [[noreturn]] void Fail(const std::string& what, int error) const {
        throw PortFailure(LineError::Network, what + " " + server + ": " + SystemText(error));
    }
    // Waits for one of the network events, a stop or the timeout; the
    // events that came (0: none).
    long Await(long events, std::chrono::nanoseconds timeout, std::stop_token stop);
    int Attempt(const std::string& address, int port, std::chrono::milliseconds limit,
                std::stop_token stop);
};

long TcpSocket::State::Await(long events, std::chrono::nanoseconds timeout, std::stop_token stop) {
    ::ResetEvent(wake);
    const std::stop_callback onStop(stop, [this] { ::SetEvent(wake); });
    ::WSAEventSelect(socket, ready, events);
    const HANDLE handles[2] = {ready, wake};
    ::WaitForMultipleObjects(2, handles, FALSE, Milliseconds(timeout));
    WSANETWORKEVENTS happened{};
    ::WSAEnumNetworkEvents(socket, ready, &happened);
    if ((happened.lNetworkEvents & FD_CONNECT) != 0 && happened.iErrorCode[FD_CONNECT_BIT] != 0) {
        ::WSASetLastError(happened.iErrorCode[FD_CONNECT_BIT]);
        return -1;
    }
    return happened.lNetworkEvents;
}

int TcpSocket::State::Attempt(const std::string& address, int port, std::chrono::milliseconds limit,
                              std::stop_token stop) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return WSAEINVAL;
    }
    socket = ::socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    int error = socket == INVALID_SOCKET ? ::WSAGetLastError() : 0;
    if (socket != INVALID_SOCKET) {
        ::WSAEventSelect(socket, ready, FD_CONNECT);  // makes the socket non-blocking
        if (::connect(socket, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
            error = ::WSAGetLastError();
        }
    }
    ::freeaddrinfo(found);
    if (error == WSAEWOULDBLOCK) {
        const long events = Await(FD_CONNECT, limit, stop);
        error = events < 0              ? ::WSAGetLastError()
                : events != 0           ? 0
                : stop.stop_requested() ? WSAEINTR
                                        : WSAETIMEDOUT;
    }
    if (error != 0 && socket != INVALID_SOCKET) {
        ::closesocket(socket);
        socket = INVALID_SOCKET;
    }
    return error;
}

TcpSocket::TcpSocket(const std::string& host, int port, std::chrono::milliseconds limit,
                     std::stop_token stop)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    const Resolved resolved = ResolveHost(host, port, limit, stop);
    if (resolved.addresses.empty()) {
        throw PortFailure(LineError::Network, resolved.error);
    }
    int error = 0;
    for (const std::string& address : resolved.addresses) {
        s.server = (address.find(':') != std::string::npos ? "[" + address + "]" : address) + ":" +
                   std::to_string(port);
        error = s.Attempt(address, port, limit, stop);
        if (error == 0 || stop.stop_requested()) {
            break;
        }
    }
    if (error != 0) {
        s.Fail("cannot connect to", error);
    }
    const BOOL on = TRUE;
    ::setsockopt(s.socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
}

TcpSocket::~TcpSocket() = default;

void TcpSocket::Send(std::string_view bytes) {
    State& s = *state_;
    while (!bytes.empty()) {
        const int n = ::send(s.socket, bytes.data(), static_cast<int>(bytes.size()), 0);
        if (n >= 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
            if (s.Await(FD_WRITE | FD_CLOSE, std::chrono::milliseconds(kSendWaitMs), {}) == 0) {
                s.Fail("no room to send to", WSAETIMEDOUT);
            }
        } else {
            s.Fail("cannot send to", ::WSAGetLastError());
        }
    }
}

std::size_t TcpSocket::ReceiveInto(std::string& into, std::size_t max) {
    State& s = *state_;
    char bytes[4096];
    std::size_t taken = 0;
    while (taken < max) {
        const int n =
            ::recv(s.socket, bytes, static_cast<int>(std::min(max - taken, sizeof bytes)), 0);
        if (n > 0) {
            into.append(bytes, static_cast<std::size_t>(n));
            taken += static_cast<std::size_t>(n);
        } else if (taken > 0) {
            break;  // the end, or a failure, is met again by the next call
        } else if (n == 0) {
            throw PortFailure(LineError::Network,
                              "the server " + s.server + " closed the connection");
        } else if (::WSAGetLastError() == WSAEWOULDBLOCK) {
            break;
        } else {
            s.Fail("the connection broke to", ::WSAGetLastError());
        }
    }
    return taken;
}

bool TcpSocket::AwaitReceivable(std::chrono::nanoseconds timeout, std::stop_token stop) {
    State& s = *state_;
    // FD_READ is signalled again only after a recv: look first.
    u_long waiting = 0;
    if (::ioctlsocket(s.socket, FIONREAD, &waiting) == 0 && waiting > 0) {
        return true;
    }
    return s.Await(FD_READ | FD_CLOSE, timeout, stop) != 0;
}

}  // namespace probelyn
