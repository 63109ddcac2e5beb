#pragma once

#include <atomic>
#include <stop_token>

#include "line_listen.h"
#include "line_trace.h"
#include "scan_options.h"
#include "scan_report.h"
#include "scan_steps.h"

// How far one line's work has come, for the progress on the terminal.
struct LineProgress {
    std::atomic<int> done{0};   // stations tried, or settings listened to
    std::atomic<int> total{0};  // stations to try, or settings to listen to
    std::atomic<int> baud{0};
    std::atomic<int> station{0};  // 0 while listening
};

// One line's work in a thread of its own, on a line of its own: a scan or a
// listen. Finds and failures go to the report.
class LineJob {
  public:
    LineJob(LineName name, ScanReport& report, TraceFile* trace, std::stop_source& stopAll,
            LineProgress& progress)
        : name_(std::move(name)),
          report_(report),
          trace_(trace),
          stopAll_(stopAll),
          progress_(progress) {}
    virtual ~LineJob() = default;

    virtual void Run() = 0;
    // Whether the line opened at any setting.
    bool Opened() const { return opened_; }
    const LineName& Name() const { return name_; }

  protected:
    // Runs the work on the real line, traced when a trace is kept.
    template <typename Work>
    void OnLine(Work work);

    LineName name_;
    ScanReport& report_;
    TraceFile* trace_;
    std::stop_source& stopAll_;
    LineProgress& progress_;
    std::atomic<bool> opened_{false};
};

// The engine's run over the plan on one line. A find ends every line's scan
// unless the plan goes on after finds.
class LineScan : public LineJob, public ScanSteps {
  public:
    LineScan(LineName name, const ScanPlan& plan, ScanReport& report, TraceFile* trace,
             std::stop_source& stopAll, LineProgress& progress);

    void Run() override;
    void Progress(const ScanStep& step) override;
    void TurnEventLoop() override {}
    void Report(const Notice& notice) override;
    bool AskExtendedScan() override { return false; }

  private:
    ScanPlan plan_;
};

// A listen to one line's live bus (see Listen); what is heard goes to the
// report.
class LineListenJob : public LineJob, public ListenSteps {
  public:
    LineListenJob(LineName name, ListenPlan plan, ScanReport& report, TraceFile* trace,
                  std::stop_source& stopAll, LineProgress& progress);

    void Run() override;
    void Listening(const LineSettings& settings, int index, int total) override;
    void Failed(const LineSettings& settings, const ErrorRecord& error) override;

  private:
    ListenPlan plan_;
    int tried_ = 0;
    int failed_ = 0;
};

// How many stations a scan of the plan tries on one line.
int StationsToTry(const ScanPlan& plan);
