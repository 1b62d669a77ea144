#include "widgets/EqPanel.h"

#include "widgets/UiLanguage.h"
#include "model/EqPaths.h"

#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace orvex {
namespace {

class EqPanelTest : public ::testing::Test {
protected:
    CEqPanel panel;

    void SetUp() override {
        panel.resize(1000, 420);
        SetUiLanguageIndex(1);
    }
    void TearDown() override { CEqPanel::SetEqClipboard(-1); }

    void MicPath() {
        panel.SetEqIdentity(eqid::MicA);
        panel.SetBandCount(10);
    }
    void OutputPath() {
        panel.SetEqIdentity(eqid::FirstOutput);
        panel.SetBandCount(kOutputEqBandCount);
        for (int i = 0; i < 9; ++i) {
            panel.LoadBand(i, {0.0f, 40 * (1 << i), 1.41f, eqtype::Peaking});
        }
        panel.LoadBand(kOutputCrossoverBand, {0.0f, 80, 0.707f, eqtype::HighPass});
        panel.SetCrossoverFamily(kOutputCrossoverBand, 1);
    }
    QPoint MarkerAt(int index) const {
        const EqPanelBand b = panel.Band(index);
        return panel.PointFor(b.freqHz, b.gainDb).toPoint();
    }
    static QColor Pixel(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }
};

TEST_F(EqPanelTest, BandRecordsCarryTheirIndexAndTheTitleNamesThePath) {
    panel.SetBandCount(10);
    EXPECT_EQ(panel.Band(9).freqHz, 16000.0f);
    EXPECT_EQ(panel.Band(9).index, 9);
    panel.SetEqIdentity(eqid::FirstOutput + 2);
    panel.SetBandCount(13);
    EXPECT_EQ(panel.VisibleBandCount(), 10);
    EXPECT_EQ(panel.Title(), QStringLiteral("CH3 EQ"));
    panel.ResetBandRecord(4);
    EXPECT_EQ(panel.Band(4).index, 4);
    EXPECT_EQ(panel.Band(4).markerX, 0.0f);
}

TEST_F(EqPanelTest, DraggingALowPassBandVerticallyNeverChangesItsGain) {
    MicPath();
    panel.SetBandType(4, eqtype::LowPass);
    QSignalSpy changed(&panel, &CEqPanel::bandChanged);
    const QPoint start = MarkerAt(4);
    QTest::mousePress(&panel, Qt::LeftButton, {}, start);
    ASSERT_EQ(panel.SelectedBand(), 4);
    for (int dy : {-20, -60, -100, 40}) {
        QTest::mouseMove(&panel, start + QPoint(0, dy));
        EXPECT_FLOAT_EQ(panel.Band(4).gainDb, 0.0f);
    }
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, start + QPoint(0, 40));
    EXPECT_FLOAT_EQ(panel.Band(4).gainDb, 0.0f);
    EXPECT_NEAR(panel.Band(4).markerY, panel.PointFor(1000, 0).y() - panel.PlotRect().top(), 0.01);
    EXPECT_GE(changed.count(), 3);
}

TEST_F(EqPanelTest, DraggingAPeqBandFollowsThePointerInTenthsOfADecibel) {
    MicPath();
    const QPoint start = MarkerAt(5);
    QTest::mousePress(&panel, Qt::LeftButton, {}, start + QPoint(3, 2)); // grabbed off-centre
    const QPoint to(start.x() + 100, start.y() - 77);
    QTest::mouseMove(&panel, to);
    const QRect plot = panel.PlotRect();
    const double x = to.x() - plot.left();
    const double expectedHz = 18.0 * std::pow(10.0, std::log10(23000.0 / 18.0) * x / plot.width());
    EXPECT_NEAR(panel.Band(5).freqHz, expectedHz, expectedHz * 1e-5);
    // The vertical grab offset keeps the marker under the same point of the pointer.
    const double y = to.y() - plot.top() - 2;
    const double expectedGain = std::round((15.0 - y / plot.height() * 30.0) * 10.0) / 10.0;
    EXPECT_NEAR(panel.Band(5).gainDb, expectedGain, 1e-5);
    EXPECT_NEAR(panel.Band(5).gainDb * 10.0f, std::round(panel.Band(5).gainDb * 10.0f), 1e-3);
}

