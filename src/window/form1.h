#pragma once

#include <QMessageBox>
#include <QWidget>
#include <memory>
#include <optional>
#include <stop_token>

#include "clock.h"
#include "com_port_names.h"
#include "port_access.h"
#include "port_component.h"
#include "port_failure.h"
#include "scan_run.h"
#include "scan_steps.h"
#include "window_drag.h"

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

namespace probelyn {

class CellBar;
class LogoLink;

// The program's one window: a white strip with padlock, description, logo and
// version; the instruction with the port list, protocol list and Go button;
// and below a separating line the status line over the progress bar.
// Controls carry their layout names as object names.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    // The window with the real serial line, numbered as the platform does.
    Form1();
    // The window driving the given port component; names give the device
    // shown for each listed line; waits are measured on clock (the steady
    // clock when none is given).
    Form1(std::unique_ptr<PortComponent> port, ComPortNames names, Clock* clock = nullptr);
    ~Form1() override;

    // Start-up: shows the window and lists the serial lines that open.
    // Returns false, after the critical box, when none does, and when the
    // window was closed during discovery.
    bool Load();
    // Whether the window has closed; the program then ends normally.
    bool Closed() const { return phase_ == RunPhase::Closed; }
    // Whether start-up found no serial line (the critical box was shown).
    bool NoPortsDetected() const { return noPortsDetected_; }
    // A close request that cannot be refused (the system asks the program to
    // end): a box that is up is dismissed as its close button would, a run
    // stops at its next check and closes the line, and the window closes.
    void CloseUnconditionally();

    // Whether a run under way was asked to stop (Stop, or a close request),
    // and whether the window is to close once it has: both follow from the
    // run phase.
    bool CancelRequested() const;
    bool CloseRequested() const;
    // The last result of the line's Open or Close; 1 or more means open.
    int PortHandle() const { return access_.PortHandle(); }

    // Shows Message in the status line and repaints it before returning.
    void SetStatus(const QString& Message);
    // Shows the cells for Current out of Max; drawn at the next event turn.
    void SetBar(int Current, int Max);
    // Modal "Device Found" report, then the found status.
    void DoFound(const QString& Txt);

    // The engine this window runs and the window as its front end; exposed
    // for measuring a scan.
    ScanRun& Scan() { return *run_; }
    ScanSteps& Steps();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    class Discovery;
    class RunSteps;

    // Where a run stands: the one state of run control. The caption and the
    // lists' enabled states follow from it and from the last run's outcome;
    // a run is on the call stack while Scanning, Stopping or Closing.
    enum class RunPhase { Idle, Scanning, Stopping, Closing, Closed };
    enum class RunEvent { Press, CloseRequest, EndRequest, RunEnded };
    enum class RunAction { None, StartRun, ShowStopped, RefuseClose, AcceptClose, CloseWindow };

    void ConnectRun(Clock& clock);
    // Moves run control on by its table and does what the move asks for. A
    // close request's event is accepted or refused as the table says.
    void Handle(RunEvent event, QCloseEvent* close = nullptr);
    void EnterPhase(RunPhase phase);
    void StartRun();
    ScanPlan PlanFromControls() const;
    // The end of a run: the bar cleared, the controls as the outcome leaves
    // them, and a failure of the line at the end reported.
    void EndRun(const ScanOutcome& outcome);
    void ShowBox(QMessageBox::Icon icon, const QString& title, const QString& text);

    void BuildStrip();
    void BuildWorkingBand();
    void BuildStatusFrame();
    void SetUpWindow();
    void SetUpFocus();
    void CentreOnScreen();
    void DragNow(QMouseEvent* event);

    QWidget* Picture1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* Label4 = nullptr;
    LogoLink* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* PortList = nullptr;
    QComboBox* protocol = nullptr;
    QPushButton* GoButton = nullptr;
    QFrame* Frame1 = nullptr;
    QLabel* Status = nullptr;
    CellBar* Label1 = nullptr;
    CellBar* bar = nullptr;

    std::unique_ptr<PortComponent> Prt;
    ComPortNames names_;
    PortAccess access_;
    WindowDrag drag_;
    SteadyClock steady_;
    RunPhase phase_ = RunPhase::Idle;
    // How the last run ended; none before the first.
    std::optional<ScanOutcome::Kind> lastOutcome_;
    std::stop_source stop_;
    ScanPlan plan_;  // of the run under way, or the last one
    bool noPortsDetected_ = false;
    std::unique_ptr<RunSteps> steps_;
    std::unique_ptr<ScanRun> run_;
};

}  // namespace probelyn
