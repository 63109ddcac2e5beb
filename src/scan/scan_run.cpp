#include "scan_run.h"

#include <algorithm>

#include "base_time_limit.h"
#include "skip_on_failure.h"

namespace probelyn {

namespace {

using Kind = ScanOutcome::Kind;

bool Chosen(const std::vector<Protocol>& chosen, Protocol protocol) {
    return std::find(chosen.begin(), chosen.end(), protocol) != chosen.end();
}

}  // namespace

ScanRun::ScanRun(PortAccess& access, Clock& clock)
    : access_(access), wait_(access.Line(), clock), probes_(access.Line(), wait_) {
    wait_.RecordFailuresIn(access_.Error());
}

template <typename Step>
void ScanRun::Skip(Step step) {
    SkipOnFailure(access_.Error(), step);
}

template <typename Step>
void ScanRun::Tell(Step step) {
    SkipFrontEndFailure(step);
}

ScanOutcome ScanRun::Judged(ScanOutcome outcome) const {
    if (outcome.kind == Kind::NothingFound && stop_.stop_requested()) {
        outcome.kind = Kind::Stopped;
    }
    return outcome;
}

ScanOutcome ScanRun::DetectNow(const ScanPlan& plan, ScanSteps& steps, std::stop_token stop) {
    stop_ = stop;
    wait_.WatchStop(stop);
    ScanOutcome outcome = Judged(DetectionEngine(plan, steps));
    if (outcome.kind == Kind::NothingFound && steps.AskExtendedScan()) {
        outcome = Judged(DetectionEngine(ExtendedPlan(plan), steps));
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
    } else if (outcome.kind == Kind::Unfinished) {
        ErrorRecord ignored;  // the line has failed already: that is the outcome
        SkipOnFailure(ignored, [&] { CancelNow(); });
    }
    return outcome;
}

ScanOutcome ScanRun::DetectionEngine(const ScanPlan& plan, ScanSteps& steps) {
    if (stop_.stop_requested()) {
        return {Kind::Stopped};
    }
    Sweep sweep{plan, steps, StationTotal(plan, StationCount::AsTheWindowShows)};
    const std::vector<SweepPass> passes = SweepOf(plan);
    for (std::size_t p = 0; p < passes.size(); ++p) {
        for (const Setting& setting : passes[p].settings) {
            const Place place{p, passes[p].stations, {plan.line, setting.baud, setting.framing}};
            if (const std::optional<ScanOutcome> ended = AtSetting(sweep, place)) {
                return *ended;
            }
        }
    }
    if (plan.change == SettingChange::OnOpenLine) {
        Skip([&] { access_.ClosePort(); });
    }
    return sweep.first ? ScanOutcome{Kind::Found, *sweep.first} : ScanOutcome{Kind::NothingFound};
}

std::optional<ScanOutcome> ScanRun::AtSetting(Sweep& sweep, const Place& place) {
    const LineSettings& settings = place.settings;
    access_.Error().Clear();
    bool opened = false;
    Skip([&] { opened = access_.OpenPort(settings); });
    if (opened) {
        if (std::optional<ScanOutcome> ended = StationsAt(sweep, place)) {
            return ended;
        }
    } else {
        Tell([&] {
            sweep.steps.Report({.kind = Notice::Kind::PortError,
                                .baud = settings.baud,
                                .framing = settings.framing,
                                .error = access_.Error()});
        });
        if (std::optional<ScanOutcome> ended = Unusable(sweep.plan, place, 0)) {
            return ended;
        }
    }
    if (sweep.plan.change == SettingChange::Reopen) {
        Skip([&] { access_.ClosePort(); });
    }
    return std::nullopt;
}

std::optional<ScanOutcome> ScanRun::StationsAt(Sweep& sweep, const Place& place) {
    const ScanPlan& plan = sweep.plan;
    const LineSettings& settings = place.settings;
    // A line over the network carries each request and reply across it.
    const int T =
        BaseTimeLimit(settings.baud) + plan.extraWaitMs + access_.Line().Timing().replyMarginMs;
    for (const StationRun& run : place.stations) {
        for (int station = run.first; station <= run.last; ++station) {
            if (std::optional<ScanOutcome> ended = AtStation(sweep, place, station, T)) {
                return ended;
            }
        }
    }
    return std::nullopt;
}

std::optional<ScanOutcome> ScanRun::AtStation(Sweep& sweep, const Place& place, int station,
                                              int T) {
    const ScanPlan& plan = sweep.plan;
    const LineSettings& settings = place.settings;
    if (stop_.stop_requested()) {
        return ScanOutcome{Kind::Stopped};  // the line stays open; CancelNow closes it
    }
    const ScanStep step{settings.baud, station, ++sweep.count, sweep.total};
    // Shown while the first probe's reply is awaited.
    wait_.DuringNextWait([&, step] { Tell([&] { sweep.steps.Progress(step); }); });
    const std::optional<Protocol> answered = ProbeStation(station, T, plan.protocols);
    wait_.RunPendingWork();
    if (stop_.stop_requested()) {
        return ScanOutcome{Kind::Stopped};  // a wait cut short gives no verdict
    }
    if (std::optional<ScanOutcome> ended = Unusable(plan, place, station)) {
        return ended;  // the line was lost meanwhile: no verdict for the station
    }
    if (answered) {
        const Find find{*answered, settings.baud, station, settings.framing};
        if (plan.stopAtFind) {
            return Found(find, sweep.steps);
        }
        sweep.first = sweep.first.value_or(find);
        Report(find, T, sweep.steps);
    }
    Tell([&] { sweep.steps.TurnEventLoop(); });
    return std::nullopt;
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
        if (!Chosen(chosen, c.protocol) || stop_.stop_requested()) {
            continue;
        }
        bool answered = false;
        Skip([&] { answered = (probes_.*c.probe)(station, T); });
        if (answered && c.confirm != nullptr && !stop_.stop_requested()) {
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

void ScanRun::Report(const Find& find, int T, ScanSteps& steps) {
    Tell([&] { steps.Report({.kind = Notice::Kind::Found, .find = find}); });
    // The rest of the reply may still be coming; it goes with the discard, so
    // that the next station starts clean.
    wait_.AwaitQuiet(probes_.QuietBeforeConfirm(), T);
    Skip([&] { access_.Line().DiscardInput(); });
}

ScanOutcome ScanRun::Found(const Find& find, ScanSteps& steps) {
    Tell([&] { steps.Report({.kind = Notice::Kind::Found, .find = find}); });
    Skip([&] { CancelNow(); });
    return {Kind::Found, find};
}

std::optional<ScanOutcome> ScanRun::Unusable(const ScanPlan& plan, const Place& place,
                                             int station) const {
    const ErrorRecord& error = access_.Error();
    if (plan.onLineLoss != LineLoss::EndRun || DependsOnSetting(error.error)) {
        return std::nullopt;
    }
    return ScanOutcome{.kind = Kind::Unfinished,
                       .failure = error,
                       .at = {place.settings.baud, place.settings.framing, station, place.pass}};
}

void ScanRun::CancelNow() {
    access_.ClosePort();
}

}  // namespace probelyn
