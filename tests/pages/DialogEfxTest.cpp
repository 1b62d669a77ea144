#include "support/PagesFixture.h"

#include "widgets/EqSection.h"
#include "editors/input/DialogEfx.h"
#include "editors/input/EfxTitle.h"
#include "widgets/BandGrid.h"
#include "widgets/BandStrip.h"
#include "widgets/EqPanel.h"
#include "widgets/GdipButton.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <cmath>
#include <set>

namespace orvex::test {
namespace {

// A peaking section at 48 kHz as the processor receives it: -a1, -a2, b0, b1, b2, each normalised by a0
// and rounded to float.
std::vector<std::string> PeakingWords(double gainDb, double hz, double q) {
    const double w0 = hz * 2.0 * 3.141592653589793 / 48000.0;
    const double alpha = std::sin(w0) / (2.0 * q);
    const double a = std::pow(10.0, gainDb / 40.0);
    const double a0 = 1.0 + alpha / a;
    const double c = std::cos(w0);
    const double a1 = -2.0 * c / a0;
    const double a2 = (1.0 - alpha / a) / a0;
    const double b0 = (1.0 + alpha * a) / a0;
    const double b1 = -2.0 * c / a0;
    const double b2 = (1.0 - alpha * a) / a0;
    return {WordHex(static_cast<float>(-a1)), WordHex(static_cast<float>(-a2)), WordHex(static_cast<float>(b0)),
            WordHex(static_cast<float>(b1)), WordHex(static_cast<float>(b2))};
}

// The 7-byte memory write of one band record: 85, offset, 07, gain (dB + 15) x 10, Hz, Q x 1000, type.
std::vector<uint8_t> RecordWrite(int record, double gainDb, int hz, double q, int type) {
    const int offset = record * 7;
    const int gain = static_cast<int>(std::lround((gainDb + 15.0) * 10.0));
    const int qCode = static_cast<int>(std::lround(q * 1000.0));
    return {0x85,
            static_cast<uint8_t>(offset >> 8),
            static_cast<uint8_t>(offset & 0xFF),
            0x07,
            static_cast<uint8_t>(gain >> 8),
            static_cast<uint8_t>(gain & 0xFF),
            static_cast<uint8_t>(hz >> 8),
            static_cast<uint8_t>(hz & 0xFF),
            static_cast<uint8_t>(qCode >> 8),
            static_cast<uint8_t>(qCode & 0xFF),
            static_cast<uint8_t>(type)};
}

// Per kind: first band record and coefficient command and slot of band 0, and the bypass word's address.
struct KindWire {
    int firstRecord;
    uint8_t cmd;
    uint8_t firstSlot;
    uint8_t bypassCmd;
    uint8_t bypassSub;
};
constexpr KindWire kWire[4] = {
    {34, 3, 0, 3, 7},   // reverb A
    {41, 3, 12, 3, 19}, // reverb B
    {20, 2, 0, 2, 7},   // echo A
    {27, 2, 13, 2, 20}, // echo B
};

CDialogEfx* EfxPage(COrvexv13View* view) {
    return qobject_cast<CDialogEfx*>(view->CurrentPage());
}

class DialogEfxTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }

    CDialogEfx* Open(int kind) { return OpenPage<CDialogEfx>(PageKind::Efx, kind); }
};

