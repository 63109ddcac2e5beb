// Probes against the simulator on a pseudo-terminal through the real line.
// Prints, for the blocking wait and for a spinning wait side by side:
//   - the time from the reply's last byte to the probe's verdict (median, p99)
//   - the CPU time the scanning thread uses per second of waiting with no reply
//   - how far a wait with no reply overshoots its time limit (median, max)
// and, for the blocking wait, the CPU a scan of silent stations uses on a
// silent line and on one that picks up 40 random bytes a second.
#include <time.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "instrument.h"
#include "port_line.h"
#include "probes.h"
#include "pty_line.h"

using namespace probelyn;

namespace {

using Steady = std::chrono::steady_clock;
constexpr int kFinds = 500;
constexpr int kSilentProbes = 40;
constexpr int kT = 50;

// The line as a wait that never blocks sees it: every wait returns at once,
// so the reply wait polls the count in a tight loop.
class SpinningLine : public PortLine {
  public:
    using PortLine::PortLine;
    bool WaitForInput(std::chrono::nanoseconds, std::stop_token) override { return false; }
};

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Figures {
    double median_us = 0;
    double p99_us = 0;
    double cpu_share = 0;
    double overshoot_median_us = 0;
    double overshoot_max_us = 0;
};

// The probes on a line to the device, open at 115200 baud.
template <typename Line>
struct Prober {
    explicit Prober(const std::string& device) : line(ComPortNames::FromDevices({device})) {
        line.Open({.line = {.com = 1}, .baud = 115200});
    }

    Line line;
    SteadyClock clock;
    ReplyWait wait{line, clock};
    Probes probes{line, wait};
};

template <typename Line>
Figures Measure() {
    Instrument instrument({.protocol = Protocol::LyraBus, .baud = 115200, .station = 9});
    Prober<Line> prober(instrument.Device());
    Line& line = prober.line;
    Probes& probes = prober.probes;

    std::vector<double> latencies;
    for (int i = 0; i < kFinds; ++i) {
        const bool found = probes.ProbeLyraBus(9, kT);
        const Steady::time_point verdict = Steady::now();
        if (found) {
            latencies.push_back(
                std::chrono::duration<double, std::micro>(verdict - instrument.LastAnswerAt())
                    .count());
        }
        line.DiscardInput();
    }
    std::sort(latencies.begin(), latencies.end());

    const double cpu_before = ThreadCpuSeconds();
    const Steady::time_point wall_before = Steady::now();
    std::vector<double> overshoots;
    for (int i = 0; i < kSilentProbes; ++i) {
        const Steady::time_point start = Steady::now();
        probes.ProbeLyraBus(10, kT);
        const std::chrono::duration<double, std::micro> spent = Steady::now() - start;
        overshoots.push_back(spent.count() - kT * 1000.0);
        line.DiscardInput();
    }
    std::sort(overshoots.begin(), overshoots.end());
    const double wall = std::chrono::duration<double>(Steady::now() - wall_before).count();

    Figures f;
    if (!latencies.empty()) {
        f.median_us = latencies[latencies.size() / 2];
        f.p99_us = latencies[latencies.size() * 99 / 100];
    }
    f.cpu_share = (ThreadCpuSeconds() - cpu_before) / wall;
    f.overshoot_median_us = overshoots[overshoots.size() / 2];
    f.overshoot_max_us = overshoots.back();
    std::printf("  (%zu of %d probes found)\n", latencies.size(), kFinds);
    return f;
}

// Stray bytes on the line, as a cable picking up interference delivers them.
class Interference {
  public:
    Interference(PtyLine& pty, int bytesPerSecond)
        : pty_(pty), gap_(std::chrono::microseconds(1000000 / bytesPerSecond)) {
        thread_ = std::thread([this] { Run(); });
    }
    ~Interference() {
        running_ = false;
        thread_.join();
    }

  private:
    void Run() {
        std::mt19937 random(4242);
        while (running_) {
            const char byte = static_cast<char>(random());
            [[maybe_unused]] const ssize_t n = ::write(pty_.MasterFd(), &byte, 1);
            std::this_thread::sleep_for(gap_);
        }
    }

    PtyLine& pty_;
    std::chrono::microseconds gap_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

// CPU share of one core while LyraBus probes stations that do not answer,
// discarding after each miss as the scan does.
double ScanCpuShare(int noiseBytesPerSecond) {
    constexpr int kStations = 100;
    PtyLine pty;
    Prober<PortLine> prober(pty.SlavePath());
    std::unique_ptr<Interference> noise;
    if (noiseBytesPerSecond > 0) {
        noise = std::make_unique<Interference>(pty, noiseBytesPerSecond);
    }
    const double cpu_before = ThreadCpuSeconds();
    const Steady::time_point wall_before = Steady::now();
    for (int station = 1; station <= kStations; ++station) {
        prober.probes.ProbeLyraBus(station, kT);
        prober.line.DiscardInput();
    }
    const double wall = std::chrono::duration<double>(Steady::now() - wall_before).count();
    return (ThreadCpuSeconds() - cpu_before) / wall;
}

}  // namespace

int main() {
    std::printf("LyraBus probes at 115200 baud on a pty, T = %d ms\n", kT);
    const Figures blocking = Measure<PortLine>();
    const Figures spinning = Measure<SpinningLine>();
    std::printf("%-44s %12s %12s\n", "", "blocking", "spinning");
    std::printf("%-44s %9.1f us %9.1f us\n", "last reply byte -> verdict, median",
                blocking.median_us, spinning.median_us);
    std::printf("%-44s %9.1f us %9.1f us\n", "last reply byte -> verdict, p99", blocking.p99_us,
                spinning.p99_us);
    std::printf("%-44s %10.2f %% %10.2f %%\n", "CPU of one core while waiting, no reply",
                blocking.cpu_share * 100, spinning.cpu_share * 100);
    std::printf("%-44s %9.1f us %9.1f us\n", "silent wait past its limit, median",
                blocking.overshoot_median_us, spinning.overshoot_median_us);
    std::printf("%-44s %9.1f us %9.1f us\n", "silent wait past its limit, max",
                blocking.overshoot_max_us, spinning.overshoot_max_us);
    std::printf("\nScan of 100 silent LyraBus stations at 115200 baud, blocking wait\n");
    std::printf("%-44s %10.2f %%\n", "CPU of one core, silent line", ScanCpuShare(0) * 100);
    std::printf("%-44s %10.2f %%\n", "CPU of one core, 40 random bytes a second",
                ScanCpuShare(40) * 100);
    return 0;
}
