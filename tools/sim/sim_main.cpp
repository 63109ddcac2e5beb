// probelyn-sim: one simulated instrument on a pseudo-terminal, for trying the
// program without hardware. Runs until interrupted (SIGINT, SIGTERM, SIGHUP).
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "bus_line.h"
#include "framing.h"
#include "instrument.h"
#include "scan_plan.h"

using namespace probelyn;

namespace {

const char kUsage[] =
    "usage: probelyn-sim --protocol ascii|modbus|lyrabus --baud RATE --station N\n"
    "                    [--link PATH] [--delay MS] [--noise] [--partial N]\n"
    "                    [--pieces N --gap MS] [--babble] [--static] [--echo]\n"
    "                    [--framing 8N1|8E1|8O1|8N2|...] [--log FILE|-]\n"
    "                    [--serve rfc2217://HOST:PORT|tcp://HOST:PORT [--ignore-purges]]\n"
    "                    [--register60 HEX] [--exception N] [--gateway]\n"
    "                    [--ident VENDOR,PRODUCT,REVISION [--ident-fault F]]\n"
    "       probelyn-sim --bus --protocol P --baud RATE [--framing F] --poll LIST\n"
    "                    [--answer LIST] [--poll-ms MS] [--link PATH]\n"
    "       probelyn-sim --rates\n"
    "\n"
    "  --rates       the rates Probelyn scans, fastest first, one a line\n"
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
    "  --log FILE    log each request seen (time, rate, bytes); - for stdout\n"
    "  --serve NAME  behind a device server of its own instead of a pseudo-\n"
    "                terminal: rfc2217://127.0.0.1:PORT sets rate and framing\n"
    "                as the program asks (RFC 2217) and answers only at the\n"
    "                instrument's own, even parity included; tcp://HOST:PORT\n"
    "                carries bytes only. PORT 0 takes a free port; the line's\n"
    "                name is printed. One program at a time\n"
    "  --ignore-purges  (--serve rfc2217) leave purges unanswered, as some\n"
    "                servers do\n"
    "  Modbus devices of other kinds:\n"
    "  --register60 HEX  register 60 holds this value (default 4000)\n"
    "  --exception N     answer the probe with exception N instead\n"
    "  --gateway         answer exception 11 for every other station, as a\n"
    "                    gateway with no device behind it\n"
    "  --ident V,P,R     answer a request for identification with vendor,\n"
    "                    product code and revision (default: exception 1)\n"
    "  --ident-fault F   the faulty way: overlong (an object longer than any\n"
    "                    frame), endless (more follows for ever), crc\n"
    "\n"
    "  --bus         a live bus instead: a master polls the stations of --poll\n"
    "                (e.g. 3,7,12) in turn, one every --poll-ms (default 100),\n"
    "                and those of --answer reply; each frame is laid on a wire\n"
    "                at the bus's rate and framing and handed over as a UART at\n"
    "                the listener's own setting would receive it. At its end it\n"
    "                says how many bytes the listener wrote.\n";

[[noreturn]] void Usage(const char* problem) {
    std::fprintf(stderr, "probelyn-sim: %s\n%s", problem, kUsage);
    std::exit(2);
}

[[noreturn]] void Rates() {
    for (const int rate : kScanRates) {
        std::printf("%d\n", rate);
    }
    std::exit(0);
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
    bool bus = false;
    std::vector<int> polled;
    std::vector<int> answering;
    int pollMs = 100;
};

// A comma list of station numbers; a usage error naming the option otherwise.
std::vector<int> Stations(const std::string& option, const std::string& text) {
    std::vector<int> stations;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t comma = std::min(text.find(',', at), text.size());
        stations.push_back(Number(option, text.substr(at, comma - at).c_str()));
        at = comma + 1;
    }
    return stations;
}

// The values of a comma list, as given.
std::vector<std::string> Values(const std::string& text) {
    std::vector<std::string> values;
    std::size_t at = 0;
    for (std::size_t comma; (comma = text.find(',', at)) != std::string::npos; at = comma + 1) {
        values.push_back(text.substr(at, comma - at));
    }
    values.push_back(text.substr(at));
    return values;
}

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
        if (arg == "--rates") {
            Rates();
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
        } else if (arg == "--bus") {
            o.bus = true;
        } else if (arg == "--poll") {
            o.polled = Stations(arg, value());
        } else if (arg == "--answer") {
            o.answering = Stations(arg, value());
        } else if (arg == "--poll-ms") {
            o.pollMs = std::max(Number(arg, value()), 1);
        } else if (arg == "--register60") {
            const char* text = value();
            char* end = nullptr;
            const long hex = std::strtol(text, &end, 16);
            if (end == text || *end != '\0' || hex < 0 || hex > 0xFFFF) {
                Usage("--register60 is a hexadecimal value from 0 to FFFF");
            }
            o.config.register60 = static_cast<int>(hex);
        } else if (arg == "--exception") {
            o.config.exception = Number(arg, value());
        } else if (arg == "--gateway") {
            o.config.gateway = true;
        } else if (arg == "--ident") {
            o.config.identity = Values(value());
        } else if (arg == "--ident-fault") {
            const std::string fault = value();
            const std::pair<const char*, IdentityFault> faults[] = {
                {"overlong", IdentityFault::Overlong},
                {"endless", IdentityFault::Endless},
                {"crc", IdentityFault::BadCrc}};
            const auto named = std::find_if(std::begin(faults), std::end(faults),
                                            [&](const auto& f) { return fault == f.first; });
            if (named == std::end(faults)) {
                Usage("--ident-fault is overlong, endless or crc");
            }
            o.config.identityFault = named->second;
        } else if (arg == "--serve") {
            o.config.serve = value();
        } else if (arg == "--ignore-purges") {
            o.config.answerPurges = false;
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
    if (o.bus && o.polled.empty()) {
        Usage("--bus needs --poll with the stations the master polls");
    }
    if (!o.config.serve.empty() && (o.bus || !o.link.empty())) {
        Usage("--serve is an instrument behind a server: no --bus, no --link");
    }
    return o;
}

// Places the line's link, saying why it could not.
template <typename Line>
bool Placed(Line& line, const std::string& link) {
    if (link.empty()) {
        return true;
    }
    try {
        line.LinkAt(link);
        return true;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "probelyn-sim: %s\n", failure.what());
        return false;
    }
}

int RunBus(const Options& options, sigset_t& stop) {
    BusLine bus({options.config.protocol,
                 {options.config.baud, options.config.framing},
                 options.polled,
                 options.answering,
                 options.pollMs});
    if (!Placed(bus, options.link)) {
        return 1;
    }
    std::printf("Bus on %s%s%s\n", bus.Device().c_str(), options.link.empty() ? "" : " linked at ",
                options.link.c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    std::printf("The listener wrote %ld bytes\n", bus.BytesWritten());
    return 0;
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

    if (options.bus) {
        return RunBus(options, stop);
    }
    std::unique_ptr<Instrument> served;
    try {
        served = std::make_unique<Instrument>(options.config);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "probelyn-sim: %s\n", failure.what());
        return 1;
    }
    Instrument& instrument = *served;
    if (!Placed(instrument, options.link)) {
        return 1;
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
