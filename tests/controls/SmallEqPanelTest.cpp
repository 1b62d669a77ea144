#include "widgets/SmallEqPanel.h"

#include <QEnterEvent>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace orvex {
namespace {

TEST(SmallEqPanelTest, SettersIgnoreZeroAndClamp) {
    CSmallEqPanel panel;
    panel.resize(170, 80);
    panel.SetBandFrequency(0, 0.0f);
    EXPECT_FLOAT_EQ(panel.GetBand(0).freqHz, 31.0f);
    panel.SetBandFrequency(0, 5.0f);
    EXPECT_FLOAT_EQ(panel.GetBand(0).freqHz, 20.0f);
    panel.SetBandFrequency(0, 40000.0f);
    EXPECT_FLOAT_EQ(panel.GetBand(0).freqHz, 20000.0f);
    panel.SetBandGain(1, -30.0f);
    EXPECT_FLOAT_EQ(panel.GetBand(1).gainDb, -15.0f);
}

TEST(SmallEqPanelTest, TotalIsTheSumOfTheDrawnBandsInTenths) {
    CSmallEqPanel panel;
    panel.resize(170, 80);
    const CompactCurve flat = panel.DrawnTotal();
    for (float v : flat) {
        EXPECT_NEAR(v, 0.0f, 1e-5);
    }
    panel.SetBandGain(5, 9.0f); // 1 kHz
    const CompactCurve total = panel.DrawnTotal();
    float peak = -100.0f;
    for (float v : total) {
        peak = std::max(peak, v);
        EXPECT_NEAR(v * 10.0f, std::round(v * 10.0f), 1e-3);
    }
    // Read back from 76 pixel rows of 30 dB, the peak lands within a row's worth of +9 dB.
    EXPECT_NEAR(peak, 9.0f, 30.0f / 76.0f + 0.1f);
}

TEST(SmallEqPanelTest, HoverFrameAndPass) {
    CSmallEqPanel panel;
    panel.resize(170, 80);
    QImage plain(panel.size(), QImage::Format_ARGB32);
    plain.fill(Qt::black);
    panel.render(&plain);
    EXPECT_NE(QColor(plain.pixel(0, 40)), QColor(0, 255, 255));

    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&panel, &enter);
    panel.SetBypass(true);
    QImage hovered(panel.size(), QImage::Format_ARGB32);
    hovered.fill(Qt::black);
    panel.render(&hovered);
    EXPECT_EQ(QColor(hovered.pixel(0, 40)), QColor(0, 255, 255));
    int white = 0;
    for (int y = 20; y < 60; ++y) {
        for (int x = 40; x < 130; ++x) {
            white += QColor(hovered.pixel(x, y)) == QColor(Qt::white) ? 1 : 0;
        }
    }
    EXPECT_GT(white, 100);

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&panel, &leave);
    EXPECT_FALSE(panel.IsHovered());
}

} // namespace
} // namespace orvex
