#include "scan_run.h"

#include <algorithm>

#include "base_time_limit.h"
#include "skip_on_failure.h"

namespace probelyn {

namespace {

using Kind = ScanOutcome::Kind;

// A character on the wire: start bit, 8 data bits, parity, stop bits.
int CharacterBits(const Framing& framing) {
    return 1 + 8 + (framing.parity == Parity::None ? 0 : 1) + framing.stopBits;
}

bool Chosen(const std::vector<Protocol>& chosen, Protocol protocol) {
    return std::find(chosen.begin(), chosen.end(), protocol) != chosen.end();
}

}  // namespace

ScanRun::ScanRun(PortAccess& access, Clock& clock)
    : access_(access), clock_(clock), wait_(access.Line(), clock), probes_(access.Line(), wait_) {
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
    tally_ = AnswerTally();
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
        std::optional<ScanOutcome> ended = StationsAt(sweep, place);
        if (!ended || ended->kind == Kind::Unfinished) {
            TellTally(sweep, place);
        }
        if (ended) {
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
    const std::optional<Protocol> answered = ProbeStation(sweep, place, station, T);
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
            return Found(sweep, place, find, T);
        }
        sweep.first = sweep.first.value_or(find);
        Report(sweep, find, T);
    }
    Tell([&] { sweep.steps.TurnEventLoop(); });
    return std::nullopt;
}

// The chosen probes in the order ASCII, Modbus, LyraBus, discarding what a
// miss left waiting. An ASCII match counts only when confirmed by a second
// probe of the station.
std::optional<Protocol> ScanRun::ProbeStation(Sweep& sweep, const Place& place, int station,
                                              int T) {
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
        if (!Chosen(sweep.plan.protocols, c.protocol) || stop_.stop_requested()) {
            continue;
        }
        bool answered = false;
        Skip([&] { answered = (probes_.*c.probe)(station, T); });
        bool unconfirmed = false;
        if (answered && c.confirm != nullptr && !stop_.stop_requested()) {
            Skip([&] { answered = (probes_.*c.confirm)(station, T); });
            unconfirmed = !answered;
        }
        if (answered) {
            return c.protocol;
        }
        if (sweep.plan.tellAnswers && !stop_.stop_requested()) {
            TellWhatAnswered(sweep, place, {c.protocol, station, unconfirmed});
        }
        Skip([&] { access_.Line().DiscardInput(); });
    }
    return std::nullopt;
}

void ScanRun::TellWhatAnswered(Sweep& sweep, const Place& place, const Miss& miss) {
    std::string reply = wait_.LastReply();
    const Protocol protocol = miss.protocol;
    wait_.ReadOn(
        reply, [protocol](const std::string& r) { return FrameLength(protocol, r); },
        wait_.LastDeadline(), FrameGap(place.settings));
    // An ASCII reply its station did not give again is no valid reply.
    const std::optional<Classified> classified =
        miss.unconfirmed ? Classified{} : Classify(protocol, miss.station, reply);
    const Setting setting{place.settings.baud, place.settings.framing};
    if (const std::optional<Answered> now =
            classified ? tally_.Take(setting, protocol, miss.station, *classified) : std::nullopt) {
        Tell([&] { sweep.steps.WhatAnswered(*now); });
    }
}

void ScanRun::TellTally(Sweep& sweep, const Place& place) {
    for (const Answered& answered : tally_.Leave({place.settings.baud, place.settings.framing})) {
        Tell([&] { sweep.steps.WhatAnswered(answered); });
    }
}

Clock::Duration ScanRun::FrameGap(const LineSettings& settings) const {
    // 3.5 characters, as Modbus RTU ends a frame, 1.75 ms at least; longer
    // where bytes come in segments.
    const auto gap = std::chrono::nanoseconds(3500000000LL * CharacterBits(settings.framing) /
                                              std::max(settings.baud, 1));
    return std::max({Clock::Duration(gap), Clock::Duration(std::chrono::microseconds(1750)),
                     Clock::Duration(access_.Line().Timing().quietFloor)});
}

std::optional<Identity> ScanRun::Identify(const Find& find, int T) {
    // The rest of the probe's reply goes first.
    wait_.AwaitQuiet(probes_.QuietBeforeConfirm(), T);
    // The probe's window and the time the longest frame takes at the rate.
    const auto window =
        std::chrono::milliseconds(T + Probes::kModbusExtraMs) +
        std::chrono::microseconds(static_cast<long long>(kLongestFrame) *
                                  CharacterBits(find.framing) * 1000000 / std::max(find.baud, 1));
    Identity identity;
    for (int asked = 0, object = 0; asked < kIdentificationRequests; ++asked) {
        Skip([&] { access_.Line().DiscardInput(); });
        const std::string request = IdentificationRequest(find.station, object);
        probes_.Send(request);
        std::string reply;
        const auto size = [&](const std::string& r) {
            const std::size_t echo =
                r.compare(0, request.size(), request) == 0 ? request.size() : 0;
            const IdentificationReply parsed = ParseIdentification(find.station, r.substr(echo));
            return parsed.state == IdentificationReply::State::Incomplete ? echo + parsed.length
                                                                          : r.size();
        };
        wait_.ReadOn(reply, size, clock_.Now() + window, Clock::Duration::zero());
        const std::size_t echo =
            reply.compare(0, request.size(), request) == 0 ? request.size() : 0;
        const IdentificationReply said = ParseIdentification(find.station, reply.substr(echo));
        if (said.state != IdentificationReply::State::Complete || stop_.stop_requested()) {
            return std::nullopt;  // silence, an exception or a malformed reply: nothing
        }
        AddObjects(identity, said.objects);
        if (!said.moreFollows) {
            break;
        }
        object = said.nextObject;
    }
    return identity == Identity{} ? std::nullopt : std::optional<Identity>(identity);
}

void ScanRun::Report(Sweep& sweep, const Find& find, int T) {
    const std::optional<Identity> identity = AskedWhoItIs(sweep.plan, find, T);
    TellFind(sweep, find, identity);
    // The rest of the reply may still be coming; it goes with the discard, so
    // that the next station starts clean.
    wait_.AwaitQuiet(probes_.QuietBeforeConfirm(), T);
    Skip([&] { access_.Line().DiscardInput(); });
}

ScanOutcome ScanRun::Found(Sweep& sweep, const Place& place, const Find& find, int T) {
    const std::optional<Identity> identity = AskedWhoItIs(sweep.plan, find, T);
    TellTally(sweep, place);
    TellFind(sweep, find, identity);
    Skip([&] { CancelNow(); });
    return {Kind::Found, find};
}

std::optional<Identity> ScanRun::AskedWhoItIs(const ScanPlan& plan, const Find& find, int T) {
    if (!plan.identify || find.protocol != Protocol::Modbus) {
        return std::nullopt;
    }
    return Identify(find, T);
}

void ScanRun::TellFind(Sweep& sweep, const Find& find, const std::optional<Identity>& identity) {
    Tell([&] { sweep.steps.Report({.kind = Notice::Kind::Found, .find = find}); });
    if (identity) {
        Tell([&] { sweep.steps.Identified(find, *identity); });
    }
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
