// False finds on a line that carries uniformly random bytes and no instrument:
// each probe through the real serial line on a pseudo-terminal, judged as the
// scan judges it. Prints the finds per million probes for each protocol, the
// ASCII probe alone and with its confirming second probe.
//   noise_bench [PROBES]   (default 300000 for each protocol)
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>

#include "port_line.h"
#include "probes.h"
#include "pty_line.h"

using namespace probelyn;

namespace {

constexpr int kT = 50;

// Keeps the line's receive queue topped up with random bytes.
class NoiseSource {
  public:
    explicit NoiseSource(PtyLine& pty) : pty_(pty), thread_([this] { Run(); }) {}
    ~NoiseSource() {
        running_ = false;
        thread_.join();
    }

  private:
    void Run() {
        std::mt19937 random(12345);
        std::uniform_int_distribution<int> byte(0, 255);
        char chunk[64];
        while (running_) {
            for (char& c : chunk) {
                c = static_cast<char>(byte(random));
            }
            if (::write(pty_.MasterFd(), chunk, sizeof chunk) <= 0) {
                sched_yield();  // the queue is full
            }
        }
    }

    PtyLine& pty_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

struct Counts {
    long probes = 0;
    long finds = 0;
    long confirmed = 0;
};

double PerMillion(long finds, long probes) {
    return probes == 0 ? 0.0 : static_cast<double>(finds) * 1e6 / static_cast<double>(probes);
}

}  // namespace

int main(int argc, char* argv[]) {
    const long probes = argc > 1 ? std::atol(argv[1]) : 300000;
    PtyLine pty;
    PortLine line(ComPortNames::FromDevices({pty.SlavePath()}));
    if (line.Open({.line = {.com = 1}, .baud = 460800}) != 1) {
        return 1;
    }
    SteadyClock clock;
    ReplyWait wait(line, clock);
    Probes probe(line, wait);
    NoiseSource noise(pty);

    Counts ascii;
    Counts modbus;
    Counts lyrabus;
    for (long i = 0; i < probes; ++i) {
        const int station = static_cast<int>(i % 255) + 1;
        ++ascii.probes;
        if (probe.ProbeAscii(station, kT)) {
            ++ascii.finds;
            ascii.confirmed += probe.ConfirmAscii(station, kT) ? 1 : 0;
        }
        line.DiscardInput();
        ++modbus.probes;
        modbus.finds += probe.ProbeModbus(station, kT) ? 1 : 0;
        line.DiscardInput();
        ++lyrabus.probes;
        lyrabus.finds += probe.ProbeLyraBus(station, kT) ? 1 : 0;
        line.DiscardInput();
    }
    std::printf("Uniform random bytes, no instrument, %ld probes of each protocol\n", probes);
    std::printf("%-22s %12s %18s\n", "probe", "false finds", "per million probes");
    std::printf("%-22s %12ld %18.2f\n", "ASCII, one probe", ascii.finds,
                PerMillion(ascii.finds, ascii.probes));
    std::printf("%-22s %12ld %18.2f\n", "ASCII, confirmed", ascii.confirmed,
                PerMillion(ascii.confirmed, ascii.probes));
    std::printf("%-22s %12ld %18.2f\n", "Modbus", modbus.finds,
                PerMillion(modbus.finds, modbus.probes));
    std::printf("%-22s %12ld %18.2f\n", "LyraBus", lyrabus.finds,
                PerMillion(lyrabus.finds, lyrabus.probes));
    return 0;
}
