#include "support/PagesFixture.h"

#include "widgets/EqSection.h"
#include "widgets/ControlId.h"
#include "widgets/BandGrid.h"
#include "widgets/BandStrip.h"
#include "editors/output/DialogOutput.h"
#include "widgets/EqPanel.h"
#include "widgets/GdipButton.h"
#include "widgets/OutputChannelPicture.h"
#include "editors/output/OutputTabRow.h"
#include "model/CoefficientEncoding.h"
#include "model/EqPaths.h"
#include "link/CommandEncoder.h"
#include "link/RecordingSender.h"
#include "model/FilterDesign.h"
#include "model/ParameterStore.h"
#include "model/StoreFields.h"
#include "shell/AppSettings.h"
#include "shell/OrvexApp.h"

#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>
#include <limits>
#include <random>
#include <set>

namespace orvex::test {
namespace {

constexpr int kDirectId = 1041;
constexpr int kEchoId = 1043;
constexpr int kThresholdId = 1015;
constexpr int kRatioId = 1016;
constexpr int kSplitId = 1014;
constexpr int kDelayId = 1019;

// Every answer the link question got, and the one it gives.
struct LinkQuestions {
    int answer = 0;
    std::vector<QStringList> asked;
    // Makes this the asker of `page`.
    CDialogOutput* Answer(CDialogOutput* page) {
        if (page) {
            page->SetLinkQuestion([this](const QString& text, const QString& first, const QString& second) {
                asked.push_back({text, first, second});
                return answer;
            });
        }
        return page;
    }
};

class OutputPageTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }

    // The output page of `channel`, its link question answered by `questions`.
    CDialogOutput* Open(int channel) { return questions.Answer(OpenPage<CDialogOutput>(PageKind::Output, channel)); }

    // Unlinks every pair, as stored options with all three bytes cleared would.
    void UnlinkAll() {
        app->Settings().SetQtOption(QByteArray(8, '\0'));
        if (View()->CurrentPage())
            View()->CurrentPage()->RefreshFromStore();
    }

    LinkQuestions questions;
};

TEST_F(OutputPageTest, ALinkedPairTakesChannelEditsButNotTheStripOfItsPartner) {
    CDialogOutput* page = Open(0);
    ASSERT_TRUE(page->LinkBox(0)->isChecked()); // the default options link 1+2, 3+4 and 7+8
    EXPECT_EQ(page->ApplySet(), (std::vector<int>{0, 1}));
    MoveSlider(page->Slider(kEchoId), 40);
    EXPECT_EQ(Store().Get(fields::outMixEcho, 0), 40);
    EXPECT_EQ(Store().Get(fields::outMixEcho, 1), 40);
    EXPECT_EQ(page->ValueLabel(kEchoId)->text(), QStringLiteral("40%"));
    QTest::mouseClick(page->MuteBox(1), Qt::LeftButton);
    EXPECT_EQ(Store().Get(fields::outMute, 1), 1);
    EXPECT_EQ(Store().Get(fields::outMute, 0), 0);
    QTest::mouseClick(page->PhaseBox(0), Qt::LeftButton);
    EXPECT_EQ(Store().Get(fields::outPhaseInvert, 0), 1);
    EXPECT_EQ(Store().Get(fields::outPhaseInvert, 1), 0);

    // An equaliser edit reaches both channels of the pair.
    page->SelectEqBand(3); // Ctrl+3: band index 2
    CXBmpSlider* gain = page->Eq()->Strip()->GainSlider();
    MoveSlider(gain, gain->GetSliderPos() + 10);
    const EqBand shown = Store().GetEqPathBand(eqid::FirstOutput, 2);
    EXPECT_NE(shown.gainDb, 0.0f);
    EXPECT_EQ(Store().GetEqPathBand(eqid::FirstOutput + 1, 2), shown);

    // CH5 has no partner: its edits stay its own.
    page = Open(4);
    EXPECT_EQ(page->LinkedPartner(4), -1);
    EXPECT_EQ(page->ApplySet(), (std::vector<int>{4}));
    MoveSlider(page->Slider(kDirectId), 70);
    EXPECT_EQ(Store().Get(fields::outMixDirect, 4), 70);
    for (int k : {0, 1, 2, 3, 5, 6, 7})
        EXPECT_NE(Store().Get(fields::outMixDirect, k), 70) << k;
}

