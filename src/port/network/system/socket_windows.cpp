#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h, which must come before windows.h.
#include <windows.h>

#include <algorithm>
#include <mutex>

#include "socket_system.h"
#include "stop_event.h"

namespace probelyn {

namespace {

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
    return SystemSocket::Text(error);
}

struct SystemSocket::Handles {
    ~Handles() {
        if (socket != INVALID_SOCKET) {
            ::closesocket(socket);
        }
        ::WSACloseEvent(ready);
    }
    SOCKET socket = INVALID_SOCKET;
    WSAEVENT ready = ::WSACreateEvent();
    StopEvent stop;        // set once a stop comes
    int connectError = 0;  // how the connection under way ended
};

SystemSocket::SystemSocket() : handles_(std::make_unique<Handles>()) {
    StartSockets();
}

SystemSocket::~SystemSocket() = default;

int SystemSocket::Connect(const std::string& address, int port, bool* pending) {
    Handles& h = *handles_;
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return WSAEINVAL;
    }
    h.socket = ::socket(found->ai_family, SOCK_STREAM, IPPROTO_TCP);
    int error = h.socket == INVALID_SOCKET ? ::WSAGetLastError() : 0;
    if (h.socket != INVALID_SOCKET) {
        ::WSAEventSelect(h.socket, h.ready, FD_CONNECT);  // makes the socket non-blocking
        if (::connect(h.socket, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
            error = ::WSAGetLastError();
        }
    }
    ::freeaddrinfo(found);
    *pending = error == WSAEWOULDBLOCK;
    return *pending ? 0 : error;
}

bool SystemSocket::Await(bool write, std::chrono::nanoseconds timeout, std::stop_token stop) {
    Handles& h = *handles_;
    if (!write) {
        // FD_READ is signalled again only after a recv: look first.
        u_long waiting = 0;
        if (::ioctlsocket(h.socket, FIONREAD, &waiting) == 0 && waiting > 0) {
            return true;
        }
    }
    h.stop.Arm(stop);
    ::WSAEventSelect(h.socket, h.ready,
                     write ? FD_CONNECT | FD_WRITE | FD_CLOSE : FD_READ | FD_CLOSE);
    const HANDLE handles[2] = {h.ready, reinterpret_cast<HANDLE>(h.stop.Native())};
    ::WaitForMultipleObjects(2, handles, FALSE, Milliseconds(timeout));
    WSANETWORKEVENTS happened{};
    ::WSAEnumNetworkEvents(h.socket, h.ready, &happened);
    if ((happened.lNetworkEvents & FD_CONNECT) != 0) {
        h.connectError = happened.iErrorCode[FD_CONNECT_BIT];
    }
    return happened.lNetworkEvents != 0;
}

int SystemSocket::ConnectResult() {
    return handles_->connectError;
}

void SystemSocket::NoDelay() {
    const BOOL on = TRUE;
    ::setsockopt(handles_->socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                 sizeof on);
}

void SystemSocket::Close() {
    if (handles_->socket != INVALID_SOCKET) {
        ::closesocket(handles_->socket);
        handles_->socket = INVALID_SOCKET;
    }
}

long SystemSocket::Send(const char* bytes, std::size_t size, int* error) {
    const int n = ::send(handles_->socket, bytes, static_cast<int>(size), 0);
    *error = n < 0 ? ::WSAGetLastError() : 0;
    return n;
}

long SystemSocket::Receive(char* bytes, std::size_t size, int* error) {
    const int n = ::recv(handles_->socket, bytes, static_cast<int>(size), 0);
    *error = n < 0 ? ::WSAGetLastError() : 0;
    return n;
}

bool SystemSocket::WouldBlock(int error) {
    return error == WSAEWOULDBLOCK;
}

bool SystemSocket::Interrupted(int error) {
    return error == WSAEINTR;
}

int SystemSocket::TimedOut() {
    return WSAETIMEDOUT;
}

int SystemSocket::Cancelled() {
    return WSAEINTR;
}

std::string SystemSocket::Text(int error) {
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

}  // namespace probelyn
