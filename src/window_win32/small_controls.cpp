#include "small_controls.h"

#include <windowsx.h>

#include "progress_cells.h"
#include "resource_ids.h"

namespace probelyn {

namespace {

// What a small control keeps: what it was given, and its own state.
struct Kept {
    SmallControl given;
    HBITMAP bitmap = nullptr;  // a picture's
    bool pressed = false;      // a press on the picture not yet released
};

Kept* KeptBy(HWND control) {
    return reinterpret_cast<Kept*>(::GetWindowLongPtrW(control, GWLP_USERDATA));
}

// The control's own state from its creation to its end; nothing before.
Kept* Keep(HWND control, UINT message, LPARAM l) {
    if (message == WM_NCCREATE) {
        const auto* given =
            static_cast<const SmallControl*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
        ::SetWindowLongPtrW(control, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(new Kept{given ? *given : SmallControl{}}));
    } else if (message == WM_NCDESTROY) {
        delete KeptBy(control);
        ::SetWindowLongPtrW(control, GWLP_USERDATA, 0);
        return nullptr;
    }
    return KeptBy(control);
}

bool IsPress(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

// The colours of a label on a container, as the container was given them.
bool Coloured(const Kept* kept, UINT message, WPARAM w, LPARAM l, LRESULT* result) {
    if (kept == nullptr || message != WM_CTLCOLORSTATIC || !kept->given.colours) {
        return false;
    }
    *result = reinterpret_cast<LRESULT>(
        kept->given.colours(reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w)));
    return true;
}

// The white strip: presses on the description move the window, presses
// elsewhere on it do nothing.
LRESULT CALLBACK StripProcedure(HWND strip, UINT message, WPARAM w, LPARAM l) {
    Kept* kept = Keep(strip, message, l);
    LRESULT coloured = 0;
    if (Coloured(kept, message, w, l, &coloured)) {
        return coloured;
    }
    if (kept != nullptr && IsPress(message)) {
        const POINT at{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
        const HWND child = ::ChildWindowFromPointEx(strip, at, CWP_SKIPINVISIBLE);
        if (child != nullptr && child != strip && ::GetDlgCtrlID(child) == kept->given.gripId &&
            kept->given.onGripPress) {
            kept->given.onGripPress(message);
        }
        return 0;
    }
    return ::DefWindowProcW(strip, message, w, l);
}

// The frame: a sunken box whose top edge shows as the separating line.
LRESULT CALLBACK FrameProcedure(HWND frame, UINT message, WPARAM w, LPARAM l) {
    Kept* kept = Keep(frame, message, l);
    LRESULT coloured = 0;
    if (Coloured(kept, message, w, l, &coloured)) {
        return coloured;
    }
    if (message == WM_PAINT) {
        PAINTSTRUCT paint{};
        const HDC dc = ::BeginPaint(frame, &paint);
        RECT edge{};
        ::GetClientRect(frame, &edge);
        ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
        ::EndPaint(frame, &paint);
        return 0;
    }
    return ::DefWindowProcW(frame, message, w, l);
}

void PaintPicture(HWND picture, HBITMAP bitmap) {
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(picture, &paint);
    RECT area{};
    ::GetClientRect(picture, &area);
    BITMAP size{};
    if (bitmap != nullptr && ::GetObjectW(bitmap, sizeof size, &size) != 0) {
        const HDC source = ::CreateCompatibleDC(dc);
        const HGDIOBJ old = ::SelectObject(source, bitmap);
        ::SetStretchBltMode(dc, HALFTONE);
        ::StretchBlt(dc, 0, 0, area.right, area.bottom, source, 0, 0, size.bmWidth, size.bmHeight,
                     SRCCOPY);
        ::SelectObject(source, old);
        ::DeleteDC(source);
    }
    if (::GetFocus() == picture) {
        ::DrawFocusRect(dc, &area);
    }
    ::EndPaint(picture, &paint);
}

// A press and release on the picture that was given a click: the click,
// when the release is still over it.
LRESULT PictureButton(HWND picture, Kept& kept, UINT message, LPARAM l) {
    const bool clickable = static_cast<bool>(kept.given.onClick);
    if (message == WM_LBUTTONDOWN) {
        kept.pressed = clickable;
        if (clickable) {
            ::SetCapture(picture);
        }
        return 0;
    }
    RECT area{};
    ::GetClientRect(picture, &area);
    const bool click = kept.pressed && ::PtInRect(&area, {GET_X_LPARAM(l), GET_Y_LPARAM(l)});
    kept.pressed = false;
    ::ReleaseCapture();
    if (click) {
        kept.given.onClick();
    }
    return 0;
}

// A picture; one given a click (the logo) shows the pointing hand, takes the
// focus from Tab and is clicked by the mouse or Space (Return comes through
// the window).
LRESULT CALLBACK PictureProcedure(HWND picture, UINT message, WPARAM w, LPARAM l) {
    Kept* kept = Keep(picture, message, l);
    if (kept == nullptr) {
        return ::DefWindowProcW(picture, message, w, l);
    }
    const bool clickable = static_cast<bool>(kept->given.onClick);
    switch (message) {
        case WM_PAINT:
            PaintPicture(picture, kept->bitmap);
            return 0;
        case WM_SETCURSOR:
            ::SetCursor(clickable ? ::LoadCursorW(::GetModuleHandleW(nullptr),
                                                  MAKEINTRESOURCEW(IDC_HAND_POINTER))
                                  : ::LoadCursorW(nullptr, IDC_ARROW));
            return TRUE;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            ::InvalidateRect(picture, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            return PictureButton(picture, *kept, message, l);
        case WM_KEYDOWN:
            if (w == VK_SPACE && (l & (1 << 30)) == 0 && clickable) {
                kept->given.onClick();  // a key held down clicks once
            }
            return 0;
        default:
            return ::DefWindowProcW(picture, message, w, l);
    }
}

void FillCells(HDC dc, int first, int last, int height, int dpi, int role) {
    const HBRUSH brush = ::CreateSolidBrush(::GetSysColor(role));
    for (int i = first; i <= last; ++i) {
        const CellBox cell = CellAt(i, height, dpi);
        const RECT r{cell.left, cell.top, cell.left + cell.width, cell.top + cell.height};
        ::FillRect(dc, &r, brush);
    }
    ::DeleteObject(brush);
}

// A row of cells on the frame's face: the track shows all 100 in the button
// shadow's colour; the bar, laid exactly over it, its first n in the active
// title bar's colour and the track's beyond them.
LRESULT CALLBACK CellRowProcedure(HWND row, UINT message, WPARAM w, LPARAM l) {
    Kept* kept = Keep(row, message, l);
    if (message != WM_PAINT || kept == nullptr) {
        return ::DefWindowProcW(row, message, w, l);
    }
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(row, &paint);
    ::FillRect(dc, &paint.rcPaint, ::GetSysColorBrush(COLOR_BTNFACE));
    RECT area{};
    ::GetClientRect(row, &area);
    const int dpi = static_cast<int>(::GetDpiForWindow(row));
    const int n = kept->given.cells ? kept->given.cells() : 0;
    FillCells(dc, 0, n - 1, area.bottom, dpi, COLOR_ACTIVECAPTION);
    FillCells(dc, n, kMaxCells - 1, area.bottom, dpi, COLOR_BTNSHADOW);
    ::EndPaint(row, &paint);
    return 0;
}

void Register(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, HBRUSH background) {
    WNDCLASSEXW windowClass{sizeof windowClass};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    ::RegisterClassExW(&windowClass);
}

}  // namespace

void RegisterSmallControls(HINSTANCE instance) {
    Register(instance, kStripClass, StripProcedure,
             static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    Register(instance, kFrameClass, FrameProcedure, ::GetSysColorBrush(COLOR_BTNFACE));
    Register(instance, kPictureClass, PictureProcedure, nullptr);
    Register(instance, kCellRowClass, CellRowProcedure, nullptr);
}

void ShowPicture(HWND picture, HBITMAP bitmap) {
    if (Kept* kept = KeptBy(picture)) {
        kept->bitmap = bitmap;
    }
    ::InvalidateRect(picture, nullptr, FALSE);
}

void RepaintCells(HWND row, int first, int last) {
    RECT area{};
    ::GetClientRect(row, &area);
    const int dpi = static_cast<int>(::GetDpiForWindow(row));
    const CellBox span = CellSpan(first, last, area.bottom, dpi);
    const RECT changed{span.left, span.top, span.left + span.width, span.top + span.height};
    ::InvalidateRect(row, &changed, FALSE);
}

}  // namespace probelyn