TEST_F(OutputPageTest, AVolumeChangeOnAMutedChannelIsAppliedWithANotice) {
    Store().Set(fields::outMute, 4, 1);
    CDialogOutput* page = Open(4);
    MoveSlider(page->Slider(kEchoId), 33);
    EXPECT_EQ(Store().Get(fields::outMixEcho, 4), 33);
    EXPECT_TRUE(InfoShown(QString::fromUtf8("当前是静音状态")));
}

TEST_F(OutputPageTest, LinkingIdenticalChannelsAsksNothingAndStoresTheOption) {
    UnlinkAll();
    CDialogOutput* page = Open(2);
    ASSERT_FALSE(page->LinkBox(1)->isChecked());
    EXPECT_EQ(page->ApplySet(), (std::vector<int>{2}));
    QTest::mouseClick(page->LinkBox(1), Qt::LeftButton);
    EXPECT_TRUE(questions.asked.empty());
    EXPECT_TRUE(page->LinkBox(1)->isChecked());
    EXPECT_EQ(app->Settings().QtOption()[1], 1);
    EXPECT_EQ(app->Settings().QtOption()[1], 1);
    EXPECT_EQ(page->ApplySet(), (std::vector<int>{2, 3}));
    EXPECT_EQ(page->Eq()->ApplyIdentities(), (std::vector<int>{eqid::FirstOutput + 2, eqid::FirstOutput + 3}));
    // Unlinking is stored as well.
    QTest::mouseClick(page->LinkBox(1), Qt::LeftButton);
    EXPECT_EQ(app->Settings().QtOption()[1], 0);
    EXPECT_EQ(page->ApplySet(), (std::vector<int>{2}));
}

TEST_F(OutputPageTest, TheLinkQuestionNamesThePairAndItsAnswerChoosesTheModel) {
    UnlinkAll();
    auto differ = [this] {
        Store().Set(fields::outMixEcho, 6, 10);
        Store().Set(fields::outMixEcho, 7, 30);
        Store().Set(fields::outCompRelease, 6, 200.0f);
        Store().Set(fields::outCompRelease, 7, 400.0f);
    };
    differ();
    CDialogOutput* page = Open(7);

    // Closed without a choice: the box clears and nothing changes.
    questions.answer = 0;
    QTest::mouseClick(page->LinkBox(2), Qt::LeftButton);
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0][0], QString::fromUtf8("通道参数不一致，是否需要同步？"));
    EXPECT_EQ(questions.asked[0][1], QString::fromUtf8("以通道7为标准同步"));
    EXPECT_EQ(questions.asked[0][2], QString::fromUtf8("以通道8为标准同步"));
    EXPECT_FALSE(page->LinkBox(2)->isChecked());
    EXPECT_EQ(app->Settings().QtOption()[2], 0);
    EXPECT_EQ(Store().Get(fields::outMixEcho, 7), 30);
    EXPECT_EQ(page->ApplySet(), (std::vector<int>{7}));

    // The first button keeps the lower channel.
    questions.answer = 1;
    QTest::mouseClick(page->LinkBox(2), Qt::LeftButton);
    EXPECT_TRUE(page->LinkBox(2)->isChecked());
    EXPECT_EQ(Store().Get(fields::outMixEcho, 7), 10);
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompRelease, 7), 200.0f);
    EXPECT_EQ(page->Slider(kEchoId)->GetSliderPos(), 10); // the page shows the result

    // The second keeps the higher one.
    QTest::mouseClick(page->LinkBox(2), Qt::LeftButton); // off again
    differ();
    questions.answer = 2;
    QTest::mouseClick(page->LinkBox(2), Qt::LeftButton);
    EXPECT_EQ(Store().Get(fields::outMixEcho, 6), 30);
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompRelease, 6), 400.0f);
    EXPECT_EQ(questions.asked.size(), 3u);
}

TEST_F(OutputPageTest, ARealLinkQuestionClosedWithCancelLeavesThePairUnlinked) {
    UnlinkAll();
    Store().Set(fields::outMixDirect, 0, 5);
    CDialogOutput* page = OpenPage<CDialogOutput>(PageKind::Output, 0); // the question box itself asks
    QString seen;
    QTimer::singleShot(50, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            seen = box->findChild<QLabel*>()->text();
            for (QPushButton* b : box->findChildren<QPushButton*>()) {
                if (CtrlId(b) == 2)
                    b->click();
            }
        }
    });
    QTest::mouseClick(page->LinkBox(0), Qt::LeftButton);
    EXPECT_EQ(seen, QString::fromUtf8("通道参数不一致，是否需要同步？"));
    EXPECT_FALSE(page->LinkBox(0)->isChecked());
    EXPECT_EQ(Store().Get(fields::outMixDirect, 1), 0);
}

