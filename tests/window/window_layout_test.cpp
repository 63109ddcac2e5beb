// The layout both windows draw: sizes at the screen's density, the progress
// cells over the track, and the order the windows build the controls in.
#include "window_layout.h"

#include <gtest/gtest.h>

#include <set>

#include "progress_cells.h"

namespace probelyn {

namespace {

TEST(WindowLayoutTest, ClientAreaAtEachDensity) {
    struct Case {
        int dpi;
        int width;
        int height;
    };
    for (const Case c :
         {Case{96, 512, 178}, Case{120, 640, 223}, Case{144, 768, 267}, Case{192, 1024, 356}}) {
        EXPECT_EQ(TwipsToPixels(kClientWidthTwips, c.dpi), c.width) << c.dpi;
        EXPECT_EQ(TwipsToPixels(kClientHeightTwips, c.dpi), c.height) << c.dpi;
    }
    EXPECT_EQ(TwipsToPixels(-60, 96), -4);
    EXPECT_EQ(TwipsToPixels(-60, 120), -5);
}

// A window builds the controls in the table's order: a container is there
// before what it holds, and the bar comes after (lies above) the track.
TEST(WindowLayoutTest, ContainersComeFirstAndTheBarLiesOverTheTrack) {
    std::set<ControlId> built{ControlId::Window};
    for (const ControlLayout& control : WindowLayout()) {
        EXPECT_TRUE(built.count(control.container)) << control.name;
        built.insert(control.id);
    }
    EXPECT_EQ(built.size(), 14U);
    const ControlLayout& track = LayoutOf(ControlId::Label1);
    const ControlLayout& bar = LayoutOf(ControlId::bar);
    EXPECT_LT(&track, &bar);
    EXPECT_EQ(track.place.left, bar.place.left);
    EXPECT_EQ(track.place.top, bar.place.top);
    EXPECT_EQ(LayoutOf(ControlId::Status).container, ControlId::Frame1);
    EXPECT_THROW(LayoutOf(ControlId::Window), std::out_of_range);
}

TEST(ProgressCellsTest, EqualCellsScaleWithTheDensity) {
    struct Case {
        int i;
        int dpi;
        CellBox box;
    };
    for (const Case c : {Case{0, 96, {0, 3, 4, 11}}, Case{99, 96, {495, 3, 4, 11}},
                         Case{1, 192, {10, 3, 8, 22}}, Case{3, 144, {23, 0, 6, 17}}}) {
        const CellBox box = CellAt(c.i, c.dpi == 192 ? 28 : 17, c.dpi);
        EXPECT_EQ(box.left, c.box.left) << c.i << " at " << c.dpi;
        EXPECT_EQ(box.top, c.box.top) << c.i << " at " << c.dpi;
        EXPECT_EQ(box.width, c.box.width) << c.i << " at " << c.dpi;
        EXPECT_EQ(box.height, c.box.height) << c.i << " at " << c.dpi;
    }
    const CellBox span = CellSpan(2, 4, 17, 96);
    EXPECT_EQ(span.left, 10);
    EXPECT_EQ(span.width, 14);  // to the end of the last cell
}

}  // namespace

}  // namespace probelyn
