#include "window_drag.h"

#include <QWidget>

namespace probelyn {

void WindowDrag::Begin(QWidget* window, Qt::MouseButton button, QPoint globalPress) {
    window_ = window;
    button_ = button;
    offset_ = globalPress - window->pos();
    window->grabMouse();
}

bool WindowDrag::Move(QPoint globalPos) {
    if (window_ == nullptr) {
        return false;
    }
    window_->move(globalPos - offset_);
    return true;
}

bool WindowDrag::Release(Qt::MouseButton button, QPoint globalPos) {
    if (window_ == nullptr || button != button_) {
        return false;
    }
    window_->move(globalPos - offset_);
    window_->releaseMouse();
    window_ = nullptr;
    button_ = Qt::NoButton;
    return true;
}

}  // namespace probelyn
