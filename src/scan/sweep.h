#pragma once

#include <string>
#include <vector>

#include "scan_outcome.h"
#include "scan_plan.h"

namespace probelyn {

// One rate and framing of a sweep.
struct Setting {
    int baud = 0;
    Framing framing;

    friend bool operator==(const Setting&, const Setting&) = default;
};

// Consecutive stations, first to last.
struct StationRun {
    int first = 0;
    int last = 0;

    friend bool operator==(const StationRun&, const StationRun&) = default;
};
using Stations = std::vector<StationRun>;

// A part of a sweep: each of its settings in turn, and at each every one of
// its stations, so that the line is set anew once per setting.
struct SweepPass {
    Stations stations;
    std::vector<Setting> settings;
    bool likely = false;  // its stations are likely ones
};

// The stations most instruments are set to: station 1 above all, the next
// few, and 247, the highest a Modbus instrument may take.
inline constexpr StationRun kLikelyStations[] = {{1, 10}, {247, 247}};
// Those of the plan's stations.
Stations LikelyStations(const ScanPlan& plan);

// The plan's sweep, pass by pass. As given: one pass per framing, in the
// order given, over its rates in the order given, each at every station.
// Likely first: station 1 at every setting, then stations 2-10 and 247 at
// every setting, then the other stations at every setting; the settings in
// the order of LikelyFirst. Each pass holds only the plan's own stations.
std::vector<SweepPass> SweepOf(const ScanPlan& plan);

// The plan's settings by how often instruments ship with them: the rates
// 9600, 19200, 38400, 115200, 57600, 4800, 2400, 76800, 230400 and 460800,
// each at 8N1 and then 8E1; then each of those rates at 8O1 and then 8N2;
// rates and framings the plan holds beyond these after them, as given.
std::vector<Setting> LikelyFirst(const std::vector<int>& rates,
                                 const std::vector<Framing>& framings);

// How many stations the runs hold.
int CountOf(const Stations& stations);
// "1-10 and 247", "5", "11-246 and 248-255".
std::string StationsText(const Stations& stations);

// The reply windows one station takes at the rate with the plan's
// protocols, its extra wait and a margin, in milliseconds.
long WindowsMs(const ScanPlan& plan, int baud, int marginMs = 0);

// The stations and settings a sweep that ended at `at` did not get to: the
// rest of that setting's stations (from `at.station` on; all of them when
// it is 0), then every later setting of its pass, then every later pass.
// One part for each.
struct Untried {
    Stations stations;
    std::vector<Setting> settings;
};
std::vector<Untried> UntriedFrom(const std::vector<SweepPass>& sweep, const EndedAt& at);

// The windows of the stations after the first `done` of the sweep, in
// milliseconds.
long WindowsAfter(const std::vector<SweepPass>& sweep, const ScanPlan& plan, long done,
                  int marginMs = 0);

}  // namespace probelyn
