#include "line_selection.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "network_name.h"
#include "port_discovery.h"
#include "serial_line.h"
#include "skip_on_failure.h"
#include "tcp_socket.h"

namespace probelyn {

namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kResolveLimit{5000};

// n of "COMn" (either case), or nothing for any other name.
std::optional<int> ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) {
        return std::nullopt;
    }
    std::string prefix = name.substr(0, 3);
    std::transform(prefix.begin(), prefix.end(), prefix.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    const std::string digits = name.substr(3);
    if (prefix != "COM" || !std::all_of(digits.begin(), digits.end(),
                                        [](unsigned char c) { return std::isdigit(c); })) {
        return std::nullopt;
    }
    return std::stoi(digits);
}

// The COM number the numbering gives the device, if any.
std::optional<int> ComOf(const ComPortNames& numbering, const std::string& device) {
    const std::string target = ResolvedDevice(device);
    for (const LineName& line : numbering.Lines()) {
        if (line.com && (line.device == device || ResolvedDevice(line.device) == target)) {
            return line.com;
        }
    }
    return std::nullopt;
}

// The names of the devices the system's console writes to ("tty0 ttyS0").
std::vector<std::string> ConsoleNames(const std::string& consoleList) {
    std::ifstream list(consoleList);
    return {std::istream_iterator<std::string>(list), std::istream_iterator<std::string>()};
}

// Whether the device, by its own name or that of the device it leads to, is
// one the console writes to.
bool IsConsole(const std::string& device, const std::vector<std::string>& consoles) {
    const auto named = [&](const std::string& path) {
        const std::string name = fs::path(path).filename().string();
        return std::find(consoles.begin(), consoles.end(), name) != consoles.end();
    };
    return named(device) || named(ResolvedDevice(device));
}

// Why the line does not open; empty when it opens, or when its device is not
// there at all.
std::string OpenRefusal(const LineName& line, bool listen, bool* gone) {
    SerialLine serial(ComPortNames::FromDevices({}));
    PortAccess access(serial);
    if (access.OpenPort({.line = line, .baud = 9600, .listen = listen})) {
        SkipOnFailure(access.Error(), [&] { access.ClosePort(); });
        return {};
    }
    *gone = !MetADevice(access.Error());
    return access.Error().description;
}

// What a line's name comes to: the device it leads to, or for a line over
// the network each address its host resolves to, with its kind and port.
// Two names whose keys meet are one line.
std::vector<std::string> SameLineKeys(const std::string& name, std::stop_token stop) {
    const ParsedAddress parsed = ParseNetworkName(name);
    if (!IsNetworkName(name) || !parsed.address) {
        return {ResolvedDevice(name)};
    }
    const NetworkAddress& address = *parsed.address;
    Resolved resolved = ResolveHost(address.host, address.port, kResolveLimit, stop);
    if (resolved.addresses.empty()) {
        resolved.addresses.push_back(address.host);
    }
    const std::string kind = name.substr(0, name.find(':'));
    std::vector<std::string> keys;
    for (const std::string& host : resolved.addresses) {
        keys.push_back(kind + " " + host + " " + std::to_string(address.port));
    }
    return keys;
}

bool Meet(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    return std::any_of(a.begin(), a.end(), [&](const std::string& key) {
        return std::find(b.begin(), b.end(), key) != b.end();
    });
}

}  // namespace

GivenLines LinesGiven(const std::vector<std::string>& ports, const ComPortNames& numbering,
                      std::stop_token stop) {
    GivenLines given;
    std::vector<std::vector<std::string>> taken;  // the keys of the lines taken
    for (const std::string& port : ports) {
        LineName line{.com = std::nullopt, .device = port};
        if (const std::optional<int> n = ComNumber(port)) {
            const std::optional<std::string> device =
                *n <= kHighestComPort ? numbering.DeviceFor(*n) : std::nullopt;
            if (!device) {
                return {{}, {}, port + " has no serial device"};
            }
            line = {n, *device};
        } else if (!IsNetworkName(port)) {
            line.com = ComOf(numbering, port);
        }
        std::vector<std::string> keys = SameLineKeys(line.device, stop);
        const auto same = std::find_if(taken.begin(), taken.end(),
                                       [&](const auto& other) { return Meet(keys, other); });
        if (same != taken.end()) {
            const LineName& first = given.lines[static_cast<std::size_t>(same - taken.begin())];
            given.merged.push_back(
                port +
                (IsNetworkName(port)
                     ? " is the server's port " + first.device + " leads to; it is scanned once"
                     : " is the device " + DisplayName(first) + " names; it is scanned once"));
            continue;
        }
        taken.push_back(std::move(keys));
        given.lines.push_back(line);
    }
    return given;
}

Census TakeCensus(const ComPortNames& numbering, const MachineLayout& layout, std::stop_token stop,
                  bool listen) {
    const std::vector<std::string> consoles = ConsoleNames(layout.consoleList);
    Census census;
    for (const LineName& line : numbering.Lines()) {
        if (stop.stop_requested()) {
            break;
        }
        if (IsConsole(line.device, consoles)) {
            census.unusable.emplace_back(
                line, "the system's console; --port " + line.device + " scans it anyway");
            continue;
        }
        bool gone = false;
        const std::string refusal = OpenRefusal(line, listen, &gone);
        if (gone) {
            continue;
        }
        if (refusal.empty()) {
            census.usable.push_back(line);
        } else {
            census.unusable.emplace_back(line, refusal);
        }
    }
    return census;
}

}  // namespace probelyn
