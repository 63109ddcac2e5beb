#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "cell_bar_widget.h"
#include "form1.h"

namespace probelyn {

// The real window, with its controls found by their layout names, as any
// user of the window could find them: nothing private is reached.
class TestForm : public Form1 {
  public:
    using Form1::Form1;

    QPushButton* Go() const { return findChild<QPushButton*>("GoButton"); }
    QComboBox* Ports() const { return findChild<QComboBox*>("PortList"); }
    QComboBox* Protocols() const { return findChild<QComboBox*>("protocol"); }
    QString StatusText() const { return findChild<QLabel*>("Status")->text(); }
    int BarCells() const { return findChild<CellBar*>("bar")->Cells(); }
};

}  // namespace probelyn
