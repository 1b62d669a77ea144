#include "support/PagesFixture.h"

#include "editors/input/CloudnessDlg.h"
#include "widgets/XBmpSlider.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>

#include <cmath>
#include <limits>

namespace orvex::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// 1 - e^(-1 / (ms x 48)): a compressor time as the processor takes it, worked out here in double.
std::string TimeWord(double ms) {
    return WordHex(static_cast<float>(1.0 - std::exp(-1.0 / (ms * 48.0))));
}

QString Text(CloudnessDlg* d, int sliderId) {
    return d->ValueText(sliderId)->text();
}
// A click on the box itself: a check box spanning its group is not hit beyond its text.
QPoint IndicatorOf(QCheckBox* check) {
    return {8, check->height() / 2};
}
int Pos(CloudnessDlg* d, int sliderId) {
    return d->Slider(sliderId)->GetSliderPos();
}

class FeaturesTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }

    CloudnessDlg* Show() {
        auto* dialog = qobject_cast<CloudnessDlg*>(app->ShowToolDialog(tmpl::Features));
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }
};

TEST_F(FeaturesTest, SlidersShowTheStoreClampedAndTextsShowTheStoreItself) {
    Store().Set(fields::musicLowDelay, 25);
    Store().Set(fields::musicLowGain, 120);
    Store().Set(fields::autoSubRatio, -3);
    Store().Set(fields::exciterMidFreq, 1234.6f);
    Store().Set(fields::exciterLowGain, 15.0f);
    Store().Set(fields::exciterHarmonicMix, 37.9f);
    Store().Set(fields::musicAutoThreshold, -70.0f);
    Store().Set(fields::musicAutoAttack, 12.6f);
    Store().Set(fields::musicAutoRelease, 2000.0f);
    EqBand low = Store().GetEqBand(178);
    low.freqHz = 500;
    Store().SetEqBand(178, low);
    CloudnessDlg* d = Show();

    EXPECT_EQ(Pos(d, 1047), 20);
    EXPECT_EQ(Text(d, 1047), QStringLiteral("25ms"));
    EXPECT_EQ(Pos(d, 1048), 120);
    EXPECT_EQ(Text(d, 1048), QStringLiteral("120%"));
    EXPECT_EQ(Pos(d, 1050), 0);
    EXPECT_EQ(Text(d, 1050), QStringLiteral("-3%"));
    EXPECT_EQ(Pos(d, 1055), 1234); // truncated
    EXPECT_EQ(Text(d, 1055), QStringLiteral("1235Hz"));
    EXPECT_EQ(Pos(d, 1049), 12);
    EXPECT_EQ(Text(d, 1049), QStringLiteral("15dB"));
    EXPECT_EQ(Pos(d, 1061), 37);
    EXPECT_EQ(Text(d, 1061), QStringLiteral("37%"));
    EXPECT_EQ(Pos(d, 1051), -60);
    EXPECT_EQ(Text(d, 1051), QStringLiteral("-70dB"));
    EXPECT_EQ(Pos(d, 1053), 12);
    EXPECT_EQ(Text(d, 1053), QStringLiteral("13ms"));
    EXPECT_EQ(Pos(d, 1054), 1000);
    EXPECT_EQ(Text(d, 1054), QStringLiteral("2000ms"));
    EXPECT_EQ(Pos(d, 1046), 300);
    EXPECT_EQ(Text(d, 1046), QStringLiteral("500Hz"));
    // The store is not corrected.
    EXPECT_EQ(Store().Get(fields::musicLowDelay), 25);
}

