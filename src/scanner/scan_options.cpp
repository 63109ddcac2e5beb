#include "scan_options.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <sstream>

#include "framing.h"

namespace probelyn {

namespace {

// The rates a scan tries by default, as the help lists them.
std::string DefaultRates() {
    std::string text = std::to_string(kScanRates.front()) + "\n                    ";
    for (std::size_t i = 1; i < kScanRates.size(); ++i) {
        text += ' ';
        text += std::to_string(kScanRates[i]);
    }
    return text;
}

}  // namespace

std::string ScanUsage() {
    return std::string(
               "usage: probelyn-scan [--port DEV]... [--protocol ascii|modbus|lyrabus]...\n"
               "                     [--rate R[,R...]]... [--station A-B] [--framing "
               "8N1[,8E1...]]\n"
               "                     [--order likely|as-given] [--extra-wait-ms N] [--all | "
               "--each]\n"
               "                     [--no-identify] [--json] [--trace FILE] [--quiet]\n"
               "       probelyn-scan --listen [--port DEV]... [--protocol P]... [--rate "
               "R[,R...]]...\n"
               "                     [--framing LIST] [--dwell-ms N] [--json] [--trace FILE] "
               "[--quiet]\n"
               "       probelyn-scan --list-ports [--json] | --names | --version | --help\n"
               "\n"
               "Finds which protocol, baud rate and station an instrument on a serial line\n"
               "uses. Lines given together are scanned at the same time.\n"
               "\n"
               "  --port DEV         a device (/dev/ttyUSB0), a link to one, or COMn;\n"
               "                     rfc2217://HOST:PORT, a serial device server that sets\n"
               "                     rate and framing as asked (RFC 2217); tcp://HOST:PORT,\n"
               "                     a raw TCP server port (bytes only: give its one --rate\n"
               "                     and --framing, which a find then repeats, not measured);\n"
               "                     an IPv6 address in brackets, [::1]; repeatable (default:\n"
               "                     every serial line found that opens, but not the\n"
               "                     system's console)\n"
               "  --protocol P       ascii, modbus or lyrabus; repeatable (default: all three)\n"
               "  --rate R           baud rates, repeatable or a comma list (default: ") +
           DefaultRates() + ")\n" +
           "  --station A-B      stations to try (default 1-255; up to 999 for ascii alone)\n"
           "  --framing LIST     framings to sweep, e.g. 8N1,8E1 (default 8N1,8E1,8O1,8N2)\n"
           "  --order O          likely (default): the settings instruments ship with\n"
           "                     first. Station 1 at every setting, then stations 2-10\n"
           "                     and 247 (Modbus's highest) at every setting, then the\n"
           "                     others at every setting. The settings: 9600, 19200\n"
           "                     (the commonest factory rates, 19200 Modbus's own),\n"
           "                     38400, 115200, 57600, 4800, 2400, 76800, 230400 and\n"
           "                     460800 baud, each at 8N1, then 8E1 (Modbus's default);\n"
           "                     then each rate at 8O1, then 8N2. as-given: each framing\n"
           "                     in turn, its rates in the order given, each at every\n"
           "                     station upwards\n"
           "  --extra-wait-ms N  added to every reply window (converters, gateways); a line\n"
           "                     over the network adds its own margin from the round\n"
           "                     trip measured when it opens\n"
           "  --all              go on after a find and list every instrument that answers\n"
           "  --each             scan every line until its own first find (default: the\n"
           "                     first find ends the scan on every line)\n"
           "  --no-identify      do not ask a Modbus instrument found who it is (by\n"
           "                     default its vendor, product code and revision follow\n"
           "                     its find, where it says them)\n"
           "  --json             JSON Lines on stdout, one object per event\n"
           "  --trace FILE       every request and reply, as JSON Lines, into FILE\n"
           "                     (an existing FILE is replaced)\n"
           "  --list-ports       list the lines that open, and say why others are unusable\n"
           "  --names            list COMn and its device for every serial device, opening\n"
           "                     none\n"
           "  --quiet            no progress, no summary and nothing of what answered\n"
           "                     without being a find on stderr\n"
           "  --listen           identify the traffic of a live bus without sending a byte:\n"
           "                     each rate (and each framing, default 8N1,8E1,8O1) is\n"
           "                     listened to in turn; the setting where frames of one\n"
           "                     protocol decode cleanly is the bus's\n"
           "  --dwell-ms N       listening: how long at each setting (default 1000; more\n"
           "                     on a bus that talks seldom)\n"
           "  Options take their value as --option VALUE or --option=VALUE.\n"
           "\n"
           "COMn: on Windows the port's own name. On Linux the serial devices in /dev are\n"
           "numbered as the Probelyn window numbers them: family by family (ttyS, ttyUSB,\n"
           "ttyACM, ttyAMA, ttyXRUSB, rfcomm, ttymxc, ttyTHS, ttySC), each by ascending\n"
           "index, up to COM100; --names shows the numbering.\n"
           "\n"
           "A find names the framing it was made at. A UART checks one stop bit, so an\n"
           "instrument set to 8N2 answers at 8N1 too, and one at 8N1 at 8N2.\n"
           "\n"
           "Exit status: 0 an instrument was found, 1 none, 2 a usage error, no line\n"
           "could be opened, a line's run could not finish or a result could not be\n"
           "written, 129, 130 or 143 after SIGHUP, SIGINT or SIGTERM, 141 when the\n"
           "reader of the results went away.\n";
}

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
    if (text.ends_with(',')) {
        items.emplace_back();  // an empty last item is an error, as any empty one
    }
    return items;
}

