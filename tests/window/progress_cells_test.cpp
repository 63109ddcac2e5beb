#include "progress_cells.h"

#include <gtest/gtest.h>

#include <climits>

namespace probelyn {

struct BarCase {
    int current;
    int max;
    int cells;
};

class BarCellsTest : public testing::TestWithParam<BarCase> {};

TEST_P(BarCellsTest, CellsForCountAndTotal) {
    const BarCase& c = GetParam();
    EXPECT_EQ(BarCells(c.current, c.max), c.cells) << c.current << " of " << c.max;
}

INSTANTIATE_TEST_SUITE_P(Cases, BarCellsTest,
                         testing::Values(BarCase{1, 2540, 1}, BarCase{127, 2540, 5},
                                         BarCase{1270, 2540, 50}, BarCase{2540, 2540, 100},
                                         BarCase{2550, 2540, 100},
                                         BarCase{5, 200, 2},  // 2.5 % rounds to even
                                         BarCase{7, 200, 4},  // 3.5 % rounds to even
                                         BarCase{0, 0, 1}, BarCase{5, 0, 1}, BarCase{0, 2540, 1},
                                         BarCase{-7, 2540, 1}, BarCase{INT_MAX, 1, 100},
                                         BarCase{INT_MIN, -1, 100}, BarCase{7440, 7430, 100}));

}  // namespace probelyn
