#include "line_selection.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "port_discovery.h"
#include "port_line.h"
#include "skip_on_failure.h"
#include "tcp_socket.h"

namespace probelyn {

namespace {

namespace fs = std::filesystem;

constexpr std::chrono::milliseconds kResolveLimit{5000};

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
    PortLine port(ComPortNames::FromDevices({}));
    PortAccess access(port);
    if (access.OpenPort({.line = line, .baud = 9600, .listen = listen})) {
        SkipOnFailure(access.Error(), [&] { access.ClosePort(); });
        return {};
    }
    *gone = !MetADevice(access.Error());
    return access.Error().description;
}

// What a line comes to: the device it leads to, or for a line over the
// network each address its host resolved to, with its kind and port. Two
// lines whose keys meet are one line.
std::vector<std::string> SameLineKeys(const LineName& line) {
    if (!line.network) {
        return {ResolvedDevice(line.device)};
    }
    const NetworkAddress& address = *line.network;
    std::vector<std::string> hosts = address.resolved->addresses;
    if (hosts.empty()) {
        hosts.push_back(address.host);
    }
    const std::string kind = address.kind == NetworkAddress::Kind::RawTcp ? "tcp" : "rfc2217";
    std::vector<std::string> keys;
    for (const std::string& host : hosts) {
        keys.push_back(kind + " " + host + " " + std::to_string(address.port));
    }
    return keys;
}

// The line as given, made whole: COMn with its device, a device with its COM
// number, a line over the network with its host resolved, once, here. An
// error when COMn has no device.
std::string Completed(LineName& line, const ComPortNames& numbering, std::stop_token stop) {
    if (line.com) {
        const std::optional<std::string> device =
            *line.com <= kHighestComPort ? numbering.DeviceFor(*line.com) : std::nullopt;
        if (!device) {
            return DisplayName(line) + " has no serial device";
        }
        line.device = *device;
    } else if (line.network) {
        NetworkAddress& address = *line.network;
        address.resolved = ResolveHost(address.host, address.port, kResolveLimit, stop);
    } else {
        line.com = ComOf(numbering, line.device);
    }
    return {};
}

bool Meet(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    return std::any_of(a.begin(), a.end(), [&](const std::string& key) {
        return std::find(b.begin(), b.end(), key) != b.end();
    });
}

}  // namespace

GivenLines LinesGiven(const std::vector<LineName>& ports, const ComPortNames& numbering,
                      std::stop_token stop) {
    GivenLines given;
    std::vector<std::vector<std::string>> taken;  // the keys of the lines taken
    for (const LineName& port : ports) {
        LineName line = port;
        if (std::string error = Completed(line, numbering, stop); !error.empty()) {
            return {{}, {}, std::move(error)};
        }
        std::vector<std::string> keys = SameLineKeys(line);
        const auto same = std::find_if(taken.begin(), taken.end(),
                                       [&](const auto& other) { return Meet(keys, other); });
        if (same != taken.end()) {
            const LineName& first = given.lines[static_cast<std::size_t>(same - taken.begin())];
            given.merged.push_back(
                DisplayName(port) +
                (port.network
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
