#pragma once

namespace probelyn {

// Number of progress cells (1..100) that the bar shows for Current out of Max.
// Computed in double precision; a division that cannot be made (Max == 0)
// counts as 0 %. Halves round to the even neighbour (2.5 % -> 2 cells).
int BarCells(int Current, int Max);

}  // namespace probelyn
