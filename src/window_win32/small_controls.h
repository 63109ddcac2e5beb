#pragma once

#include <windows.h>

namespace probelyn {

class Form1;

// The window classes of the window's own small controls: the white strip
// (Picture1), the frame (Frame1), a picture (Image2, and the logo Image1,
// which takes the focus and opens the site), and a row of progress cells.
inline constexpr wchar_t kStripClass[] = L"ProbelynStrip";
inline constexpr wchar_t kFrameClass[] = L"ProbelynFrame";
inline constexpr wchar_t kPictureClass[] = L"ProbelynPicture";
inline constexpr wchar_t kCellRowClass[] = L"ProbelynCells";

// Registers the classes; each control finds its Form1 through its top-level
// window's GWLP_USERDATA.
void RegisterSmallControls(HINSTANCE instance);

// A picture shows this bitmap, scaled to its size.
void ShowPicture(HWND picture, HBITMAP bitmap);
// Repaints a cell row's cells first..last.
void RepaintCells(HWND row, int first, int last);

}  // namespace probelyn