TEST_F(OutputPageTest, SplitAndDelayLabelsAndTheirEnablingRules) {
    CDialogOutput* page = Open(4);
    MoveSlider(page->Slider(kSplitId), 25);
    EXPECT_EQ(page->ValueLabel(kSplitId)->text(), QStringLiteral("3500Hz"));
    EXPECT_EQ(Store().GetEqBand(OutputChannelFirstRecord(4) + kOutputSplitHighPassBand).freqHz, 3000);
    MoveSlider(page->Slider(kSplitId), 0);
    EXPECT_EQ(page->ValueLabel(kSplitId)->text(), QStringLiteral("1000Hz"));

    CXBmpSlider* delay = page->Slider(kDelayId);
    EXPECT_EQ(delay->GetSliderMin(), 16);
    MoveSlider(delay, 16);
    EXPECT_EQ(page->ValueLabel(kDelayId)->text(), QStringLiteral("1.6ms"));
    EXPECT_FLOAT_EQ(Store().Get(fields::outDelayMs, 4), 1.6f);

    // Whole-channel delay leaves the split nothing to do; switched off, nothing but the switch works.
    QTest::mouseClick(page->WholeChannelRadio(), Qt::LeftButton);
    EXPECT_EQ(Store().Get(fields::outDelayMode, 4), 1);
    EXPECT_FALSE(page->Slider(kSplitId)->IsSliderEnabled());
    EXPECT_TRUE(delay->IsSliderEnabled());
    QTest::mouseClick(page->DelaySwitch(), Qt::LeftButton);
    EXPECT_EQ(Store().Get(fields::outDelayOff, 4), 1);
    EXPECT_FALSE(page->WholeChannelRadio()->isEnabled());
    EXPECT_FALSE(page->ValueLabel(kDelayId)->isEnabled());
    EXPECT_FALSE(delay->IsSliderEnabled());
    QTest::mouseClick(page->DelaySwitch(), Qt::LeftButton);
    QTest::mouseClick(page->HighFreqRadio(), Qt::LeftButton);
    EXPECT_TRUE(page->Slider(kSplitId)->IsSliderEnabled());
}

TEST_F(OutputPageTest, TheQSlidersTopDependsOnTheBandType) {
    CDialogOutput* page = Open(4);
    page->SelectEqBand(4); // Ctrl+4: band index 3
    CBandStrip* strip = page->Eq()->Strip();
    MoveSlider(strip->QSlider(), strip->QSlider()->GetSliderMax());
    EXPECT_EQ(strip->QEdit()->text(), QStringLiteral("30.00"));
    strip->TypeRadio(1)->click(); // LP
    MoveSlider(strip->QSlider(), strip->QSlider()->GetSliderMax());
    EXPECT_EQ(strip->QEdit()->text(), QStringLiteral("2.00"));
    EXPECT_FLOAT_EQ(Store().GetEqPathBand(eqid::FirstOutput + 4, 3).q, 2.0f);
}

TEST_F(OutputPageTest, ACrossoverFamilyOnRowNineNamesItsKindAndReachesThePartner) {
    SetLanguageIndex(kLanguageEnglish);
    app->ApplyLanguage();
    CDialogOutput* page = Open(0);
    CEqSection* eq = page->Eq();
    for (int radio : {1, 2}) {
        page->SelectEqBand(0 + 10); // Ctrl+0: the crossover band
        eq->Strip()->TypeRadio(radio)->click();
        ASSERT_TRUE(eq->CrossoverCombo()->isVisible());
        eq->CrossoverCombo()->setFocus();
        QTest::keyClick(eq->CrossoverCombo(), Qt::Key_Down);
        const QString kind = radio == 1 ? QStringLiteral("LP") : QStringLiteral("HP");
        EXPECT_EQ(eq->Grid()->CellText(9, CBandGrid::kTypeColumn), kind);
        for (int b = 9; b <= 12; ++b)
            EXPECT_EQ(Store().GetEqPathBand(eqid::FirstOutput + 1, b), Store().GetEqPathBand(eqid::FirstOutput, b))
                << b;
        page->RefreshFromStore();
        EXPECT_EQ(eq->Grid()->CellText(9, CBandGrid::kTypeColumn), kind);
    }
}

