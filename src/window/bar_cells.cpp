#include "bar_cells.h"

#include <cfenv>
#include <cmath>

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
    // nearbyint rounds in the current mode, which is to-nearest-even by default;
    // pin it so a caller that changed the mode cannot change the bar.
    const int saved = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double n = std::nearbyint(p);
    std::fesetround(saved);
    return static_cast<int>(n);
}
