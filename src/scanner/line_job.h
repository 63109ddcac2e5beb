#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <stop_token>

#include "clock.h"
#include "line_name.h"
#include "line_trace.h"
#include "port_access.h"
#include "scan_outcome.h"
#include "scan_report.h"

namespace probelyn {

// How far one line's work has come, for the progress on the terminal.
struct LineProgress {
    std::atomic<int> done{0};   // stations tried, or settings listened to
    std::atomic<int> total{0};  // stations to try, or settings to listen to
    std::atomic<int> baud{0};
    std::atomic<int> station{0};  // 0 while listening
    // Scanning: the reply windows still to come when the station in flight
    // began, and when that was (in ms of the report's time).
    std::atomic<long> leftMs{0};
    std::atomic<long> stepAtMs{0};
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
    // Whether the line opened and its work could not finish all the same.
    bool Lost() const { return opened_ && endedEarly_.has_value(); }
    // Whether anything was found on the line.
    bool Found() const { return finds_ > 0; }
    const LineName& Name() const { return name_; }
    // The settings the work did not get to, in words, when it ended early.
    virtual std::string NotTried() const = 0;
    // The same as a JSON array, where the work says it so; empty otherwise.
    virtual std::string NotTriedJson() const { return {}; }

  protected:
    // Runs the work on the real line, traced when a trace is kept.
    void OnLine(const std::function<void(PortAccess&, Clock&)>& work);

    LineName name_;
    ScanReport& report_;
    TraceFile* trace_;
    std::stop_source& stopAll_;
    LineProgress& progress_;
    std::atomic<bool> opened_{false};
    // Where the work ended when the line failed in a way no other setting
    // can change; nothing when it ran to its end (or was stopped).
    std::optional<EndedAt> endedEarly_;
    int finds_ = 0;
    // What a line over the network adds to every reply window, once known.
    int marginMs_ = 0;
};

// "at 460800 baud", or "at 10 rates from 460800 to 2400 baud".
std::string RatesText(const std::vector<int>& rates);
// "WHAT at 460800 baud, 8N1: WHY", the line's failure at a setting.
std::string AtSetting(const std::string& what, int baud, const Framing& framing,
                      const ErrorRecord& why);

}  // namespace probelyn
