#include "progress_cells.h"

#include <cmath>

namespace probelyn {

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

}  // namespace probelyn
