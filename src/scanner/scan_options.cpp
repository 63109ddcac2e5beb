#include "scan_options.h"

#include <algorithm>
#include <charconv>
#include <sstream>

#include "framing.h"
#include "scan_plan.h"

const char kScanUsage[] =
    "usage: probelyn-scan [--port DEV]... [--protocol ascii|modbus|lyrabus]...\n"
    "                     [--rate R[,R...]]... [--station A-B] [--framing 8N1[,8E1...]]\n"
    "                     [--extra-wait-ms N] [--all] [--json] [--trace FILE] [--quiet]\n"
    "       probelyn-scan --list-ports | --version | --help\n"
    "\n"
    "Finds which protocol, baud rate and station an instrument on a serial line\n"
    "uses. Lines given together are scanned at the same time.\n"
    "\n"
    "  --port DEV         a device (/dev/ttyUSB0), a link to one, or COMn as the\n"
    "                     window numbers it; repeatable (default: every line found)\n"
    "  --protocol P       ascii, modbus or lyrabus; repeatable (default: all three)\n"
    "  --rate R           baud rates, repeatable or a comma list (default: 460800\n"
    "                     230400 115200 76800 57600 38400 19200 9600 4800 2400)\n"
    "  --station A-B      stations to try (default 1-255; up to 999 for ascii alone)\n"
    "  --framing LIST     framings to sweep in turn, e.g. 8N1,8E1,8O1 (default 8N1)\n"
    "  --extra-wait-ms N  added to every reply window (converters, gateways)\n"
    "  --all              go on after a find and list every instrument that answers\n"
    "  --json             JSON Lines on stdout, one object per event\n"
    "  --trace FILE       every request and reply, as JSON Lines, into FILE\n"
    "  --list-ports       list the lines found, and say on stderr why others are unusable\n"
    "  --quiet            no progress on stderr\n"
    "\n"
    "Exit status: 0 an instrument was found, 1 none, 2 a usage error or no line\n"
    "could be opened, 130 after SIGINT, 143 after SIGTERM.\n";

namespace {

std::optional<int> Number(const std::string& text, int lowest, int highest) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest ||
        value > highest) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string> CommaList(const std::string& text) {
    std::vector<std::string> items;
    std::istringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        items.push_back(item);
    }
    return items;
}

// Takes one option with its value; the error when it is not understood.
std::string TakeValue(const std::string& option, const std::string& value, ScanOptions& o) {
    if (option == "--port") {
        o.ports.push_back(value);
    } else if (option == "--protocol") {
        const std::optional<Protocol> protocol = ProtocolNamed(value);
        if (!protocol) {
            return "--protocol is ascii, modbus or lyrabus, not '" + value + "'";
        }
        o.protocols.push_back(*protocol);
    } else if (option == "--rate") {
        for (const std::string& item : CommaList(value)) {
            const std::optional<int> rate = Number(item, 50, 4000000);
            if (!rate) {
                return "--rate takes rates in bit/s from 50 to 4000000, not '" + item + "'";
            }
            o.rates.push_back(*rate);
        }
    } else if (option == "--station") {
        const std::size_t dash = value.find('-');
        const std::optional<int> first = Number(value.substr(0, dash), 1, kHighestAsciiStation);
        const std::optional<int> last =
            dash == std::string::npos ? first
                                      : Number(value.substr(dash + 1), 1, kHighestAsciiStation);
        if (!first || !last || *last < *first) {
            return "--station is A-B with 1 <= A <= B <= 999, not '" + value + "'";
        }
        o.firstStation = *first;
        o.lastStation = *last;
    } else if (option == "--framing") {
        for (const std::string& item : CommaList(value)) {
            const std::optional<Framing> framing = FramingNamed(item);
            if (!framing) {
                return "--framing takes names such as 8N1, 8E1, 8O1, 8N2, not '" + item + "'";
            }
            o.framings.push_back(*framing);
        }
    } else if (option == "--extra-wait-ms") {
        const std::optional<int> ms = Number(value, 0, 10000);
        if (!ms) {
            return "--extra-wait-ms is a number of milliseconds from 0 to 10000, not '" + value +
                   "'";
        }
        o.extraWaitMs = *ms;
    } else {
        o.trace = value;  // --trace
    }
    return {};
}

bool TakesValue(const std::string& option) {
    static const char* const kWithValue[] = {"--port",    "--protocol",      "--rate", "--station",
                                             "--framing", "--extra-wait-ms", "--trace"};
    return std::find(std::begin(kWithValue), std::end(kWithValue), option) != std::end(kWithValue);
}

bool TakeFlag(const std::string& option, ScanOptions& o) {
    bool* const flags[] = {&o.all, &o.json, &o.listPorts, &o.quiet, &o.help, &o.version};
    static const char* const kNames[] = {"--all",   "--json", "--list-ports",
                                         "--quiet", "--help", "--version"};
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        if (option == kNames[i]) {
            *flags[i] = true;
            return true;
        }
    }
    return false;
}

// What the options together allow.
std::string Check(ScanOptions& o) {
    if (o.protocols.empty()) {
        o.protocols = {Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus};
    }
    if (o.rates.empty()) {
        o.rates.assign(kScanRates.begin(), kScanRates.end());
    }
    if (o.framings.empty()) {
        o.framings = {Framing{}};
    }
    const bool asciiAlone = std::all_of(o.protocols.begin(), o.protocols.end(),
                                        [](Protocol p) { return p == Protocol::Ascii; });
    if (o.lastStation > kHighestStation && !asciiAlone) {
        return "stations above 255 need --protocol ascii alone (Modbus and LyraBus address "
               "255 at most)";
    }
    return {};
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    ScanOptions& o = parsed.options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (TakeFlag(option, o)) {
            continue;
        }
        if (!TakesValue(option)) {
            parsed.error = "unknown option '" + option + "'";
            return parsed;
        }
        if (i + 1 >= args.size()) {
            parsed.error = option + " needs a value";
            return parsed;
        }
        parsed.error = TakeValue(option, args[++i], o);
        if (!parsed.error.empty()) {
            return parsed;
        }
    }
    parsed.error = Check(o);
    return parsed;
}
