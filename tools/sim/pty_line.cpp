#include "pty_line.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "line_rate.h"

namespace probelyn {

namespace {

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

PtyLine::PtyLine() {
    char name[PATH_MAX] = {};
    if (::openpty(&master_, &slave_, name, nullptr, nullptr) == -1) {
        Fail("openpty");
    }
    slave_path_ = name;
    // Raw from the start: no echo, no line editing, no translation of CR/LF,
    // and the same raw settings come back whenever the program restores them.
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

PtyLine::~PtyLine() {
    Vanish();
}

void PtyLine::LinkAt(const std::string& path) {
    // symlink() never replaces what is there: a device node, a file or
    // someone else's link at the path stays as it is.
    if (::symlink(slave_path_.c_str(), path.c_str()) == -1) {
        if (errno == EEXIST) {
            throw std::runtime_error(path +
                                     " already exists; not replacing it (remove it first if it "
                                     "is a stale link)");
        }
        Fail(("cannot place a link at " + path).c_str());
    }
    link_ = path;
}

void PtyLine::RemoveLink() {
    // Only the link this line placed, and only while it still leads here.
    char target[PATH_MAX] = {};
    const ssize_t n = ::readlink(link_.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == slave_path_) {
        ::unlink(link_.c_str());
    }
    link_.clear();
}

bool PtyLine::FramedAs(const Framing& framing) const {
    LineRates rates;
    return ReadLineRates(master_, &rates) && rates.parityOdd == (framing.parity == Parity::Odd) &&
           rates.twoStopBits == (framing.stopBits == 2);
}

int PtyLine::OutputRate() const {
    LineRates rates;
    return ReadLineRates(master_, &rates) ? rates.output : -1;
}

int PtyLine::InputRate() const {
    LineRates rates;
    return ReadLineRates(master_, &rates) ? rates.input : -1;
}

void PtyLine::Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == -1 && errno == EAGAIN) {
            pollfd p{master_, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            Fail("write to pty");
        }
    }
}

void PtyLine::Offer(const std::string& bytes) {
    [[maybe_unused]] const ssize_t n = ::write(master_, bytes.data(), bytes.size());
}

std::string PtyLine::Receive(int timeout_ms) {
    std::string out;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) {
        return out;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return out;
}

std::string PtyLine::ReceiveExactly(std::size_t n, int timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string out;
    while (out.size() < n) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            break;
        }
        out += Receive(static_cast<int>(left.count()));
    }
    return out;
}

void PtyLine::Vanish() {
    if (!link_.empty()) {
        RemoveLink();
    }
    if (master_ != -1) {
        ::close(master_);
        master_ = -1;
    }
    if (slave_ != -1) {
        ::close(slave_);
        slave_ = -1;
    }
}

}  // namespace probelyn
