#include "support/PagesFixture.h"

#include "widgets/EqSection.h"
#include "editors/input/DialogMusic.h"
#include "widgets/EqPanel.h"
#include "widgets/GdipButton.h"
#include "widgets/PeakMeterCtrl.h"
#include "widgets/SmallEqPanel.h"
#include "widgets/XBmpSlider.h"
#include "model/EqPaths.h"
#include "widgets/ReportCtrl.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalSpy>
#include <QWheelEvent>

#include <cmath>
#include <limits>
#include <numbers>

namespace orvex::test {
namespace {

constexpr int kReverbLevel = 0, kReverbPredelay = 1, kReverbTime = 2, kEchoTime = 5, kShift = 8;
constexpr int kValueColumn = 2;

class MusicPageTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }

    CDialogMusic* Page() {
        View()->SwitchToPage(PageKind::Music);
        auto* page = qobject_cast<CDialogMusic*>(View()->CurrentPage());
        EXPECT_NE(page, nullptr);
        return page;
    }

    // A click in the parameter grid on row `row`, as the user picks it.
    static void ClickRow(CDialogMusic* page, int row) {
        CReportCtrl* grid = page->ParamGrid();
        const QRect cell = grid->visualItemRect(grid->item(row, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    }

    static QString Cell(CDialogMusic* page, int row) { return page->ParamGrid()->ItemText(row, kValueColumn); }
};

TEST_F(MusicPageTest, AShortEchoTimeOnChannelBPullsItsReverbPredelayAlongALongerOneDoesNot) {
    Store().Set(fields::reverbPredelayA, 33.0f);
    Store().Set(fields::reverbPredelayB, 25.0f);
    CDialogMusic* page = Page();
    QTest::mouseClick(page->ViewButton(1), Qt::LeftButton);
    ClickRow(page, kEchoTime);
    ASSERT_EQ(page->SelectedParamRow(), kEchoTime);
    EXPECT_EQ(page->ValueSlider()->GetSliderMax(), 260);

    MoveSlider(page->ValueSlider(), 4);
    EXPECT_FLOAT_EQ(Store().Get(fields::echoTimeB), 4.0f);
    EXPECT_FLOAT_EQ(Store().Get(fields::reverbPredelayB), 40.0f);
    EXPECT_EQ(Cell(page, kReverbPredelay), QStringLiteral("40ms"));
    EXPECT_EQ(Cell(page, kEchoTime), QStringLiteral("4ms"));
    EXPECT_EQ(page->ValueEdit()->text(), QStringLiteral("4ms"));
    EXPECT_FLOAT_EQ(Store().Get(fields::reverbPredelayA), 33.0f); // the other channel is left alone

    MoveSlider(page->ValueSlider(), 7);
    EXPECT_FLOAT_EQ(Store().Get(fields::echoTimeB), 7.0f);
    EXPECT_FLOAT_EQ(Store().Get(fields::reverbPredelayB), 40.0f);
    EXPECT_EQ(Cell(page, kReverbPredelay), QStringLiteral("40ms"));
}

TEST_F(MusicPageTest, RaisingAMutedReverbFromZeroWarnsLoweringToZeroDoesNot) {
    SetLanguageIndex(kLanguageEnglish);
    app->ApplyLanguage();
    Store().Set(fields::reverbMute, 1);
    Store().Set(fields::reverbLevelA, 0);
    CDialogMusic* page = Page();
    ClickRow(page, kReverbLevel);
    MoveSlider(page->ValueSlider(), 1);
    EXPECT_TRUE(InfoShown(QStringLiteral("Reverb vol is mute")));
    EXPECT_EQ(Store().Get(fields::reverbLevelA), 1);

    infoMessages.clear();
    MoveSlider(page->ValueSlider(), 0);
    EXPECT_TRUE(infoMessages.empty());
    // Not muted: no notice either.
    Store().Set(fields::reverbMute, 0);
    MoveSlider(page->ValueSlider(), 30);
    EXPECT_TRUE(infoMessages.empty());
}

TEST_F(MusicPageTest, ReverbTimeTextsAndStoredValuesNoControlCanHold) {
    Store().Set(fields::reverbTimeA, 100.0f);
    Store().Set(fields::echoTimeA, std::numeric_limits<float>::quiet_NaN());
    Store().Set(fields::echoPredelayA, 1e30f);
    Store().Set(fields::reverbLevelA, 250);
    CDialogMusic* page = Page();
    EXPECT_EQ(Cell(page, kReverbTime), QStringLiteral("5000ms"));
    EXPECT_EQ(Cell(page, kEchoTime), QStringLiteral("2ms")); // NaN shows the lower bound
    EXPECT_EQ(Cell(page, 4), QStringLiteral("200ms"));
    EXPECT_EQ(Cell(page, kReverbLevel), QStringLiteral("100%"));
    EXPECT_EQ(page->ValueSlider()->GetSliderPos(), 100);

    Store().Set(fields::reverbTimeA, 0.0f);
    Store().Set(fields::reverbTimeA, -std::numeric_limits<float>::infinity());
    page->RefreshFromStore();
    EXPECT_EQ(Cell(page, kReverbTime), QStringLiteral("40ms"));
    ClickRow(page, kReverbTime);
    EXPECT_EQ(page->ValueSlider()->GetSliderPos(), 0);
    EXPECT_EQ(page->ValueEdit()->text(), QStringLiteral("40ms"));
}

// The box under the value slider looked editable but never took the focus: digits typed there jumped
// to grid rows.
TEST_F(MusicPageTest, AValueTypedUnderTheSliderIsAppliedInTheRowsUnitsAndRange) {
    CDialogMusic* page = Page();
    ClickRow(page, kEchoTime);
    QLineEdit* box = page->ValueEdit();
    QTest::mouseClick(box, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return box->hasFocus(); }, 1000));
    TypeValue(box, QStringLiteral("120ms"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(page->SelectedParamRow(), kEchoTime);
    EXPECT_FLOAT_EQ(Store().Get(fields::echoTimeA), 120.0f);
    EXPECT_EQ(page->ValueSlider()->GetSliderPos(), 120);
    EXPECT_EQ(Cell(page, kEchoTime), QStringLiteral("120ms"));

    // A reverb time is typed in the milliseconds the box shows; beyond the range it is held to the end.
    ClickRow(page, kReverbTime);
    TypeValue(box, QStringLiteral("2520"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(page->ValueSlider()->GetSliderPos(), 50);
    EXPECT_EQ(Cell(page, kReverbTime), QStringLiteral("2520ms"));
    ClickRow(page, kShift);
    TypeValue(box, QStringLiteral("99"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(Store().Get(fields::shiftFreqA), 8);
    TypeValue(box, QStringLiteral("Off"));
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(Store().Get(fields::shiftFreqA), 1);
}

TEST_F(MusicPageTest, ArrowKeysAndTheWheelOnTheGridStepTheSelectedRowWithinItsRange) {
    Store().Set(fields::echoStartA, 99);
    CDialogMusic* page = Page();
    ClickRow(page, 6);
    CReportCtrl* grid = page->ParamGrid();
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(Store().Get(fields::echoStartA), 100);
    QTest::keyClick(grid, Qt::Key_Right); // held at the top
    EXPECT_EQ(Store().Get(fields::echoStartA), 100);
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Left);
    EXPECT_EQ(Store().Get(fields::echoStartA), 98);
    EXPECT_EQ(page->SelectedParamRow(), 6); // arrows step the value, not the selection
    EXPECT_EQ(Cell(page, 6), QStringLiteral("98%"));

    const QPoint at = grid->viewport()->rect().center();
    QWheelEvent down(at, grid->viewport()->mapToGlobal(at), {}, {0, -240}, Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid->viewport(), &down);
    EXPECT_EQ(Store().Get(fields::echoStartA), 96);
    EXPECT_EQ(page->ValueSlider()->GetSliderPos(), 96);
}

TEST_F(MusicPageTest, TheMusicViewGreysTheEffectsAndItsThumbnailsOpenNothing) {
    CDialogMusic* page = Page();
    QSignalSpy views(page, &CPage::channelViewChanged);
    std::vector<std::pair<PageKind, int>> requests;
    QObject::connect(page, &CPage::pageRequested, [&](PageKind kind, int arg) { requests.emplace_back(kind, arg); });
    QTest::mouseClick(page->ViewButton(2), Qt::LeftButton);
    ASSERT_EQ(views.count(), 1);
    EXPECT_EQ(views[0][0].toInt(), 2);
    EXPECT_EQ(page->Eq()->EqIdentity(), eqid::Music);
    EXPECT_EQ(page->EqBypassSlot(), fields::musicEqBypass.slot);
    EXPECT_TRUE(page->ViewButton(2)->IsAlternate());
    EXPECT_FALSE(page->ViewButton(0)->IsAlternate());
    EXPECT_FALSE(page->ParamGrid()->isEnabled());
    EXPECT_FALSE(page->ValueSlider()->IsSliderEnabled());
    EXPECT_FALSE(page->ReverbThumb()->isEnabled());
    EXPECT_FALSE(page->EchoThumb()->isEnabled());
    QTest::mouseClick(page->EchoThumb(), Qt::LeftButton);
    emit page->ReverbThumb()->clicked(); // even a click that gets through
    QCoreApplication::processEvents();
    EXPECT_TRUE(requests.empty());
    EXPECT_EQ(View()->CurrentPage(), page);

    // Back to a mic view: enabled again.
    QTest::mouseClick(page->ViewButton(0), Qt::LeftButton);
    EXPECT_TRUE(page->ParamGrid()->isEnabled());
    EXPECT_TRUE(page->EchoThumb()->isEnabled());
    EXPECT_EQ(page->Eq()->EqIdentity(), eqid::MicA);
}

TEST_F(MusicPageTest, TheThumbnailsOfChannelBOpenItsReverbAndEchoEqualisers) {
    Store().Set(fields::echoEqBypassB, 1);
    CDialogMusic* page = Page();
    // The request itself, before the view acts on it (the view replaces the page).
    QObject::disconnect(page, &CPage::pageRequested, View(), nullptr);
    std::vector<std::pair<PageKind, int>> requests;
    QObject::connect(page, &CPage::pageRequested, [&](PageKind kind, int arg) { requests.emplace_back(kind, arg); });
    QTest::mouseClick(page->ViewButton(1), Qt::LeftButton);
    EXPECT_TRUE(page->EchoThumb()->IsBypass());
    EXPECT_FALSE(page->ReverbThumb()->IsBypass());
    EXPECT_EQ(page->EchoThumb()->CurveColour(), QColor(0, 220, 0));
    QTest::mouseClick(page->EchoThumb(), Qt::LeftButton);
    PumpUntil([&] { return !requests.empty(); }, 500);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].first, PageKind::Efx);
    EXPECT_EQ(requests[0].second, 3);
    QTest::mouseClick(page->ReverbThumb(), Qt::LeftButton);
    PumpUntil([&] { return requests.size() > 1; }, 500);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].second, 1);
}

TEST_F(MusicPageTest, LevelRecordFillsTheBarsAndAnUnknownFormatKeepsTheText) {
    CDialogMusic* page = Page();
    std::array<uint8_t, kLevelRecordSize> record{};
    record = {10, 20, 30, 40, 50, 55, 0, 0x32};
    Store().SetLevelRecord(record);
    page->UpdateLiveDisplay();
    EXPECT_EQ(page->MicLevel(0)->Level(0), 10);
    EXPECT_EQ(page->MicLevel(3)->Level(0), 40); // the hidden mic is kept current
    EXPECT_EQ(page->MusicLevel(1)->Level(0), 55);
    EXPECT_EQ(page->FormatText()->text(), QStringLiteral("DTS"));
    record[7] = 12;
    Store().SetLevelRecord(record);
    page->UpdateLiveDisplay();
    EXPECT_EQ(page->FormatText()->text(), QStringLiteral("DTS"));
    record[7] = 8;
    Store().SetLevelRecord(record);
    page->UpdateLiveDisplay();
    EXPECT_EQ(page->FormatText()->text(), QStringLiteral("LPCM MultiCh"));
}

TEST_F(MusicPageTest, HiddenMicsAndTheSourceLevelFollowTheStore) {
    Store().Set(fields::micVolume, 3, 77);
    Store().Set(fields::micGate, 2, 5000); // beyond what the slider shows
    Store().Set(fields::micToA, 3, 0);
    Store().Set(fields::musicSource, 3);
    Store().Set(fields::btVolume, 64);
    SetLanguageIndex(kLanguageEnglish);
    app->ApplyLanguage();
    CDialogMusic* page = Page();
    EXPECT_FALSE(page->VolumeSlider(3)->isVisible());
    EXPECT_EQ(page->VolumeSlider(3)->GetSliderPos(), 77);
    EXPECT_EQ(page->GateSlider(2)->GetSliderPos(), 100);
    EXPECT_TRUE(page->RouteRadio(3, false)->isChecked());
    EXPECT_EQ(page->SourceLabel()->text(), QStringLiteral("BT"));
    EXPECT_EQ(page->SourceSlider()->GetSliderPos(), 64);
    EXPECT_EQ(page->ParamGrid()->ColumnHeader(1), QStringLiteral("Parameter name"));
    EXPECT_EQ(page->ParamGrid()->RowTextColour(0), QColor(0, 200, 255));
}

// ---- on the wire ----------------------------------------------------------------------------------------

class MusicWireTest : public PagesSimTest {
protected:
    CDialogMusic* Page() {
        View()->SwitchToPage(PageKind::Music);
        return qobject_cast<CDialogMusic*>(View()->CurrentPage());
    }
};

TEST_F(MusicWireTest, AMovedGateSliderArrivesAtTheProcessor) {
    StartConnected();
    CDialogMusic* page = Page();
    ASSERT_NE(page, nullptr);
    host->ClearReceived();
    MoveSlider(page->GateSlider(0), 50);
    EXPECT_EQ(page->GateText(0)->text(), QStringLiteral("50"));
    // 1/8: 50 / 10000 as a float
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({ParamWrite(1, 8, {WordHex(0.005f)})}));
}

