#pragma once

#include <QMessageBox>
#include <QWidget>
#include <memory>

#include "clock.h"
#include "com_port_names.h"
#include "port_component.h"
#include "window_core.h"
#include "window_drag.h"
#include "window_layout.h"
#include "window_surface.h"

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
// Controls carry their layout names as object names. The window core decides
// what it shows; this class draws it with Qt.
class Form1 : public QWidget, private WindowSurface {
    Q_OBJECT
  public:
    // The window with the system's own lines, numbered as the platform does.
    Form1();
    // The window driving the given port component (the system's own lines,
    // numbered by `names`, when none); names give the device shown for each
    // listed line, the system's catalogue what it is; waits are measured on
    // clock (the steady clock when none is given).
    Form1(std::unique_ptr<PortComponent> port, ComPortNames names, Clock* clock = nullptr);
    ~Form1() override;

    // Start-up: shows the window and lists the serial lines that open.
    // Returns false, after the critical box, when none does, and when the
    // window was closed during discovery.
    bool Load();
    // Whether the window has closed; the program then ends normally.
    bool Closed() const { return core_.Closed(); }
    // Whether start-up found no serial line (the critical box was shown).
    bool NoPortsDetected() const { return core_.NoPortsDetected(); }
    // A close request that cannot be refused (the system asks the program to
    // end): a box that is up is dismissed as its close button would, a run
    // stops at its next check and closes the line, and the window closes.
    void CloseUnconditionally() { core_.EndRequest(); }

    // Whether a run under way was asked to stop (Stop, or a close request),
    // and whether the window is to close once it has.
    bool CancelRequested() const { return core_.CancelRequested(); }
    bool CloseRequested() const { return core_.CloseRequested(); }
    // The last result of the line's Open or Close; 1 or more means open.
    int PortHandle() const { return core_.PortHandle(); }

    // Shows Message in the status line and repaints it before returning.
    void SetStatus(const QString& Message) { core_.SetStatus(Message.toStdString()); }
    // Shows the cells for Current out of Max; drawn at the next event turn.
    void SetBar(int Current, int Max) { core_.SetBar(Current, Max); }
    // Modal "Device Found" report, then the found status.
    void DoFound(const QString& Txt) { core_.DoFound(Txt.toStdString()); }

    // The engine this window runs and the window as its front end; exposed
    // for measuring a scan.
    ScanRun& Scan() { return core_.Scan(); }
    ScanSteps& Steps() { return core_.Steps(); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    // The surface the core draws on.
    void ShowStatus(const std::string& text) override;
    void ShowCells(int n) override;
    void SetLook(const Look& look) override;
    void ShowBox(const Box& box) override;
    bool AskYesNo(const std::string& title, const std::string& question) override;
    void TurnEventPump() override;
    void CloseWindow() override;
    void AddPortEntry(const PortEntry& entry) override;
    void SelectFirstEntries() override;
    Selections Selected() const override;

    void BuildControls();
    QWidget* BuildPicture(const ControlLayout& control, QWidget* parent);
    QWidget* BuildLabel(const ControlLayout& control, QWidget* parent);
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

    WindowDrag drag_;
    WindowCore core_;
};

}  // namespace probelyn
