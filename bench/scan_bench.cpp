// A scan of a silent line over stations 1..20 at all ten rates through the
// real window and the real serial line. Prints its duration against the sum of
// the waits the scan must make (the physical floor), the process's CPU, and
// the interval between consecutive requests at 460800 baud as the simulated
// instrument saw them (the wait there is 50 ms, 70 ms for Modbus).
#include <sys/resource.h>

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "base_time_limit.h"
#include "form1.h"
#include "instrument.h"

using namespace probelyn;

namespace {

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Case {
    const char* name;
    Protocol protocol;
    int extra_ms;
};

struct Interval {
    double mean_ms = 0;
    double p95_ms = 0;
};

// Intervals between consecutive requests at the fastest rate.
Interval FastestRateInterval(const std::vector<Instrument::Seen>& seen) {
    std::vector<double> gaps;
    for (std::size_t i = 1; i < seen.size(); ++i) {
        if (seen[i].rate == 460800 && seen[i - 1].rate == 460800) {
            gaps.push_back(
                std::chrono::duration<double, std::milli>(seen[i].at - seen[i - 1].at).count());
        }
    }
    if (gaps.empty()) {
        return {};
    }
    std::sort(gaps.begin(), gaps.end());
    double sum = 0;
    for (const double g : gaps) {
        sum += g;
    }
    return {sum / static_cast<double>(gaps.size()), gaps[gaps.size() * 95 / 100]};
}

// The window's steps, with no question whether to scan on.
class NoExtendedScan : public ScanSteps {
  public:
    explicit NoExtendedScan(ScanSteps& window) : window_(window) {}
    void Progress(const ScanStep& step) override { window_.Progress(step); }
    void TurnEventLoop() override { window_.TurnEventLoop(); }
    void Report(const Notice& notice) override { window_.Report(notice); }
    bool AskExtendedScan() override { return false; }

  private:
    ScanSteps& window_;
};

// Scans a line on which an instrument of the case's protocol stays silent.
void Measure(Form1& window, const std::string& device, const Case& c) {
    Instrument line({.protocol = c.protocol, .baud = 9600, .station = 999});
    line.LinkAt(device);
    constexpr int kStations = 20;
    double floor_ms = 0;
    for (const int rate : kScanRates) {
        floor_ms += kStations * (BaseTimeLimit(rate) + c.extra_ms);
    }
    const double cpu_before = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    ScanPlan plan;
    plan.protocols = {c.protocol};
    plan.lastStation = kStations;
    NoExtendedScan steps(window.Steps());
    window.Scan().DetectNow(plan, steps, {});
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    const double cpu = ProcessCpuSeconds() - cpu_before;
    const Interval interval = FastestRateInterval(line.RequestsSeen());
    std::printf("%-8s %10.1f ms %10.1f ms %10.4f %9.2f %% %9.3f ms %9.3f ms\n", c.name,
                spent.count(), floor_ms, spent.count() / floor_ms,
                cpu * 1000.0 / spent.count() * 100.0, interval.mean_ms, interval.p95_ms);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    auto startUp =
        std::make_unique<Instrument>(InstrumentConfig{.protocol = Protocol::Ascii, .baud = 9600});
    const std::string device = dir.filePath("ttyUSB0").toStdString();
    startUp->LinkAt(device);
    Form1 window(nullptr, ComPortNames::FromDevices({device}));
    if (!window.Load()) {
        return 1;
    }
    startUp.reset();  // each measurement links its own instrument there
    std::printf("Silent line, stations 1-20, ten rates, real window and line\n");
    std::printf("%-8s %13s %13s %10s %11s %12s %12s\n", "probe", "measured", "floor", "ratio",
                "CPU", "460800 mean", "460800 p95");
    Measure(window, device, {"ASCII", Protocol::Ascii, 0});
    Measure(window, device, {"Modbus", Protocol::Modbus, 20});
    Measure(window, device, {"LyraBus", Protocol::LyraBus, 0});
    return 0;
}