TEST_F(OutputPageTest, BypassAndResetActOnTheLinkedPairAndResetKeepsTheSubwoofersCrossover) {
    CDialogOutput* page = Open(1);
    View()->ToggleEqBypass();
    EXPECT_EQ(Store().Get(fields::outEqBypass, 1), 1);
    EXPECT_EQ(Store().Get(fields::outEqBypass, 0), 1);
    EXPECT_TRUE(page->Eq()->Panel()->IsBypass());
    View()->ToggleEqBypass();
    EXPECT_EQ(Store().Get(fields::outEqBypass, 0), 0);
    EXPECT_FALSE(page->Eq()->Panel()->IsBypass());

    Store().Set(fields::outRole, 0, 4); // CH1 is the subwoofer
    for (int k : {0, 1, 2}) {
        EqBand band = Store().GetEqPathBand(eqid::FirstOutput + k, 5);
        band.gainDb = 6.0f;
        Store().SetEqBand(OutputChannelFirstRecord(k) + 5, band);
    }
    answer = QMessageBox::Yes;
    View()->ResetPageEq();
    EXPECT_FLOAT_EQ(Store().GetEqPathBand(eqid::FirstOutput + 1, 5).gainDb, 0.0f);
    EXPECT_FLOAT_EQ(Store().GetEqPathBand(eqid::FirstOutput, 5).gainDb, 0.0f);
    EXPECT_FLOAT_EQ(Store().GetEqPathBand(eqid::FirstOutput + 2, 5).gainDb, 6.0f);
    EXPECT_EQ(Store().GetEqPathBand(eqid::FirstOutput, 9).freqHz, 100);
    EXPECT_NE(Store().GetEqPathBand(eqid::FirstOutput + 1, 9).freqHz, 100);
    EXPECT_FALSE(page->Eq()->StripShown());
}

TEST_F(OutputPageTest, StoredValuesReachTheControlsClampedAndRounded) {
    Store().Set(fields::outRole, 3, 9);
    Store().Set(fields::outRole, 5, -1);
    Store().Set(fields::outRole, 6, 7);
    Store().Set(fields::outCompRatio, 3, 1.3f); // 1.3f x 10 truncated is 12
    Store().Set(fields::outCompThreshold, 3, std::numeric_limits<float>::quiet_NaN());
    Store().Set(fields::outDelayMs, 3, 2.3f);
    Store().Set(fields::outMixMusic, 3, 250);
    CDialogOutput* page = Open(3);
    EXPECT_EQ(page->RoleCombo(3)->currentIndex(), -1);
    EXPECT_EQ(page->RoleCombo(5)->currentIndex(), -1);
    EXPECT_EQ(page->RoleCombo(6)->currentIndex(), 7);
    EXPECT_EQ(page->Slider(kRatioId)->GetSliderPos(), 13);
    EXPECT_EQ(page->ValueLabel(kRatioId)->text(), QStringLiteral("1.3:1"));
    EXPECT_EQ(page->Slider(kThresholdId)->GetSliderPos(), -60);
    EXPECT_EQ(page->Slider(kDelayId)->GetSliderPos(), 23);
    EXPECT_EQ(page->ValueLabel(kDelayId)->text(), QStringLiteral("2.3ms"));
    EXPECT_EQ(page->Slider(1044)->GetSliderPos(), 100);
    // A language switch refills the lists and keeps "no entry".
    SetLanguageIndex(kLanguageEnglish);
    app->ApplyLanguage();
    EXPECT_EQ(page->RoleCombo(3)->currentIndex(), -1);
    EXPECT_EQ(page->RoleCombo(6)->currentText(), QStringLiteral("CH-SR"));
    EXPECT_EQ(page->LinkBox(2)->text(), QStringLiteral("CH7+CH8 Linked"));
    EXPECT_EQ(page->Picture()->Caption(), QStringLiteral("CH 4"));
    // Choosing a role sends it for that channel alone.
    page->RoleCombo(3)->setFocus();
    QTest::keyClick(page->RoleCombo(3), Qt::Key_Down);
    EXPECT_EQ(Store().Get(fields::outRole, 3), page->RoleCombo(3)->currentIndex());
    EXPECT_EQ(Store().Get(fields::outRole, 2), 0);
}

