#include "progress_cells.h"

#include <cmath>

#include "window_layout.h"

namespace probelyn {

namespace {

constexpr int kCellPitch = 5;
constexpr int kCellWidth = 4;
constexpr int kCellHeight = 11;

int Scaled(int pixels, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(pixels) * dpi / kBaseDpi));
}

}  // namespace

int BarCells(int Current, int Max) {
    double p = 0.0;
    if (Max != 0) {
        p = static_cast<double>(Current) / static_cast<double>(Max) * 100.0;
    }
    if (p < 1.0) {
        p = 1.0;
    }
    if (p > 100.0) {
        p = 100.0;
    }
    // nearbyint rounds in the default mode, to nearest with halves to even.
    return static_cast<int>(std::nearbyint(p));
}

CellBox CellAt(int i, int rowHeight, int dpi) {
    const int height = Scaled(kCellHeight, dpi);
    return {Scaled(i * kCellPitch, dpi), (rowHeight - height) / 2,
            Scaled(i * kCellPitch + kCellWidth, dpi) - Scaled(i * kCellPitch, dpi), height};
}

CellBox CellSpan(int first, int last, int rowHeight, int dpi) {
    const CellBox a = CellAt(first, rowHeight, dpi);
    const CellBox b = CellAt(last, rowHeight, dpi);
    return {a.left, a.top, b.left + b.width - a.left, a.height};
}

}  // namespace probelyn