TEST_F(MusicWireTest, RoutingAMicSendsTheARouteThenTheBRoute) {
    StartConnected();
    Store().Set(fields::micToA, 1, 100);
    Store().Set(fields::micToB, 1, 0);
    CDialogMusic* page = Page();
    ASSERT_NE(page, nullptr);
    host->ClearReceived();
    QTest::mouseClick(page->RouteRadio(1, false), Qt::LeftButton);
    EXPECT_EQ(HexList(WaitForWrites(2)),
              HexList({ParamWrite(1, 27 + 1, {WordHex(0.0f)}), ParamWrite(1, 50 + 1, {WordHex(1.0f)})}));
    host->ClearReceived();
    QTest::mouseClick(page->RouteRadio(1, true), Qt::LeftButton);
    EXPECT_EQ(HexList(WaitForWrites(2)),
              HexList({ParamWrite(1, 27 + 1, {WordHex(1.0f)}), ParamWrite(1, 50 + 1, {WordHex(0.0f)})}));
}

TEST_F(MusicWireTest, ShiftOneSendsOnlyTheOffSwitchTwoSendsTheAngleAndPeriod) {
    StartConnected();
    Store().Set(fields::shiftFreqA, 3);
    CDialogMusic* page = Page();
    ASSERT_NE(page, nullptr);
    page->SelectParamRow(kShift);
    host->ClearReceived();
    MoveSlider(page->ValueSlider(), 1);
    auto writes = WaitForWrites(1);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0][2], 1);  // mic command
    EXPECT_EQ(writes[0][3], 33); // the off switch
    EXPECT_EQ(page->ValueEdit()->text(), Tr2("关闭", "Off"));

    host->ClearReceived();
    MoveSlider(page->ValueSlider(), 2);
    writes = WaitForWrites(3);
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0][3], 33);
    EXPECT_EQ(writes[0].back(), 0); // switched on
    const float angle = static_cast<float>(2.0 * 2.0 * std::numbers::pi / 48000.0);
    EXPECT_EQ(ToHex(writes[1]), ToHex(ParamWrite(1, 31, {WordHex(angle)})));
    EXPECT_EQ(ToHex(writes[2]), ToHex(ParamWrite(1, 32, {"000012C0"}))); // 4800 samples
}

