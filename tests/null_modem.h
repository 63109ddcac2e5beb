#pragma once

#include <poll.h>
#include <unistd.h>

#include <thread>

#include "line_rate.h"
#include "pty_line.h"

namespace probelyn {

// Two serial devices joined by a cable, as two pseudo-terminals whose other
// sides a thread joins: what one program writes on one device, a program
// that holds the other receives, while both are set to the same rate (at
// different rates a UART receives nothing it could use). For peers that
// open a device by name.
class NullModem {
  public:
    NullModem() : thread_([this] { Relay(); }) {}
    ~NullModem() {
        const char stop = 's';
        [[maybe_unused]] const ssize_t n = ::write(wake_.fds[1], &stop, 1);
        thread_.join();
    }
    NullModem(const NullModem&) = delete;
    NullModem& operator=(const NullModem&) = delete;

    const std::string& One() const { return one_.SlavePath(); }
    // The rate the program that holds the first device set it to.
    int OneRate() const { return Rate(one_); }
    const std::string& Other() const { return other_.SlavePath(); }

  private:
    struct Pipe {
        Pipe() { [[maybe_unused]] const int made = ::pipe(fds); }
        ~Pipe() {
            ::close(fds[0]);
            ::close(fds[1]);
        }
        int fds[2] = {-1, -1};
    };

    static int Rate(const PtyLine& line) {
        LineRates rates;
        return ReadLineRates(line.MasterFd(), &rates) ? rates.output : -1;
    }
    void Relay() {
        for (;;) {
            pollfd fds[3] = {{one_.MasterFd(), POLLIN, 0},
                             {other_.MasterFd(), POLLIN, 0},
                             {wake_.fds[0], POLLIN, 0}};
            if (::poll(fds, 3, -1) == -1 || fds[2].revents != 0) {
                return;
            }
            Pass(fds[0].revents, one_, other_);
            Pass(fds[1].revents, other_, one_);
        }
    }
    static void Pass(short events, PtyLine& from, PtyLine& to) {
        if ((events & POLLIN) == 0) {
            return;
        }
        const std::string bytes = from.Receive(0);
        if (Rate(from) == Rate(to)) {
            to.Offer(bytes);
        }
    }

    PtyLine one_;
    PtyLine other_;
    Pipe wake_;
    std::thread thread_;
};

}  // namespace probelyn
