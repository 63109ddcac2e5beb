#include "window_core.h"

#include <cstdio>
#include <vector>

#include "port_discovery.h"
#include "port_failure.h"
#include "progress_cells.h"
#include "protocol.h"
#include "window_texts.h"

namespace probelyn {

namespace {

// The system's reason a device did not open, with what to do about the common
// ones.
std::string WhyNotOpened(const ErrorRecord& error) {
    switch (error.error) {
        case LineError::Refused:
            return error.description + " (another program may be using the line)";
        default:
            return error.description;
    }
}

}  // namespace

// Lets discovery write the status line and fill the port list.
class WindowCore::Discovery : public DiscoveryHost {
  public:
    explicit Discovery(WindowCore& core) : core_(core) {}

    void SetStatus(const std::string& Message) override { core_.SetStatus(Message); }

    void AddPort(int n) override {
        PortEntry entry{DisplayName({.com = n}), n, {}};
        // Which adapter the entry is: its device and what the system knows.
        if (const std::optional<std::string> device = core_.names_.DeviceFor(n)) {
            entry.description = core_.describe_ ? core_.describe_(*device) : *device;
        }
        core_.surface_.AddPortEntry(entry);
        ++listed_;
    }

    void NotListed(int n, const ErrorRecord& error) override {
        const std::string device = core_.names_.DeviceFor(n).value_or(DisplayName({.com = n}));
        const std::string reason = device + ": " + WhyNotOpened(error);
        std::fprintf(stderr, "probelyn: not listed: %s\n", reason.c_str());
        reasons_ += reason + "\n";
    }

    void ServiceEvents() override { core_.surface_.TurnEventPump(); }
    bool Abandoned() override { return core_.Closed(); }

    StartUp Outcome() const {
        if (core_.Closed()) {
            return {StartUp::Outcome::Abandoned, {}};
        }
        if (listed_ > 0) {
            return {StartUp::Outcome::Listed, {}};
        }
        return {StartUp::Outcome::NoPorts, reasons_.empty() ? texts::kNoSerialDevice : reasons_};
    }

  private:
    WindowCore& core_;
    std::string reasons_;
    int listed_ = 0;
};

// The window as the engine's front end: each step of a run, in the window's
// words and controls. Once the window has closed, no box is shown any more.
class WindowCore::RunSteps : public ScanSteps {
  public:
    explicit RunSteps(WindowCore& core) : core_(core) {}

    // Drawn at once, during the wait for the station's reply, where it costs
    // the scan no time.
    void Progress(const ScanStep& step) override {
        core_.SetBar(step.count, step.total);
        core_.SetStatus(TryingText(step.baud, LineText(), step.station));
    }
    void TurnEventLoop() override { core_.surface_.TurnEventPump(); }
    void Report(const Notice& notice) override {
        switch (notice.kind) {
            case Notice::Kind::Found:
                core_.DoFound(FoundText(notice.find, core_.plan_.line));
                return;
            case Notice::Kind::PortError:
                core_.ShowBox({BoxKind::Warning,
                               texts::kPortErrorTitle,
                               PortErrorText(notice.baud, LineText(), notice.error.description),
                               {}});
                return;
            case Notice::Kind::NothingIdentified:
                core_.ShowBox({BoxKind::Warning,
                               texts::kIdentificationFailedTitle,
                               texts::kNoInstrument,
                               {}});
                core_.SetStatus(texts::kReady);
                return;
        }
    }
    // Never asked once the window has closed: that stops the run.
    bool AskExtendedScan() override {
        return core_.surface_.AskYesNo(texts::kExtendedScanTitle, texts::kExtendedScanQuestion);
    }

  private:
    // The scanned line as the window names it: COMn.
    std::string LineText() const { return DisplayName(core_.plan_.line); }