// The labels showed the sliders' positions: a 50 ms release read "100ms", 1.5 ms read "1.6ms" and a
// mix of 250 read "100%".
TEST_F(OutputPageTest, LabelsShowTheStoredValuesBeyondTheSlidersReach) {
    Store().Set(fields::outCompRelease, 4, 50.0f);
    Store().Set(fields::outDelayMs, 4, 1.5f);
    Store().Set(fields::outMixMusic, 4, 250);
    CDialogOutput* page = Open(4);
    EXPECT_EQ(page->Slider(1018)->GetSliderPos(), 100);
    EXPECT_EQ(page->ValueLabel(1018)->text(), QStringLiteral("50ms"));
    EXPECT_EQ(page->Slider(kDelayId)->GetSliderPos(), 16);
    EXPECT_EQ(page->ValueLabel(kDelayId)->text(), QStringLiteral("1.5ms"));
    EXPECT_EQ(page->Slider(1044)->GetSliderPos(), 100);
    EXPECT_EQ(page->ValueLabel(1044)->text(), QStringLiteral("250%"));
}

TEST_F(OutputPageTest, ChannelButtonsSwitchTheChannelAndTheOtherButtonsOpenTheirPages) {
    CDialogOutput* page = Open(0);
    EXPECT_TRUE(page->Tabs()->Button(1069)->IsAlternate());
    QTest::mouseClick(page->Tabs()->Button(1071), Qt::LeftButton); // CH 4
    ASSERT_EQ(View()->CurrentPage(), page);                        // the page is reused
    EXPECT_EQ(page->OutputChannel(), 3);
    EXPECT_EQ(View()->OutputChannel(), 3);
    EXPECT_EQ(page->Eq()->EqIdentity(), eqid::FirstOutput + 3);
    EXPECT_TRUE(page->Tabs()->Button(1071)->IsAlternate());
    EXPECT_FALSE(page->Tabs()->Button(1069)->IsAlternate());
    EXPECT_EQ(page->Picture()->Channel(), 3);
    EXPECT_EQ(page->EqBypassSlot(), fields::outEqBypass.slot + 3);
    QTest::mouseClick(page->Tabs()->Button(1075), Qt::LeftButton);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Comp);
    EXPECT_EQ(View()->OutputChannel(), 3);
}

// ---- on the wire -------------------------------------------------------------------------------------------

class OutputWireTest : public PagesSimTest {
protected:
    void SetUp() override { PagesSimTest::SetUp(); }
    CDialogOutput* OpenConnected(int channel) {
        StartConnected();
        CDialogOutput* page = questions.Answer(OpenPage<CDialogOutput>(PageKind::Output, channel));
        WaitForLinkIdle();
        host->ClearReceived();
        return page;
    }
    LinkQuestions questions;
};

TEST_F(OutputWireTest, ASliderPutsItsExactFrameOnTheWireAndOpeningSendsNothing) {
    CDialogOutput* page = OpenConnected(4);
    EXPECT_TRUE(SettledWrites().empty());
    MoveSlider(page->Slider(kEchoId), 40);
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({ParamWrite(5 + 4, 22, {WordHex(0.4f)})}));
}

// The page's release slider starts at 100 ms; a 50 ms release set on the compressor page must survive
// a move of another slider here, and a stored ratio of 0 goes out as 1:1.
TEST_F(OutputWireTest, TheCompressorRecordKeepsTheStoredValuesItDidNotMove) {
    CDialogOutput* page = OpenConnected(4);
    Store().Set(fields::outCompRelease, 4, 50.0f);
    Store().Set(fields::outCompAttack, 4, 20.0f);
    Store().Set(fields::outCompRatio, 4, 0.0f);
    page->RefreshFromStore();
    EXPECT_EQ(page->Slider(1018)->GetSliderPos(), 100); // the slider cannot show 50 ms
    MoveSlider(page->Slider(kThresholdId), -20);
    // The record a compressor setter makes of -20 dB, 1:1, 20 ms and 50 ms.
    ParameterStore reference;
    RecordingSender recorder;
    CommandEncoder encoder(reference, recorder);
    encoder.SetCompressor(fields::outCompThreshold.slot + 4, -20.0f, 1.0f, 20.0f, 50.0f);
    ASSERT_EQ(recorder.Bodies().size(), 1u);
    const std::string expected = ToHex(recorder.Bodies()[0]);
    EXPECT_EQ(HexList(WaitForWrites(1)), std::vector<std::string>{expected});
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompRelease, 4), 50.0f);
}

