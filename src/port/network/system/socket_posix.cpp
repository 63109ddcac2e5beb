#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "port_failure.h"
#include "socket_system.h"
#include "stop_event.h"

namespace probelyn {

void StartSockets() {}

std::string ResolveFailureText(int error) {
    return ::gai_strerror(error);
}

struct SystemSocket::Handles {
    ~Handles() {
        if (fd != -1) {
            ::close(fd);
        }
    }
    int fd = -1;
    StopEvent stop;  // readable once a stop comes
};

SystemSocket::SystemSocket() : handles_(std::make_unique<Handles>()) {}

SystemSocket::~SystemSocket() = default;

int SystemSocket::Connect(const std::string& address, int port, bool* pending) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        return EINVAL;
    }
    int& fd = handles_->fd;
    fd = ::socket(found->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int error = fd == -1 ? errno : 0;
    if (fd != -1 && ::connect(fd, found->ai_addr, found->ai_addrlen) == -1) {
        error = errno;
    }
    ::freeaddrinfo(found);
    *pending = error == EINPROGRESS;
    return *pending ? 0 : error;
}

bool SystemSocket::Await(bool write, std::chrono::nanoseconds timeout, std::stop_token stop) {
    Handles& h = *handles_;
    h.stop.Arm(stop);
    const auto whole = std::chrono::duration_cast<std::chrono::seconds>(timeout);
    const timespec limit{static_cast<time_t>(whole.count()),
                         static_cast<long>((timeout - whole).count())};
    const short wanted = write ? POLLOUT : POLLIN;
    pollfd fds[2] = {{h.fd, wanted, 0}, {static_cast<int>(h.stop.Native()), POLLIN, 0}};
    if (::ppoll(fds, 2, &limit, nullptr) == -1 && errno != EINTR) {
        throw PortFailure(LineError::Network, std::strerror(errno));
    }
    return (fds[0].revents & (wanted | POLLHUP | POLLERR)) != 0;
}

int SystemSocket::ConnectResult() {
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(handles_->fd, SOL_SOCKET, SO_ERROR, &error, &length);
    return error;
}

void SystemSocket::NoDelay() {
    const int on = 1;
    ::setsockopt(handles_->fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void SystemSocket::Close() {
    if (handles_->fd != -1) {
        ::close(handles_->fd);
        handles_->fd = -1;
    }
}

long SystemSocket::Send(const char* bytes, std::size_t size, int* error) {
    const ssize_t n = ::send(handles_->fd, bytes, size, MSG_NOSIGNAL);
    *error = n < 0 ? errno : 0;
    return n;
}

long SystemSocket::Receive(char* bytes, std::size_t size, int* error) {
    const ssize_t n = ::recv(handles_->fd, bytes, size, 0);
    *error = n < 0 ? errno : 0;
    return n;
}

bool SystemSocket::WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool SystemSocket::Interrupted(int error) {
    return error == EINTR;
}

int SystemSocket::TimedOut() {
    return ETIMEDOUT;
}

int SystemSocket::Cancelled() {
    return ECANCELED;
}

std::string SystemSocket::Text(int error) {
    return std::strerror(error);
}

}  // namespace probelyn
