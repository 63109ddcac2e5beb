#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>

#include "clock.h"
#include "com_port_names.h"
#include "port_access.h"
#include "port_component.h"
#include "run_control.h"
#include "scan_run.h"
#include "scan_steps.h"
#include "window_surface.h"

namespace probelyn {

// How start-up discovery ended: lines listed, none (with the reasons, one a
// line), or the window closed while it ran.
struct StartUp {
    enum class Outcome { Listed, NoPorts, Abandoned };
    Outcome outcome;
    std::string reasons;
};

// What a window's list says of a device: which adapter it is, as the
// system knows it.
using DeviceDescriber = std::function<std::string(const std::string& device)>;

// Everything of the window that is not drawing: start-up discovery, run
// control, the run's steps in the window's words and its boxes. A toolkit's
// window owns one and draws what it is told through its surface; the
// window's program hands it the line.
class WindowCore {
  public:
    // Drives the given port component; names give the device of each listed
    // line, `describe` what is known of it (none: its path alone); waits are
    // measured on clock (the steady clock when none is given).
    WindowCore(WindowSurface& surface, std::unique_ptr<PortComponent> port, ComPortNames names,
               Clock* clock = nullptr, DeviceDescriber describe = {});
    ~WindowCore();

    // Probes COM1 to COM100 and lists those that open, with the status line
    // telling which; the window is shown and disabled meanwhile.
    StartUp Discover();
    // Once the window takes input again: selects the first entries and says
    // "Ready", or shows the critical box when no line was listed. Returns
    // whether the window goes on.
    bool Settle(const StartUp& startUp);

    // The Go button's click: starts a run and returns when it has ended, or
    // stops the run under way.
    void Press();
    // The window's close request; true when the window may close now.
    bool CloseRequest();
    // A close request that cannot be refused (the system asks the program to
    // end): a box that is up is answered as its close button would, a run
    // stops at its next check and closes the line, and the window closes.
    void EndRequest();
    // The system ends the process once this returns: the end request, and
    // the line closed at once.
    void EndSession();

    bool Closed() const { return phase_ == RunPhase::Closed; }
    bool NoPortsDetected() const { return noPortsDetected_; }
    // Whether a run is on the call stack (it may be unwinding after a stop).
    bool RunOnStack() const { return runOnStack_; }
    bool CancelRequested() const;
    bool CloseRequested() const { return phase_ == RunPhase::Closing; }
    // The last result of the line's Open or Close; 1 or more means open.
    int PortHandle() const { return access_.PortHandle(); }
    Look CurrentLook() const { return LookFor(phase_, lastOutcome_); }

    void SetStatus(const std::string& Message);
    void SetBar(int Current, int Max);
    // Modal "Device Found" report, then the found status.
    void DoFound(const std::string& Txt);
    // A box, unless the window has closed: then nothing more is shown.
    void ShowBox(const Box& box);

    // The engine the window runs, and the window as its front end.
    ScanRun& Scan() { return *run_; }
    ScanSteps& Steps();

  private:
    class Discovery;
    class RunSteps;

    // Moves run control on by its table and does what the move asks for.
    // Returns whether a close request is accepted.
    bool Handle(RunEvent event);
    void EnterPhase(RunPhase phase);
    void StartRun();
    ScanPlan PlanFromSelections() const;
    void EndRun(const ScanOutcome& outcome);

    WindowSurface& surface_;
    std::unique_ptr<PortComponent> Prt;
    ComPortNames names_;
    DeviceDescriber describe_;
    PortAccess access_;
    SteadyClock steady_;
    RunPhase phase_ = RunPhase::Idle;
    std::optional<ScanOutcome::Kind> lastOutcome_;
    std::stop_source stop_;
    ScanPlan plan_;
    bool noPortsDetected_ = false;
    bool runOnStack_ = false;
    std::unique_ptr<RunSteps> steps_;
    std::unique_ptr<ScanRun> run_;
};

}  // namespace probelyn