// Appends the value unless it is there already: given twice, tried once.
template <typename T>
void AddOnce(std::vector<T>& values, const T& value) {
    if (std::find(values.begin(), values.end(), value) == values.end()) {
        values.push_back(value);
    }
}

std::string TakeRates(const std::string& value, ScanPlan& plan) {
    for (const std::string& item : CommaList(value)) {
        const std::optional<int> rate = Number(item, 50, 4000000);
        if (!rate) {
            return "--rate takes rates in bit/s from 50 to 4000000, not '" + item + "'";
        }
        AddOnce(plan.rates, *rate);
    }
    return {};
}

std::string TakeStations(const std::string& value, ScanPlan& plan) {
    const std::size_t dash = value.find('-');
    const std::optional<int> first = Number(value.substr(0, dash), 1, kHighestAsciiStation);
    const std::optional<int> last =
        dash == std::string::npos ? first : Number(value.substr(dash + 1), 1, kHighestAsciiStation);
    if (!first || !last || *last < *first) {
        return "--station is A-B with 1 <= A <= B <= 999, not '" + value + "'";
    }
    plan.firstStation = *first;
    plan.lastStation = *last;
    return {};
}

std::string TakeFramings(const std::string& value, ScanPlan& plan) {
    for (const std::string& item : CommaList(value)) {
        const std::optional<Framing> framing = FramingNamed(item);
        if (!framing) {
            return "--framing takes names such as 8N1, 8E1, 8O1, 8N2, not '" + item + "'";
        }
        AddOnce(plan.framings, *framing);
    }
    return {};
}

// Options that only make sense when probes are sent.
constexpr const char* kProbingOnly[] = {"--station",       "--all",   "--each",
                                        "--extra-wait-ms", "--order", "--no-identify"};

// Takes one option with its value; the error when it is not understood.
std::string TakeValue(const std::string& option, const std::string& value, ScanOptions& o) {
    if (value.empty()) {
        return option + " needs a value, not an empty one";
    }
    ScanPlan& plan = o.plan;
    if (option == "--dwell-ms") {
        const std::optional<int> ms = Number(value, 100, 60000);
        if (!ms) {
            return "--dwell-ms is a number of milliseconds from 100 to 60000, not '" + value + "'";
        }
        o.dwellMs = *ms;
    } else if (option == "--port") {
        const ParsedLine parsed = ParseLineName(value);
        if (!parsed.line) {
            return "--port " + parsed.error;
        }
        AddOnce(o.ports, *parsed.line);
    } else if (option == "--protocol") {
        const std::optional<Protocol> protocol = ProtocolNamed(value);
        if (!protocol) {
            return "--protocol is ascii, modbus or lyrabus, not '" + value + "'";
        }
        AddOnce(plan.protocols, *protocol);
    } else if (option == "--rate") {
        return TakeRates(value, plan);
    } else if (option == "--station") {
        return TakeStations(value, plan);
    } else if (option == "--framing") {
        return TakeFramings(value, plan);
    } else if (option == "--order") {
        if (value != "likely" && value != "as-given") {
            return "--order is likely or as-given, not '" + value + "'";
        }
        plan.order = value == "likely" ? ScanOrder::LikelyFirst : ScanOrder::AsGiven;
    } else if (option == "--extra-wait-ms") {
        const std::optional<int> ms = Number(value, 0, 10000);
        if (!ms) {
            return "--extra-wait-ms is a number of milliseconds from 0 to 10000, not '" + value +
                   "'";
        }
        plan.extraWaitMs = *ms;
    } else {
        o.trace = value;  // --trace
    }
    return {};
}

bool TakesValue(const std::string& option) {
    static const char* const kWithValue[] = {"--port",    "--protocol", "--rate",
                                             "--station", "--framing",  "--extra-wait-ms",
                                             "--trace",   "--dwell-ms", "--order"};
    return std::find(std::begin(kWithValue), std::end(kWithValue), option) != std::end(kWithValue);
}

