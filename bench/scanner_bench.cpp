// probelyn-scan on 1, 2, 4 and 8 silent lines at once (stations 1-20 at
// 460800 baud, LyraBus): wall time as a ratio to one line, and CPU per line.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "instrument.h"
#include "temp_folder.h"

using namespace probelyn;

namespace {

double ChildCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

struct Figures {
    double wall_s;
    double cpu_s;
};

Figures Scan(const std::vector<std::string>& devices) {
    std::vector<std::string> args{PROBELYN_SCAN, "--quiet",   "--protocol", "lyrabus",   "--rate",
                                  "460800",      "--station", "1-20",       "--framing", "8N1"};
    for (const std::string& device : devices) {
        args.insert(args.end(), {"--port", device});
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const double cpu_before = ChildCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    posix_spawn(&pid, PROBELYN_SCAN, nullptr, nullptr, argv.data(), environ);
    waitpid(pid, nullptr, 0);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            ChildCpuSeconds() - cpu_before};
}

}  // namespace

int main() {
    const TempFolder dir;
    std::vector<std::unique_ptr<Instrument>> instruments;
    std::vector<std::string> devices;
    for (int i = 0; i < 8; ++i) {
        instruments.push_back(std::make_unique<Instrument>(
            InstrumentConfig{.protocol = Protocol::LyraBus, .baud = 460800, .station = 99}));
        devices.push_back(dir.FilePath("ttyBench" + std::to_string(i)));
        instruments.back()->LinkAt(devices.back());
    }
    std::printf("probelyn-scan, silent lines, stations 1-20 at 460800 baud, LyraBus\n");
    std::printf("%6s %10s %14s %14s\n", "lines", "wall", "ratio to one", "CPU per line");
    double one = 0;
    for (const std::size_t n : {1, 2, 4, 8}) {
        const Figures f = Scan({devices.begin(), devices.begin() + static_cast<long>(n)});
        one = n == 1 ? f.wall_s : one;
        std::printf("%6zu %8.3f s %14.3f %12.1f ms\n", n, f.wall_s, f.wall_s / one,
                    f.cpu_s * 1000.0 / static_cast<double>(n));
    }
    return 0;
}
