// The window procedure, the status line and the progress cells, and moving
// the window from its surface.
#include "form1_win32.h"

#include <algorithm>

#include "progress_cells.h"
#include "wide_text.h"

namespace probelyn {

LRESULT CALLBACK Form1::Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_NCCREATE) {
        auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        form->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (form == nullptr) {
        return ::DefWindowProcW(window, message, w, l);
    }
    return form->Handle(message, w, l);
}

LRESULT Form1::Handle(UINT message, WPARAM w, LPARAM l) {
    switch (message) {
        case WM_COMMAND:
            return Command(w, l);
        case WM_CTLCOLORSTATIC:
            return reinterpret_cast<LRESULT>(
                StaticColours(reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w)));
        case WM_NOTIFY:
            ListTooltip(l);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
        case WM_CAPTURECHANGED:
            return Mouse(message);
        case WM_DPICHANGED:
            return DpiChanged(w, l);
        case WM_CLOSE:
            CloseRequested();
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            if (w != FALSE) {
                // Windows ends the process once this returns.
                core_.EndSession();
            }
            return 0;
        case WM_DESTROY:
            ::PostQuitMessage(0);
            return 0;
        default:
            return ::DefWindowProcW(window_, message, w, l);
    }
}

LRESULT Form1::Mouse(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            drag_.Begin(message);
            break;
        case WM_MOUSEMOVE:
            drag_.Follow(false);
            break;
        case WM_CAPTURECHANGED:
            drag_.Lost();
            break;
        default:  // a button released
            if (drag_.IsRelease(message)) {
                drag_.Follow(true);
            }
    }
    return 0;
}

LRESULT Form1::DpiChanged(WPARAM w, LPARAM l) {
    dpi_ = HIWORD(w);
    MakeFonts();
    LayOut();
    const RECT* suggested = reinterpret_cast<const RECT*>(l);
    ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(window_, nullptr, TRUE);
    return 0;
}

void Form1::ShowStatus(const std::string& text) {
    const HWND status = Control(ControlId::Status);
    ::SetWindowTextW(status, Wide(text).c_str());
    ::UpdateWindow(status);
}

void Form1::ShowCells(int n) {
    n = std::clamp(n, 0, kMaxCells);
    if (n == cells_) {
        return;
    }
    const int first = std::min(n, cells_);
    const int last = std::max(n, cells_) - 1;
    cells_ = n;
    RepaintCells(Control(ControlId::bar), first, last);
}

}  // namespace probelyn
