#pragma once

#include <array>
#include <string>
#include <vector>

#include "port_component.h"
#include "port_failure.h"
#include "protocol.h"

// The rates a scan tries by default, fastest first.
inline constexpr std::array<int, 10> kScanRates{460800, 230400, 115200, 76800, 57600,
                                                38400,  19200,  9600,   4800,  2400};
// Stations the Modbus and LyraBus probes can address (one byte); the ASCII
// probe's three digits reach 999.
inline constexpr int kHighestStation = 255;
inline constexpr int kHighestAsciiStation = 999;

// One run's plan, given once when it starts: which line, which protocols at
// each station, which stations, at which rates (in the order given), with
// which framings (each a whole sweep of the rates, in the order given),
// waiting how much longer than the base time limit, and whether the first
// find ends the run.
struct ScanPlan {
    LineName line{.com = 1};
    std::vector<Protocol> protocols{Protocol::LyraBus};
    int firstStation = 1;
    int lastStation = kHighestStation;
    std::vector<int> rates{kScanRates.begin(), kScanRates.end()};
    std::vector<Framing> framings{Framing{}};
    int extraWaitMs = 0;     // added to every reply window (converters, gateways)
    bool stopAtFind = true;  // false: every station is tried, every find reported
};

// The plan of the extended scan that follows a plan which found nothing: the
// ASCII probe alone, stations 256 to 999, on the same line, rates and framing.
ScanPlan ExtendedPlan(const ScanPlan& plan);

// Where a scan stands: the rate and station being tried, and how many
// stations it has tried so far out of how many.
struct ScanStep {
    int baud = 0;
    int station = 0;
    int count = 0;
    int total = 0;

    friend bool operator==(const ScanStep&, const ScanStep&) = default;
};

// An instrument that answered.
struct Find {
    Protocol protocol = Protocol::Ascii;
    int baud = 0;
    int station = 0;
    Framing framing;
};

// How a run ended.
struct ScanOutcome {
    enum class Kind { Found, NothingFound, Stopped, LineFailure };
    Kind kind = Kind::NothingFound;
    Find find;            // Found: the first find
    ErrorRecord failure;  // LineFailure: the line failed when it was closed at the end
};

// The find in the window's words, e.g. "ModBus device on COM2 at 460800
// baudrate on station 17", the line named as DisplayName names it.
std::string FoundText(const Find& find, const LineName& line);
