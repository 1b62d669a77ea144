#include "widgets/EqSection.h"

#include "editors/EqSectionHost.h"
#include "widgets/BandGrid.h"
#include "widgets/BandStrip.h"
#include "widgets/EqPanel.h"
#include "widgets/UiLanguage.h"
#include "widgets/XBmpSlider.h"
#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "link/RecordingSender.h"
#include "model/EqPaths.h"
#include "model/FilterDesign.h"
#include "model/ParameterStore.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace orvex::test {
namespace {

class EqSectionTest : public ::testing::Test {
protected:
    EqSectionTest() : commands(store, sender), eq(store, commands), section(store, eq, EqSectionHost(), 55) {
        store.ResetStoreDefaults();
        SetUiLanguageIndex(1);
        section.resize(1000, 360);
        section.setAttribute(Qt::WA_DontShowOnScreen);
        section.show();
    }
    ~EqSectionTest() override { CEqPanel::SetEqClipboard(-1); }

    // Drags band `band`'s marker by (dx, dy) pixels with the left button, as a user does.
    void DragBand(int band, int dx, int dy) {
        CEqPanel* panel = section.Panel();
        const EqPanelBand b = panel->Band(band);
        const QPoint from = panel->PlotRect().topLeft() + QPoint(qRound(b.markerX), qRound(b.markerY));
        QTest::mousePress(panel, Qt::LeftButton, {}, from);
        QTest::mouseMove(panel, from + QPoint(dx / 2, dy / 2));
        QTest::mouseMove(panel, from + QPoint(dx, dy));
        QTest::mouseRelease(panel, Qt::LeftButton, {}, from + QPoint(dx, dy));
    }

    // The bands of an identity in the store must be what the panel shows now.
    void ExpectStoredAsShown(int identity, int band) {
        const EqPanelBand shown = section.Panel()->Band(band);
        const EqBand stored = store.GetEqPathBand(identity, band);
        EXPECT_EQ(stored.freqHz, qRound(shown.freqHz)) << identity << "/" << band;
        EXPECT_NEAR(stored.gainDb, shown.gainDb, 0.051) << identity << "/" << band;
        EXPECT_NEAR(stored.q, shown.q, 0.0011) << identity << "/" << band;
        EXPECT_EQ(stored.type, shown.type) << identity << "/" << band;
    }

    ParameterStore store;
    RecordingSender sender;
    CommandEncoder commands;
    EqSender eq;
    CEqSection section;
};

TEST_F(EqSectionTest, ADragIsStoredWrittenToMemoryAndSentAsCoefficients) {
    section.ShowPath(eqid::MicB);
    sender.Clear();
    DragBand(4, 40, -60);
    const EqPanelBand shown = section.Panel()->Band(4);
    EXPECT_GT(shown.gainDb, 1.0f);
    ExpectStoredAsShown(eqid::MicB, 4);
    // The record's 7 bytes at its memory offset and the band's coefficients both went out.
    bool memory = false;
    bool coefficients = false;
    const int offset = EqRecordOffset(1, 10 + 4);
    for (const auto& body : sender.Bodies()) {
        if (body.size() >= 4 && body[0] == 0x85 && ((body[1] << 8) | body[2]) == offset)
            memory = true;
        if (body.size() > 4 && body[0] == 0x09)
            coefficients = true;
    }
    EXPECT_TRUE(memory);
    EXPECT_TRUE(coefficients);
    // A selected band shows in the strip, not the grid.
    EXPECT_TRUE(section.StripShown());
    EXPECT_EQ(section.Strip()->BandNumber()->text(), QStringLiteral("5"));
}

TEST_F(EqSectionTest, APathLoadsFreshSoZeroFieldsNeverKeepThePreviousChannelsValues) {
    EqBand distinct{4.5f, 777, 3.3f, eqtype::Peaking};
    store.SetEqPathBand(eqid::FirstOutput, 3, distinct);
    store.SetEqPathBand(eqid::FirstOutput + 1, 3, EqBand{0.0f, 0, 0.0f, eqtype::Peaking});
    section.ShowPath(eqid::FirstOutput);
    ASSERT_EQ(qRound(section.Panel()->Band(3).freqHz), 777);
    section.ShowPath(eqid::FirstOutput + 1);
    EXPECT_NE(qRound(section.Panel()->Band(3).freqHz), 777);
    EXPECT_NE(section.Panel()->Band(3).q, 3.3f);
    // Noise in the type byte shows as off: above 31 on an output, outside 0..5 elsewhere.
    store.SetEqPathBand(eqid::FirstOutput + 2, 2, EqBand{0.0f, 500, 1.0f, 40});
    store.SetEqPathBand(eqid::Music, 2, EqBand{0.0f, 500, 1.0f, 7});
    section.ShowPath(eqid::FirstOutput + 2);
    EXPECT_EQ(section.Panel()->Band(2).type, eqtype::Off);
    section.ShowPath(eqid::Music);
    EXPECT_EQ(section.Panel()->Band(2).type, eqtype::Off);
    EXPECT_EQ(section.Grid()->CellText(2, CBandGrid::kTypeColumn), QStringLiteral("OFF"));
}

TEST_F(EqSectionTest, AStripEditReachesEveryChannelOfTheApplySet) {
    section.ShowPath(eqid::FirstOutput);
    section.SetApplyIdentities({eqid::FirstOutput + 1});
    section.SelectBand(2);
    ASSERT_TRUE(section.StripShown());
    QLineEdit* freq = section.Strip()->FrequencyEdit();
    freq->setText(QStringLiteral("1234"));
    QTest::keyClick(freq, Qt::Key_Return);
    EXPECT_EQ(store.GetEqPathBand(eqid::FirstOutput, 2).freqHz, 1234);
    EXPECT_EQ(store.GetEqPathBand(eqid::FirstOutput + 1, 2).freqHz, 1234);
    EXPECT_EQ(section.Grid()->CellText(2, CBandGrid::kFrequencyColumn), QStringLiteral("1234Hz"));
}

TEST_F(EqSectionTest, TheCrossoverFamilyIsChosenForBandNineAndAllFourSectionsAreSent) {
    section.ShowPath(eqid::FirstOutput + 3);
    section.SelectBand(9);
    EXPECT_FALSE(section.CrossoverCombo()->isVisible()); // a flat band 9 is no pass kind
    section.Strip()->TypeRadio(2)->click();              // HP
    ASSERT_TRUE(section.CrossoverCombo()->isVisible());
    QComboBox* combo = section.CrossoverCombo();
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down); // the list's next family, as a user steps it
    const int family = combo->currentIndex();
    const CrossoverCodes codes = ExpandCrossoverFamily(family, true);
    for (int b = 9; b <= 12; ++b) {
        EXPECT_EQ(store.GetEqPathBand(eqid::FirstOutput + 3, b).type, codes[static_cast<size_t>(b - 9)]) << b;
        ExpectStoredAsShown(eqid::FirstOutput + 3, b);
    }
    EXPECT_EQ(section.Grid()->CellText(9, CBandGrid::kTypeColumn), QStringLiteral("HP"));
    // A click on empty graph leaves band editing and hides the selector.
    QTest::mouseClick(section.Panel(), Qt::LeftButton, {}, section.Panel()->PlotRect().topLeft() + QPoint(3, 3));
    EXPECT_FALSE(section.StripShown());
    EXPECT_FALSE(section.CrossoverCombo()->isVisible());
    // Reloaded from the store, the row still names the kind.
    section.Reload();
    EXPECT_EQ(section.Grid()->CellText(9, CBandGrid::kTypeColumn), QStringLiteral("HP"));
}

