#include "cell_bar_widget.h"

#include <QAccessible>
#include <QPainter>
#include <algorithm>

#include "progress_cells.h"
#include "window_layout.h"

namespace probelyn {

CellBar::CellBar(QPalette::ColorRole role, QWidget* parent) : QWidget(parent), role_(role) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CellBar::SetCells(int n) {
    n = std::clamp(n, 0, kMaxCells);
    if (n != cells_) {
        // Only the cells that change are drawn again: the scan moves the bar
        // by a cell or two at a time, and a narrow region keeps the window's
        // other controls out of the repaint.
        const int first = std::min(n, cells_);
        const int last = std::max(n, cells_) - 1;
        cells_ = n;
        const CellBox cells = CellSpan(first, last, height(), kBaseDpi);
        update(cells.left, cells.top, cells.width, cells.height);
        if (!accessibleName().isEmpty()) {
            QAccessibleValueChangeEvent changed(this, n);
            QAccessible::updateAccessibility(&changed);
        }
    }
}

void CellBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor colour = palette().color(QPalette::Active, role_);
    for (int i = 0; i < cells_; ++i) {
        const CellBox cell = CellAt(i, height(), kBaseDpi);
        painter.fillRect(cell.left, cell.top, cell.width, cell.height, colour);
    }
}

}  // namespace probelyn