// A band dragged sideways on each equaliser of the page: its 7-byte record at its memory address and its
// coefficients at its slot, both worked out here from the band as stored.
TEST_F(MusicWireTest, ADraggedBandOfEachEqualiserSendsItsRecordAndCoefficients) {
    StartConnected();
    CDialogMusic* page = Page();
    ASSERT_NE(page, nullptr);
    page->window()->resize(1300, 900);
    QCoreApplication::processEvents(); // the layout follows the new size
    struct Path {
        int view;
        int identity;
        int firstRecord;
        int cmd;
        int firstSlot;
    };
    const Path paths[] = {{0, eqid::MicA, 0, 1, 16}, {1, eqid::MicB, 10, 1, 39}, {2, eqid::Music, 48, 4, 0}};
    const int band = 3;
    for (const Path& path : paths) {
        QTest::mouseClick(page->ViewButton(path.view), Qt::LeftButton);
        ASSERT_EQ(page->Eq()->EqIdentity(), path.identity);
        host->ClearReceived();
        CEqPanel* panel = page->Eq()->Panel();
        const EqPanelBand b = panel->Band(band);
        const QPoint from = panel->PlotRect().topLeft() + QPoint(qRound(b.markerX), qRound(b.markerY));
        QTest::mousePress(panel, Qt::LeftButton, {}, from);
        QTest::mouseMove(panel, from + QPoint(30, 0));
        QTest::mouseMove(panel, from + QPoint(60, 0));
        QTest::mouseRelease(panel, Qt::LeftButton, {}, from + QPoint(60, 0));

        const EqBand stored = Store().GetEqPathBand(path.identity, band);
        ASSERT_GT(stored.freqHz, 250) << path.view;
        ASSERT_EQ(stored.gainDb, 0.0f);
        const int address = (path.firstRecord + band) * 7;
        const int qCode = static_cast<int>(std::lround(stored.q * 1000.0));
        char record[64];
        std::snprintf(record, sizeof record, "85 %02X %02X 07 00 96 %02X %02X %02X %02X %02X", address >> 8,
                      address & 0xFF, stored.freqHz >> 8, stored.freqHz & 0xFF, qCode >> 8, qCode & 0xFF, stored.type);
        // A flat peaking section: numerator and denominator alike.
        const double w0 = 2.0 * std::numbers::pi * stored.freqHz / 48000.0;
        const double alpha = std::sin(w0) / (2.0 * static_cast<double>(stored.q));
        const double a0 = 1.0 + alpha;
        const double c = std::cos(w0);
        const auto coefficients = ParamWrite(
            static_cast<uint8_t>(path.cmd), static_cast<uint8_t>(path.firstSlot + band),
            {WordHex(static_cast<float>(2.0 * c / a0)), WordHex(static_cast<float>(-(1.0 - alpha) / a0)), WordHex(1.0f),
             WordHex(static_cast<float>(-2.0 * c / a0)), WordHex(static_cast<float>((1.0 - alpha) / a0))});

        const auto writes = WaitForWrites(2);
        // Intermediate positions may be merged away; the last of each kind is the band where it was let go.
        std::string lastRecord;
        std::string lastCoefficients;
        for (const auto& w : writes) {
            if (w[0] == 0x85)
                lastRecord = ToHex(w);
            else if (w[0] == 0x09 && w[2] == path.cmd && w[3] == path.firstSlot + band)
                lastCoefficients = ToHex(w);
        }
        EXPECT_EQ(lastRecord, ToHex(Hex(record))) << path.view;
        EXPECT_EQ(lastCoefficients, ToHex(coefficients)) << path.view;
    }
}

} // namespace
} // namespace orvex::test
