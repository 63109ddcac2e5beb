#include "window_drag_win32.h"

namespace probelyn {

void WindowDrag::Begin(UINT press) {
    if (press == WM_LBUTTONDOWN) {
        ::ReleaseCapture();
        ::SendMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
        return;
    }
    POINT pointer{};
    RECT frame{};
    ::GetCursorPos(&pointer);
    ::GetWindowRect(window_, &frame);
    grip_ = {pointer.x - frame.left, pointer.y - frame.top};
    ::SetCapture(window_);
    button_ = press;
}

void WindowDrag::Follow(bool released) {
    if (button_ == 0) {
        return;
    }
    POINT pointer{};
    ::GetCursorPos(&pointer);
    ::SetWindowPos(window_, nullptr, pointer.x - grip_.x, pointer.y - grip_.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (released) {
        button_ = 0;
        ::ReleaseCapture();
    }
}

}  // namespace probelyn