// Only what differs goes to the other channel; the split pair always does.
TEST_F(OutputWireTest, LinkingSendsOnlyTheDifferencesAndTheSplit) {
    CDialogOutput* page = OpenConnected(2);
    app->Settings().SetQtOption(QByteArray(8, '\0'));
    Store().Set(fields::outMixDirect, 2, 55);
    EqBand band = Store().GetEqPathBand(eqid::FirstOutput + 2, 3);
    band.gainDb = 4.5f;
    Store().SetEqBand(OutputChannelFirstRecord(2) + 3, band);
    page->RefreshFromStore();
    questions.answer = 1;
    QTest::mouseClick(page->LinkBox(1), Qt::LeftButton);
    ASSERT_EQ(questions.asked.size(), 1u);
    EXPECT_EQ(questions.asked[0][1], QString::fromUtf8("以通道3为标准同步"));
    // One mix write, then a memory write and coefficients for each of three records.
    const auto writes = WaitForWrites(7, 3000);
    std::set<std::pair<int, int>> params;
    std::set<int> records;
    for (const auto& w : writes) {
        if (w[0] == 0x09)
            params.insert({w[2], w[3]});
        else if (w[0] == 0x85)
            records.insert(((w[1] << 8) | w[2]) / 7);
    }
    // The direct mix, then the coefficients of band 3 and of the split pair: nothing else of CH4.
    const int first = OutputChannelFirstRecord(3);
    std::set<std::pair<int, int>> expectedParams = {{5 + 3, 20}};
    for (int b : {3, kOutputSplitHighPassBand, kOutputSplitLowPassBand}) {
        const auto slot = SlotForRecord(first + b);
        ASSERT_TRUE(slot.has_value());
        expectedParams.insert({slot->cmd, slot->slot});
    }
    EXPECT_EQ(params, expectedParams);
    EXPECT_EQ(records, (std::set<int>{first + 3, first + kOutputSplitHighPassBand, first + kOutputSplitLowPassBand}));
    EXPECT_EQ(Store().Get(fields::outMixDirect, 3), 55);
    EXPECT_FLOAT_EQ(Store().GetEqPathBand(eqid::FirstOutput + 3, 3).gainDb, 4.5f);
}