TEST_F(EqPanelTest, PressAndReleaseOnEmptyGraphSendsClickEmptyEvenWithABandSelected) {
    MicPath();
    QTest::mousePress(&panel, Qt::LeftButton, {}, MarkerAt(3));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, MarkerAt(3));
    ASSERT_EQ(panel.SelectedBand(), 3);
    QSignalSpy empty(&panel, &CEqPanel::clickEmpty);
    QSignalSpy changed(&panel, &CEqPanel::bandChanged);
    const QPoint nowhere = panel.PointFor(1000, -13).toPoint();
    QTest::mousePress(&panel, Qt::LeftButton, {}, nowhere);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, nowhere);
    EXPECT_EQ(empty.count(), 1);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(panel.SelectedBand(), -1);
}

TEST_F(EqPanelTest, ReleaseAfterADragReportsTheBandOnceMore) {
    MicPath();
    QSignalSpy changed(&panel, &CEqPanel::bandChanged);
    const QPoint start = MarkerAt(1);
    QTest::mousePress(&panel, Qt::LeftButton, {}, start);
    QTest::mouseMove(&panel, start + QPoint(1, 1)); // within a pixel: not yet moved
    EXPECT_EQ(changed.count(), 1);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, start + QPoint(1, 1));
    EXPECT_EQ(changed.count(), 1);
    EXPECT_FLOAT_EQ(panel.Band(1).freqHz, 62.0f);
}

TEST_F(EqPanelTest, HoverFindsTheLastMarkerWithinSixteenPixels) {
    MicPath();
    panel.LoadBand(1, {0.0f, 33, 1.41f, eqtype::Peaking}); // overlaps band 0 at 31 Hz
    auto hover = [this](QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, panel.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&panel, &move);
    };
    hover(MarkerAt(0) + QPoint(0, 12));
    EXPECT_EQ(panel.HoverBand(), 1);
    hover(panel.PointFor(3000, -14).toPoint());
    EXPECT_EQ(panel.HoverBand(), -1);
    // The right button reaches an off band that the left button ignores.
    panel.SetBandType(7, eqtype::Off);
    QTest::mousePress(&panel, Qt::LeftButton, {}, MarkerAt(7));
    EXPECT_EQ(panel.SelectedBand(), -1);
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, MarkerAt(7));
    QTest::mousePress(&panel, Qt::RightButton, {}, MarkerAt(7) + QPoint(12, 0));
    EXPECT_EQ(panel.SelectedBand(), 7);
    QTest::mouseRelease(&panel, Qt::RightButton, {}, MarkerAt(7) + QPoint(12, 0));
    ASSERT_NE(panel.ActiveMenu(), nullptr);
    panel.ActiveMenu()->close();
}

TEST_F(EqPanelTest, PageDownStopsAtTheCrossoverBandOnOutputPaths) {
    OutputPath();
    panel.SetSelectedBand(8);
    QSignalSpy changed(&panel, &CEqPanel::bandChanged);
    QTest::keyClick(&panel, Qt::Key_PageDown);
    QTest::keyClick(&panel, Qt::Key_PageDown);
    EXPECT_EQ(panel.SelectedBand(), 9);
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.last()[0].toInt(), 9);
    QTest::keyClick(&panel, Qt::Key_Home);
    EXPECT_EQ(panel.SelectedBand(), 0);
    QTest::keyClick(&panel, Qt::Key_End);
    EXPECT_EQ(panel.SelectedBand(), 9);
    QTest::keyClick(&panel, Qt::Key_PageUp);
    EXPECT_EQ(panel.SelectedBand(), 8);
}

struct FrequencyKeyCase {
    float from;
    Qt::Key key;
    bool ctrl;
    float to;
};

class EqPanelFrequencyKeys : public EqPanelTest, public ::testing::WithParamInterface<FrequencyKeyCase> {};

TEST_P(EqPanelFrequencyKeys, StepDependsOnTheDecade) {
    const FrequencyKeyCase c = GetParam();
    MicPath();
    panel.LoadBand(0, {0.0f, static_cast<int>(c.from), 1.41f, eqtype::Peaking});
    panel.SetSelectedBand(0);
    QTest::keyClick(&panel, c.key, c.ctrl ? Qt::ControlModifier : Qt::NoModifier);
    EXPECT_FLOAT_EQ(panel.Band(0).freqHz, c.to);
}

