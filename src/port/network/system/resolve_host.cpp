// Name resolution, bounded: the system's resolver runs in a thread of its
// own, which is left to finish alone when the time is up or a stop comes.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "socket_system.h"
#include "tcp_socket.h"

namespace probelyn {

namespace {

struct Lookup {
    std::mutex mutex;
    std::condition_variable_any done;
    bool finished = false;
    Resolved result;
};

// The address as digits, without the port.
std::string NumericAddress(const sockaddr* address, socklen_t length) {
    char host[NI_MAXHOST] = "";
    ::getnameinfo(address, length, host, sizeof host, nullptr, 0, NI_NUMERICHOST);
    return host;
}

Resolved Look(const std::string& host, int port) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (error != 0) {
        return {{}, "cannot resolve " + host + ": " + ResolveFailureText(error)};
    }
    Resolved resolved;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        resolved.addresses.push_back(
            NumericAddress(a->ai_addr, static_cast<socklen_t>(a->ai_addrlen)));
    }
    ::freeaddrinfo(found);
    return resolved;
}

}  // namespace

Resolved ResolveHost(const std::string& host, int port, std::chrono::milliseconds limit,
                     std::stop_token stop) {
    StartSockets();
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port] {
        Resolved result = Look(host, port);
        const std::lock_guard<std::mutex> lock(lookup->mutex);
        lookup->result = std::move(result);
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->done.wait_for(lock, stop, limit, [&] { return lookup->finished; })) {
        return {{},
                stop.stop_requested() ? "stopped while resolving " + host
                                      : "cannot resolve " + host + ": no answer within " +
                                            std::to_string(limit.count() / 1000) + " s"};
    }
    return lookup->result;
}

}  // namespace probelyn
