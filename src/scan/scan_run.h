#pragma once

#include <optional>
#include <stop_token>

#include "answers.h"
#include "identification.h"
#include "port_access.h"
#include "probes.h"
#include "scan_outcome.h"
#include "scan_plan.h"
#include "scan_steps.h"
#include "sweep.h"

namespace probelyn {

// The engine: one identification run over a plan. It opens the plan's line
// at each setting of the plan's sweep in turn, probes the stations with the
// plan's protocols, tells its front end where it stands, and ends at the first
// station that answers unless the plan goes on after finds. A stop is asked
// for through the stop token: seen before each station and each probe, and it
// ends a wait for a reply at once (the station in flight gives no verdict).
class ScanRun {
  public:
    ScanRun(PortAccess& access, Clock& clock);

    // The run as the user sees it: the plan's sweep and, when nothing
    // answered and the front end wants it, the extended ASCII scan. The line
    // is closed when the run ends; a failure to close it is the outcome.
    ScanOutcome DetectNow(const ScanPlan& plan, ScanSteps& steps, std::stop_token stop);

  private:
    // Where a sweep stands: the plan, how many stations it has tried of how
    // many, and its first find when it goes on after finds.
    struct Sweep {
        const ScanPlan& plan;
        ScanSteps& steps;
        int total = 0;
        int count = 0;
        std::optional<Find> first;
    };

    // One setting of a pass of the sweep (see SweepOf): its settings, and the
    // stations tried there.
    struct Place {
        std::size_t pass;
        const Stations& stations;
        LineSettings settings;
    };

    // One sweep of the plan. A find is reported; unless the plan goes on
    // after finds, its line is closed through CancelNow and the sweep ends. A
    // stop leaves the line open for CancelNow.
    ScanOutcome DetectionEngine(const ScanPlan& plan, ScanSteps& steps);
    // The line opened (or set anew) with the place's settings and each of its
    // stations tried; an outcome when the sweep ends here.
    std::optional<ScanOutcome> AtSetting(Sweep& sweep, const Place& place);
    std::optional<ScanOutcome> StationsAt(Sweep& sweep, const Place& place);
    std::optional<ScanOutcome> AtStation(Sweep& sweep, const Place& place, int station, int T);
    // The common end of a found or stopped run: closes the line. A failure
    // to close it passes on.
    void CancelNow();
    // Runs one step that drives the line; a failure of the line is recorded
    // and passed over.
    template <typename Step>
    void Skip(Step step);
    // Runs one of the front end's steps; a failure there is passed over.
    template <typename Step>
    void Tell(Step step);
    // The end of the run when the line has failed in a way no other setting
    // can change and the plan ends the run then; `station` is the one whose
    // verdict was lost (0: the line did not open).
    std::optional<ScanOutcome> Unusable(const ScanPlan& plan, const Place& place,
                                        int station) const;
    // One station with the plan's probes; the protocol that answered, if any.
    std::optional<Protocol> ProbeStation(Sweep& sweep, const Place& place, int station, int T);
    // A probe that did not match.
    struct Miss {
        Protocol protocol;
        int station;
        bool unconfirmed;  // an ASCII match its station did not give again
    };
    // What answered, the frame its reply began read on within the probe's
    // window, told or tallied.
    void TellWhatAnswered(Sweep& sweep, const Place& place, const Miss& miss);
    // What the setting's tally has left to tell.
    void TellTally(Sweep& sweep, const Place& place);
    // The quiet that ends a frame at the settings.
    Clock::Duration FrameGap(const LineSettings& settings) const;
    // A find that ends the run: asked who it is where the plan says so,
    // reported, then the line closed.
    ScanOutcome Found(Sweep& sweep, const Place& place, const Find& find, int T);
    // A find in a run that goes on: likewise asked and reported, and the rest
    // of its reply let in and discarded.
    void Report(Sweep& sweep, const Find& find, int T);
    void TellFind(Sweep& sweep, const Find& find, const std::optional<Identity>& identity);
    // Who a Modbus find is, where the plan asks (see Identify).
    std::optional<Identity> AskedWhoItIs(const ScanPlan& plan, const Find& find, int T);
    // Asks the found station for its basic identification, up to
    // kIdentificationRequests times while it says more follows, each reply
    // awaited for the probe's window and the time the longest frame takes.
    // Nothing when it answers with silence, an exception or a malformed
    // reply.
    std::optional<Identity> Identify(const Find& find, int T);
    static constexpr int kIdentificationRequests = 4;
    // After a sweep: nothing found counts as stopped when a stop came at the
    // last turn.
    ScanOutcome Judged(ScanOutcome outcome) const;

    PortAccess& access_;
    Clock& clock_;
    ReplyWait wait_;
    Probes probes_;
    AnswerTally tally_;     // of the setting under way
    std::stop_token stop_;  // of the run under way
};

}  // namespace probelyn