// Everything the output page edits survives a write-all and read-all through the processor, the delay
// mode of output 8 included, and the page shows what came back.
TEST_F(OutputWireTest, WriteAllThenReadAllRoundTripsEveryOutputField) {
    OpenConnected(7);
    std::mt19937 rng(913);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    ParameterStore& s = Store();
    for (int k = 0; k < 8; ++k) {
        s.Set(fields::outMixDirect, k, pick(0, 100));
        s.Set(fields::outMixReverb, k, pick(0, 100));
        s.Set(fields::outMixEcho, k, pick(0, 100));
        s.Set(fields::outMixMusic, k, pick(0, 100));
        s.Set(fields::outRole, k, pick(0, 7));
        s.Set(fields::outEqBypass, k, pick(0, 1));
        s.Set(fields::outCompOff, k, pick(0, 1));
        s.Set(fields::outCompThreshold, k, static_cast<float>(pick(-60, 0)));
        s.Set(fields::outCompRatio, k, static_cast<float>(pick(10, 300)) / 10.0f);
        s.Set(fields::outCompAttack, k, static_cast<float>(pick(1, 100)));
        s.Set(fields::outCompRelease, k, static_cast<float>(pick(100, 1000)));
        s.Set(fields::outDelayMs, k, static_cast<float>(pick(16, 1000)) / 10.0f);
        s.Set(fields::outDelayOff, k, pick(0, 1));
        s.Set(fields::outDelayMode, k, k == 7 ? 1 : pick(0, 1));
        s.Set(fields::outMute, k, pick(0, 1));
        s.Set(fields::outPhaseInvert, k, pick(0, 1));
        for (int b = 0; b < 9; ++b) {
            EqBand band = s.GetEqPathBand(eqid::FirstOutput + k, b);
            band.gainDb = static_cast<float>(pick(-120, 120)) / 10.0f;
            band.freqHz = pick(20, 20000);
            s.SetEqBand(OutputChannelFirstRecord(k) + b, band);
        }
    }
    app->Session().StartWriteSync();
    ASSERT_TRUE(PumpUntil([&] { return !app->Session().Sync().Running(); }, 30000));
    // What was sent: the split pairs went out in the types of each channel's delay mode.
    std::vector<uint32_t> written;
    std::vector<EqBand> bands;
    for (int k = 0; k < 8; ++k) {
        for (int b = 0; b <= kOutputSplitLowPassBand; ++b)
            bands.push_back(s.GetEqPathBand(eqid::FirstOutput + k, b));
    }
    for (int slot = fields::outMixDirect.slot; slot < fields::outPhaseInvert.slot + 8; ++slot)
        written.push_back(s.GetSlotWord(slot));

    // The output fields forgotten (the processor's identity stays, or the link would be refused).
    for (int slot = fields::outMixDirect.slot; slot < fields::outPhaseInvert.slot + 8; ++slot)
        s.SetSlotWord(slot, 0);
    for (int k = 0; k < 8; ++k) {
        for (int b = 0; b <= kOutputSplitLowPassBand; ++b)
            s.SetEqBand(OutputChannelFirstRecord(k) + b, EqBand{});
    }
    app->Session().StartReadSync();
    ASSERT_TRUE(PumpUntil([&] { return !app->Session().Sync().Running(); }, 30000));
    Pump(100);
    ASSERT_TRUE(app->Session().IsConnected());

    for (const StoreField& field : StoreFields()) {
        if (field.slot < fields::outMixDirect.slot || field.slot >= fields::outPhaseInvert.slot + 8)
            continue;
        for (int i = 0; i < field.count; ++i) {
            const int slot = field.slot + i;
            const uint32_t expected = written[static_cast<size_t>(slot - fields::outMixDirect.slot)];
            const std::string where = std::string(field.name) + "[" + std::to_string(i) + "]";
            if (field.type == FieldType::Int)
                EXPECT_EQ(s.GetSlotInt(slot), static_cast<int32_t>(expected)) << where;
            else
                EXPECT_NEAR(s.GetSlotFloat(slot), std::bit_cast<float>(expected),
                            0.006 + std::fabs(std::bit_cast<float>(expected)) * 1e-4)
                    << where;
        }
    }
    size_t n = 0;
    for (int k = 0; k < 8; ++k) {
        for (int b = 0; b <= kOutputSplitLowPassBand; ++b, ++n) {
            const EqBand got = s.GetEqPathBand(eqid::FirstOutput + k, b);
            EXPECT_EQ(got.freqHz, bands[n].freqHz) << k << "/" << b;
            EXPECT_NEAR(got.gainDb, bands[n].gainDb, 0.051) << k << "/" << b;
            EXPECT_EQ(got.type, bands[n].type) << k << "/" << b;
        }
    }
    EXPECT_EQ(s.Get(fields::outDelayMode, 7), 1);
    // The page was refreshed from what came back.
    auto* page = qobject_cast<CDialogOutput*>(View()->CurrentPage());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Slider(kEchoId)->GetSliderPos(), s.Get(fields::outMixEcho, 7));
    EXPECT_EQ(page->WholeChannelRadio()->isChecked(), true);
}

} // namespace
} // namespace orvex::test

namespace orvex::test {
namespace {

// The output page at the smallest page area the window gives it, in both languages.
class OutputLayoutTest : public OutputPageTest {
protected:
    static constexpr int kChannel = 4;

    // The crossover band of the shown channel a 24 dB low-pass, so that picking it shows the family list.
    void PutCrossover(int hz = 120) {
        const int first = OutputChannelFirstRecord(kChannel);
        const CrossoverCodes codes = ExpandCrossoverFamily(9, false);
        for (int b = kOutputCrossoverBand; b <= kOutputLastHiddenBand; ++b) {
            EqBand band = Store().GetEqBand(first + b);
            band.type = codes[static_cast<size_t>(b - kOutputCrossoverBand)];
            band.freqHz = hz;
            band.q = 0.707f;
            Store().SetEqBand(first + b, band);
        }
    }

    CDialogOutput* Place(QWidget& holder, QSize size) {
        auto* layout = new QVBoxLayout(&holder);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* page = new CDialogOutput(app->Context(), &holder);
        layout->addWidget(page);
        holder.setAttribute(Qt::WA_DontShowOnScreen);
        holder.resize(size);
        holder.show();
        page->SetOutputChannel(kChannel);
        QApplication::processEvents();
        return page;
    }

