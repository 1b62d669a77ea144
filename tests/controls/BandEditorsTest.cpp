#include "widgets/BandGrid.h"
#include "widgets/BandStrip.h"
#include "widgets/BandText.h"
#include "widgets/EqPanel.h"
#include "widgets/UiLanguage.h"
#include "widgets/XBmpSlider.h"
#include "model/EqPaths.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex {
namespace {

struct ParseCase {
    const char* text;
    double value;
};

class LeadingNumber : public ::testing::TestWithParam<ParseCase> {};

TEST_P(LeadingNumber, OnlyTheLeadingNumberCounts) {
    EXPECT_DOUBLE_EQ(ParseLeadingNumber(QString::fromUtf8(GetParam().text)), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Texts, LeadingNumber,
                         ::testing::Values(ParseCase{"5x", 5}, ParseCase{"+3.0dB", 3}, ParseCase{"-12.5dB", -12.5},
                                           ParseCase{"  250Hz", 250}, ParseCase{".5", 0.5}, ParseCase{"abc", 0},
                                           ParseCase{"", 0}, ParseCase{"-", 0}, ParseCase{"1e3Hz", 1000},
                                           ParseCase{"5e", 5}, ParseCase{"0x10", 0}, ParseCase{"inf", 0},
                                           ParseCase{"1e999", 0}, ParseCase{"2,5", 2}, ParseCase{"赫兹", 0}));

class BandEditorsTest : public ::testing::Test {
protected:
    CEqPanel panel;
    CBandGrid grid{60};
    CBandStrip strip;
    QSignalSpy* edits = nullptr;

    void SetUp() override {
        SetUiLanguageIndex(1);
        panel.resize(800, 300);
        panel.SetEqIdentity(eqid::MicA);
        panel.SetBandCount(10);
        grid.Bind(&panel);
        strip.resize(420, 260);
        strip.Bind(&panel, &grid);
    }

    void Select(int index) {
        panel.SetSelectedBand(index);
        strip.ShowBand(index);
    }

    void EditGridCell(int row, int column, const QString& text) {
        grid.SetCellText(row, column, text);
        emit grid.cellEditEnded(row, column, text);
    }

    void DragToTop(CXBmpSlider* slider) {
        const QPoint grab = slider->ThumbRect().center();
        QTest::mousePress(slider, Qt::LeftButton, {}, grab);
        QTest::mouseMove(slider, QPoint(grab.x(), -50));
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(grab.x(), -50));
    }
};

TEST_F(BandEditorsTest, GridShowsBandsInTheirFormats) {
    panel.SetBandGain(3, -2.5f);
    grid.ShowBandRow(3);
    EXPECT_EQ(grid.rowCount(), 10);
    EXPECT_EQ(grid.CellText(3, CBandGrid::kNumberColumn), QStringLiteral("4"));
    EXPECT_EQ(grid.CellText(3, CBandGrid::kTypeColumn), QStringLiteral("PEQ"));
    EXPECT_EQ(grid.CellText(3, CBandGrid::kGainColumn), QStringLiteral("-2.5dB"));
    EXPECT_EQ(grid.CellText(3, CBandGrid::kFrequencyColumn), QStringLiteral("250Hz"));
    EXPECT_EQ(grid.CellText(3, CBandGrid::kQColumn), QStringLiteral("1.41"));
    SetUiLanguageIndex(0);
    grid.Retranslate();
    EXPECT_EQ(grid.CellText(3, CBandGrid::kTypeColumn), QStringLiteral("参量"));
    EXPECT_EQ(grid.horizontalHeaderItem(CBandGrid::kFrequencyColumn)->text(), QStringLiteral("频率"));
    EXPECT_TRUE(grid.isColumnHidden(0));
}

TEST_F(BandEditorsTest, FrequencyCellReadsTheLeadingNumberAndIsRaisedToTwentyHertz) {
    QSignalSpy sent(&grid, &CBandGrid::bandEdited);
    EditGridCell(2, CBandGrid::kFrequencyColumn, QStringLiteral("5x"));
    EXPECT_FLOAT_EQ(panel.Band(2).freqHz, 20.0f);
    EXPECT_EQ(grid.CellText(2, CBandGrid::kFrequencyColumn), QStringLiteral("20Hz"));
    ASSERT_EQ(sent.count(), 1);
    EXPECT_EQ(sent[0][0].toInt(), 2);

    EditGridCell(2, CBandGrid::kFrequencyColumn, QStringLiteral("Hz"));
    EXPECT_FLOAT_EQ(panel.Band(2).freqHz, 20.0f); // no number: unchanged
    EditGridCell(2, CBandGrid::kFrequencyColumn, QStringLiteral("99999"));
    EXPECT_FLOAT_EQ(panel.Band(2).freqHz, 20000.0f);
}

TEST_F(BandEditorsTest, GainTypedForALowPassBandIsStoredAsZero) {
    panel.SetBandType(5, eqtype::LowPass);
    EditGridCell(5, CBandGrid::kGainColumn, QStringLiteral("+6dB"));
    EXPECT_FLOAT_EQ(panel.Band(5).gainDb, 0.0f);
    EXPECT_EQ(grid.CellText(5, CBandGrid::kGainColumn), QStringLiteral("+0.0dB"));
    EditGridCell(6, CBandGrid::kGainColumn, QStringLiteral("40"));
    EXPECT_FLOAT_EQ(panel.Band(6).gainDb, 15.0f);
    EditGridCell(6, CBandGrid::kQColumn, QStringLiteral("q")); // no number: SetBandQ ignores 0
    EXPECT_FLOAT_EQ(panel.Band(6).q, 1.41f);
}

TEST_F(BandEditorsTest, TypeCellAppliesTheChosenName) {
    panel.SetBandGain(1, 4.0f);
    EditGridCell(1, CBandGrid::kTypeColumn, QStringLiteral("HS"));
    EXPECT_EQ(panel.Band(1).type, eqtype::HighShelf);
    EXPECT_FLOAT_EQ(panel.Band(1).gainDb, 0.0f);
    EditGridCell(1, CBandGrid::kTypeColumn, QStringLiteral("nonsense"));
    EXPECT_EQ(panel.Band(1).type, eqtype::HighShelf);
    EXPECT_EQ(grid.CellText(1, CBandGrid::kTypeColumn), QStringLiteral("HS"));
}

TEST_F(BandEditorsTest, InPlaceEditorsCommitThroughTheGrid) {
    grid.show();
    QSignalSpy ended(&grid, &CGridListCtrlEx::cellEditEnded);
    grid.EditCell(4, CBandGrid::kFrequencyColumn);
    auto* edit = qobject_cast<QLineEdit*>(grid.indexWidget(grid.model()->index(4, CBandGrid::kFrequencyColumn)));
    ASSERT_NE(edit, nullptr);
    edit->setText(QStringLiteral("1234Hz"));
    QTest::keyClick(edit, Qt::Key_Return);
    QApplication::processEvents(); // the delegate commits through a queued call
    ASSERT_EQ(ended.count(), 1);
    EXPECT_FLOAT_EQ(panel.Band(4).freqHz, 1234.0f);

    grid.EditCell(4, CBandGrid::kTypeColumn);
    auto* combo = qobject_cast<QComboBox*>(grid.indexWidget(grid.model()->index(4, CBandGrid::kTypeColumn)));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->count(), 5);
    combo->setCurrentIndex(3); // LS
    QTest::keyClick(combo, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(panel.Band(4).type, eqtype::LowShelf);
    grid.hide();
}

class StripQTop : public BandEditorsTest, public ::testing::WithParamInterface<std::pair<int, const char*>> {};

TEST_P(StripQTop, QSliderAtItsTopGivesTheTypesMaximum) {
    const auto [type, expected] = GetParam();
    panel.SetBandType(3, type);
    Select(3);
    DragToTop(strip.QSlider());
    EXPECT_EQ(strip.QEdit()->text(), QString::fromLatin1(expected));
    EXPECT_FLOAT_EQ(panel.Band(3).q, QString::fromLatin1(expected).toFloat());
    EXPECT_EQ(grid.CellText(3, CBandGrid::kQColumn), QString::fromLatin1(expected));
}

INSTANTIATE_TEST_SUITE_P(Types, StripQTop,
                         ::testing::Values(std::pair{eqtype::Peaking, "30.00"}, std::pair{eqtype::LowPass, "2.00"},
                                           std::pair{eqtype::HighPass, "2.00"}, std::pair{eqtype::LowShelf, "2.00"},
                                           std::pair{eqtype::HighShelf, "2.00"}));

// A typed Q and the Q keys used to follow two rules: an off band or a crossover section took 30 from
// the keys but was held to 2 when typed.
TEST_F(BandEditorsTest, TypedAndKeyedQStopAtTheSameLimitForEveryType) {
    for (int type : {eqtype::Off, eqtype::Peaking, eqtype::LowPass, eqtype::HighShelf, eqtype::FirstSection, 19}) {
        panel.LoadBand(3, {0.0f, 1000, 1.0f, type});
        EditGridCell(3, CBandGrid::kQColumn, QStringLiteral("50"));
        const float typed = panel.Band(3).q;

        panel.LoadBand(3, {0.0f, 1000, 1.0f, type});
        panel.SetSelectedBand(3);
        for (int i = 0; i < 300; ++i)
            QTest::keyClick(&panel, Qt::Key_Plus);
        const float keyed = panel.Band(3).q;
        EXPECT_FLOAT_EQ(typed, keyed) << "type " << type;
        EXPECT_FLOAT_EQ(typed, static_cast<float>(BandQLimit(type))) << "type " << type;
    }
}

TEST_F(BandEditorsTest, ShowingABandSetsSlidersRadioAndGainAccess) {
    panel.SetBandGain(2, 3.5f);
    Select(2);
    EXPECT_EQ(strip.GainSlider()->GetSliderPos(), 35);
    EXPECT_EQ(strip.FrequencySlider()->GetSliderPos(), 125);
    EXPECT_EQ(strip.QSlider()->GetSliderPos(), 141);
    EXPECT_TRUE(strip.TypeRadio(0)->isChecked());
    EXPECT_TRUE(strip.GainSlider()->IsSliderEnabled());
    EXPECT_EQ(strip.BandNumber()->text(), QStringLiteral("3"));
    EXPECT_EQ(grid.selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(grid.selectionModel()->selectedRows()[0].row(), 2);

    panel.SetBandType(4, eqtype::HighPass);
    Select(4);
    EXPECT_EQ(strip.QSlider()->GetSliderMax(), CBandStrip::kOtherQSliderMax);
    EXPECT_FALSE(strip.GainSlider()->IsSliderEnabled());
    EXPECT_FALSE(strip.GainEdit()->isEnabled());
    EXPECT_TRUE(strip.TypeRadio(2)->isChecked());
}

TEST_F(BandEditorsTest, StripEditsApplyOnEnter) {
    Select(1);
    QSignalSpy sent(&strip, &CBandStrip::bandEdited);
    strip.FrequencyEdit()->setText(QStringLiteral("5x"));
    QTest::keyClick(strip.FrequencyEdit(), Qt::Key_Return);
    EXPECT_FLOAT_EQ(panel.Band(1).freqHz, 20.0f);
    EXPECT_EQ(strip.FrequencyEdit()->text(), QStringLiteral("20Hz"));
    EXPECT_EQ(strip.FrequencySlider()->GetSliderPos(), 20);

    strip.FrequencyEdit()->setText(QStringLiteral("none"));
    strip.GainEdit()->setText(QStringLiteral("-4.26dB"));
    QTest::keyClick(strip.GainEdit(), Qt::Key_Return);
    EXPECT_FLOAT_EQ(panel.Band(1).freqHz, 20.0f);
    EXPECT_EQ(strip.FrequencySlider()->GetSliderPos(), 20);
    EXPECT_NEAR(panel.Band(1).gainDb, -4.26f, 1e-5);
    EXPECT_EQ(strip.GainSlider()->GetSliderPos(), -43);
    EXPECT_EQ(grid.CellText(1, CBandGrid::kGainColumn), QStringLiteral("-4.3dB"));
    EXPECT_EQ(sent.count(), 2);
}

TEST_F(BandEditorsTest, TypeRadioChangesTheBandAndTheQRange) {
    panel.SetBandGain(6, 5.0f);
    Select(6);
    QSignalSpy sent(&strip, &CBandStrip::bandEdited);
    strip.TypeRadio(1)->click(); // LP
    EXPECT_EQ(panel.Band(6).type, eqtype::LowPass);
    EXPECT_FLOAT_EQ(panel.Band(6).gainDb, 0.0f);
    EXPECT_EQ(strip.QSlider()->GetSliderMax(), CBandStrip::kOtherQSliderMax);
    EXPECT_EQ(strip.QSlider()->GetSliderPos(), 70);
    EXPECT_FALSE(strip.GainEdit()->isEnabled());
    EXPECT_EQ(grid.CellText(6, CBandGrid::kTypeColumn), QStringLiteral("LP"));
    EXPECT_EQ(sent.count(), 1);

    // Without a selected band a radio only sets the Q range.
    panel.SetSelectedBand(-1);
    strip.TypeRadio(0)->click();
    EXPECT_EQ(strip.QSlider()->GetSliderMax(), CBandStrip::kPeakQSliderMax);
    EXPECT_EQ(panel.Band(6).type, eqtype::LowPass);
    EXPECT_EQ(sent.count(), 1);
}

TEST_F(BandEditorsTest, GainSliderMovesTheEditAndTheBand) {
    Select(0);
    strip.GainSlider()->setFocus();
    QTest::keyClick(strip.GainSlider(), Qt::Key_Up);
    EXPECT_EQ(strip.GainEdit()->text(), QStringLiteral("+0.1dB"));
    EXPECT_NEAR(panel.Band(0).gainDb, 0.1f, 1e-6);
    DragToTop(strip.GainSlider());
    EXPECT_FLOAT_EQ(panel.Band(0).gainDb, 15.0f);
}

} // namespace
} // namespace orvex