// A mode file is a raw dump: NaN, infinities and huge floats used to be converted to int as they
// stood, which is undefined and put the sliders anywhere.
TEST_F(FeaturesTest, UnusableStoredFloatsGiveTheSliderItsBoundInsteadOfUndefinedConversions) {
    Store().Set(fields::exciterLowFreq, kNaN);
    Store().Set(fields::exciterMidFreq, kInf);
    Store().Set(fields::exciterHighFreq, -kInf);
    Store().Set(fields::exciterHighGain, 1e30f);
    Store().Set(fields::exciterHarmonicGain, 1e10f);
    Store().Set(fields::exciterHarmonicOrder, kNaN);
    Store().Set(fields::musicAutoRatio, kNaN);
    Store().Set(fields::musicAutoRelease, -1e30f);
    const uint8_t nanLevel[] = {0x7F, 0xC0}; // the bass boost record holds the float's top 16 bits
    Store().WriteBlockAt(StoreBlock::BassBoostRecord, 0, nanLevel);
    CloudnessDlg* d = Show();

    EXPECT_EQ(Pos(d, 1043), 70);
    EXPECT_EQ(Pos(d, 1055), 5000);
    EXPECT_EQ(Pos(d, 1057), 3200);
    EXPECT_EQ(Pos(d, 1058), 12);
    EXPECT_EQ(Pos(d, 1059), 100);
    EXPECT_EQ(Text(d, 1059), QStringLiteral("2147483647%"));
    EXPECT_EQ(Pos(d, 1060), 0);
    EXPECT_EQ(Text(d, 1060), QStringLiteral("0%"));
    EXPECT_EQ(Pos(d, 1052), 10);
    EXPECT_EQ(Pos(d, 1054), 1);
    EXPECT_EQ(Pos(d, 1063), 0);
    EXPECT_EQ(Text(d, 1063), QStringLiteral("0dB"));
}

// The ratio slider counts tenths; 1.3f x 10 is 12.9999995 and truncating it showed 1.2.
TEST_F(FeaturesTest, TheRatioSliderRoundsToTheNearestTenth) {
    Store().Set(fields::musicAutoRatio, 1.3f);
    CloudnessDlg* d = Show();
    EXPECT_EQ(Pos(d, 1052), 13);
    EXPECT_EQ(Text(d, 1052), QStringLiteral("1.3:1"));
    for (const auto& [ratio, steps] : {std::pair{2.9f, 29}, {4.1f, 41}, {29.95f, 300}, {0.5f, 10}, {100.0f, 300}}) {
        Store().Set(fields::musicAutoRatio, ratio);
        d->RefreshFromStore();
        EXPECT_EQ(Pos(d, 1052), steps) << ratio;
    }
}

TEST_F(FeaturesTest, TheBassBoostSliderIsTheCutInDecibels) {
    Store().SetBassBoostLevel(-20.5f);
    CloudnessDlg* d = Show();
    EXPECT_EQ(Pos(d, 1063), 20);
    EXPECT_EQ(Text(d, 1063), QStringLiteral("20dB"));
    Store().SetBassBoostLevel(5.0f);
    d->RefreshFromStore();
    EXPECT_EQ(Pos(d, 1063), 0);
    EXPECT_EQ(Text(d, 1063), QStringLiteral("-5dB"));
}

TEST_F(FeaturesTest, CheckBoxesFollowTheirFieldsAndAutoLevelOnMeansNotOff) {
    Store().Set(fields::exciterOn, 1);
    Store().Set(fields::musicAutoOff, 0);
    Store().Set(fields::micBassBoostOn, 1);
    CloudnessDlg* d = Show();
    EXPECT_TRUE(d->Check(1040)->isChecked());
    EXPECT_FALSE(d->Check(1041)->isChecked());
    EXPECT_FALSE(d->Check(1042)->isChecked());
    EXPECT_TRUE(d->Check(1044)->isChecked());
    EXPECT_TRUE(d->Check(1045)->isChecked());
    Store().Set(fields::musicAutoOff, 1);
    View()->RefreshAllViews(); // what follows a read-all, a mode load or a reset
    EXPECT_FALSE(d->Check(1044)->isChecked());
}

TEST_F(FeaturesTest, HiddenControlsAreKeptCurrent) {
    Store().Set(fields::exciterVolume, 64.0f);
    Store().Set(fields::musicAutoRatio, 4.0f);
    CloudnessDlg* d = Show();
    for (int id : {1062, 1052}) {
        EXPECT_FALSE(d->Slider(id)->isVisible()) << id;
        EXPECT_FALSE(d->ValueText(id)->isVisible()) << id;
    }
    EXPECT_FALSE(FindCtrl<QLabel>(d, 1021)->isVisible());
    EXPECT_FALSE(FindCtrl<QLabel>(d, 1018)->isVisible());
    EXPECT_EQ(Pos(d, 1062), 64);
    EXPECT_EQ(Text(d, 1062), QStringLiteral("64%"));
    EXPECT_EQ(Pos(d, 1052), 40);
    EXPECT_EQ(Text(d, 1052), QStringLiteral("4.0:1"));
}

