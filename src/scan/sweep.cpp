#include "sweep.h"

#include <algorithm>
#include <iterator>

#include "base_time_limit.h"
#include "probes.h"

namespace probelyn {

namespace {

// Factory settings, most common first: 9600 and Modbus's own default 19200,
// then the other rates by how often instruments ship with them.
constexpr int kLikelyRates[] = {9600, 19200, 38400, 115200, 57600,
                                4800, 2400,  76800, 230400, 460800};

// Framings in groups tried one group at a time over every rate: no parity
// and Modbus's default even parity first; odd parity and two stop bits (which
// a UART set to one stop bit hears anyway) after them.
const std::vector<std::vector<Framing>> kLikelyFramings = {
    {Framing{}, Framing{Parity::Even, 1}}, {Framing{Parity::Odd, 1}, Framing{Parity::None, 2}}};

template <typename T>
bool Holds(const std::vector<T>& values, const T& value) {
    return std::find(values.begin(), values.end(), value) != values.end();
}

// Those of `likely` that `given` holds, in the order of `likely`.
template <typename T, typename List>
std::vector<T> Among(const List& likely, const std::vector<T>& given) {
    std::vector<T> found;
    std::copy_if(std::begin(likely), std::end(likely), std::back_inserter(found),
                 [&](const T& value) { return Holds(given, value); });
    return found;
}

// Those of `given` that `taken` lacks, as given.
template <typename T>
std::vector<T> Beyond(const std::vector<T>& given, const std::vector<T>& taken) {
    std::vector<T> rest;
    std::copy_if(given.begin(), given.end(), std::back_inserter(rest),
                 [&](const T& value) { return !Holds(taken, value); });
    return rest;
}

// The runs cut to the plan's stations.
Stations Within(const Stations& runs, int first, int last) {
    Stations cut;
    for (const StationRun& run : runs) {
        const StationRun inside{std::max(run.first, first), std::min(run.last, last)};
        if (inside.first <= inside.last) {
            cut.push_back(inside);
        }
    }
    return cut;
}

// The plan's stations without the runs, which lie within them, in order.
Stations Without(int first, int last, const Stations& taken) {
    Stations rest;
    int next = first;
    for (const StationRun& run : taken) {
        if (run.first > next) {
            rest.push_back({next, run.first - 1});
        }
        next = run.last + 1;
    }
    if (next <= last) {
        rest.push_back({next, last});
    }
    return rest;
}

std::vector<SweepPass> AsGivenSweep(const ScanPlan& plan) {
    std::vector<SweepPass> sweep;
    for (const Framing& framing : plan.framings) {
        SweepPass pass{{{plan.firstStation, plan.lastStation}}, {}};
        for (const int baud : plan.rates) {
            pass.settings.push_back({baud, framing});
        }
        sweep.push_back(std::move(pass));
    }
    return sweep;
}

std::vector<SweepPass> LikelySweep(const ScanPlan& plan) {
    const Stations likely = LikelyStations(plan);
    const std::vector<Setting> settings = LikelyFirst(plan.rates, plan.framings);
    const SweepPass passes[] = {
        {Within(likely, 1, 1), settings, true},
        {Within(likely, 2, plan.lastStation), settings, true},
        {Without(plan.firstStation, plan.lastStation, likely), settings, false}};
    std::vector<SweepPass> sweep;
    std::copy_if(
        std::begin(passes), std::end(passes), std::back_inserter(sweep),
        [](const SweepPass& pass) { return !pass.stations.empty() && !pass.settings.empty(); });
    return sweep;
}

}  // namespace

std::vector<Setting> LikelyFirst(const std::vector<int>& rates,
                                 const std::vector<Framing>& framings) {
    std::vector<int> ranked = Among(kLikelyRates, rates);
    const std::vector<int> otherRates = Beyond(rates, ranked);
    ranked.insert(ranked.end(), otherRates.begin(), otherRates.end());
    std::vector<std::vector<Framing>> groups;
    std::vector<Framing> known;
    for (const std::vector<Framing>& group : kLikelyFramings) {
        groups.push_back(Among(group, framings));
        known.insert(known.end(), group.begin(), group.end());
    }
    groups.push_back(Beyond(framings, known));
    std::vector<Setting> settings;
    for (const std::vector<Framing>& group : groups) {
        for (const int baud : ranked) {
            for (const Framing& framing : group) {
                settings.push_back({baud, framing});
            }
        }
    }
    return settings;
}

Stations LikelyStations(const ScanPlan& plan) {
    return Within({std::begin(kLikelyStations), std::end(kLikelyStations)}, plan.firstStation,
                  plan.lastStation);
}

std::vector<SweepPass> SweepOf(const ScanPlan& plan) {
    return plan.order == ScanOrder::LikelyFirst ? LikelySweep(plan) : AsGivenSweep(plan);
}

int CountOf(const Stations& stations) {
    int count = 0;
    for (const StationRun& run : stations) {
        count += run.last - run.first + 1;
    }
    return count;
}

std::string StationsText(const Stations& stations) {
    std::string text;
    for (std::size_t i = 0; i < stations.size(); ++i) {
        const StationRun& run = stations[i];
        text += i == 0 ? "" : i + 1 == stations.size() ? " and " : ", ";
        text += std::to_string(run.first);
        if (run.last != run.first) {
            text += '-';
            text += std::to_string(run.last);
        }
    }
    return text;
}

long WindowsMs(const ScanPlan& plan, int baud, int marginMs) {
    const long T = BaseTimeLimit(baud) + plan.extraWaitMs + marginMs;
    long ms = 0;
    for (const Protocol protocol : plan.protocols) {
        ms += T + (protocol == Protocol::Modbus ? Probes::kModbusExtraMs : 0);
    }
    return ms;
}

std::vector<Untried> UntriedFrom(const std::vector<SweepPass>& sweep, const EndedAt& at) {
    std::vector<Untried> untried;
    if (at.pass >= sweep.size()) {
        return untried;
    }
    const SweepPass& pass = sweep[at.pass];
    const Setting here{at.baud, at.framing};
    auto later = std::find(pass.settings.begin(), pass.settings.end(), here);
    if (at.station > 0 && later != pass.settings.end()) {
        const StationRun last = pass.stations.back();
        untried.push_back({Within(pass.stations, at.station, last.last), {here}});
        ++later;
    }
    if (later != pass.settings.end()) {
        untried.push_back({pass.stations, {later, pass.settings.end()}});
    }
    for (std::size_t p = at.pass + 1; p < sweep.size(); ++p) {
        untried.push_back({sweep[p].stations, sweep[p].settings});
    }
    return untried;
}

long WindowsAfter(const std::vector<SweepPass>& sweep, const ScanPlan& plan, long done,
                  int marginMs) {
    long ms = 0;
    for (const SweepPass& pass : sweep) {
        const long count = CountOf(pass.stations);
        for (const Setting& setting : pass.settings) {
            const long left = std::clamp(count - done, 0L, count);
            done = std::max(done - count, 0L);
            ms += left * WindowsMs(plan, setting.baud, marginMs);
        }
    }
    return ms;
}

}  // namespace probelyn
