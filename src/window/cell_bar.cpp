#include "cell_bar.h"

#include <QPainter>
#include <algorithm>

CellBar::CellBar(QPalette::ColorRole role, QWidget* parent) : QWidget(parent), role_(role) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CellBar::SetCells(int n) {
    n = std::clamp(n, 0, kMaxCells);
    if (n != cells_) {
        cells_ = n;
        update();
    }
}

QRect CellBar::CellRect(int i, int widgetHeight) {
    const int top = (widgetHeight - kCellHeight) / 2;
    return {i * kCellPitch, top, kCellWidth, kCellHeight};
}

void CellBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QColor colour = palette().color(QPalette::Active, role_);
    for (int i = 0; i < cells_; ++i) {
        painter.fillRect(CellRect(i, height()), colour);
    }
}
