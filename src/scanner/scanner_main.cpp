// probelyn-scan: finds the protocol, rate and station of the instruments on
// one or more serial lines, for scripts, gateways and terminals.
#include <cstdio>

#include "end_requests.h"
#include "exit_status.h"
#include "scanner.h"
#include "standard_streams.h"

using namespace probelyn;

int main(int argc, char* argv[]) {
    constexpr int kTrouble = Code(ExitStatus::Trouble);
    switch (PrepareStandardStreams()) {
        case StandardStreams::Open:
            break;
        case StandardStreams::OutputClosed:
            std::fputs(
                "probelyn-scan: standard output is closed; there is nowhere to write the "
                "results\n",
                stderr);
            return kTrouble;
        case StandardStreams::ErrorClosed:
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
        out.Text(options.help ? ScanUsage() : "probelyn-scan " PROBELYN_VERSION "\n");
        return ending.Status(Code(ExitStatus::Success));
    }
    const EndRequests requests([&ending](int signal) { ending.Signal(signal); });
    const OutputReaderWatch reader([&ending] { ending.ReaderGone(); });
    Scanner scanner(options, MachineLayout{}, out, ending, stop);
    return scanner.Run();
}
