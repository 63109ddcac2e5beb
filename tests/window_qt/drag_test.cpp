#include <gtest/gtest.h>
#include <QLabel>
#include <QTest>

#include "form1.h"

namespace probelyn {

namespace {

struct DragCase {
    const char* target;  // object name, or "Form1" for the bare surface
    QPoint at;           // press point in the target
    Qt::MouseButton button;
    bool moves;
};

class DragTest : public testing::TestWithParam<DragCase> {};

TEST_P(DragTest, PressThenMoveThenRelease) {
    const DragCase& c = GetParam();
    Form1 form;
    form.move(100, 100);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QWidget* target = form.objectName() == c.target
                          ? &form
                          : form.findChild<QWidget*>(QString::fromLatin1(c.target));
    ASSERT_NE(target, nullptr);

    const QPoint start = form.pos();
    QTest::mousePress(target, c.button, {}, c.at);
    QTest::mouseMove(target, c.at + QPoint(30, 20));
    // The pointer goes on to (45, 25) from the press with no motion event on
    // the way; the release there still puts the window where the pointer is.
    const QPoint travel(45, 25);
    QTest::mouseRelease(target, c.button, {}, c.at + travel - (form.pos() - start));
    const QPoint expected = c.moves ? start + travel : start;
    EXPECT_EQ(form.pos(), expected) << c.target;

    // After the release the window no longer follows the mouse.
    QTest::mouseMove(&form, QPoint(5, 5));
    EXPECT_EQ(form.pos(), expected) << c.target;
}

INSTANTIATE_TEST_SUITE_P(Targets, DragTest,
                         testing::Values(DragCase{"Form1", {400, 100}, Qt::LeftButton, true},
                                         DragCase{"Form1", {10, 115}, Qt::RightButton, true},
                                         DragCase{"Form1", {480, 70}, Qt::MiddleButton, true},
                                         DragCase{"Label4", {30, 10}, Qt::LeftButton, true},
                                         DragCase{"Label4", {30, 10}, Qt::RightButton, true},
                                         DragCase{"Label3", {30, 8}, Qt::LeftButton, false},
                                         DragCase{"Picture1", {400, 10}, Qt::LeftButton, false},
                                         DragCase{"Image2", {20, 20}, Qt::RightButton, false},
                                         DragCase{"Status", {20, 8}, Qt::LeftButton, false}));

}  // namespace

}  // namespace probelyn
