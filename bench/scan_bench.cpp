// A scan of a silent line over stations 1..20 at all ten rates through the
// real window and the real serial line. Prints its duration against the sum of
// the waits the scan must make (the physical floor), and the process's CPU.
#include <sys/resource.h>

#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>

#include "base_time_limit.h"
#include "form1.h"
#include "instrument.h"

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
    bool lyrabus;
    bool ascii;
    bool modbus;
    int extra_ms;
};

void Measure(Form1& window, const Case& c) {
    constexpr int kStations = 20;
    double floor_ms = 0;
    for (int i = 12; i >= 3; --i) {
        floor_ms +=
            kStations * (BaseTimeLimit(kBaudTable[static_cast<std::size_t>(i)]) + c.extra_ms);
    }
    const double cpu_before = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    window.Scan().DetectionEngine(1, kStations, c.lyrabus, c.ascii, c.modbus);
    const std::chrono::duration<double, std::milli> spent =
        std::chrono::steady_clock::now() - start;
    const double cpu = ProcessCpuSeconds() - cpu_before;
    std::printf("%-8s %10.1f ms %10.1f ms %10.4f %9.2f %%\n", c.name, spent.count(), floor_ms,
                spent.count() / floor_ms, cpu * 1000.0 / spent.count() * 100.0);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    Instrument silent({.protocol = Protocol::Ascii, .baud = 9600, .station = 999});
    const std::string device = dir.filePath("ttyUSB0").toStdString();
    silent.LinkAt(device);
    Form1 window(nullptr, ComPortNames::FromDevices({device}));
    if (!window.Load()) {
        return 1;
    }
    std::printf("Silent line, stations 1-20, ten rates, real window and line\n");
    std::printf("%-8s %13s %13s %10s %11s\n", "probe", "measured", "floor", "ratio", "CPU");
    Measure(window, {"ASCII", false, true, false, 0});
    Measure(window, {"Modbus", false, false, true, 20});
    Measure(window, {"LyraBus", true, false, false, 0});
    return 0;
}
