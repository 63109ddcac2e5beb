#pragma once

#include <QMessageBox>
#include <QWidget>
#include <memory>

#include "baud_rates.h"
#include "clock.h"
#include "com_port_names.h"
#include "port_access.h"
#include "port_component.h"
#include "port_failure.h"
#include "scan_run.h"
#include "window_drag.h"

class CellBar;
class LogoLink;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

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

    // Start-up: fills the baud table, shows the window and lists the serial
    // lines that open. Returns false, after the critical box, when none does,
    // and when the window was closed during discovery.
    bool Load();
    // Whether the window has closed; the program then ends normally.
    bool Closed() const { return closed_; }
    // Whether start-up found no serial line (the critical box was shown).
    bool NoPortsDetected() const { return noPortsDetected_; }
    // A close request that cannot be refused (the system asks the program to
    // end): a box that is up is dismissed as its close button would, a run
    // stops at its next check and closes the line, and the window closes.
    void CloseUnconditionally();

    // Shows Message in the status line and repaints it before returning.
    void SetStatus(const QString& Message);
    // Shows the cells for Current out of Max; drawn at the next event turn.
    void SetBar(int Current, int Max);
    // Modal "Device Found" report, then the found status.
    void DoFound(const QString& Txt);

    // The scan this window runs; exposed for measuring it.
    ScanRun& Scan() { return *run_; }

  protected:
    // Where a run stands. The caption and the lists' enabled states follow
    // from it (ShowPhase); a run is on the call stack in every phase but Idle.
    enum class RunPhase { Idle, Scanning, Stopping, Closing };

    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

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
    BaudTable BaudRates{};
    bool CancelRequested = false;
    bool CloseRequested = false;

  private:
    class Discovery;
    class RunHost;

    void ConnectRun(Clock& clock);
    void GoButton_Click();
    void StartRun();
    void RequestStop();
    void ShowPhase(RunPhase phase);
    // After a failure of the line outside the scan loop: says so, releases the
    // line and returns the window to idle.
    void RecoverFrom(const PortFailure& failure);
    void ShowBox(QMessageBox::Icon icon, const QString& title, const QString& text);

    void BuildStrip();
    void BuildWorkingBand();
    void BuildStatusFrame();
    void SetUpWindow();
    void SetUpFocus();
    void CentreOnScreen();
    void DragNow(QMouseEvent* event);

    WindowDrag drag_;
    SteadyClock steady_;
    RunPhase phase_ = RunPhase::Idle;
    bool closed_ = false;  // once closed, the rest of a run shows nothing
    bool noPortsDetected_ = false;
    std::unique_ptr<RunHost> host_;
    std::unique_ptr<ScanRun> run_;
};
