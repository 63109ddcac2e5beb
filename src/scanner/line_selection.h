#pragma once

#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "com_port_names.h"

namespace probelyn {

// Where the machine keeps its serial devices and names the console the
// system writes to; tests point them elsewhere.
struct MachineLayout {
    std::string deviceFolder = "/dev";
    std::string consoleList = "/sys/class/tty/console/active";
};

// The lines given with --port, as parsed: COMn through the numbering, a
// line over the network with its host resolved (once, here), any other name
// as the device it is, with the COM number the numbering gives that device.
// One device given under several names (a link and its target, say), or one
// server's port under names that resolve to the same address, is used once,
// under the first name; `merged` says which names were merged. Empty, with
// the reason in `error`, when a COMn has no device. Resolving names ends at
// a stop.
struct GivenLines {
    std::vector<LineName> lines;
    std::vector<std::string> merged;
    std::string error;
};
GivenLines LinesGiven(const std::vector<LineName>& ports, const ComPortNames& numbering,
                      std::stop_token stop = {});

// The lines a scan takes when none is given: every line of the numbering
// that opens, except the system's console (a login prompt, kernel messages),
// which only --port reaches. Each line left out comes with its reason; a
// line whose device is not there is left out silently. Opens no further line
// once `stop` is requested. To listen, lines are opened as a listener opens
// them, never driving a bus.
struct Census {
    std::vector<LineName> usable;
    std::vector<std::pair<LineName, std::string>> unusable;
};
Census TakeCensus(const ComPortNames& numbering, const MachineLayout& layout, std::stop_token stop,
                  bool listen = false);

}  // namespace probelyn
