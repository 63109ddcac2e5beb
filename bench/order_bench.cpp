// probelyn-scan's default plan against simulated instruments at settings
// across the range, each behind the simulator's own RFC 2217 server (so that
// every framing, even parity included, is what the scanner asked): one
// scanner per instrument, all at once, the time from a scanner's start to
// its find in the likely order beside the order as given. Then a silent
// line narrowed to stations 1-12, on a pty and behind the simulator's
// server at once: the sweep's duration as a ratio to its reply windows.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "instrument.h"
#include "sweep.h"
#include "temp_folder.h"

using namespace probelyn;

namespace {

const Framing k8N1{};
const Framing k8E1{Parity::Even, 1};
const Framing k8O1{Parity::Odd, 1};
const Framing k8N2{Parity::None, 2};

struct Row {
    Protocol protocol;
    int baud;
    Framing framing;
    int station;
};

// A number the JSON event of the kind gives, e.g. "elapsed_s"; -1 when absent.
double Member(const std::string& json, const std::string& event, const std::string& name) {
    const std::size_t line = json.find("{\"event\":\"" + event + "\"");
    const std::size_t at = line == std::string::npos ? line : json.find("\"" + name + "\":", line);
    return at == std::string::npos ? -1 : std::stod(json.substr(at + name.size() + 3));
}

std::unique_ptr<ChildProcess> Start(const std::string& line, std::vector<std::string> more) {
    more.insert(more.begin(), {"--quiet", "--json", "--port", line});
    auto scan = std::make_unique<ChildProcess>();
    scan->Start(PROBELYN_SCAN, more);
    return scan;
}

void Finds() {
    const Row rows[] = {
        {Protocol::Modbus, 19200, k8E1, 1},   {Protocol::Ascii, 9600, k8N1, 1},
        {Protocol::LyraBus, 2400, k8N2, 1},   {Protocol::Modbus, 460800, k8O1, 1},
        {Protocol::LyraBus, 115200, k8E1, 2}, {Protocol::Modbus, 57600, k8N1, 2},
        {Protocol::Ascii, 38400, k8O1, 10},   {Protocol::Ascii, 4800, k8E1, 10},
        {Protocol::Modbus, 9600, k8N2, 247},  {Protocol::LyraBus, 460800, k8N2, 247},
        {Protocol::Modbus, 19200, k8N1, 17},  {Protocol::LyraBus, 76800, k8O1, 100},
        {Protocol::Ascii, 230400, k8E1, 200}, {Protocol::Modbus, 2400, k8N2, 254},
    };
    std::vector<std::unique_ptr<Instrument>> instruments;
    std::vector<std::unique_ptr<ChildProcess>> scans;
    for (const Row& row : rows) {
        for (const bool likely : {true, false}) {
            instruments.push_back(
                std::make_unique<Instrument>(InstrumentConfig{.protocol = row.protocol,
                                                              .baud = row.baud,
                                                              .station = row.station,
                                                              .framing = row.framing,
                                                              .serve = "rfc2217://127.0.0.1:0"}));
            scans.push_back(Start(instruments.back()->Device(),
                                  likely ? std::vector<std::string>{}
                                         : std::vector<std::string>{"--order", "as-given"}));
        }
    }
    std::printf("%-8s %7s %4s %7s %12s %12s\n", "protocol", "baud", "", "station", "likely",
                "as given");
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        double found[2];
        for (std::size_t j = 0; j < 2; ++j) {
            ChildProcess& scan = *scans[2 * i + j];
            scan.WaitForFinished(4 * 3600 * 1000);
            found[j] = Member(scan.Out(), "found", "elapsed_s");
        }
        std::printf("%-8s %7d %4s %7d %10.1f s %10.1f s\n", NameOf(row.protocol).c_str(), row.baud,
                    NameOf(row.framing).c_str(), row.station, found[0], found[1]);
    }
}

// The reply windows of the default plan over stations 1 to `last`, each
// window `marginMs` longer.
double WindowsS(int last, int marginMs) {
    ScanPlan plan;
    plan.protocols = {Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus};
    plan.framings = {k8N1, k8E1, k8O1, k8N2};
    plan.lastStation = last;
    plan.order = ScanOrder::LikelyFirst;
    return static_cast<double>(WindowsAfter(SweepOf(plan), plan, 0, marginMs)) / 1000.0;
}

void Silent() {
    constexpr int kLast = 12;
    const TempFolder dir;
    Instrument local({.protocol = Protocol::Modbus, .baud = 9600, .station = 99});
    const std::string link = dir.FilePath("ttyOrderBench");
    local.LinkAt(link);
    Instrument served({.protocol = Protocol::Modbus,
                       .baud = 9600,
                       .station = 99,
                       .serve = "rfc2217://127.0.0.1:0"});
    const std::vector<std::string> narrowed{"--station", "1-" + std::to_string(kLast)};
    const auto start = std::chrono::steady_clock::now();
    const std::unique_ptr<ChildProcess> scans[] = {Start(link, narrowed),
                                                   Start(served.Device(), narrowed)};
    std::printf("\na silent line, every protocol, rate and framing, stations 1-%d\n", kLast);
    for (const auto& scan : scans) {
        scan->WaitForFinished(3600 * 1000);
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double margin = std::max(Member(scan->Out(), "network", "margin_ms"), 0.0);
        const double windows = WindowsS(kLast, static_cast<int>(margin));
        std::printf("%-26s %8.3f s, its windows %8.3f s (margin %2.0f ms): %.4f x\n",
                    margin > 0 ? "behind the RFC 2217 server" : "local pty", wall, windows, margin,
                    wall / windows);
    }
}

}  // namespace

int main() {
    std::printf("probelyn-scan with no option but the line: time from its start to the find\n");
    Finds();
    Silent();
    return 0;
}
