#pragma once

#include "line_job.h"
#include "scan_plan.h"
#include "scan_steps.h"

namespace probelyn {

// The engine's run over the plan on one line. A find ends every line's scan
// unless the plan goes on after finds; a failure of the line that no other
// setting can change ends this line's scan.
class LineScan : public LineJob, public ScanSteps {
  public:
    LineScan(LineName name, const ScanPlan& plan, ScanReport& report, TraceFile* trace,
             std::stop_source& stopAll, LineProgress& progress);

    void Run() override;
    std::string NotTried() const override;
    void Progress(const ScanStep& step) override;
    void TurnEventLoop() override {}
    void Report(const Notice& notice) override;
    bool AskExtendedScan() override { return false; }

  private:
    ScanPlan plan_;
};

}  // namespace probelyn
