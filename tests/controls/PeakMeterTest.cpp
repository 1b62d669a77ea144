#include "widgets/PeakMeterCtrl.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

class PeakMeterTest : public ::testing::Test {
protected:
    CPeakMeterCtrl meter;

    // The music page's bars: one band of 15 LEDs over 60, falloff every 50 ms.
    void SetUp() override {
        meter.resize(150, 10);
        meter.SetBandLayout(1, 15);
        meter.SetBackground(QColor(240, 250, 255));
    }
    void Set(int value) { meter.SetLevels(std::span<const int>(&value, 1), 0); }
};

TEST_F(PeakMeterTest, ValueAboveTheRangeLightsEveryLed) {
    Set(200);
    EXPECT_EQ(meter.Level(0), 60);
    EXPECT_EQ(meter.LitLedCount(0), 15);
    Set(-5);
    EXPECT_EQ(meter.Level(0), 0);
    EXPECT_EQ(meter.LitLedCount(0), 0);
}

TEST_F(PeakMeterTest, ZonesOfTheMusicPageBars) {
    for (int i = 0; i < 15; ++i) {
        const auto expected = i < 10   ? CPeakMeterCtrl::Zone::Green
                              : i < 12 ? CPeakMeterCtrl::Zone::Yellow
                                       : CPeakMeterCtrl::Zone::Red;
        EXPECT_EQ(meter.LedZone(i), expected) << i;
    }
}

TEST_F(PeakMeterTest, EachTickTakesOneLedAndTheLastStopsTheTimer) {
    meter.StartDecayTimer(50);
    Set(200);
    ASSERT_TRUE(meter.IsDecayRunning());
    for (int tick = 1; tick <= 14; ++tick) {
        meter.DecayTick();
        EXPECT_EQ(meter.Level(0), 60 - 4 * tick);
    }
    EXPECT_TRUE(meter.IsDecayRunning());
    meter.DecayTick();
    EXPECT_EQ(meter.Level(0), 0);
    EXPECT_FALSE(meter.IsDecayRunning());
    // New data starts the armed falloff again.
    Set(30);
    EXPECT_TRUE(meter.IsDecayRunning());
}

TEST_F(PeakMeterTest, EmptiesWithinLedsTimesPeriodOnTheUiTimer) {
    // The period is the meter's to be told: a short one keeps the wait short.
    meter.StartDecayTimer(8);
    Set(200);
    QElapsedTimer clock;
    clock.start();
    // 15 x 8 ms = 120 ms; a generous bound absorbs a loaded machine.
    while (meter.Level(0) > 0 && clock.elapsed() < 3000) {
        QTest::qWait(2);
    }
    EXPECT_EQ(meter.Level(0), 0);
    EXPECT_GE(clock.elapsed(), 15 * 8 - 10);
    EXPECT_FALSE(meter.IsDecayRunning());
}

// A bar fed the same value every poll is painted once, and an empty one has nothing to fall: no
// timer wakes for it.
TEST_F(PeakMeterTest, UnchangedValuesNeitherRepaintNorTick) {
    meter.StartDecayTimer(50);
    Set(0);
    EXPECT_FALSE(meter.IsDecayRunning());
    meter.StopDecayTimer();
    struct PaintSpy : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } spy;
    meter.installEventFilter(&spy);
    meter.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&meter));
    Set(30);
    QTest::qWait(50);
    ASSERT_GT(spy.paints, 0);
    spy.paints = 0;
    Set(30);
    QTest::qWait(50);
    EXPECT_EQ(spy.paints, 0);
    Set(31);
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.paints > 0; }, 1000));
}

TEST_F(PeakMeterTest, SingleLedFallsByATenthOfTheRange) {
    meter.SetBandLayout(1, 1);
    EXPECT_EQ(meter.DecayStep(), 6);
    meter.SetBandLayout(4, 8);
    EXPECT_EQ(meter.DecayStep(), 7);
    const int values[] = {10, 20, 30, 40, 50};
    meter.SetLevels(values, 2); // only bands 2 and 3 exist of those
    EXPECT_EQ(meter.Level(1), 0);
    EXPECT_EQ(meter.Level(2), 10);
    EXPECT_EQ(meter.Level(3), 20);
}

TEST_F(PeakMeterTest, PaintsLitCellsInTheirZoneColour) {
    Set(44); // 11 LEDs: green 0..9 and yellow 10 lit, the rest dark
    QImage image(meter.size(), QImage::Format_ARGB32);
    meter.render(&image);
    auto cellColour = [&](int i) { return QColor(image.pixel(i * 10 + 5, 5)); };
    EXPECT_EQ(cellColour(0), QColor(0, 255, 0));
    EXPECT_EQ(cellColour(10), QColor(255, 255, 0));
    EXPECT_EQ(cellColour(11), QColor(60, 60, 2));
    EXPECT_EQ(cellColour(14), QColor(60, 2, 2));
    // The one-pixel gap in front of each cell shows the background.
    EXPECT_EQ(QColor(image.pixel(10, 5)), QColor(240, 250, 255));
}

} // namespace
} // namespace orvex
