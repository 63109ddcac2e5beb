// probelyn-scan: finds the protocol, rate and station of the instruments on
// one or more serial lines, for scripts, gateways and terminals.
#include <cstdio>

#include "end_watch.h"
#include "scanner.h"

namespace {

constexpr int kTrouble = 2;

}  // namespace

int main(int argc, char* argv[]) {
    if (!PrepareStandardStreams()) {
        return kTrouble;
    }
    const ParsedOptions parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "probelyn-scan: %s (see --help)\n", parsed.error.c_str());
        return kTrouble;
    }
    std::stop_source stop;
    Ending ending(stop, stderr);
    Output out(stdout, "the results", ending);
    const ScanOptions& options = parsed.options;
    if (options.help || options.version) {
        out.Text(options.help ? kScanUsage : "probelyn-scan " PROBELYN_VERSION "\n");
        return ending.Status(0);
    }
    const EndWatch watch(ending);
    Scanner scanner(options, MachineLayout{}, out, ending, stop);
    return scanner.Run();
}
