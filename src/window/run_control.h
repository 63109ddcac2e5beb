#pragma once

#include <optional>

#include "scan_outcome.h"
#include "window_surface.h"

namespace probelyn {

// Where a run stands: the one state of run control. The caption and the
// lists' enabled states follow from it and from the last run's outcome; a run
// is on the call stack while Scanning, Stopping or Closing.
enum class RunPhase { Idle, Scanning, Stopping, Closing, Closed };
enum class RunEvent { Press, CloseRequest, EndRequest, RunEnded };
enum class RunAction { None, StartRun, ShowStopped, RefuseClose, AcceptClose, CloseWindow };

struct RunMove {
    RunPhase to;
    RunAction action;
};

// The move run control makes on an event in a phase; none when the event
// changes nothing there.
std::optional<RunMove> MoveFor(RunPhase from, RunEvent event);

// How the controls look in a phase, after a last run that ended so (none
// before the first run).
Look LookFor(RunPhase phase, std::optional<ScanOutcome::Kind> lastOutcome);

// Whether a stop is asked of a run in this phase.
bool StopsTheRun(RunPhase phase);

}  // namespace probelyn
