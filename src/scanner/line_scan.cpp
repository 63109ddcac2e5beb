#include "line_scan.h"

#include <memory>

#include "clock.h"
#include "framing.h"
#include "scan_run.h"
#include "serial_line.h"

namespace {

std::string AtSetting(const char* what, int baud, const Framing& framing, const ErrorRecord& why) {
    return std::string(what) + " at " + std::to_string(baud) + " baud, " + NameOf(framing) + ": " +
           (why.description.empty() ? "the line did not open" : why.description);
}

}  // namespace

int StationsToTry(const ScanPlan& plan) {
    return (plan.lastStation - plan.firstStation + 1) * static_cast<int>(plan.rates.size()) *
           static_cast<int>(plan.framings.size());
}

template <typename Work>
void LineJob::OnLine(Work work) {
    // The line lives in this thread, which alone drives it.
    SerialLine serial;
    std::unique_ptr<TracingLine> traced;
    if (trace_ != nullptr) {
        traced = std::make_unique<TracingLine>(serial, *trace_);
    }
    PortAccess access(traced ? static_cast<PortComponent&>(*traced) : serial);
    SteadyClock clock;
    work(access, clock);
}

LineScan::LineScan(LineName name, const ScanPlan& plan, ScanReport& report, TraceFile* trace,
                   std::stop_source& stopAll, LineProgress& progress)
    : LineJob(std::move(name), report, trace, stopAll, progress), plan_(plan) {
    plan_.line = name_;
    progress_.total = StationsToTry(plan_);
}

void LineScan::Run() {
    OnLine([this](PortAccess& access, Clock& clock) {
        ScanRun run(access, clock);
        const ScanOutcome outcome = run.DetectNow(plan_, *this, stopAll_.get_token());
        if (outcome.kind == ScanOutcome::Kind::LineFailure) {
            report_.Error(name_, outcome.failure.description);
        }
    });
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
            report_.Error(name_,
                          AtSetting("cannot open", notice.baud, notice.framing, notice.error),
                          notice.baud, notice.framing);
            return;
        case Notice::Kind::NothingIdentified:
            return;
    }
}

LineListenJob::LineListenJob(LineName name, ListenPlan plan, ScanReport& report, TraceFile* trace,
                             std::stop_source& stopAll, LineProgress& progress)
    : LineJob(std::move(name), report, trace, stopAll, progress), plan_(std::move(plan)) {
    plan_.line = name_;
    progress_.total = static_cast<int>(plan_.rates.size() * plan_.framings.size());
}

void LineListenJob::Run() {
    OnLine([this](PortAccess& access, Clock& clock) {
        const std::optional<Hearing> hearing =
            Listen(access, clock, plan_, *this, stopAll_.get_token());
        opened_ = tried_ > failed_;
        if (hearing) {
            report_.Heard(name_, *hearing);
        }
    });
}

void LineListenJob::Listening(const LineSettings& settings, int index, int total) {
    ++tried_;
    progress_.done = index - 1;
    progress_.total = total;
    progress_.baud = settings.baud;
}

void LineListenJob::Failed(const LineSettings& settings, const ErrorRecord& error) {
    ++failed_;
    report_.Error(name_, AtSetting("cannot listen", settings.baud, settings.framing, error),
                  settings.baud, settings.framing);
}
