#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "network_name.h"

namespace probelyn {

// A line as people know it, parsed once where its name is given: the line
// numbered COMn, a device, or a line at a server on the network with its
// address. A line named by its COM number alone is the device the numbering
// gives that number; where both are known, the line has both.
struct LineName {
    std::optional<int> com;
    // The device; for a line over the network the name as given.
    std::string device;
    std::optional<NetworkAddress> network;

    friend bool operator==(const LineName&, const LineName&) = default;
};

// A name as given (--port): COMn (either case), a line over the network, or
// a device; nothing, with the reason, for a line over the network whose name
// is not well formed.
struct ParsedLine {
    std::optional<LineName> line;
    std::string error;
};
ParsedLine ParseLineName(const std::string& given);

// What a kind of line can do, as each kind carries it: set the rate and
// framing asked (a raw TCP line runs at whatever its server is set to),
// drive the modem lines (DTR and RTS), mark a character received with an
// error.
struct LineAbilities {
    bool setsRateAndFraming = true;
    bool drivesModemLines = true;
    bool marksErrors = true;
};
LineAbilities AbilitiesOf(const LineName& line);

// The one way every message names a line: "COM3 (/dev/ttyACM0)" where both
// are known and differ, "COM3" for a line named by its number (or whose
// device is COM3, as on Windows), the device (or the name as given) alone
// where no number is given.
std::string DisplayName(const LineName& line);

// The device a path leads to, links followed; the path itself when it leads
// nowhere. One device given under two names resolves to one.
std::string ResolvedDevice(const std::string& path);

// For test failures: the name as messages give it.
inline void PrintTo(const LineName& line, std::ostream* out) {
    *out << DisplayName(line);
}

}  // namespace probelyn
