#include "widgets/GdipButton.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

TEST(GdipButtonTest, ToggleModeFlipsTheAlternateImageOnEveryClick) {
    CGdipButton button(1100);
    button.resize(96, 28);
    button.SetToggleMode(true);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.IsAlternate());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(button.IsAlternate());
    EXPECT_EQ(clicked.count(), 2);
    EXPECT_EQ(button.property("controlId").toInt(), 1100);
}

TEST(GdipButtonTest, FacesFollowState) {
    CGdipButton button(1101);
    button.resize(96, 28);
    EXPECT_EQ(button.CurrentFace(), CGdipButton::Face::Normal);
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &enter);
    EXPECT_EQ(button.CurrentFace(), CGdipButton::Face::Hot);
    button.setDown(true);
    EXPECT_EQ(button.CurrentFace(), CGdipButton::Face::Pressed);
    button.setDown(false);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&button, &leave);
    EXPECT_EQ(button.CurrentFace(), CGdipButton::Face::Normal);

    button.SetButtonEnabled(false);
    EXPECT_EQ(button.CurrentFace(), CGdipButton::Face::Disabled);
    QSignalSpy clicked(&button, &QAbstractButton::clicked);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 0);
}

TEST(GdipButtonTest, PressedFaceIsTheImageMovedOnePixel) {
    CGdipButton button(1102);
    button.resize(96, 28);
    const QImage normal = button.RenderFace(false, CGdipButton::Face::Normal, 1.0).toImage();
    const QImage pressed = button.RenderFace(false, CGdipButton::Face::Pressed, 1.0).toImage();
    ASSERT_EQ(normal.size(), QSize(96, 28));
    for (QPoint at : {QPoint(20, 10), QPoint(50, 20), QPoint(3, 3)}) {
        EXPECT_EQ(pressed.pixel(at + QPoint(1, 1)), normal.pixel(at));
    }
    const QImage hot = button.RenderFace(false, CGdipButton::Face::Hot, 1.0).toImage();
    EXPECT_GT(QColor(hot.pixel(50, 20)).lightness(), QColor(normal.pixel(50, 20)).lightness());
    // Outside the rounded corner the artwork is transparent: the page shows through.
    EXPECT_EQ(qAlpha(normal.pixel(0, 0)), 0);
}

} // namespace
} // namespace orvex
