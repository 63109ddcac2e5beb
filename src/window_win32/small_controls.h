#pragma once

#include <windows.h>

#include <functional>

namespace probelyn {

// The window classes of the window's own small controls: the white strip
// (Picture1), the frame (Frame1), a picture (Image2, and the logo Image1,
// which takes the focus and opens the site), and a row of progress cells.
inline constexpr wchar_t kStripClass[] = L"ProbelynStrip";
inline constexpr wchar_t kFrameClass[] = L"ProbelynFrame";
inline constexpr wchar_t kPictureClass[] = L"ProbelynPicture";
inline constexpr wchar_t kCellRowClass[] = L"ProbelynCells";

// What one small control does, given when it is made (the creation
// parameter of CreateWindowEx) and kept by that control alone.
struct SmallControl {
    // The strip: a press on its child of this id (the description) is
    // handed on (the window moves); presses elsewhere on it do nothing.
    int gripId = 0;
    std::function<void(UINT press)> onGripPress;
    // The strip, the frame: the colours of the labels on it.
    std::function<HBRUSH(HWND label, HDC dc)> colours;
    // A picture: a click, or Space while it has the focus (the logo).
    std::function<void()> onClick;
    // A cell row: how many of its cells show the bar's colour.
    std::function<int()> cells;
};

// Registers the classes.
void RegisterSmallControls(HINSTANCE instance);

// A picture shows this bitmap, scaled to its size.
void ShowPicture(HWND picture, HBITMAP bitmap);
// Repaints a cell row's cells first..last.
void RepaintCells(HWND row, int first, int last);

}  // namespace probelyn
