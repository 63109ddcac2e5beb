#pragma once

namespace probelyn {

// Number of progress cells (1..100) that the bar shows for Current out of Max.
// Computed in double precision; a division that cannot be made (Max == 0)
// counts as 0 %. Halves round to the even neighbour (2.5 % -> 2 cells).
int BarCells(int Current, int Max);

// The progress track shows all of its cells; the bar, laid exactly over it,
// its first n.
inline constexpr int kMaxCells = 100;

// A cell's place within its row, in pixels.
struct CellBox {
    int left;
    int top;
    int width;
    int height;
};

// Cell i (0-based) of a row rowHeight pixels high at dpi: equal cells 4 by 11
// pixels, 5 apart, centred in the row's height, at 96 dots per inch, scaled
// with the dpi so that 100 of them keep their length.
CellBox CellAt(int i, int rowHeight, int dpi);
// The pixels of a row that show cells first..last (0-based, inclusive).
CellBox CellSpan(int first, int last, int rowHeight, int dpi);

}  // namespace probelyn