TEST_F(DialogEfxTest, EchoBOfChannelBShowsBandsSevenToThirteenOfTheEchoBankUnderItsOwnTitle) {
    for (int b = 0; b < 7; ++b) {
        Store().SetEqPathBand(eqid::EchoA, b, EqBand{-3.0f, 100 + b, 1.0f, eqtype::Peaking});
        Store().SetEqPathBand(eqid::EchoB, b, EqBand{2.5f, 1000 + 111 * b, 2.0f, eqtype::HighShelf});
    }
    // Bands 7..13 of the echo bank are echo B's; the records follow echo A's seven.
    ASSERT_EQ(EqIdentityRecord(eqid::EchoB, 0), EqIdentityRecord(eqid::EchoA, 0) + 7);
    CDialogEfx* page = Open(3);
    ASSERT_NE(page, nullptr);
    CEqPanel* panel = page->Section()->Panel();
    EXPECT_EQ(panel->EqIdentity(), eqid::EchoB);
    EXPECT_EQ(panel->VisibleBandCount(), 7);
    for (int b = 0; b < 7; ++b) {
        EXPECT_EQ(qRound(panel->Band(b).freqHz), 1000 + 111 * b);
        EXPECT_EQ(panel->Band(b).type, eqtype::HighShelf);
    }
    EXPECT_EQ(page->Section()->Grid()->CellText(6, CBandGrid::kFrequencyColumn), QStringLiteral("1666Hz"));
    EXPECT_EQ(page->EqBypassSlot(), fields::echoEqBypassB.slot);

    // The title is the echo B image of the language shown, and follows a language switch.
    EXPECT_EQ(page->Title()->ImageId(), 391);
    EXPECT_EQ(page->Title()->Heading(), QString::fromUtf8("回声均衡"));
    EXPECT_EQ(page->BackButton()->text(), QString::fromUtf8("返回"));
    QTest::mouseClick(Ribbon()->FindByID<QToolButton>(cmd::Language), Qt::LeftButton);
    EXPECT_EQ(page->Title()->ImageId(), 404);
    EXPECT_EQ(page->Title()->Heading(), QStringLiteral("Echo EQ"));
    EXPECT_EQ(page->Title()->ChannelText(), QStringLiteral("Mic channel B"));
    EXPECT_EQ(page->BackButton()->text(), QStringLiteral("Back"));
    // Every kind has an image of its own in each language.
    std::set<int> images;
    for (int kind = 0; kind < 4; ++kind)
        for (int language : {kLanguageChinese, kLanguageEnglish})
            images.insert(CEfxTitle::ImageId(kind, language));
    EXPECT_EQ(images, (std::set<int>{362, 367, 391, 393, 403, 404, 407, 408}));
}

TEST_F(DialogEfxTest, AReusedPageAskedForAnotherKindSwitchesToIt) {
    CDialogEfx* page = Open(1);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Title()->ImageId(), 393);
    page->SelectEqBand(3);
    ASSERT_TRUE(page->Section()->StripShown());

    Store().SetEqPathBand(eqid::EchoB, 0, EqBand{0.0f, 4321, 1.0f, eqtype::Peaking});
    View()->SwitchToPage(PageKind::Efx, 3);
    EXPECT_EQ(EfxPage(View()), page); // the same page, now showing the other equaliser
    EXPECT_EQ(page->EfxKind(), 3);
    EXPECT_EQ(page->Section()->Panel()->EqIdentity(), eqid::EchoB);
    EXPECT_EQ(qRound(page->Section()->Panel()->Band(0).freqHz), 4321);
    EXPECT_EQ(page->Section()->SelectedBand(), -1);
    EXPECT_FALSE(page->Section()->StripShown());
    EXPECT_EQ(page->Title()->ImageId(), 391);
    EXPECT_EQ(page->EqBypassSlot(), fields::echoEqBypassB.slot);
    // The grid shows the new kind's rows, and its texts stay in the page's language.
    EXPECT_EQ(page->Section()->Grid()->CellText(0, CBandGrid::kFrequencyColumn), QStringLiteral("4321Hz"));
}

