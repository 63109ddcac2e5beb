#pragma once

#include <optional>
#include <stop_token>

#include "port_access.h"
#include "probes.h"
#include "scan_plan.h"
#include "scan_steps.h"

// The engine: one identification run over a plan. It opens the plan's line
// at each rate, probes every station with the plan's protocols, tells its
// front end where it stands, and ends at the first station that answers.
// A stop is asked for through the stop token and seen before each station.
class ScanRun {
  public:
    ScanRun(PortAccess& access, Clock& clock);

    // The run as the user sees it: the plan's sweep and, when nothing
    // answered and the front end wants it, the extended ASCII scan. The line
    // is closed when the run ends; a failure to close it is the outcome.
    ScanOutcome DetectNow(const ScanPlan& plan, ScanSteps& steps, std::stop_token stop);
    // One sweep of the plan. A find is reported; unless the plan goes on
    // after finds, its line is closed through CancelNow and the sweep ends. A
    // stop leaves the line open for CancelNow.
    ScanOutcome DetectionEngine(const ScanPlan& plan, ScanSteps& steps, std::stop_token stop);
    // The common end of a found or stopped run: closes the line. A failure
    // to close it passes on.
    void CancelNow();

  private:
    // Runs one step of the engine; a failure is recorded and passed over.
    template <typename Step>
    void Skip(Step step);
    // One station with the chosen probes; the protocol that answered, if any.
    std::optional<Protocol> ProbeStation(int station, int T, const std::vector<Protocol>& chosen);
    // A find that ends the run: reported, then the line closed.
    ScanOutcome Found(const Find& find, ScanSteps& steps);
    // A find in a run that goes on: reported, and the rest of its reply
    // discarded.
    void Report(const Find& find, ScanSteps& steps);
    // After a sweep: nothing found counts as stopped when a stop came at the
    // last turn.
    static ScanOutcome Judged(ScanOutcome outcome, const std::stop_token& stop);

    PortAccess& access_;
    ReplyWait wait_;
    Probes probes_;
};
