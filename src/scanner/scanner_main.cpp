// probelyn-scan: finds the protocol, rate and station of the instruments on
// one or more serial lines, for scripts, gateways and terminals.
#include <unistd.h>

#include <QCoreApplication>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "com_port_names.h"
#include "device_catalogue.h"
#include "end_signals.h"
#include "line_scan.h"
#include "port_discovery.h"
#include "serial_line.h"

namespace {

constexpr int kUsageError = 2;

// Start-up discovery as the window runs it, telling why a device is unusable.
class ListingHost : public DiscoveryHost {
  public:
    explicit ListingHost(const ComPortNames& names) : names_(names) {}
    void SetStatus(const std::string&) override {}
    void AddPort(int n) override { listed.push_back(n); }
    void NotListed(int n, const ErrorRecord& error) override {
        std::fprintf(stderr, "probelyn-scan: not usable: %s: %s\n",
                     names_.DeviceFor(n).value_or("COM" + std::to_string(n)).c_str(),
                     error.description.c_str());
    }
    void ServiceEvents() override {}

    std::vector<int> listed;

  private:
    const ComPortNames& names_;
};

std::vector<int> DiscoveredLines(const ComPortNames& names) {
    SerialLine line(names);
    PortAccess access(line);
    ListingHost host(names);
    DiscoverPorts(access, host);
    access.ClosePort();
    return host.listed;
}

int ListPorts() {
    const ComPortNames names = ComPortNames::System();
    const DeviceCatalogue catalogue;
    for (const int n : DiscoveredLines(names)) {
        std::string about = catalogue.Describe(*names.DeviceFor(n));
        std::replace(about.begin(), about.end(), '\n', ' ');
        std::printf("COM%d %s\n", n, about.c_str());
    }
    return 0;
}

// The COM number the window gives the device, if any.
std::optional<int> ComOf(const ComPortNames& names, const std::string& device) {
    std::error_code error;
    const auto target = std::filesystem::canonical(device, error);
    for (int n = 1; n <= kHighestComPort; ++n) {
        const std::optional<std::string> known = names.DeviceFor(n);
        if (known &&
            (*known == device || (!error && std::filesystem::canonical(*known, error) == target))) {
            return n;
        }
    }
    return std::nullopt;
}

// The lines to scan: those given, COMn as the window numbers them, or every
// line discovery lists. Empty, with the reason said, when there are none.
std::vector<LineName> LinesToScan(const ScanOptions& options) {
    const ComPortNames names = ComPortNames::System();
    std::vector<LineName> lines;
    if (options.ports.empty()) {
        for (const int n : DiscoveredLines(names)) {
            lines.push_back({*names.DeviceFor(n), n});
        }
        if (lines.empty()) {
            std::fprintf(stderr, "probelyn-scan: no serial line found to scan\n");
        }
        return lines;
    }
    for (const std::string& port : options.ports) {
        int n = 0;
        if (std::sscanf(port.c_str(), "COM%d", &n) == 1 && "COM" + std::to_string(n) == port) {
            const std::optional<std::string> device = names.DeviceFor(n);
            if (!device) {
                std::fprintf(stderr, "probelyn-scan: %s has no serial device\n", port.c_str());
                return {};
            }
            lines.push_back({*device, n});
        } else {
            lines.push_back({port, ComOf(names, port)});
        }
    }
    return lines;
}

// Rate, station, share done and time left, on one line of the terminal.
void ShowProgress(const std::vector<std::unique_ptr<LineProgress>>& progress,
                  std::chrono::steady_clock::time_point start) {
    long done = 0;
    long total = 0;
    for (const auto& p : progress) {
        done += p->done;
        total += p->total;
    }
    const double share = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0;
    const double spent =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double left = share > 0 ? spent * (1 - share) / share : 0;
    if (done == 0) {
        return;  // nothing tried yet
    }
    std::fprintf(stderr, "\r\033[K%d baud, station %d, %.0f %% done, %.0f s left",
                 progress.front()->baud.load(), progress.front()->station.load(), share * 100,
                 left);
}

// Runs every line's scan in a thread of its own, and paints the progress on
// the terminal meanwhile when asked to.
void RunAll(const std::vector<std::unique_ptr<LineScan>>& scans,
            const std::vector<std::unique_ptr<LineProgress>>& progress, bool showProgress) {
    // Qt's serial line wants a thread of Qt's making.
    std::vector<std::unique_ptr<QThread>> workers;
    for (const auto& scan : scans) {
        workers.emplace_back(QThread::create([&scan] { scan->Run(); }));
        workers.back()->start();
    }
    std::atomic<bool> finished{false};
    std::thread painter([&] {
        const auto start = std::chrono::steady_clock::now();
        while (showProgress && !finished) {
            ShowProgress(progress, start);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    for (const auto& worker : workers) {
        worker->wait();
    }
    finished = true;
    painter.join();
    if (showProgress) {
        std::fprintf(stderr, "\r\033[K");
    }
}

int Scan(const ScanOptions& options) {
    const std::vector<LineName> lines = LinesToScan(options);
    if (lines.empty()) {
        return kUsageError;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> traceFile(nullptr, &std::fclose);
    if (!options.trace.empty()) {
        traceFile.reset(std::fopen(options.trace.c_str(), "w"));
        if (!traceFile) {
            std::fprintf(stderr, "probelyn-scan: cannot write the trace %s\n",
                         options.trace.c_str());
            return kUsageError;
        }
    }
    TraceFile trace(traceFile.get());
    ScanReport report(options.json, stdout, stderr);
    std::stop_source stop;
    EndSignals endSignals(stop);
    std::vector<std::unique_ptr<LineProgress>> progress;
    std::vector<std::unique_ptr<LineScan>> scans;
    for (const LineName& line : lines) {
        progress.push_back(std::make_unique<LineProgress>());
        scans.push_back(std::make_unique<LineScan>(
            line, options, report, traceFile ? &trace : nullptr, stop, *progress.back()));
    }
    const bool showProgress = !options.quiet && isatty(STDERR_FILENO) == 1;
    if (showProgress) {
        report.ClearProgressFirst();
    }
    RunAll(scans, progress, showProgress);
    if (endSignals.Received() != 0) {
        report.Aborted();
        report.Done();
        return 128 + endSignals.Received();
    }
    report.Done();
    const bool anyOpened =
        std::any_of(scans.begin(), scans.end(), [](const auto& s) { return s->Opened(); });
    return report.Finds() > 0 ? 0 : anyOpened ? 1 : kUsageError;
}

}  // namespace

int main(int argc, char* argv[]) {
    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "probelyn-scan: %s (see --help)\n", parsed.error.c_str());
        return kUsageError;
    }
    if (parsed.options.help) {
        std::printf("%s", kScanUsage);
        return 0;
    }
    if (parsed.options.version) {
        std::printf("probelyn-scan %s\n", PROBELYN_VERSION);
        return 0;
    }
    QCoreApplication app(argc, argv);
    return parsed.options.listPorts ? ListPorts() : Scan(parsed.options);
}