TEST_F(EqSectionTest, CtrlDigitsBeyondTheShownBandsAreIgnored) {
    section.ShowPath(eqid::EchoB);
    section.SelectBand(7); // Ctrl+8 on a seven-band path
    EXPECT_EQ(section.SelectedBand(), -1);
    EXPECT_FALSE(section.StripShown());
    section.SelectBand(6);
    EXPECT_EQ(section.SelectedBand(), 6);
    EXPECT_TRUE(section.StripShown());
    section.ShowPath(eqid::FirstOutput);
    section.SelectBand(10); // the crossover's hidden sections are never reachable
    EXPECT_EQ(section.SelectedBand(), -1);
}

TEST_F(EqSectionTest, CopyOnOnePathAndPasteOnAnotherReplacesTheShownPath) {
    store.SetEqPathBand(eqid::ReverbA, 1, EqBand{-6.0f, 180, 2.0f, eqtype::Peaking});
    section.ShowPath(eqid::ReverbA);
    section.Panel()->OnMenuCommand(CEqPanel::ID_COPY_EQ);
    section.ShowPath(eqid::Music);
    int pasted = 0;
    QObject::connect(&section, &CEqSection::pathReplaced, [&] { ++pasted; });
    section.Panel()->OnMenuCommand(CEqPanel::ID_PASTE_EQ);
    EXPECT_EQ(pasted, 1);
    EXPECT_EQ(store.GetEqPathBand(eqid::Music, 1).freqHz, 180);
    EXPECT_EQ(qRound(section.Panel()->Band(1).freqHz), 180);
    EXPECT_EQ(section.Grid()->CellText(1, CBandGrid::kGainColumn), QStringLiteral("-6.0dB"));
}

// Pasting onto CH1 of the linked CH1+CH2 wrote CH1 only.
TEST_F(EqSectionTest, APasteReachesEveryPathOfTheApplySet) {
    store.SetEqPathBand(eqid::FirstOutput + 4, 3, EqBand{4.5f, 777, 2.0f, eqtype::Peaking});
    section.ShowPath(eqid::FirstOutput + 4);
    section.Panel()->OnMenuCommand(CEqPanel::ID_COPY_EQ);
    section.ShowPath(eqid::FirstOutput);
    section.SetApplyIdentities({eqid::FirstOutput + 1});
    section.Panel()->OnMenuCommand(CEqPanel::ID_PASTE_EQ);
    for (int identity : {eqid::FirstOutput, eqid::FirstOutput + 1})
        EXPECT_EQ(store.GetEqPathBand(identity, 3), (EqBand{4.5f, 777, 2.0f, eqtype::Peaking})) << identity;
    EXPECT_NE(store.GetEqPathBand(eqid::FirstOutput + 2, 3).freqHz, 777);
}

