#include "scan_run.h"

#include <algorithm>
#include <cstdint>

#include "base_time_limit.h"

namespace {

using Kind = ScanOutcome::Kind;

bool Chosen(const std::vector<Protocol>& chosen, Protocol protocol) {
    return std::find(chosen.begin(), chosen.end(), protocol) != chosen.end();
}

}  // namespace

ScanPlan ExtendedPlan(const ScanPlan& plan) {
    ScanPlan extended = plan;
    // Stations above 255 fit only the ASCII probe's three-digit field.
    extended.protocols = {Protocol::Ascii};
    extended.firstStation = kHighestStation + 1;
    extended.lastStation = kHighestAsciiStation;
    return extended;
}

std::string FoundText(const Find& find, const std::string& where) {
    static constexpr const char* kKinds[] = {"ASCII", "ModBus", "Lyrabus"};
    return std::string(kKinds[static_cast<int>(find.protocol)]) + " device on " + where + " at " +
           std::to_string(find.baud) + " baudrate on station " + std::to_string(find.station);
}

std::string FoundText(const Find& find, int line) {
    return FoundText(find, "COM" + std::to_string(line));
}

ScanRun::ScanRun(PortAccess& access, Clock& clock)
    : access_(access), wait_(access.Line(), clock), probes_(access.Line(), wait_) {}

template <typename Step>
void ScanRun::Skip(Step step) {
    SkipOnFailure(access_.Error(), step);
}

ScanOutcome ScanRun::Judged(ScanOutcome outcome, const std::stop_token& stop) {
    if (outcome.kind == Kind::NothingFound && stop.stop_requested()) {
        outcome.kind = Kind::Stopped;
    }
    return outcome;
}

ScanOutcome ScanRun::DetectNow(const ScanPlan& plan, ScanSteps& steps, std::stop_token stop) {
    ScanOutcome outcome = Judged(DetectionEngine(plan, steps, stop), stop);
    if (outcome.kind == Kind::NothingFound && steps.AskExtendedScan()) {
        outcome = Judged(DetectionEngine(ExtendedPlan(plan), steps, stop), stop);
        if (outcome.kind == Kind::NothingFound) {
            steps.Report({.kind = Notice::Kind::NothingIdentified});
        }
    }
    if (outcome.kind == Kind::Stopped) {
        try {
            CancelNow();
        } catch (const PortFailure& failure) {
            outcome = {Kind::LineFailure, {}, failure.Record()};
        }
    }
    return outcome;
}

ScanOutcome ScanRun::DetectionEngine(const ScanPlan& plan, ScanSteps& steps, std::stop_token stop) {
    if (stop.stop_requested()) {
        return {Kind::Stopped};
    }
    // The total is worked out in 16 bits, as the station numbers are.
    const auto total = static_cast<std::int16_t>((plan.lastStation - plan.firstStation) *
                                                 static_cast<int>(plan.rates.size()));
    int count = 0;
    std::optional<Find> first;
    for (const int baud : plan.rates) {
        access_.Error().Clear();
        bool opened = false;
        Skip([&] { opened = access_.OpenPort({plan.line, baud, plan.framing}); });
        if (opened) {
            const int T = BaseTimeLimit(baud) + plan.extraWaitMs;
            for (int station = plan.firstStation; station <= plan.lastStation; ++station) {
                if (stop.stop_requested()) {
                    return {Kind::Stopped};  // the line stays open; CancelNow closes it
                }
                const ScanStep step{baud, station, ++count, total};
                // Shown while the first probe's reply is awaited.
                wait_.DuringNextWait([&, step] { Skip([&] { steps.Progress(step); }); });
                const std::optional<Protocol> answered = ProbeStation(station, T, plan.protocols);
                wait_.RunPendingWork();
                if (answered && plan.stopAtFind) {
                    return Found({*answered, baud, station}, steps);
                }
                if (answered) {
                    first = first.value_or(Find{*answered, baud, station});
                    Report(Find{*answered, baud, station}, steps);
                }
                Skip([&] { steps.TurnEventLoop(); });
            }
        } else {
            Skip([&] {
                steps.Report(
                    {.kind = Notice::Kind::PortError, .baud = baud, .error = access_.Error()});
            });
        }
        Skip([&] { access_.ClosePort(); });
    }
    return first ? ScanOutcome{Kind::Found, *first} : ScanOutcome{Kind::NothingFound};
}

// The chosen probes in the order ASCII, Modbus, LyraBus, discarding what a
// miss left waiting. An ASCII match counts only when confirmed by a second
// probe of the station.
std::optional<Protocol> ScanRun::ProbeStation(int station, int T,
                                              const std::vector<Protocol>& chosen) {
    using Probe = bool (Probes::*)(int, int);
    struct Choice {
        Protocol protocol;
        Probe probe;
        Probe confirm;  // asks again after a match whose reply names no station
    };
    static constexpr Choice kChoices[] = {
        {Protocol::Ascii, &Probes::ProbeAscii, &Probes::ConfirmAscii},
        {Protocol::Modbus, &Probes::ProbeModbus, nullptr},
        {Protocol::LyraBus, &Probes::ProbeLyraBus, nullptr}};
    for (const Choice& c : kChoices) {
        if (!Chosen(chosen, c.protocol)) {
            continue;
        }
        bool answered = false;
        Skip([&] { answered = (probes_.*c.probe)(station, T); });
        if (answered && c.confirm != nullptr) {
            answered = false;
            Skip([&] { answered = (probes_.*c.confirm)(station, T); });
        }
        if (answered) {
            return c.protocol;
        }
        Skip([&] { access_.Line().DiscardInput(); });
    }
    return std::nullopt;
}

void ScanRun::Report(const Find& find, ScanSteps& steps) {
    Skip([&] { steps.Report({.kind = Notice::Kind::Found, .find = find}); });
    // The rest of the reply goes, so that the next station starts clean.
    Skip([&] { access_.Line().DiscardInput(); });
}

ScanOutcome ScanRun::Found(const Find& find, ScanSteps& steps) {
    Skip([&] { steps.Report({.kind = Notice::Kind::Found, .find = find}); });
    Skip([&] { CancelNow(); });
    return {Kind::Found, find};
}

void ScanRun::CancelNow() {
    access_.ClosePort();
}