bool TakeFlag(const std::string& option, ScanOptions& o) {
    if (option == "--all") {
        o.plan.stopAtFind = false;
        return true;
    }
    if (option == "--no-identify") {
        o.plan.identify = false;
        return true;
    }
    bool* const flags[] = {&o.json, &o.listPorts, &o.names,  &o.quiet, &o.help,
                           &o.help, &o.version,   &o.listen, &o.each};
    static const char* const kNames[] = {"--json", "--list-ports", "--names",  "--quiet", "--help",
                                         "-h",     "--version",    "--listen", "--each"};
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        if (option == kNames[i]) {
            *flags[i] = true;
            return true;
        }
    }
    return false;
}

// A line that cannot set rate and framing (raw TCP) runs at those its
// server is set to, which the run must be told and which then hold for
// every line of the run.
std::string RawTcpRefusal(ScanOptions& o, const std::vector<std::string>& given) {
    if (std::all_of(o.ports.begin(), o.ports.end(),
                    [](const LineName& line) { return AbilitiesOf(line).setsRateAndFraming; })) {
        return {};
    }
    if (o.plan.rates.size() != 1) {
        return "a raw TCP line (tcp://) runs at the rate its server is set to: give that one "
               "rate with --rate";
    }
    if (o.plan.framings.size() > 1) {
        return "a raw TCP line (tcp://) runs at the framing its server is set to: give one "
               "--framing at most";
    }
    if (o.plan.framings.empty() &&
        std::find(given.begin(), given.end(), "--framing") == given.end()) {
        o.plan.framings = {Framing{}};  // its server's setting, 8N1 unless given
    }
    return {};
}

// What the options together allow, and the defaults for what was not given.
std::string Check(ScanOptions& o, const std::vector<std::string>& given) {
    ScanPlan& plan = o.plan;
    for (const char* probing : kProbingOnly) {
        if (o.listen && std::find(given.begin(), given.end(), probing) != given.end()) {
            return std::string(probing) + " has no meaning with --listen, which sends nothing";
        }
    }
    if (!o.listen && std::find(given.begin(), given.end(), "--dwell-ms") != given.end()) {
        return "--dwell-ms is for --listen";
    }
    if (o.each && !plan.stopAtFind) {
        return "--each ends each line's scan at its first find, --all at none: give one";
    }
    if (const std::string raw = RawTcpRefusal(o, given); !raw.empty()) {
        return raw;
    }
    if (o.listen && plan.framings.empty()) {
        plan.framings = {Framing{}, {Parity::Even, 1}, {Parity::Odd, 1}};
    }
    if (plan.protocols.empty()) {
        plan.protocols = {Protocol::Ascii, Protocol::Modbus, Protocol::LyraBus};
    }
    if (plan.rates.empty()) {
        plan.rates.assign(kScanRates.begin(), kScanRates.end());
    }
    if (plan.framings.empty()) {
        plan.framings = {Framing{}, {Parity::Even, 1}, {Parity::Odd, 1}, {Parity::None, 2}};
    }
    const bool asciiAlone = std::all_of(plan.protocols.begin(), plan.protocols.end(),
                                        [](Protocol p) { return p == Protocol::Ascii; });
    if (plan.lastStation > kHighestStation && !asciiAlone) {
        return "stations above 255 need --protocol ascii alone (Modbus and LyraBus address "
               "255 at most)";
    }
    return {};
}

// One argument: a flag, or an option with its value (after '=' or next).
std::string TakeArgument(const std::vector<std::string>& args, std::size_t& i, ScanOptions& o,
                         std::vector<std::string>& given) {
    const std::string& arg = args[i];
    const std::size_t equals = arg.find('=');
    const std::string option = arg.substr(0, equals);
    given.push_back(option);
    if (equals == std::string::npos && TakeFlag(option, o)) {
        return {};
    }
    if (!TakesValue(option)) {
        return "unknown option '" + arg + "'";
    }
    if (equals != std::string::npos) {
        return TakeValue(option, arg.substr(equals + 1), o);
    }
    if (i + 1 >= args.size()) {
        return option + " needs a value";
    }
    return TakeValue(option, args[++i], o);
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string>& args) {
    ParsedOptions parsed;
    ScanOptions& o = parsed.options;
    o.plan.protocols.clear();
    o.plan.rates.clear();
    o.plan.framings.clear();
    o.plan.order = ScanOrder::LikelyFirst;
    o.plan.identify = true;
    std::vector<std::string> given;
    for (std::size_t i = 0; i < args.size() && parsed.error.empty(); ++i) {
        parsed.error = TakeArgument(args, i, o, given);
    }
    if (parsed.error.empty()) {
        parsed.error = Check(o, given);
    }
    return parsed;
}

}  // namespace probelyn
