#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "cell_bar.h"
#include "form1.h"

// The real window with its flags and controls in reach of a test.
class TestForm : public Form1 {
  public:
    using Form1::CancelRequested;
    using Form1::CloseRequested;
    using Form1::Form1;

    QPushButton* Go() const { return GoButton; }
    QComboBox* Ports() const { return PortList; }
    QComboBox* Protocols() const { return protocol; }
    QString StatusText() const { return Status->text(); }
    int BarCells() const { return bar->Cells(); }
    int Handle() const { return access_.PortHandle(); }
};
