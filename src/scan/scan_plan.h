#pragma once

#include <array>
#include <vector>

#include "line_settings.h"
#include "protocol.h"

namespace probelyn {

// The rates a scan tries by default, fastest first.
inline constexpr std::array<int, 10> kScanRates{460800, 230400, 115200, 76800, 57600,
                                                38400,  19200,  9600,   4800,  2400};
// Stations the Modbus and LyraBus probes can address (one byte); the ASCII
// probe's three digits reach 999.
inline constexpr int kHighestStation = 255;
inline constexpr int kHighestAsciiStation = 999;

// What a failure of the line that no other setting can change does (see
// DependsOnSetting): the window tries the next setting all the same and
// says so at each, as it always has; the scanner ends the line's run there.
enum class LineLoss { NextSetting, EndRun };

// The order a sweep takes (see SweepOf): each framing in turn a whole sweep
// of the rates, each rate at every station, all as given (the window's); or
// the likely stations and settings first.
enum class ScanOrder { AsGiven, LikelyFirst };

// How the line goes from one setting to the next: closed and opened again
// (the window's), or set anew while it stays open, so that its lock, its
// modem lines and its connection to a server stay.
enum class SettingChange { Reopen, OnOpenLine };

// One run's plan, given once when it starts: which line, which protocols at
// each station, which stations, at which rates, with which framings, in
// which order, waiting how much longer than the base time limit, whether the
// first find ends the run, how the line goes from setting to setting, what a
// line that cannot be used any more does, and what more is told than finds.
struct ScanPlan {
    LineName line{.com = 1};
    std::vector<Protocol> protocols{Protocol::LyraBus};
    int firstStation = 1;
    int lastStation = kHighestStation;
    std::vector<int> rates{kScanRates.begin(), kScanRates.end()};
    std::vector<Framing> framings{Framing{}};
    int extraWaitMs = 0;     // added to every reply window (converters, gateways)
    bool stopAtFind = true;  // false: every station is tried, every find reported
    LineLoss onLineLoss = LineLoss::NextSetting;
    ScanOrder order = ScanOrder::AsGiven;
    SettingChange change = SettingChange::Reopen;
    // Whether what answered without being a find is told (a reply whose frame
    // has begun is then read on within its window; see Answered), and
    // whether a Modbus instrument found is asked who it is.
    bool tellAnswers = false;
    bool identify = false;
};

// The plan of the extended scan that follows a plan which found nothing: the
// ASCII probe alone, stations 256 to 999, on the same line, rates and framing.
ScanPlan ExtendedPlan(const ScanPlan& plan);

// How many stations a sweep of the plan counts, as each front end counts
// them. The window counts as it always has, (last - first) stations at each
// setting, worked out in 16 bits as its station numbers are: its bar fills
// one station before the sweep ends. The scanner counts every station it
// tries, (last - first + 1), so that its progress and its share done are
// exact. The engine hands the window's count to its front end with each step.
enum class StationCount { AsTheWindowShows, Exact };
int StationTotal(const ScanPlan& plan, StationCount count);

}  // namespace probelyn