    static QPoint MarkerAt(CEqPanel* panel, int band) {
        const EqPanelBand b = panel->Band(band);
        return panel->PlotRect().topLeft() + QPoint(qRound(b.markerX), qRound(b.markerY));
    }

    // Nothing the panel writes runs past its edges: the axis labels ("20kHz" last) and the status line.
    static void ExpectNothingClipped(CEqPanel* panel, const std::string& where) {
        const auto labels = panel->FrequencyLabels();
        ASSERT_FALSE(labels.empty()) << where;
        EXPECT_EQ(labels.back().second, QStringLiteral("20kHz")) << where;
        for (const auto& [box, text] : labels)
            EXPECT_TRUE(panel->rect().contains(box)) << where << " " << text.toStdString();
        if (panel->SelectedBand() >= 0) {
            const QRectF status = panel->StatusRect();
            EXPECT_FALSE(status.isEmpty()) << where;
            EXPECT_LE(status.right(), panel->width()) << where;
        }
    }
};

// Picking a band put the wider band strip beside the graph: the graph shrank by a quarter, its status
// line lost its gain, and a band pressed on moved away from the pointer.
TEST_F(OutputLayoutTest, TheGraphKeepsItsWidthWhateverIsSelectedAndNothingIsClipped) {
    PutCrossover();
    for (int language : {kLanguageChinese, kLanguageEnglish}) {
        SetLanguageIndex(language);
        app->ApplyLanguage();
        QWidget holder;
        CDialogOutput* page = Place(holder, QSize(1024, 520));
        CEqPanel* panel = page->Eq()->Panel();
        const std::string lang = language == kLanguageEnglish ? "en" : "zh";
        const int width = panel->width();
        EXPECT_GE(width, 340) << lang;
        ExpectNothingClipped(panel, lang);

        for (int band : {1, 10}) { // a peaking band, then the crossover with its family list
            page->SelectEqBand(band);
            QApplication::processEvents();
            ASSERT_TRUE(page->Eq()->StripShown()) << lang << band;
            EXPECT_EQ(panel->width(), width) << lang << " band " << band;
            ExpectNothingClipped(panel, lang + " band " + std::to_string(band));
        }
        EXPECT_TRUE(page->Eq()->CrossoverCombo()->isVisible()) << lang;

        // The press on another band, the release and the return to the grid leave it as it was.
        const QPoint at = MarkerAt(panel, 3);
        QTest::mousePress(panel, Qt::LeftButton, {}, at);
        QApplication::processEvents();
        EXPECT_EQ(panel->width(), width) << lang;
        QTest::mouseRelease(panel, Qt::LeftButton, {}, at);
        QApplication::processEvents();
        EXPECT_EQ(panel->width(), width) << lang;
        page->Eq()->ClearSelection();
        QApplication::processEvents();
        EXPECT_EQ(panel->width(), width) << lang;
    }
}

// The crossover band pressed from the grid's view: its family list appeared at the press and widened the
// column, so the band under the pointer jumped, and after the release the strip narrowed the graph again.
TEST_F(OutputLayoutTest, ADraggedBandEndsWhereThePointerIsLetGo) {
    PutCrossover(90); // clear of band 3's marker at 125 Hz
    QWidget holder;
    CDialogOutput* page = Place(holder, QSize(1024, 520));
    CEqPanel* panel = page->Eq()->Panel();
    for (int band : {9, 4}) {
        page->Eq()->ClearSelection();
        QApplication::processEvents();
        const QPoint from = MarkerAt(panel, band);
        const QPoint to = from + QPoint(40, band == 9 ? 0 : -30);
        QTest::mousePress(panel, Qt::LeftButton, {}, from);
        QApplication::processEvents();
        QTest::mouseMove(panel, from + QPoint(20, 0));
        QApplication::processEvents();
        QTest::mouseMove(panel, to);
        QApplication::processEvents();
        QTest::mouseRelease(panel, Qt::LeftButton, {}, to);
        QApplication::processEvents();
        ASSERT_EQ(panel->SelectedBand(), band);
        const QPoint end = MarkerAt(panel, band);
        EXPECT_LE(std::abs(end.x() - to.x()), 1) << band;
        EXPECT_LE(std::abs(end.y() - to.y()), 1) << band;
    }
}

} // namespace
} // namespace orvex::test
