#include "line_scan.h"

#include <memory>

#include "clock.h"
#include "framing.h"
#include "scan_run.h"
#include "serial_line.h"

int StationsToTry(const ScanPlan& plan) {
    return (plan.lastStation - plan.firstStation + 1) * static_cast<int>(plan.rates.size()) *
           static_cast<int>(plan.framings.size());
}

LineScan::LineScan(LineName name, const ScanPlan& plan, ScanReport& report, TraceFile* trace,
                   std::stop_source& stopAll, LineProgress& progress)
    : name_(std::move(name)),
      plan_(plan),
      report_(report),
      trace_(trace),
      stopAll_(stopAll),
      progress_(progress) {
    plan_.line = name_;
    progress_.total = StationsToTry(plan_);
}

void LineScan::Run() {
    // The line lives in this thread, which alone drives it.
    SerialLine serial(ComPortNames::FromDevices({}));
    std::unique_ptr<TracingLine> traced;
    if (trace_ != nullptr) {
        traced = std::make_unique<TracingLine>(serial, *trace_);
    }
    PortAccess access(traced ? static_cast<PortComponent&>(*traced) : serial);
    SteadyClock clock;
    ScanRun run(access, clock);
    const ScanOutcome outcome = run.DetectNow(plan_, *this, stopAll_.get_token());
    if (outcome.kind == ScanOutcome::Kind::LineFailure) {
        report_.Error(name_, outcome.failure.description);
    }
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
        case Notice::Kind::PortError: {
            const std::string why = notice.error.description.empty() ? "the line did not open"
                                                                     : notice.error.description;
            report_.Error(name_,
                          "cannot open at " + std::to_string(notice.baud) + " baud, " +
                              NameOf(notice.framing) + ": " + why,
                          notice.baud, notice.framing);
            return;
        }
        case Notice::Kind::NothingIdentified:
            return;
    }
}
