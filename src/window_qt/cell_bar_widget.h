#pragma once

#include <QPalette>
#include <QWidget>

namespace probelyn {

// A row of up to 100 equal cells drawn in one palette colour on a transparent
// background. The progress track is one with all 100 cells in the button-shadow
// colour; the progress bar is a second one laid exactly over it, showing its
// first n cells in the highlight colour, so both line up cell for cell.
class CellBar : public QWidget {
    Q_OBJECT
  public:
    CellBar(QPalette::ColorRole role, QWidget* parent);

    void SetCells(int n);
    int Cells() const { return cells_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QPalette::ColorRole role_;
    int cells_ = 0;
};

}  // namespace probelyn