// Sections 9..12 of no known family showed the list with the family chosen before selected.
TEST_F(EqSectionTest, TheCrossoverListIsHiddenWhileTheSectionsMatchNoFamily) {
    section.ShowPath(eqid::FirstOutput + 3);
    section.SelectBand(9);
    section.Strip()->TypeRadio(2)->click(); // HP, a family of the list
    ASSERT_TRUE(section.CrossoverCombo()->isVisible());
    const CrossoverCodes unknown = {8, 20, 1, 1};
    for (int b = 9; b <= 12; ++b)
        store.SetEqPathBand(eqid::FirstOutput + 3, b, EqBand{0.0f, 1000, 0.707f, unknown[static_cast<size_t>(b - 9)]});
    section.Reload();
    section.SelectBand(9);
    EXPECT_FALSE(section.CrossoverCombo()->isVisible());
    section.Grid()->selectRow(9);
    emit section.Grid()->cellClicked(9, 0);
    EXPECT_FALSE(section.CrossoverCombo()->isVisible());
}

TEST_F(EqSectionTest, ResetSetsTheShownPathFlatInTheStore) {
    store.SetEqPathBand(eqid::EchoA, 5, EqBand{5.0f, 3000, 4.0f, eqtype::HighShelf});
    section.ShowPath(eqid::EchoA);
    section.ResetPath();
    const std::array<int, 7> hz = {63, 125, 250, 500, 1000, 2300, 5000};
    for (int b = 0; b < 7; ++b) {
        const EqBand band = store.GetEqPathBand(eqid::EchoA, b);
        EXPECT_EQ(band.freqHz, hz[static_cast<size_t>(b)]);
        EXPECT_EQ(band.gainDb, 0.0f);
        EXPECT_EQ(band.type, eqtype::Peaking);
        ExpectStoredAsShown(eqid::EchoA, b);
    }
}

} // namespace
} // namespace orvex::test

namespace orvex::test {
namespace {

// The strip beside the graph is wider than the grid. Were it to take its room at the press, the graph
// would narrow under the pointer and the first move would carry the band to another frequency.
TEST_F(EqSectionTest, AHeldBandKeepsTheGraphsWidthUntilReleaseSoAVerticalDragKeepsItsFrequency) {
    section.ShowPath(eqid::MicA);
    CEqPanel* panel = section.Panel();
    const int width = panel->width();
    const EqPanelBand b = panel->Band(5);
    const QPoint from = panel->PlotRect().topLeft() + QPoint(qRound(b.markerX), qRound(b.markerY));
    QTest::mousePress(panel, Qt::LeftButton, {}, from);
    QCoreApplication::processEvents();
    EXPECT_EQ(panel->width(), width);
    EXPECT_FALSE(section.StripShown());
    QTest::mouseMove(panel, from + QPoint(0, -30));
    QCoreApplication::processEvents();
    QTest::mouseMove(panel, from + QPoint(0, -60));
    EXPECT_NEAR(panel->Band(5).freqHz, b.freqHz, b.freqHz * 0.01f);
    EXPECT_GT(panel->Band(5).gainDb, 3.0f);
    QTest::mouseRelease(panel, Qt::LeftButton, {}, from + QPoint(0, -60));
    QCoreApplication::processEvents();
    EXPECT_TRUE(section.StripShown()); // the band's strip once the band is let go
    EXPECT_NEAR(panel->Band(5).freqHz, b.freqHz, b.freqHz * 0.01f);
}

// A reload after a read-all draws every band from its new settings, the output crossover's hidden
// sections included, and those sections keep the settings stored for them.
TEST_F(EqSectionTest, AReloadDrawsEveryBandFromItsNewSettings) {
    const int path = eqid::FirstOutput + 2;
    section.ShowPath(path);
    const int count = EqPathForIdentity(path).bandCount;
    for (int b = 0; b < count; ++b) {
        EqBand band = store.GetEqPathBand(path, b);
        band.gainDb = b < kOutputCrossoverBand ? static_cast<float>(b % 3 - 1) * 4.5f : 0.0f;
        band.freqHz = 60 + 170 * b;
        band.q = 0.9f + 0.1f * static_cast<float>(b);
        store.SetEqPathBand(path, b, band);
    }
    section.Reload();
    const CEqPanel* panel = section.Panel();
    EXPECT_EQ(qRound(panel->Band(kOutputFirstHiddenBand).freqHz), 60 + 170 * kOutputFirstHiddenBand);
    for (int b = 0; b < count; ++b) {
        CurveBand expected = panel->BandCurveData(b);
        if (!ComputeBandCurve(expected, panel->Axis()))
            continue;
        EXPECT_EQ(expected.curve, panel->BandCurveData(b).curve) << "band " << b;
    }
}

} // namespace
} // namespace orvex::test
