#pragma once

#include <QPoint>
#include <Qt>

class QWidget;

namespace probelyn {

// Moves a top-level window with the mouse from a button press until that
// button is released, by grabbing the mouse and following it. The window ends
// where the release puts it, whatever motion events were merged on the way.
class WindowDrag {
  public:
    void Begin(QWidget* window, Qt::MouseButton button, QPoint globalPress);
    // Returns true while a drag is under way and the event was used by it.
    bool Move(QPoint globalPos);
    bool Release(Qt::MouseButton button, QPoint globalPos);
    bool Active() const { return window_ != nullptr; }

  private:
    QWidget* window_ = nullptr;
    Qt::MouseButton button_ = Qt::NoButton;
    QPoint offset_;
};

}  // namespace probelyn