TEST_F(DialogEfxTest, BackReturnsToTheMicPageWithTheRememberedSubView) {
    emit View()->CurrentPage()->channelViewChanged(1);
    CDialogEfx* page = Open(3);
    ASSERT_NE(page, nullptr);
    // The back button sits in the top-right corner, 2 px in, and stays there as the page grows.
    for (QSize size : {QSize(1024, 520), QSize(1600, 900)}) {
        page->resize(size);
        const QRect back = page->BackButton()->geometry();
        EXPECT_EQ(back.top(), 2);
        EXPECT_EQ(back.right(), size.width() - 1 - 2);
        // The equaliser takes everything below the title, and the graph most of its width.
        const QRect section = page->Section()->geometry();
        EXPECT_GT(section.top(), page->Title()->geometry().bottom());
        EXPECT_GE(section.bottom(), size.height() - 12);
        EXPECT_GT(page->Section()->Panel()->width(), size.width() / 2);
    }
    QTest::mouseClick(page->BackButton(), Qt::LeftButton);
    ASSERT_EQ(View()->CurrentPage()->Kind(), PageKind::Music);
    EXPECT_EQ(View()->CurrentPage()->ChannelView(), 1);
}

TEST_F(DialogEfxTest, CtrlOneToSevenSelectTheBandsAndEightNineAndZeroAreIgnored) {
    CDialogEfx* page = Open(2);
    ASSERT_NE(page, nullptr);
    CEqSection* section = page->Section();
    Key(Qt::Key_7, Qt::ControlModifier);
    EXPECT_EQ(section->SelectedBand(), 6);
    EXPECT_TRUE(section->StripShown());
    EXPECT_EQ(section->Strip()->BandNumber()->text(), QStringLiteral("7"));
    EXPECT_TRUE(section->Panel()->hasFocus());
    for (Qt::Key key : {Qt::Key_8, Qt::Key_9, Qt::Key_0}) {
        Key(key, Qt::ControlModifier);
        EXPECT_EQ(section->SelectedBand(), 6) << key;
    }
    Key(Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(section->SelectedBand(), 0);
    section->ClearSelection();
    Key(Qt::Key_8, Qt::ControlModifier);
    EXPECT_EQ(section->SelectedBand(), -1);
    EXPECT_FALSE(section->StripShown());
}

class DialogEfxSimTest : public PagesSimTest {
protected:
    void SetUp() override {
        PagesSimTest::SetUp();
        StartConnected();
    }

    // The effects page of `kind`, with what opening it sent forgotten.
    CDialogEfx* Open(int kind) {
        CDialogEfx* page = OpenPage<CDialogEfx>(PageKind::Efx, kind);
        host->ClearReceived();
        return page;
    }
};

TEST_F(DialogEfxSimTest, ResetSetsTheSevenBandsFlatInTheStoreAndOnTheProcessor) {
    CDialogEfx* page = Open(1);
    ASSERT_NE(page, nullptr);
    page->SelectEqBand(2);
    answer = QMessageBox::Yes;
    QTest::mouseClick(Frame()->ResetEqButton(), Qt::LeftButton);

    constexpr int kHz[7] = {63, 125, 250, 500, 1000, 2300, 5000};
    std::vector<std::string> expected;
    for (int b = 0; b < 7; ++b) {
        const EqBand band = Store().GetEqPathBand(eqid::ReverbB, b);
        EXPECT_EQ(band.freqHz, kHz[b]);
        EXPECT_FLOAT_EQ(band.gainDb, 0.0f);
        EXPECT_NEAR(band.q, 1.41f, 1e-4);
        EXPECT_EQ(band.type, eqtype::Peaking);
        expected.push_back(ToHex(RecordWrite(kWire[1].firstRecord + b, 0.0, kHz[b], 1.41, 1)));
        expected.push_back(ToHex(
            ParamWrite(kWire[1].cmd, static_cast<uint8_t>(kWire[1].firstSlot + b), PeakingWords(0.0, kHz[b], 1.41))));
    }
    EXPECT_EQ(HexList(WaitForWrites(14)), expected);
    // The page shows the flat bands with nothing selected.
    EXPECT_EQ(page->Section()->SelectedBand(), -1);
    EXPECT_EQ(page->Section()->Grid()->CellText(5, CBandGrid::kFrequencyColumn), QStringLiteral("2300Hz"));
    EXPECT_EQ(qRound(page->Section()->Panel()->Band(6).freqHz), 5000);
}

TEST_F(DialogEfxSimTest, BypassTogglesTheKindsOwnFlagAndTheGraphShowsIt) {
    const int flags[4] = {fields::reverbEqBypassA.slot, fields::reverbEqBypassB.slot, fields::echoEqBypassA.slot,
                          fields::echoEqBypassB.slot};
    for (int kind = 0; kind < 4; ++kind) {
        CDialogEfx* page = Open(kind);
        ASSERT_NE(page, nullptr);
        const uint32_t before = Store().GetSlotWord(flags[kind]);
        View()->ToggleEqBypass();
        const int now = before ? 0 : 1;
        EXPECT_EQ(Store().GetSlotWord(flags[kind]), static_cast<uint32_t>(now)) << kind;
        EXPECT_EQ(page->Section()->Panel()->IsBypass(), now == 1) << kind;
        const std::vector<std::vector<uint8_t>> writes = WaitForWrites(1);
        ASSERT_EQ(writes.size(), 1u) << kind;
        EXPECT_EQ(ToHex(writes[0]),
                  ToHex(ParamWrite(kWire[kind].bypassCmd, kWire[kind].bypassSub, {now ? "00000001" : "00000000"})))
            << kind;
    }
    // The P key on the main window does the same; the status check box follows the page.
    CDialogEfx* page = Open(3);
    Store().Set(fields::echoEqBypassB, 0);
    page->RefreshFromStore();
    Key(Qt::Key_P);
    EXPECT_EQ(Store().Get(fields::echoEqBypassB), 1);
    EXPECT_TRUE(page->Section()->Panel()->IsBypass());
    EXPECT_TRUE(Frame()->BypassBox()->isChecked());
    EXPECT_EQ(HexList(WaitForWrites(1)), (std::vector<std::string>{ToHex(ParamWrite(2, 20, {"00000001"}))}));
}

TEST_F(DialogEfxSimTest, ABandTypedIntoTheStripReachesTheProcessorAsRecordAndCoefficients) {
    CDialogEfx* page = Open(3);
    ASSERT_NE(page, nullptr);
    CEqSection* section = page->Section();
    // Ctrl+3 on the main window selects band 3 and brings up the strip in the grid's place.
    Key(Qt::Key_3, Qt::ControlModifier);
    ASSERT_TRUE(section->StripShown());
    ASSERT_EQ(section->SelectedBand(), 2);
    ASSERT_EQ(Store().GetEqPathBand(eqid::EchoB, 2).type, eqtype::Peaking);

    CBandStrip* strip = section->Strip();
    for (auto [edit, text] : {std::pair{strip->GainEdit(), "6"}, std::pair{strip->FrequencyEdit(), "800"},
                              std::pair{strip->QEdit(), "2"}}) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    QTest::keyClick(strip->QEdit(), Qt::Key_Return);

    const std::vector<std::string> expected = {
        ToHex(RecordWrite(kWire[3].firstRecord + 2, 6.0, 800, 2.0, 1)),
        ToHex(ParamWrite(2, 13 + 2, PeakingWords(6.0, 800, 2.0))),
    };
    EXPECT_EQ(HexList(WaitForWrites(2)), expected);
    // The simulated processor's memory holds the record.
    const std::vector<uint8_t> record = RecordWrite(kWire[3].firstRecord + 2, 6.0, 800, 2.0, 1);
    const auto memory = model->Memory();
    const size_t offset = static_cast<size_t>(kWire[3].firstRecord + 2) * 7;
    EXPECT_EQ(ToHex(std::vector<uint8_t>(memory.begin() + offset, memory.begin() + offset + 7)),
              ToHex(std::vector<uint8_t>(record.begin() + 4, record.end())));
    EXPECT_EQ(section->Grid()->CellText(2, CBandGrid::kFrequencyColumn), QStringLiteral("800Hz"));
}

} // namespace
} // namespace orvex::test
