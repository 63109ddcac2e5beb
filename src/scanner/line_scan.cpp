#include "line_scan.h"

#include <memory>

#include "clock.h"
#include "com_port_names.h"
#include "framing.h"
#include "scan_run.h"
#include "serial_line.h"

LineScan::LineScan(LineName name, const ScanOptions& options, ScanReport& report, TraceFile* trace,
                   std::stop_source& stopAll, LineProgress& progress)
    : name_(std::move(name)),
      options_(options),
      report_(report),
      trace_(trace),
      stopAll_(stopAll),
      progress_(progress),
      perSweep_((options.lastStation - options.firstStation + 1) *
                static_cast<int>(options.rates.size())) {
    progress_.total = perSweep_ * static_cast<int>(options.framings.size());
}

ScanPlan LineScan::PlanFor(const Framing& framing) const {
    ScanPlan plan;
    plan.line = 1;  // the one device this scan's line knows
    plan.protocols = options_.protocols;
    plan.firstStation = options_.firstStation;
    plan.lastStation = options_.lastStation;
    plan.rates = options_.rates;
    plan.framing = framing;
    plan.extraWaitMs = options_.extraWaitMs;
    plan.stopAtFind = !options_.all;
    return plan;
}

void LineScan::Run() {
    // The line lives in this thread, which alone drives it.
    SerialLine serial(ComPortNames::FromDevices({name_.device}));
    std::unique_ptr<TracingLine> traced;
    if (trace_ != nullptr) {
        traced = std::make_unique<TracingLine>(serial, *trace_, name_.device);
    }
    PortAccess access(traced ? static_cast<PortComponent&>(*traced) : serial);
    SteadyClock clock;
    ScanRun run(access, clock);
    for (const Framing& framing : options_.framings) {
        framing_ = framing;
        const ScanOutcome outcome =
            run.DetectionEngine(PlanFor(framing), *this, stopAll_.get_token());
        ++sweepsDone_;
        if (outcome.kind == ScanOutcome::Kind::Stopped) {
            try {
                run.CancelNow();
            } catch (const PortFailure& failure) {
                report_.Error(name_, failure.Description());
            }
            return;
        }
    }
}

void LineScan::Progress(const ScanStep& step) {
    opened_ = true;
    progress_.done = sweepsDone_ * perSweep_ + step.count;
    progress_.baud = step.baud;
    progress_.station = step.station;
}

void LineScan::Report(const Notice& notice) {
    switch (notice.kind) {
        case Notice::Kind::Found:
            report_.Found(name_, notice.find, framing_);
            if (!options_.all) {
                stopAll_.request_stop();
            }
            return;
        case Notice::Kind::PortError: {
            const std::string why = notice.error.description.empty() ? "the line did not open"
                                                                     : notice.error.description;
            report_.Error(name_, "cannot open at " + std::to_string(notice.baud) + " baud, " +
                                     NameOf(framing_) + ": " + why);
            return;
        }
        case Notice::Kind::NothingIdentified:
            return;
    }
}
