#pragma once

#include <windows.h>

namespace probelyn {

// Moving the window by a press on its surface: the left button starts the
// system's own move, as a press on the title bar does; the system moves a
// window with the left button only, so with the right or middle button the
// window follows the pointer itself until that button is released.
class WindowDrag {
  public:
    explicit WindowDrag(HWND window) : window_(window) {}

    // A press of WM_LBUTTONDOWN, WM_RBUTTONDOWN or WM_MBUTTONDOWN.
    void Begin(UINT press);
    // The pointer moved; with `released`, the button went up.
    void Follow(bool released);
    // Whether the message is the release of the button the window follows.
    bool IsRelease(UINT message) const { return button_ != 0 && message == button_ + 1; }
    // The window lost the mouse: it follows no more.
    void Lost() { button_ = 0; }

  private:
    HWND window_;
    UINT button_ = 0;  // the press the window follows; 0: none
    POINT grip_{};     // where in the window it was pressed
};

}  // namespace probelyn
