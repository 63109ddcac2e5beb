// Run control: the Go/Stop button, the close request and the system's end
// request, as one table of moves between run phases. A run happens inside the
// button's click handler and sees Stop presses and close requests at its
// event-pump turns; the phase says what a press or a request means then.
#include "run_control.h"

#include <algorithm>
#include <iterator>

#include "window_texts.h"

namespace probelyn {

namespace {

using P = RunPhase;
using E = RunEvent;
using A = RunAction;

struct Move {
    P from;
    E event;
    P to;
    A action;
};

// Every move of run control. A phase and event not listed change nothing.
constexpr Move kMoves[] = {
    {P::Idle, E::Press, P::Scanning, A::StartRun},
    {P::Idle, E::CloseRequest, P::Closed, A::AcceptClose},
    {P::Idle, E::EndRequest, P::Closed, A::CloseWindow},
    {P::Scanning, E::Press, P::Stopping, A::ShowStopped},
    // The run stops at its next check and then closes the window.
    {P::Scanning, E::CloseRequest, P::Closing, A::RefuseClose},
    {P::Scanning, E::EndRequest, P::Closed, A::CloseWindow},
    {P::Scanning, E::RunEnded, P::Idle, A::None},
    // A stopped run is still unwinding: one run at a time.
    {P::Stopping, E::CloseRequest, P::Closed, A::AcceptClose},
    {P::Stopping, E::EndRequest, P::Closed, A::CloseWindow},
    {P::Stopping, E::RunEnded, P::Idle, A::None},
    {P::Closing, E::Press, P::Closed, A::CloseWindow},
    {P::Closing, E::CloseRequest, P::Closed, A::AcceptClose},
    {P::Closing, E::EndRequest, P::Closed, A::CloseWindow},
    {P::Closing, E::RunEnded, P::Closed, A::CloseWindow},
    {P::Closed, E::CloseRequest, P::Closed, A::AcceptClose},
};

// Idle, by how the last run ended: a find leaves the protocol list as the run
// had it, a run that found nothing leaves both lists so, a stop or a failure
// of the line gives both back.
Look IdleLook(std::optional<ScanOutcome::Kind> outcome) {
    using Kind = ScanOutcome::Kind;
    if (!outcome || *outcome == Kind::Stopped || *outcome == Kind::LineFailure) {
        return {texts::kGo, true, true};
    }
    return {texts::kGo, *outcome == Kind::Found, false};
}

}  // namespace

std::optional<RunMove> MoveFor(RunPhase from, RunEvent event) {
    const auto move = std::find_if(std::begin(kMoves), std::end(kMoves), [&](const Move& m) {
        return m.from == from && m.event == event;
    });
    if (move == std::end(kMoves)) {
        return std::nullopt;
    }
    return RunMove{move->to, move->action};
}

Look LookFor(RunPhase phase, std::optional<ScanOutcome::Kind> lastOutcome) {
    switch (phase) {
        case RunPhase::Scanning:
        case RunPhase::Closing:
            return {texts::kStop, false, false};
        case RunPhase::Stopping:
            return {texts::kGo, false, true};  // Stop gives the protocol list back at once
        case RunPhase::Idle:
        case RunPhase::Closed:
            break;
    }
    return IdleLook(lastOutcome);
}

bool StopsTheRun(RunPhase phase) {
    return phase != RunPhase::Idle && phase != RunPhase::Scanning;
}

}  // namespace probelyn
