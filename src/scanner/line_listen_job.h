#pragma once

#include "line_job.h"
#include "listen_plan.h"
#include "listen_steps.h"

namespace probelyn {

// A listen to one line's live bus (see ListenRun); what is heard goes to the
// report.
class LineListenJob : public LineJob, public ListenSteps {
  public:
    LineListenJob(LineName name, ListenPlan plan, ScanReport& report, TraceFile* trace,
                  std::stop_source& stopAll, LineProgress& progress);

    void Run() override;
    std::string NotTried() const override;
    void Listening(const LineSettings& settings, int index, int total) override;
    void Failed(const LineSettings& settings, const ErrorRecord& error) override;

  private:
    ListenPlan plan_;
    int tried_ = 0;
    int failed_ = 0;
};

}  // namespace probelyn
