// probelyn-sim: one simulated instrument on a pseudo-terminal, for trying the
// program without hardware. Runs until interrupted (SIGINT, SIGTERM, SIGHUP).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "framing.h"
#include "instrument.h"

namespace {

const char kUsage[] =
    "usage: probelyn-sim --protocol ascii|modbus|lyrabus --baud RATE --station N\n"
    "                    [--link PATH] [--delay MS] [--noise] [--partial N]\n"
    "                    [--pieces N --gap MS] [--babble] [--static] [--echo]\n"
    "                    [--framing 8N1|8E1|8O1|8N2|...] [--log FILE|-]\n"
    "\n"
    "  --link PATH   put a symlink to the instrument's line at PATH\n"
    "                (e.g. /dev/ttyUSB0, so that the program lists it); never\n"
    "                replaces anything there, and removes only its own link\n"
    "  --delay MS    reply this long after the request (default 2; a delay\n"
    "                beyond the scan's window makes a late reply)\n"
    "  --noise       at other rates, answer requests with garbage bytes\n"
    "  --partial N   send only the first N bytes of each reply\n"
    "  --pieces N    send each reply in N pieces, --gap MS apart\n"
    "  --babble      send garbage bytes all the time\n"
    "  --static      send uniformly random bytes all the time\n"
    "  --framing F   answer only while the line is framed so (default 8N1;\n"
    "                a pseudo-terminal keeps odd parity and two stop bits but\n"
    "                not even parity, which reads as none)\n"
    "  --echo        hand every byte received straight back, as a two-wire\n"
    "                RS-485 adapter does\n"
    "  --log FILE    log each request seen (time, rate, bytes); - for stdout\n";

[[noreturn]] void Usage(const char* problem) {
    std::fprintf(stderr, "probelyn-sim: %s\n%s", problem, kUsage);
    std::exit(2);
}

[[noreturn]] void Help() {
    std::printf("%s", kUsage);
    std::exit(0);
}

// The value of a numeric option; a usage error naming the option otherwise.
int Number(const std::string& option, const char* text) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 10000000) {
        Usage((option + ": '" + text + "' is not a number from 0 to 10000000").c_str());
    }
    return static_cast<int>(value);
}

struct Options {
    InstrumentConfig config;
    std::string link;
    bool has_protocol = false;
};

Options Parse(int argc, char* argv[]) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                Usage((arg + " needs a value").c_str());
            }
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            Help();
        }
        if (arg == "--protocol") {
            const std::optional<Protocol> p = ProtocolNamed(value());
            if (!p) {
                Usage("--protocol is ascii, modbus or lyrabus");
            }
            o.config.protocol = *p;
            o.has_protocol = true;
        } else if (arg == "--baud") {
            o.config.baud = Number(arg, value());
        } else if (arg == "--station") {
            o.config.station = Number(arg, value());
        } else if (arg == "--link") {
            o.link = value();
        } else if (arg == "--delay") {
            o.config.delay_ms = Number(arg, value());
        } else if (arg == "--noise") {
            o.config.noise = true;
        } else if (arg == "--partial") {
            o.config.partial = Number(arg, value());
        } else if (arg == "--pieces") {
            o.config.pieces = Number(arg, value());
        } else if (arg == "--gap") {
            o.config.gap_ms = Number(arg, value());
        } else if (arg == "--babble") {
            o.config.babble = true;
        } else if (arg == "--static") {
            o.config.static_noise = true;
        } else if (arg == "--framing") {
            const std::optional<Framing> framing = FramingNamed(value());
            if (!framing) {
                Usage("--framing is 8, then N, E or O, then 1 or 2 (e.g. 8N1, 8O1)");
            }
            o.config.framing = *framing;
        } else if (arg == "--echo") {
            o.config.echo = true;
        } else if (arg == "--log") {
            const std::string file = value();
            o.config.log = file == "-" ? stdout : std::fopen(file.c_str(), "w");
            if (o.config.log == nullptr) {
                Usage("cannot write the log file");
            }
        } else {
            Usage(("unknown option " + arg).c_str());
        }
    }
    if (!o.has_protocol) {
        Usage("--protocol is required");
    }
    return o;
}

}  // namespace

int main(int argc, char* argv[]) {
    const Options options = Parse(argc, argv);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);  // the instrument thread inherits this

    Instrument instrument(options.config);
    if (!options.link.empty()) {
        try {
            instrument.LinkAt(options.link);
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "probelyn-sim: %s\n", failure.what());
            return 1;
        }
    }
    std::printf("Instrument on %s%s%s\n", instrument.Device().c_str(),
                options.link.empty() ? "" : " linked at ", options.link.c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    if (options.config.log != nullptr && options.config.log != stdout) {
        std::fclose(options.config.log);
    }
    return 0;
}