INSTANTIATE_TEST_SUITE_P(Keys, EqPanelFrequencyKeys,
                         ::testing::Values(FrequencyKeyCase{150, Qt::Key_Left, true, 144},
                                           FrequencyKeyCase{150, Qt::Key_Left, false, 145},
                                           FrequencyKeyCase{100, Qt::Key_Right, false, 102},
                                           FrequencyKeyCase{1500, Qt::Key_Left, false, 1490},
                                           FrequencyKeyCase{12000, Qt::Key_Right, true, 12101},
                                           FrequencyKeyCase{21, Qt::Key_Left, false, 20},          // clamped
                                           FrequencyKeyCase{19950, Qt::Key_Right, false, 20000})); // clamped

TEST_F(EqPanelTest, CommaAndPeriodStepThroughTheTypes) {
    MicPath();
    panel.SetBandGain(0, 5.0f);
    panel.SetSelectedBand(0);
    QTest::keyClick(&panel, Qt::Key_Comma);
    EXPECT_EQ(panel.Band(0).type, eqtype::Peaking);
    EXPECT_FLOAT_EQ(panel.Band(0).gainDb, 5.0f);
    QTest::keyClick(&panel, Qt::Key_Period);
    EXPECT_EQ(panel.Band(0).type, eqtype::LowPass);
    EXPECT_FLOAT_EQ(panel.Band(0).gainDb, 0.0f);
    EXPECT_FLOAT_EQ(panel.Band(0).q, 0.7f);
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(&panel, Qt::Key_Period);
    }
    EXPECT_EQ(panel.Band(0).type, eqtype::HighShelf);
    QTest::keyClick(&panel, Qt::Key_Comma);
    EXPECT_EQ(panel.Band(0).type, eqtype::LowShelf);
}

