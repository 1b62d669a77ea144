#include "widgets/XBmpSlider.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

class SliderTest : public ::testing::Test {
protected:
    CXBmpSlider horizontal{77, CXBmpSlider::Orientation::Horizontal};
    CXBmpSlider vertical{1209, CXBmpSlider::Orientation::Vertical};

    void SetUp() override {
        horizontal.resize(200, 22);
        vertical.resize(22, 160);
        vertical.SetSliderRange(-150, 150);
    }
};

TEST_F(SliderTest, PressLeftOfThumbAtMinimumStaysAndStillNotifies) {
    horizontal.SetSliderRange(-60, 0);
    horizontal.SetSliderPos(-60);
    QSignalSpy changed(&horizontal, &CXBmpSlider::posChanged);
    const QRect thumb = horizontal.ThumbRect();
    ASSERT_GT(thumb.left(), 2);
    QTest::mousePress(&horizontal, Qt::LeftButton, {}, QPoint(2, thumb.center().y()));
    EXPECT_EQ(horizontal.GetSliderPos(), -60);
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toInt(), 77);
    EXPECT_EQ(changed[0][1].toInt(), -60);
    EXPECT_FALSE(horizontal.IsDragging());
}

TEST_F(SliderTest, TrackPressMovesOneStepTowardThePress) {
    horizontal.SetSliderRange(0, 100);
    horizontal.SetSliderPos(50);
    const QRect thumb = horizontal.ThumbRect();
    QTest::mousePress(&horizontal, Qt::LeftButton, {}, QPoint(thumb.right() + 30, thumb.center().y()));
    QTest::mouseRelease(&horizontal, Qt::LeftButton, {}, QPoint(thumb.right() + 30, thumb.center().y()));
    EXPECT_EQ(horizontal.GetSliderPos(), 51);
    QTest::mousePress(&horizontal, Qt::LeftButton, {}, QPoint(3, thumb.center().y()));
    EXPECT_EQ(horizontal.GetSliderPos(), 50);
}

TEST_F(SliderTest, VerticalMaximumIsAtTheTopAndBelowThePressSteps) {
    vertical.SetSliderPos(150);
    EXPECT_EQ(vertical.PixelForPos(150), 7); // the start margin
    EXPECT_EQ(vertical.ThumbRect().top(), 7);
    vertical.SetSliderPos(-150);
    EXPECT_EQ(vertical.ThumbRect().bottom(), vertical.height() - 7 - 1);

    vertical.SetSliderPos(0);
    const QRect thumb = vertical.ThumbRect();
    QTest::mousePress(&vertical, Qt::LeftButton, {}, QPoint(11, thumb.bottom() + 20));
    EXPECT_EQ(vertical.GetSliderPos(), -1);
    QTest::mouseRelease(&vertical, Qt::LeftButton, {}, QPoint(11, thumb.bottom() + 20));
    QTest::mousePress(&vertical, Qt::LeftButton, {}, QPoint(11, 2));
    EXPECT_EQ(vertical.GetSliderPos(), 0);
}

TEST_F(SliderTest, PixelAndPositionFormulasInvertEachOther) {
    horizontal.SetSliderRange(20, 20000);
    for (int pos : {20, 500, 10000, 20000}) {
        const int px = horizontal.PixelForPos(pos);
        // The pixel of a position maps back to within one pixel's worth of positions.
        const double perPixel = (20000.0 - 20.0) / (200 - 14 - 7 - 7);
        EXPECT_NEAR(horizontal.PosForPixel(px), pos, perPixel + 1) << pos;
    }
    EXPECT_EQ(horizontal.PosForPixel(7), 20);
    EXPECT_EQ(horizontal.PosForPixel(200 - 14 - 7), 20000);
}

TEST_F(SliderTest, DragFollowsThePointerAndReleaseNotifies) {
    vertical.SetSliderPos(0);
    QSignalSpy changed(&vertical, &CXBmpSlider::posChanged);
    QSignalSpy released(&vertical, &CXBmpSlider::released);
    const QPoint grab = vertical.ThumbRect().center();
    QTest::mousePress(&vertical, Qt::LeftButton, {}, grab);
    EXPECT_TRUE(vertical.IsDragging());
    QTest::mouseMove(&vertical, QPoint(grab.x(), -40));
    EXPECT_EQ(vertical.GetSliderPos(), 150); // clamped at the top
    QTest::mouseRelease(&vertical, Qt::LeftButton, {}, QPoint(grab.x(), -40));
    EXPECT_FALSE(vertical.IsDragging());
    ASSERT_GE(changed.count(), 2);
    EXPECT_EQ(changed.last()[1].toInt(), 150);
    ASSERT_EQ(released.count(), 1);
    EXPECT_EQ(released[0][0].toInt(), 1209);
    EXPECT_EQ(released[0][1].toInt(), 150);
}

TEST_F(SliderTest, KeysAndWheelStepAndSendBothNotifications) {
    horizontal.SetSliderRange(0, 10);
    horizontal.SetSliderPos(5);
    QSignalSpy changed(&horizontal, &CXBmpSlider::posChanged);
    QSignalSpy released(&horizontal, &CXBmpSlider::released);
    QTest::keyClick(&horizontal, Qt::Key_Up);
    QTest::keyClick(&horizontal, Qt::Key_Right);
    QTest::keyClick(&horizontal, Qt::Key_Down);
    EXPECT_EQ(horizontal.GetSliderPos(), 6);
    EXPECT_EQ(changed.count(), 3);
    EXPECT_EQ(released.count(), 3);

    QWheelEvent down(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(&horizontal, &down);
    EXPECT_EQ(horizontal.GetSliderPos(), 5);
    EXPECT_EQ(released.last()[1].toInt(), 5);
}

TEST_F(SliderTest, DisabledSliderIgnoresMouseKeysAndWheel) {
    horizontal.SetSliderRange(0, 10);
    horizontal.SetSliderPos(5);
    horizontal.SetSliderEnabled(false);
    QSignalSpy changed(&horizontal, &CXBmpSlider::posChanged);
    QTest::mousePress(&horizontal, Qt::LeftButton, {}, QPoint(190, 11));
    QTest::keyClick(&horizontal, Qt::Key_Up);
    EXPECT_EQ(horizontal.GetSliderPos(), 5);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(SliderTest, FocusNotifiesWithTheControlId) {
    QSignalSpy focus(&horizontal, &CXBmpSlider::gotFocus);
    horizontal.show();
    horizontal.activateWindow();
    horizontal.setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    ASSERT_GE(focus.count(), 1);
    EXPECT_EQ(focus[0][0].toInt(), 77);
}

TEST_F(SliderTest, SetSliderPosClampsAndDoesNotNotify) {
    vertical.SetSliderRange(10, 200);
    QSignalSpy changed(&vertical, &CXBmpSlider::posChanged);
    vertical.SetSliderPos(3000);
    EXPECT_EQ(vertical.GetSliderPos(), 200);
    EXPECT_EQ(changed.count(), 0);
}

} // namespace
} // namespace orvex
