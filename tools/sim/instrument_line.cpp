#include "instrument_line.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "com_port_codec.h"
#include "com_port_server.h"
#include "network_name.h"
#include "pty_line.h"

namespace probelyn {

namespace {

class PtyInstrument : public InstrumentLine {
  public:
    const std::string& Name() const override { return line_.SlavePath(); }
    void LinkAt(const std::string& path) override { line_.LinkAt(path); }
    std::vector<int> Descriptors() const override { return {line_.MasterFd()}; }
    std::string Receive() override { return line_.Receive(0); }
    int Rate() const override { return line_.OutputRate(); }
    bool FramedAs(const Framing& framing) const override { return line_.FramedAs(framing); }
    void Send(const std::string& bytes) override { line_.Send(bytes); }
    void Offer(const std::string& bytes) override { line_.Offer(bytes); }
    void Vanish() override { line_.Vanish(); }

  private:
    PtyLine line_;
};

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

// A listening socket on the numeric address; the port it got.
int Listen(const NetworkAddress& address, int* port) {
    const bool v6 = address.host.find(':') != std::string::npos;
    sockaddr_storage storage{};
    socklen_t length = 0;
    auto* any = reinterpret_cast<sockaddr*>(&storage);
    if (v6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<std::uint16_t>(address.port));
        length =
            ::inet_pton(AF_INET6, address.host.c_str(), &in6->sin6_addr) == 1 ? sizeof *in6 : 0;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(static_cast<std::uint16_t>(address.port));
        length = ::inet_pton(AF_INET, address.host.c_str(), &in4->sin_addr) == 1 ? sizeof *in4 : 0;
    }
    if (length == 0) {
        throw std::runtime_error("serve on a numeric address, such as 127.0.0.1, not " +
                                 address.host);
    }
    const int fd = ::socket(any->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (fd == -1 || ::bind(fd, any, length) == -1 || ::listen(fd, 4) == -1 ||
        ::getsockname(fd, any, &length) == -1) {
        Fail("cannot serve on " + ServerText(address));
    }
    *port = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(any)->sin6_port
                     : reinterpret_cast<sockaddr_in*>(any)->sin_port);
    return fd;
}

class ServedInstrument : public InstrumentLine {
  public:
    explicit ServedInstrument(const ServeOptions& options) : options_(options) {
        // Port 0, which no line is named with, asks for a free one.
        const bool anyPort = options.name.ends_with(":0");
        const ParsedAddress parsed = ParseNetworkName(anyPort ? options.name + "1" : options.name);
        if (!parsed.address) {
            throw std::runtime_error(parsed.error);
        }
        NetworkAddress address = *parsed.address;
        address.port = anyPort ? 0 : address.port;
        rfc2217_ = address.kind == NetworkAddress::Kind::Rfc2217;
        listener_ = Listen(address, &address.port);
        name_ = (rfc2217_ ? "rfc2217://" : "tcp://") + ServerText(address);
    }
    ~ServedInstrument() override { Vanish(); }

    const std::string& Name() const override { return name_; }
    void LinkAt(const std::string&) override {
        throw std::runtime_error("a line behind a server has no device to link");
    }
    std::vector<int> Descriptors() const override {
        std::vector<int> fds{listener_};
        if (client_ != -1) {
            fds.push_back(client_);
        }
        return fds;
    }
    std::string Receive() override;
    int Rate() const override { return rfc2217_ ? server_.Baud() : options_.baud; }
    bool FramedAs(const Framing& framing) const override {
        return rfc2217_ ? server_.EightBits() && server_.LineFraming() == framing
                        : options_.framing == framing;
    }
    void Send(const std::string& bytes) override { Put(Escaped(bytes), true); }
    void Offer(const std::string& bytes) override { Put(Escaped(bytes), false); }
    void Vanish() override {
        Drop();
        if (listener_ != -1) {
            ::close(listener_);
            listener_ = -1;
        }
    }

  private:
    std::string Escaped(const std::string& bytes) const {
        return rfc2217_ ? ComPortCodec::Escaped(bytes) : bytes;
    }
    void Accept();
    void Drop() {
        if (client_ != -1) {
            ::close(client_);
            client_ = -1;
        }
    }
    // Sends to the program; waiting for room only when `wait`.
    void Put(const std::string& bytes, bool wait);

    ServeOptions options_;
    bool rfc2217_ = true;
    std::string name_;
    int listener_ = -1;
    int client_ = -1;
    ComPortServer server_;
};

void ServedInstrument::Accept() {
    const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd == -1) {
        return;
    }
    Drop();  // the newest program has the line
    client_ = fd;
    const int on = 1;
    ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    server_ = ComPortServer();
    server_.answerPurges = options_.answerPurges;
}

std::string ServedInstrument::Receive() {
    Accept();
    std::string data;
    char bytes[4096];
    while (client_ != -1) {
        const ssize_t n = ::recv(client_, bytes, sizeof bytes, 0);
        if (n <= 0) {
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                Drop();  // the program closed the connection
            }
            break;
        }
        const std::string_view received(bytes, static_cast<std::size_t>(n));
        if (!rfc2217_) {
            data.append(received);
            continue;
        }
        const std::string reply = server_.Take(received, data);
        if (!reply.empty()) {
            Put(reply, true);
        }
    }
    return data;
}

void ServedInstrument::Put(const std::string& bytes, bool wait) {
    std::size_t done = 0;
    while (client_ != -1 && done < bytes.size()) {
        const ssize_t n = ::send(client_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == -1 && errno == EAGAIN && wait) {
            pollfd room{client_, POLLOUT, 0};
            ::poll(&room, 1, 100);
        } else if (n == -1 && errno == EAGAIN) {
            return;  // what does not fit is lost, as noise on a wire
        } else {
            Drop();
        }
    }
}

}  // namespace

std::unique_ptr<InstrumentLine> PtyInstrumentLine() {
    return std::make_unique<PtyInstrument>();
}

std::unique_ptr<InstrumentLine> ServedInstrumentLine(const ServeOptions& options) {
    return std::make_unique<ServedInstrument>(options);
}

}  // namespace probelyn
