#pragma once

#include <optional>
#include <string>
#include <vector>

#include "port_component.h"
#include "protocol.h"

// What probelyn-scan was asked to do, from its command line.
struct ScanOptions {
    std::vector<std::string> ports;  // as given; none: every line discovery lists
    std::vector<Protocol> protocols;
    std::vector<int> rates;
    int firstStation = 1;
    int lastStation = 255;
    std::vector<Framing> framings;
    int extraWaitMs = 0;
    bool all = false;
    bool json = false;
    std::string trace;  // file for the trace; empty: none
    bool listPorts = false;
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

extern const char kScanUsage[];
