#pragma once

#include <vector>

#include "line_job.h"
#include "scan_options.h"
#include "scan_steps.h"
#include "sweep.h"

namespace probelyn {

// The engine's run over the plan on one line, the line set anew at each
// setting while it stays open. A find ends every line's scan unless the
// plan goes on after finds or each line is scanned to its own find; a
// failure of the line that no other setting can change ends this line's
// scan.
class LineScan : public LineJob, public ScanSteps {
  public:
    LineScan(LineName name, const ScanOptions& options, ScanReport& report, TraceFile* trace,
             std::stop_source& stopAll, LineProgress& progress);

    void Run() override;
    std::string NotTried() const override;
    std::string NotTriedJson() const override;
    void Progress(const ScanStep& step) override;
    void TurnEventLoop() override {}
    void Report(const Notice& notice) override;
    bool AskExtendedScan() override { return false; }
    void WhatAnswered(const Answered& answered) override;
    void Identified(const Find& find, const Identity& identity) override;

  private:
    // Once the likely stations are all tried without a find: how long the
    // rest of the sweep takes, said once.
    void TellLikelyDone(const ScanStep& step);

    ScanPlan plan_;
    std::vector<SweepPass> sweep_;
    bool endsEveryLine_;
    bool quiet_;
    long likelyCount_ = 0;  // the stations of the likely passes, at each setting
};

}  // namespace probelyn
