#include "small_controls.h"

#include <windowsx.h>

#include "form1_win32.h"
#include "progress_cells.h"
#include "resource_ids.h"

namespace probelyn {

namespace {

Form1* FormOf(HWND control) {
    return reinterpret_cast<Form1*>(
        ::GetWindowLongPtrW(::GetAncestor(control, GA_ROOT), GWLP_USERDATA));
}

bool IsPress(UINT message) {
    return message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN;
}

// The white strip: presses on the description move the window, presses
// elsewhere on it do nothing. Its labels' colours come from the window.
LRESULT CALLBACK StripProcedure(HWND strip, UINT message, WPARAM w, LPARAM l) {
    Form1* form = FormOf(strip);
    if (form != nullptr && IsPress(message)) {
        const POINT at{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
        if (::ChildWindowFromPointEx(strip, at, CWP_SKIPINVISIBLE) ==
            form->Control(ControlId::Label4)) {
            form->BeginMove(message);
        }
        return 0;
    }
    if (form != nullptr && message == WM_CTLCOLORSTATIC) {
        return reinterpret_cast<LRESULT>(
            form->StaticColours(reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w)));
    }
    return ::DefWindowProcW(strip, message, w, l);
}

// The frame: a sunken box whose top edge shows as the separating line.
LRESULT CALLBACK FrameProcedure(HWND frame, UINT message, WPARAM w, LPARAM l) {
    Form1* form = FormOf(frame);
    if (message == WM_PAINT) {
        PAINTSTRUCT paint{};
        const HDC dc = ::BeginPaint(frame, &paint);
        RECT edge{};
        ::GetClientRect(frame, &edge);
        ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_RECT);
        ::EndPaint(frame, &paint);
        return 0;
    }
    if (form != nullptr && message == WM_CTLCOLORSTATIC) {
        return reinterpret_cast<LRESULT>(
            form->StaticColours(reinterpret_cast<HWND>(l), reinterpret_cast<HDC>(w)));
    }
    return ::DefWindowProcW(frame, message, w, l);
}

bool IsLogo(HWND picture) {
    Form1* form = FormOf(picture);
    return form != nullptr && picture == form->Control(ControlId::Image1);
}

void PaintPicture(HWND picture) {
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(picture, &paint);
    RECT area{};
    ::GetClientRect(picture, &area);
    const auto bitmap = reinterpret_cast<HBITMAP>(::GetWindowLongPtrW(picture, GWLP_USERDATA));
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

// A picture; the logo shows the pointing hand, takes the focus from Tab and
// opens the site on a click or Space (Return comes through the window).
LRESULT CALLBACK PictureProcedure(HWND picture, UINT message, WPARAM w, LPARAM l) {
    static bool pressed = false;
    switch (message) {
        case WM_PAINT:
            PaintPicture(picture);
            return 0;
        case WM_SETCURSOR:
            ::SetCursor(IsLogo(picture) ? ::LoadCursorW(::GetModuleHandleW(nullptr),
                                                        MAKEINTRESOURCEW(IDC_HAND_POINTER))
                                        : ::LoadCursorW(nullptr, IDC_ARROW));
            return TRUE;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            ::InvalidateRect(picture, nullptr, FALSE);
            return 0;
        case WM_LBUTTONDOWN:
            pressed = IsLogo(picture);
            if (pressed) {
                ::SetCapture(picture);
            }
            return 0;
        case WM_LBUTTONUP: {
            RECT area{};
            ::GetClientRect(picture, &area);
            const bool click = pressed && ::PtInRect(&area, {GET_X_LPARAM(l), GET_Y_LPARAM(l)});
            pressed = false;
            ::ReleaseCapture();
            if (click) {
                FormOf(picture)->OpenSite();
            }
            return 0;
        }
        case WM_KEYDOWN:
            if (w == VK_SPACE && (l & (1 << 30)) == 0 && IsLogo(picture)) {
                FormOf(picture)->OpenSite();  // a key held down opens it once
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
    Form1* form = FormOf(row);
    if (message != WM_PAINT || form == nullptr) {
        return ::DefWindowProcW(row, message, w, l);
    }
    PAINTSTRUCT paint{};
    const HDC dc = ::BeginPaint(row, &paint);
    ::FillRect(dc, &paint.rcPaint, ::GetSysColorBrush(COLOR_BTNFACE));
    RECT area{};
    ::GetClientRect(row, &area);
    const int n = row == form->Control(ControlId::bar) ? form->Cells() : 0;
    FillCells(dc, 0, n - 1, area.bottom, form->Dpi(), COLOR_ACTIVECAPTION);
    FillCells(dc, n, kMaxCells - 1, area.bottom, form->Dpi(), COLOR_BTNSHADOW);
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
    ::SetWindowLongPtrW(picture, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bitmap));
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
