#pragma once

#include <string>
#include <vector>

#include "scan_plan.h"

namespace probelyn {

// What probelyn-scan was asked to do, from its command line: the lines, and
// the plan every line's scan follows (its line left for each scan to fill in).
struct ScanOptions {
    std::vector<LineName> ports;  // as given, parsed; none: every line found
    ScanPlan plan;
    bool each = false;    // every line scanned until its own first find
    bool listen = false;  // listen to a live bus instead of probing
    int dwellMs = 1000;   // listening: how long at each setting
    bool json = false;
    std::string trace;  // file for the trace; empty: none
    bool listPorts = false;
    bool names = false;  // the numbering alone, nothing opened
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// The options, or why the command line is not understood (a usage error).
struct ParsedOptions {
    ScanOptions options;
    std::string error;  // empty when understood
};

ParsedOptions ParseOptions(const std::vector<std::string>& args);

// The help text.
std::string ScanUsage();

}  // namespace probelyn
