#pragma once

#include <QPoint>
#include <Qt>

class QWidget;

// Moves a top-level window with the mouse from a button press until that
// button is released, by grabbing the mouse and following it. Used where the
// window manager cannot run the move itself: right and middle presses, and
// left presses when no window manager answers.
class WindowDrag {
  public:
    void Begin(QWidget* window, Qt::MouseButton button, QPoint globalPress);
    // Returns true while a drag is under way and the event was used by it.
    bool Move(QPoint globalPos);
    bool Release(Qt::MouseButton button);
    bool Active() const { return window_ != nullptr; }

  private:
    QWidget* window_ = nullptr;
    Qt::MouseButton button_ = Qt::NoButton;
    QPoint offset_;
};
