#pragma once

#include <atomic>
#include <stop_token>

#include "line_trace.h"
#include "scan_report.h"
#include "scan_steps.h"

// How far one line's scan has come, for the progress on the terminal.
struct LineProgress {
    std::atomic<int> done{0};   // stations tried
    std::atomic<int> total{0};  // stations to try
    std::atomic<int> baud{0};
    std::atomic<int> station{0};
};

// The scan of one line, in a thread of its own: the engine's run over the
// plan on this line. Finds and failures go to the report; a find ends every
// line's scan unless the plan goes on after finds.
class LineScan : public ScanSteps {
  public:
    LineScan(LineName name, const ScanPlan& plan, ScanReport& report, TraceFile* trace,
             std::stop_source& stopAll, LineProgress& progress);

    void Run();
    // Whether the line opened at any setting.
    bool Opened() const { return opened_; }
    const LineName& Name() const { return name_; }

    void Progress(const ScanStep& step) override;
    void TurnEventLoop() override {}
    void Report(const Notice& notice) override;
    bool AskExtendedScan() override { return false; }

  private:
    LineName name_;
    ScanPlan plan_;
    ScanReport& report_;
    TraceFile* trace_;
    std::stop_source& stopAll_;
    LineProgress& progress_;
    std::atomic<bool> opened_{false};
};

// How many stations a scan of the plan tries on one line.
int StationsToTry(const ScanPlan& plan);
