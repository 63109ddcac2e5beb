// probelyn-scan on a silent line (LyraBus, stations 1-20, all ten rates)
// on a local pty and through ser2net on the loopback, side by side: each
// run's wall time as a ratio to the waits it must make, the round trip and
// margin the network line measured, and 16 lines through ser2net at once
// against one.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "base_time_limit.h"
#include "child_process.h"
#include "instrument.h"
#include "scan_plan.h"
#include "serial_server.h"
#include "temp_folder.h"

using namespace probelyn;

namespace {

constexpr int kStations = 20;

struct Run {
    double wallS = 0;
    std::string out;
};

Run Scan(const std::vector<std::string>& lines) {
    std::vector<std::string> args{"--quiet",   "--json",    "--protocol",
                                  "lyrabus",   "--station", "1-" + std::to_string(kStations),
                                  "--framing", "8N1",       "--order",
                                  "as-given"};
    for (const std::string& line : lines) {
        args.insert(args.end(), {"--port", line});
    }
    ChildProcess scan;
    const auto start = std::chrono::steady_clock::now();
    scan.Start(PROBELYN_SCAN, args);
    scan.WaitForFinished(600000);
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            scan.Out()};
}

// A number the JSON event gives, e.g. "margin_ms"; -1 when absent.
double Member(const std::string& json, const std::string& name) {
    const std::size_t at = json.find("\"" + name + "\":");
    return at == std::string::npos ? -1 : std::stod(json.substr(at + name.size() + 3));
}

// The waits a silent scan must make, with `marginMs` added to each window.
double MandatedS(int marginMs) {
    double ms = 0;
    for (const int rate : kScanRates) {
        ms += kStations * (BaseTimeLimit(rate) + marginMs);
    }
    return ms / 1000.0;
}

}  // namespace

int main() {
    const TempFolder dir;
    std::vector<std::unique_ptr<Instrument>> instruments;
    std::vector<std::unique_ptr<SerialServer>> servers;
    std::vector<std::string> remote;
    for (int i = 0; i < 17; ++i) {
        instruments.push_back(std::make_unique<Instrument>(
            InstrumentConfig{.protocol = Protocol::LyraBus, .baud = 9600, .station = 99}));
        const std::string link = dir.FilePath("ttyBench" + std::to_string(i));
        instruments.back()->LinkAt(link);
        if (i > 0) {
            servers.push_back(
                std::make_unique<SerialServer>(SerialServer::Setup{{link}, dir.Path()}));
            remote.push_back("rfc2217://127.0.0.1:" + std::to_string(servers.back()->Port()));
        }
    }
    std::printf("probelyn-scan, a silent line, LyraBus, stations 1-%d, all ten rates\n", kStations);
    const Run local = Scan({dir.FilePath("ttyBench0")});
    const Run one = Scan({remote.front()});
    const double margin = Member(one.out, "margin_ms");
    const double localRatio = local.wallS / MandatedS(0);
    const double remoteRatio = one.wallS / MandatedS(static_cast<int>(margin));
    std::printf("local pty:        %8.3f s, %.4f x its waits\n", local.wallS, localRatio);
    std::printf("through ser2net:  %8.3f s, %.4f x its waits (%.4f x the local ratio)\n", one.wallS,
                remoteRatio, remoteRatio / localRatio);
    std::printf("round trip %.3f ms, margin %.0f ms a window\n", Member(one.out, "round_trip_ms"),
                margin);
    const Run sixteen = Scan(remote);
    std::printf("16 lines through ser2net at once: %8.3f s, %.4f x one\n", sixteen.wallS,
                sixteen.wallS / one.wallS);
    return 0;
}
