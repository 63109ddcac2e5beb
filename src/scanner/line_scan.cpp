#include "line_scan.h"

#include <algorithm>

#include "scan_run.h"

namespace probelyn {

namespace {

// "1 station", "244 stations".
std::string Counted(int n, const std::string& what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

// "about 44 min", "about 1 h 5 min", "about 50 s".
std::string AboutText(long ms) {
    const long s = ms / 1000;
    if (s >= 3600) {
        return "about " + std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
    }
    return s >= 120 ? "about " + std::to_string(s / 60) + " min"
                    : "about " + std::to_string(s) + " s";
}

}  // namespace

LineScan::LineScan(LineName name, const ScanOptions& options, ScanReport& report, TraceFile* trace,
                   std::stop_source& stopAll, LineProgress& progress)
    : LineJob(std::move(name), report, trace, stopAll, progress),
      plan_(options.plan),
      endsEveryLine_(options.plan.stopAtFind && !options.each),
      quiet_(options.quiet) {
    plan_.line = name_;
    plan_.onLineLoss = LineLoss::EndRun;
    plan_.change = SettingChange::OnOpenLine;
    plan_.tellAnswers = true;
    sweep_ = SweepOf(plan_);
    for (const SweepPass& pass : sweep_) {
        if (pass.likely) {
            likelyCount_ +=
                static_cast<long>(CountOf(pass.stations)) * static_cast<long>(pass.settings.size());
        }
    }
    progress_.total = StationTotal(plan_, StationCount::Exact);
    progress_.leftMs = WindowsAfter(sweep_, plan_, 0);
}

void LineScan::Run() {
    OnLine([this](PortAccess& access, Clock& clock) {
        ScanRun run(access, clock);
        const ScanOutcome outcome = run.DetectNow(plan_, *this, stopAll_.get_token());
        if (outcome.kind == ScanOutcome::Kind::LineFailure) {
            report_.Error(name_, outcome.failure.description);
        } else if (outcome.kind == ScanOutcome::Kind::Unfinished) {
            endedEarly_ = outcome.at;
            if (outcome.at.station > 0) {  // a failed open was reported as it came
                report_.Error(name_,
                              AtSetting("lost at station " + std::to_string(outcome.at.station),
                                        outcome.at.baud, outcome.at.framing, outcome.failure),
                              outcome.at.baud, outcome.at.framing);
            }
        }
    });
}

std::string LineScan::NotTried() const {
    if (!endedEarly_) {
        return {};
    }
    return UntriedText(UntriedFrom(sweep_, *endedEarly_), plan_, endedEarly_->station > 0);
}

std::string LineScan::NotTriedJson() const {
    return endedEarly_ ? UntriedJson(UntriedFrom(sweep_, *endedEarly_)) : std::string();
}

void LineScan::Progress(const ScanStep& step) {
    opened_ = true;
    progress_.done = step.count;
    progress_.baud = step.baud;
    progress_.station = step.station;
    progress_.leftMs = WindowsAfter(sweep_, plan_, step.count - 1, marginMs_);
    progress_.stepAtMs = static_cast<long>(report_.Elapsed() * 1000);
    TellLikelyDone(step);
}

void LineScan::TellLikelyDone(const ScanStep& step) {
    if (step.count != likelyCount_ + 1 || likelyCount_ == 0 || quiet_ || finds_ > 0) {
        return;
    }
    const SweepPass& rest = sweep_.back();
    const Stations likely = LikelyStations(plan_);
    const int others = CountOf(rest.stations);
    report_.Note(DisplayName(name_) + ": nothing at " +
                 (CountOf(likely) == 1 ? "station " : "stations ") + StationsText(likely) +
                 " at any setting; the other " + Counted(others, "station") + " at " +
                 Counted(static_cast<int>(rest.settings.size()), "setting") +
                 (others == 1 ? " takes " : " take ") + AboutText(progress_.leftMs) + " more");
}

void LineScan::WhatAnswered(const Answered& answered) {
    report_.Answered(name_, answered, quiet_);
}

void LineScan::Identified(const Find& find, const Identity& identity) {
    report_.Identified(name_, find, identity);
}

void LineScan::Report(const Notice& notice) {
    switch (notice.kind) {
        case Notice::Kind::Found:
            ++finds_;
            report_.Found(name_, notice.find);
            if (endsEveryLine_) {
                stopAll_.request_stop();
            }
            return;
        case Notice::Kind::PortError:
            if (stopAll_.get_token().stop_requested()) {
                return;  // a connection cut short by the stop: the stop's doing
            }
            report_.Error(name_,
                          AtSetting("cannot open", notice.baud, notice.framing, notice.error),
                          notice.baud, notice.framing);
            return;
        case Notice::Kind::NothingIdentified:
            return;
    }
}

}  // namespace probelyn