    WindowCore& core_;
};

WindowCore::WindowCore(WindowSurface& surface, std::unique_ptr<PortComponent> port,
                       ComPortNames names, Clock* clock, DeviceDescriber describe)
    : surface_(surface),
      Prt(std::move(port)),
      names_(std::move(names)),
      describe_(std::move(describe)),
      access_(*Prt),
      steps_(std::make_unique<RunSteps>(*this)),
      run_(std::make_unique<ScanRun>(access_, clock != nullptr ? *clock : steady_)) {}

WindowCore::~WindowCore() = default;

ScanSteps& WindowCore::Steps() {
    return *steps_;
}

StartUp WindowCore::Discover() {
    Discovery discovery(*this);
    DiscoverPorts(access_, discovery);
    return discovery.Outcome();
}

bool WindowCore::Settle(const StartUp& startUp) {
    switch (startUp.outcome) {
        case StartUp::Outcome::Abandoned:
            return false;  // closed during discovery: the program ends
        case StartUp::Outcome::NoPorts:
            noPortsDetected_ = true;
            ShowBox(
                {BoxKind::Critical, texts::kCriticalTitle, texts::kNoSerialPorts, startUp.reasons});
            return false;
        case StartUp::Outcome::Listed:
            break;
    }
    surface_.SelectFirstEntries();
    SetStatus(texts::kReady);
    return true;
}

void WindowCore::Press() {
    Handle(RunEvent::Press);
}

bool WindowCore::CloseRequest() {
    return Handle(RunEvent::CloseRequest);
}

void WindowCore::EndRequest() {
    Handle(RunEvent::EndRequest);
}

void WindowCore::EndSession() {
    EndRequest();
    try {
        access_.ClosePort();
    } catch (const PortFailure&) {
        // The process ends now: the line is as released as it can be.
    }
}

bool WindowCore::CancelRequested() const {
    return phase_ == RunPhase::Stopping || phase_ == RunPhase::Closing;
}

bool WindowCore::Handle(RunEvent event) {
    const std::optional<RunMove> move = MoveFor(phase_, event);
    if (!move) {
        return false;
    }
    EnterPhase(move->to);
    switch (move->action) {
        case RunAction::StartRun:
            StartRun();
            break;
        case RunAction::ShowStopped:
            SetStatus(texts::kCancelled);
            break;
        case RunAction::AcceptClose:
            return true;
        case RunAction::CloseWindow:
            surface_.CloseWindow();
            break;
        case RunAction::None:
        case RunAction::RefuseClose:
            break;
    }
    return false;
}

void WindowCore::EnterPhase(RunPhase phase) {
    phase_ = phase;
    if (StopsTheRun(phase)) {
        stop_.request_stop();  // seen by a run under way at its next check
    }
    surface_.SetLook(CurrentLook());
}

ScanPlan WindowCore::PlanFromSelections() const {
    const Selections selected = surface_.Selected();
    ScanPlan plan;
    plan.line = {.com = selected.com};
    plan.protocols.clear();
    if (selected.protocolIndex >= 0 &&
        selected.protocolIndex < static_cast<int>(std::size(kProtocolNames))) {
        plan.protocols.push_back(kProtocolNames[selected.protocolIndex].protocol);
    }
    return plan;
}

void WindowCore::StartRun() {
    stop_ = std::stop_source();
    plan_ = PlanFromSelections();
    runOnStack_ = true;
    const ScanOutcome outcome = run_->DetectNow(plan_, *steps_, stop_.get_token());
    runOnStack_ = false;
    EndRun(outcome);
}

void WindowCore::EndRun(const ScanOutcome& outcome) {
    lastOutcome_ = outcome.kind;
    surface_.ShowCells(0);
    if (outcome.kind == ScanOutcome::Kind::LineFailure) {
        try {
            access_.ClosePort();  // the descriptor is gone; this clears the handle
        } catch (const PortFailure&) {
            // Reported below; the line is as released as it can be.
        }
    }
    Handle(RunEvent::RunEnded);
    if (outcome.kind == ScanOutcome::Kind::LineFailure) {
        ShowBox({BoxKind::Warning, texts::kPortErrorTitle, outcome.failure.description, {}});
    }
}

void WindowCore::SetStatus(const std::string& Message) {
    surface_.ShowStatus(Message);
}

void WindowCore::SetBar(int Current, int Max) {
    surface_.ShowCells(BarCells(Current, Max));
}

void WindowCore::DoFound(const std::string& Txt) {
    ShowBox({BoxKind::Information, texts::kDeviceFoundTitle, Txt, {}});
    SetStatus(FoundStatus(Txt));
}

void WindowCore::ShowBox(const Box& box) {
    if (Closed()) {
        return;  // the window is gone: nothing more is shown
    }
    surface_.ShowBox(box);
}

}  // namespace probelyn
