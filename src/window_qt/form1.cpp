#include "form1.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWindow>

#include "cell_bar_widget.h"

namespace probelyn {

void Form1::ShowStatus(const std::string& text) {
    Status->setText(QString::fromStdString(text));
    Status->repaint();
}

void Form1::ShowCells(int n) {
    bar->SetCells(n);
}

void Form1::mousePressEvent(QMouseEvent* event) {
    // Presses that children leave unhandled arrive here too; only the bare
    // surface and the description text move the window.
    QWidget* hit = childAt(event->position().toPoint());
    if (hit == nullptr || hit == Label4) {
        DragNow(event);
        event->accept();
        return;
    }
    event->ignore();
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    if (!drag_.Move(event->globalPosition().toPoint())) {
        QWidget::mouseMoveEvent(event);
    }
}

void Form1::mouseReleaseEvent(QMouseEvent* event) {
    if (!drag_.Release(event->button(), event->globalPosition().toPoint())) {
        QWidget::mouseReleaseEvent(event);
    }
}

void Form1::DragNow(QMouseEvent* event) {
    // The window follows the pointer here, press to release, so it moves by
    // exactly the pointer's travel. Wayland lets no program place its own
    // window: there the compositor runs the move (left button only).
    if (QGuiApplication::platformName() == QStringLiteral("wayland") &&
        event->button() == Qt::LeftButton && windowHandle() != nullptr &&
        windowHandle()->startSystemMove()) {
        return;
    }
    drag_.Begin(this, event->button(), event->globalPosition().toPoint());
}

}  // namespace probelyn
