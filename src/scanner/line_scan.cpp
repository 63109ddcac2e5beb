#include "line_scan.h"

#include <algorithm>

#include "scan_run.h"

namespace probelyn {

LineScan::LineScan(LineName name, const ScanPlan& plan, ScanReport& report, TraceFile* trace,
                   std::stop_source& stopAll, LineProgress& progress)
    : LineJob(std::move(name), report, trace, stopAll, progress), plan_(plan) {
    plan_.line = name_;
    plan_.onLineLoss = LineLoss::EndRun;
    progress_.total = StationTotal(plan_, StationCount::Exact);
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

// The framing's remaining rates, then every later framing's rates:
// "stations 4-255 at 460800 baud, 8N1; at 9 rates from 230400 to 2400 baud, 8N1".
std::string LineScan::NotTried() const {
    if (!endedEarly_) {
        return {};
    }
    const EndedAt& at = *endedEarly_;
    const auto framing = std::find(plan_.framings.begin(), plan_.framings.end(), at.framing);
    auto rate = std::find(plan_.rates.begin(), plan_.rates.end(), at.baud);
    std::string text;
    if (at.station > 0) {
        text = "stations " + std::to_string(at.station) + "-" + std::to_string(plan_.lastStation) +
               " at " + std::to_string(at.baud) + " baud, " + NameOf(at.framing);
        ++rate;
    }
    for (auto f = framing; f != plan_.framings.end(); ++f) {
        const std::vector<int> rates(f == framing ? rate : plan_.rates.begin(), plan_.rates.end());
        if (!rates.empty()) {
            text += (text.empty() ? "" : "; ") + RatesText(rates) + ", " + NameOf(*f);
        }
    }
    return text;
}

void LineScan::Progress(const ScanStep& step) {
    opened_ = true;
    progress_.done = step.count;
    progress_.baud = step.baud;
    progress_.station = step.station;
}

void LineScan::Report(const Notice& notice) {
    switch (notice.kind) {
        case Notice::Kind::Found:
            report_.Found(name_, notice.find);
            if (plan_.stopAtFind) {
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