TEST_F(FeaturesTest, TextsComeFromTheLanguageTables) {
    CloudnessDlg* d = Show();
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("特色功能"));
    EXPECT_EQ(FindCtrl<QGroupBox>(d, 1003)->title(), QString::fromUtf8("音乐超级低音"));
    app->ToggleLanguage();
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Features"));
    EXPECT_EQ(d->Check(1041)->text(), QStringLiteral("EQ ON(Music Pitch is bypass when setting ON)"));
    EXPECT_EQ(d->Check(1045)->text(), QStringLiteral("Mic Max Bass"));
    EXPECT_EQ(FindCtrl<QGroupBox>(d, 1007)->title(), QStringLiteral("Auto Music Input Level"));
    EXPECT_EQ(FindCtrl<QLabel>(d, 1140)->text(), QStringLiteral("LPF Frequency"));
    EXPECT_EQ(FindCtrl<QLabel>(d, 1013)->text(), QStringLiteral("When detected mic level,the SUB vol is auto decay."));
    // The value texts have no table entries: "LowF" is label 1131, not the frequency's text 1006.
    EXPECT_EQ(FindCtrl<QLabel>(d, 1131)->text(), QStringLiteral("LowF"));
}

TEST_F(FeaturesTest, EnterDoesNothingAndEscapeEndsTheDialog) {
    Store().Set(fields::autoSubRatio, 30);
    QPointer<CloudnessDlg> d = Show();
    QTest::keyClick(d, Qt::Key_Return);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(d);
    EXPECT_TRUE(d->isVisible());

    d->Slider(1050)->setFocus();
    QTest::keyClick(d->Slider(1050), Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(d.isNull());
    EXPECT_EQ(app->ToolDialog(tmpl::Features), nullptr);

    // The next command builds it anew from the store.
    Store().Set(fields::autoSubRatio, 70);
    QPointer<CloudnessDlg> again = Show();
    ASSERT_TRUE(again);
    EXPECT_EQ(Pos(again, 1050), 70);
    // A processor arriving on USB ends it the same way.
    app->DestroyToolDialog(tmpl::Features);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(again.isNull());
}

class FeaturesWireTest : public PagesSimTest {
protected:
    CloudnessDlg* ShowConnected() {
        StartConnected();
        auto* d = qobject_cast<CloudnessDlg*>(app->ShowToolDialog(tmpl::Features));
        EXPECT_NE(d, nullptr);
        host->ClearReceived();
        return d;
    }

    static std::pair<int, int> CmdSub(const std::vector<uint8_t>& body) {
        return body.size() >= 4 && body[0] == 0x09 ? std::pair{int{body[2]}, int{body[3]}} : std::pair{-1, -1};
    }

    static std::string WordAt(const std::vector<uint8_t>& body, size_t word) {
        const size_t at = 5 + 4 * word;
        return at + 4 <= body.size() ? ToHex(std::span(body).subspan(at, 4)) : std::string();
    }
};

TEST_F(FeaturesWireTest, TheBassBoostNeverRaisesTheLevelBeforeItsPreGainIsLowered) {
    CloudnessDlg* d = ShowConnected();
    ASSERT_FLOAT_EQ(Store().LastBassBoostLevel(), 0.0f);
    MoveSlider(d->Slider(1063), 20);
    EXPECT_EQ(Text(d, 1063), QStringLiteral("20dB"));
    EXPECT_FLOAT_EQ(Store().BassBoostLevel(), -20.0f);

    // -20 dB: the record's top 16 bits of -20.0f (C1A00000) at 1305, then a cut, pre-gains last.
    auto writes = WaitForWrites(7);
    ASSERT_EQ(writes.size(), 7u) << ::testing::PrintToString(HexList(writes));
    EXPECT_EQ(ToHex(writes[0]), ToHex(Hex("85 05 19 02 C1 A0")));
    const std::vector<std::pair<int, int>> lowering = {{1, 61}, {1, 59}, {1, 58}, {1, 38}, {1, 36}, {1, 35}};
    for (size_t i = 0; i < lowering.size(); ++i)
        EXPECT_EQ(CmdSub(writes[i + 1]), lowering[i]) << i;
    EXPECT_EQ(WordAt(writes[2], 0), ToHex(Hex(WordHex(0.1f))));  // g
    EXPECT_EQ(WordAt(writes[3], 0), ToHex(Hex(WordHex(10.0f)))); // 1/g
    EXPECT_EQ(WordAt(writes[1], 2), ToHex(Hex("3F7D554A")));
    EXPECT_EQ(WordAt(writes[1], 3), ToHex(Hex("BFFEA8DC")));

    // Back up to -10 dB: the pre-gains go first.
    host->ClearReceived();
    MoveSlider(d->Slider(1063), 10);
    writes = WaitForWrites(7);
    ASSERT_EQ(writes.size(), 7u) << ::testing::PrintToString(HexList(writes));
    EXPECT_EQ(ToHex(writes[0]), ToHex(Hex("85 05 19 02 C1 20")));
    const std::vector<std::pair<int, int>> raising = {{1, 58}, {1, 61}, {1, 59}, {1, 35}, {1, 38}, {1, 36}};
    for (size_t i = 0; i < raising.size(); ++i)
        EXPECT_EQ(CmdSub(writes[i + 1]), raising[i]) << i;
}

TEST_F(FeaturesWireTest, TheMusicLowPassIsRecord178InMemoryAndAsCoefficients) {
    CloudnessDlg* d = ShowConnected();
    MoveSlider(d->Slider(1046), 80);
    EXPECT_EQ(Text(d, 1046), QStringLiteral("80Hz"));
    // gain 150 (0 dB), 80 Hz, Q 707, type 2 (low-pass)
    EXPECT_EQ(ToHex(Store().GetEqRecordBytes(178)), ToHex(Hex("0096 0050 02C3 02")));

    const auto writes = WaitForWrites(2);
    ASSERT_EQ(writes.size(), 2u) << ::testing::PrintToString(HexList(writes));
    EXPECT_EQ(ToHex(writes[0]), ToHex(Hex("85 04DE 07 0096 0050 02C3 02"))); // record 178 sits at 1246
    ASSERT_EQ(writes[1].size(), 5u + 20u);
    EXPECT_EQ(ToHex(std::span(writes[1]).first(5)), ToHex(Hex("09 00 04 0A 05")));
    // The second-order low-pass at 48 kHz: -a1, -a2, b0, b1, b2, normalised by a0.
    const double w0 = 80.0 * 6.283185307179586 / 48000.0;
    const double c = std::cos(w0);
    const double alpha = std::sin(w0) / (2.0 * 0.707);
    const double a0 = 1.0 + alpha;
    const double expected[5] = {2.0 * c / a0, -(1.0 - alpha) / a0, (1.0 - c) / (2.0 * a0), (1.0 - c) / a0,
                                (1.0 - c) / (2.0 * a0)};
    for (size_t i = 0; i < 5; ++i) {
        uint32_t bits = 0;
        for (size_t k = 0; k < 4; ++k)
            bits = bits << 8 | writes[1][5 + 4 * i + k];
        EXPECT_NEAR(std::bit_cast<float>(bits), expected[i], std::abs(expected[i]) * 1e-6) << i;
    }
}

TEST_F(FeaturesWireTest, TheAutoLevelRecordCarriesTheStoredValuesAndTheMovedOne) {
    CloudnessDlg* d = ShowConnected();
    Store().Set(fields::musicAutoThreshold, -20.0f);
    Store().Set(fields::musicAutoRatio, 2.0f); // its slider is hidden: the stored ratio always goes
    Store().Set(fields::musicAutoAttack, 10.0f);
    Store().Set(fields::musicAutoRelease, 100.7f);
    MoveSlider(d->Slider(1053), 50);
    EXPECT_EQ(Text(d, 1053), QStringLiteral("50ms"));
    EXPECT_EQ(HexList(WaitForWrites(1)),
              HexList({ParamWrite(
                  4, 14, {"C1A00000", "00000000", "3F000000", "41A00000", "3D4CCCCD", TimeWord(50), TimeWord(100)})}));
    // The release went out in whole milliseconds and is stored so.
    EXPECT_FLOAT_EQ(Store().Get(fields::musicAutoAttack), 50.0f);
    EXPECT_FLOAT_EQ(Store().Get(fields::musicAutoRelease), 100.0f);
    EXPECT_FLOAT_EQ(Store().Get(fields::musicAutoRatio), 2.0f);

    host->ClearReceived();
    MoveSlider(d->Slider(1051), -35);
    EXPECT_EQ(Text(d, 1051), QStringLiteral("-35dB"));
    EXPECT_EQ(HexList(WaitForWrites(1)),
              HexList({ParamWrite(
                  4, 14, {"C20C0000", "00000000", "3F000000", "41A00000", "3D4CCCCD", TimeWord(50), TimeWord(100)})}));
}

// A zeroed store or a mode file can hold ratio 0, times of 0 or NaN; 1 - 1/ratio and the
// exponentials of those are infinite or NaN and must never reach the processor.
TEST_F(FeaturesWireTest, AnAutoLevelRecordFromUnusableStoredValuesIsFinite) {
    CloudnessDlg* d = ShowConnected();
    Store().Set(fields::musicAutoThreshold, -10.0f);
    Store().Set(fields::musicAutoRatio, 0.0f);
    Store().Set(fields::musicAutoAttack, 0.0f);
    Store().Set(fields::musicAutoRelease, kNaN);
    MoveSlider(d->Slider(1051), -30);
    // ratio 1:1 and 1 ms, the smallest the controls offer
    EXPECT_EQ(HexList(WaitForWrites(1)),
              HexList({ParamWrite(
                  4, 14, {"C1F00000", "00000000", "00000000", "41A00000", "3D4CCCCD", TimeWord(1), TimeWord(1)})}));
}

TEST_F(FeaturesWireTest, ChecksAndPlainSlidersSendTheirFields) {
    CloudnessDlg* d = ShowConnected();
    Store().Set(fields::musicAutoOff, 0);
    d->RefreshFromStore();
    ASSERT_TRUE(d->Check(1044)->isChecked());
    QTest::mouseClick(d->Check(1044), Qt::LeftButton, {},
                      IndicatorOf(d->Check(1044))); // "ON" cleared: the automatic level is off
    EXPECT_EQ(Store().Get(fields::musicAutoOff), 1);
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({Hex("09 00 04 0F 01 00000001")}));

    host->ClearReceived();
    QTest::mouseClick(d->Check(1045), Qt::LeftButton, {},
                      IndicatorOf(d->Check(1045))); // bass boost on: the inverted byte, twice
    EXPECT_EQ(Store().Get(fields::micBassBoostOn), 1);
    EXPECT_EQ(Store().Get(fields::micBassBoostOnCopy), 1);
    EXPECT_EQ(HexList(WaitForWrites(2)), HexList({Hex("09 00 01 25 01 00000000"), Hex("09 00 01 3C 01 00000000")}));

    host->ClearReceived();
    MoveSlider(d->Slider(1043), 200); // exciter low point, a float in Hz
    MoveSlider(d->Slider(1059), 40);  // harmonic gain, position / 100
    MoveSlider(d->Slider(1047), 20);  // music low delay: 20 x 48 = 960 samples
    MoveSlider(d->Slider(1048), 300); // music low gain 3.0
    MoveSlider(d->Slider(1050), 30);  // SUB share
    EXPECT_EQ(HexList(WaitForWrites(5)),
              HexList({Hex("09 00 0D 00 01 43480000"), Hex("09 00 0D 06 01 3ECCCCCD"), Hex("09 00 04 24 01 000003C0"),
                       Hex("09 00 04 25 01 40400000"), Hex("09 00 01 0D 01 3E99999A")}));
    EXPECT_EQ(Text(d, 1043), QStringLiteral("200Hz"));
    EXPECT_EQ(Text(d, 1059), QStringLiteral("40%"));
    EXPECT_EQ(Text(d, 1047), QStringLiteral("20ms"));
    EXPECT_EQ(Text(d, 1048), QStringLiteral("300%"));
    EXPECT_FLOAT_EQ(Store().Get(fields::exciterHarmonicGain), 40.0f);
}

} // namespace
} // namespace orvex::test
