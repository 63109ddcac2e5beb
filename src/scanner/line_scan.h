#pragma once

#include <atomic>
#include <stop_token>

#include "line_trace.h"
#include "scan_options.h"
#include "scan_report.h"
#include "scan_steps.h"

// How far one line's scan has come, for the progress on the terminal.
struct LineProgress {
    std::atomic<int> done{0};   // stations tried, over all framings
    std::atomic<int> total{0};  // stations to try, over all framings
    std::atomic<int> baud{0};
    std::atomic<int> station{0};
};

// The scan of one line, in a thread of its own: each framing a whole sweep
// of the engine, in the order given. Finds and failures go to the report; a
// find ends every line's scan unless --all asks for all of them.
class LineScan : public ScanSteps {
  public:
    LineScan(LineName name, const ScanOptions& options, ScanReport& report, TraceFile* trace,
             std::stop_source& stopAll, LineProgress& progress);

    void Run();
    // Whether the line opened at any rate.
    bool Opened() const { return opened_; }

    void Progress(const ScanStep& step) override;
    void TurnEventLoop() override {}
    void Report(const Notice& notice) override;
    bool AskExtendedScan() override { return false; }

  private:
    ScanPlan PlanFor(const Framing& framing) const;

    LineName name_;
    const ScanOptions& options_;
    ScanReport& report_;
    TraceFile* trace_;
    std::stop_source& stopAll_;
    LineProgress& progress_;
    int perSweep_;  // stations one framing's sweep tries
    Framing framing_;
    int sweepsDone_ = 0;
    bool opened_ = false;
};
