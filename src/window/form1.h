#pragma once

#include <QWidget>

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
    explicit Form1(QWidget* parent = nullptr);

    // Shows Message in the status line and repaints it before returning.
    void SetStatus(const QString& Message);
    // Shows the cells for Current out of Max; drawn at the next event turn.
    void SetBar(int Current, int Max);
    // Modal "Device Found" report, then the found status.
    void DoFound(const QString& Txt);

  protected:
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

  private:
    void BuildStrip();
    void BuildWorkingBand();
    void BuildStatusFrame();
    void SetUpWindow();
    void DragNow(QMouseEvent* event);

    WindowDrag drag_;
};