TEST_F(EqPanelTest, CommaAndPeriodDoNothingOnTheCrossoverBand) {
    OutputPath();
    panel.SetSelectedBand(kOutputCrossoverBand);
    QSignalSpy changed(&panel, &CEqPanel::bandChanged);
    const int before = panel.Band(kOutputCrossoverBand).type;
    QTest::keyClick(&panel, Qt::Key_Period);
    QTest::keyClick(&panel, Qt::Key_Comma);
    EXPECT_EQ(panel.Band(kOutputCrossoverBand).type, before);
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(EqPanelTest, GainAndQKeysRespectTypeAndLimits) {
    MicPath();
    panel.SetSelectedBand(0);
    QTest::keyClick(&panel, Qt::Key_Up);
    QTest::keyClick(&panel, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_NEAR(panel.Band(0).gainDb, 0.3f, 1e-5);
    QTest::keyClick(&panel, Qt::Key_Plus);
    QTest::keyClick(&panel, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_NEAR(panel.Band(0).q, 1.50f, 1e-5);
    panel.SetBandType(0, eqtype::HighPass);
    QTest::keyClick(&panel, Qt::Key_Up);
    EXPECT_FLOAT_EQ(panel.Band(0).gainDb, 0.0f);
    for (int i = 0; i < 20; ++i) {
        QTest::keyClick(&panel, Qt::Key_Plus);
    }
    EXPECT_FLOAT_EQ(panel.Band(0).q, 2.0f); // held for HP
    for (int i = 0; i < 30; ++i) {
        QTest::keyClick(&panel, Qt::Key_Minus);
    }
    EXPECT_FLOAT_EQ(panel.Band(0).q, 0.1f);
}

TEST_F(EqPanelTest, KeysWithoutASelectionAreSwallowed) {
    MicPath();
    QSignalSpy changed(&panel, &CEqPanel::bandChanged);
    QSignalSpy picked(&panel, &CEqPanel::bandPicked);
    QTest::keyClick(&panel, Qt::Key_Right);
    QTest::keyClick(&panel, Qt::Key_3);
    EXPECT_EQ(changed.count() + picked.count(), 0);
    EXPECT_FLOAT_EQ(panel.Band(0).freqHz, 31.0f);
}

TEST_F(EqPanelTest, DigitsPickVisibleBandsOnly) {
    panel.SetEqIdentity(eqid::ReverbA);
    panel.SetBandCount(7);
    panel.SetSelectedBand(0);
    QSignalSpy picked(&panel, &CEqPanel::bandPicked);
    QSignalSpy changed(&panel, &CEqPanel::bandChanged);
    QTest::keyClick(&panel, Qt::Key_7);
    EXPECT_EQ(panel.SelectedBand(), 6);
    QTest::keyClick(&panel, Qt::Key_9); // no band 8 on a seven-band path
    QTest::keyClick(&panel, Qt::Key_0);
    EXPECT_EQ(panel.SelectedBand(), 6);
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked[0][0].toInt(), 6);
    EXPECT_EQ(changed.count(), 0);

    OutputPath();
    panel.SetSelectedBand(0);
    QTest::keyClick(&panel, Qt::Key_0);
    EXPECT_EQ(panel.SelectedBand(), 9);
}

TEST_F(EqPanelTest, RightDragChangesQWithTheTypesScale) {
    MicPath();
    const QPoint start = MarkerAt(2);
    QTest::mousePress(&panel, Qt::RightButton, {}, start);
    QTest::mouseMove(&panel, start + QPoint(24, 0));
    EXPECT_NEAR(panel.Band(2).q, 1.41f + 24.0f / 12.0f, 1e-4);
    QTest::mouseRelease(&panel, Qt::RightButton, {}, start + QPoint(24, 0));
    EXPECT_EQ(panel.ActiveMenu(), nullptr); // moved: no type menu

    panel.SetBandType(3, eqtype::LowShelf);
    const QPoint shelf = MarkerAt(3);
    QTest::mousePress(&panel, Qt::RightButton, {}, shelf);
    QTest::mouseMove(&panel, shelf + QPoint(10, 0));
    QTest::mouseMove(&panel, shelf + QPoint(90, 0));
    EXPECT_NEAR(panel.Band(3).q, 0.7f + 90.0f / 80.0f, 1e-4);
    QTest::mouseRelease(&panel, Qt::RightButton, {}, shelf + QPoint(90, 0));
}

TEST_F(EqPanelTest, RightClickOffersTheTypeMenuOnABandAndThePathMenuElsewhere) {
    MicPath();
    QTest::mousePress(&panel, Qt::RightButton, {}, MarkerAt(4));
    QTest::mouseRelease(&panel, Qt::RightButton, {}, MarkerAt(4));
    ASSERT_NE(panel.ActiveMenu(), nullptr);
    QStringList texts;
    for (QAction* a : panel.ActiveMenu()->actions()) {
        texts << a->text();
    }
    EXPECT_EQ(texts, (QStringList{"PEQ", "LP", "HP", "LS", "HS"}));
    panel.ActiveMenu()->actions()[4]->trigger();
    EXPECT_EQ(panel.Band(4).type, eqtype::HighShelf);
    panel.ActiveMenu()->close();

    QSignalSpy copyPaste(&panel, &CEqPanel::copyPaste);
    const QPoint nowhere = panel.PointFor(300, -12).toPoint();
    QTest::mousePress(&panel, Qt::RightButton, {}, nowhere);
    QTest::mouseRelease(&panel, Qt::RightButton, {}, nowhere);
    ASSERT_NE(panel.ActiveMenu(), nullptr);
    ASSERT_EQ(panel.ActiveMenu()->actions().size(), 2);
    EXPECT_EQ(panel.ActiveMenu()->actions()[1]->text(), QStringLiteral("Paste EQ"));
    panel.ActiveMenu()->actions()[1]->trigger();
    ASSERT_EQ(copyPaste.count(), 1);
    EXPECT_EQ(copyPaste[0][0].toInt(), CEqPanel::kPasteAction);
    EXPECT_EQ(copyPaste[0][1].toInt(), eqid::MicA);
    panel.ActiveMenu()->close();
}

TEST_F(EqPanelTest, PeqFromTheMenuResetsGainOnlyOnOutputPaths) {
    MicPath();
    panel.SetBandGain(1, 6.0f);
    panel.SetSelectedBand(1);
    panel.OnMenuCommand(CEqPanel::ID_EQTYPE_PEQ);
    EXPECT_FLOAT_EQ(panel.Band(1).gainDb, 6.0f);
    EXPECT_FLOAT_EQ(panel.Band(1).q, 1.41f);
    panel.OnMenuCommand(CEqPanel::ID_EQTYPE_PEQ + 3); // LS
    EXPECT_FLOAT_EQ(panel.Band(1).gainDb, 0.0f);

    OutputPath();
    panel.SetBandGain(1, 6.0f);
    panel.SetSelectedBand(1);
    QSignalSpy changed(&panel, &CEqPanel::bandChanged);
    panel.OnMenuCommand(CEqPanel::ID_EQTYPE_PEQ);
    EXPECT_FLOAT_EQ(panel.Band(1).gainDb, 0.0f);
    EXPECT_EQ(panel.Band(1).type, eqtype::Peaking);
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(EqPanelTest, WheelStepsGainOfEditableTypesOnly) {
    MicPath();
    panel.SetSelectedBand(0);
    auto wheel = [this](int delta) {
        QWheelEvent e(QPointF(100, 100), QPointF(100, 100), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(&panel, &e);
    };
    wheel(120);
    wheel(120);
    wheel(-120);
    EXPECT_NEAR(panel.Band(0).gainDb, 0.1f, 1e-5);
    panel.SetBandType(0, eqtype::LowPass);
    wheel(120);
    EXPECT_FLOAT_EQ(panel.Band(0).gainDb, 0.0f);
}

TEST_F(EqPanelTest, TotalCurvePassesThroughADraggedPeqMarker) {
    MicPath();
    const QPoint start = MarkerAt(5);
    QTest::mousePress(&panel, Qt::LeftButton, {}, start);
    QTest::mouseMove(&panel, start + QPoint(37, -110));
    QTest::mouseRelease(&panel, Qt::LeftButton, {}, start + QPoint(37, -110));
    const EqPanelBand band = panel.Band(5);
    ASSERT_GT(band.gainDb, 5.0f);

    const QImage image = panel.RenderImage(1.0);
    const QRect plot = panel.PlotRect();
    const int cx = static_cast<int>(std::lround(plot.left() + band.markerX));
    const int cy = static_cast<int>(std::lround(plot.top() + band.markerY));
    auto isCurve = [&](int x, int y) {
        const QColor c = Pixel(image, x, y);
        return c.blue() > 150 && c.green() > 100 && c.red() < 120;
    };
    // Inside the ring, left and right of the band number, the peak runs level with the marker's centre
    // (within the 2-pixel pen).
    for (int dx : {-5, 5}) {
        bool found = false;
        for (int dy = -2; dy <= 2; ++dy) {
            found = found || isCurve(cx + dx, cy + dy);
        }
        EXPECT_TRUE(found) << "dx " << dx;
    }
    EXPECT_FALSE(isCurve(cx + 6, cy - 6));
    // And the sampled total holds the band's gain at the grid point under the marker.
    const BandCurve total = panel.TotalCurve();
    const float k = std::floor(band.markerX / (plot.width() / 512.0f));
    bool exact = false;
    for (int i = static_cast<int>(k) - 1; i <= static_cast<int>(k) + 1; ++i) {
        exact = exact || std::fabs(total[static_cast<size_t>(i)] - band.gainDb) < 1e-4f;
    }
    EXPECT_TRUE(exact);
}

int CountWhite(const QImage& image, const QRect& area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c(image.pixel(x, y));
            n += c.red() > 240 && c.green() > 240 && c.blue() > 240 ? 1 : 0;
        }
    }
    return n;
}

TEST_F(EqPanelTest, BypassIsWrittenAcrossTheGraph) {
    MicPath();
    const QRect centre(300, 150, 400, 120);
    EXPECT_EQ(CountWhite(panel.RenderImage(1.0), centre), 0);
    panel.SetBypass(true);
    EXPECT_GT(CountWhite(panel.RenderImage(1.0), centre), 2000);
    EXPECT_GT(CountWhite(panel.RenderImage(2.0), QRect(600, 300, 800, 240)), 8000);
}

TEST_F(EqPanelTest, StatusLineShowsALoudGainInYellow) {
    MicPath();
    panel.SetBandGain(2, 8.0f);
    panel.SetSelectedBand(2);
    const QImage image = panel.RenderImage(1.0);
    int yellow = 0;
    for (int y = 0; y < 17; ++y) {
        for (int x = 36; x < 500; ++x) {
            const QColor c(image.pixel(x, y));
            yellow += c.red() > 200 && c.green() > 200 && c.blue() < 80 ? 1 : 0;
        }
    }
    EXPECT_GT(yellow, 20);
}

} // namespace
} // namespace orvex
