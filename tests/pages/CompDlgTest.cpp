#include "support/PagesFixture.h"

#include "editors/output/CompDlg.h"
#include "widgets/CompressPanelPlus.h"
#include "widgets/GdipButton.h"
#include "widgets/XBmpSlider.h"
#include "shell/Language.h"
#include "shell/Relabel.h"
#include "shell/VolumeControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QWheelEvent>

#include <cmath>
#include <limits>

namespace orvex::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

constexpr int kThresholdId = 1014;
constexpr int kRatioId = 1015;
constexpr int kAttackId = 1016;
constexpr int kReleaseId = 1017;

// 1 - e^(-1 / (ms x 48)): a compressor time as the processor takes it, worked out here in double.
std::string TimeWord(double ms) {
    return WordHex(static_cast<float>(1.0 - std::exp(-1.0 / (ms * 48.0))));
}

bool Finite(const QPointF& p) {
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

// The user steps the channel selector to `channel` with the keyboard.
void ChooseChannel(CCompDlg* d, int channel) {
    QComboBox* combo = d->ChannelSelector();
    combo->setFocus();
    for (int guard = 0; guard < 8 && combo->currentIndex() != channel; ++guard)
        QTest::keyClick(combo, combo->currentIndex() < channel ? Qt::Key_Down : Qt::Key_Up);
}

// ---- the transfer curve ------------------------------------------------------------------------------------

class CompressPanelTest : public ::testing::Test {
protected:
    CompressPanelTest() {
        panel.SetLowerKnee(-90.0);
        panel.SetLowerSlope(1.0);
    }
    // 560 x 445 gives a 500 x 400 graph area.
    static constexpr QSize kSize{560, 445};
    static double Y(double outputDb) { return std::abs(outputDb - 6.0) * 400.0 / 96.0 + 20.0; }
    static double X(double inputDb) { return (inputDb + 90.0) * 500.0 / 96.0 + 40.0; }
    CCompressPanelPlus panel;
};

TEST_F(CompressPanelTest, RatioOneIsAStraightOneToOneLineThroughTheThreshold) {
    panel.SetThreshold(-24.0);
    panel.SetSlope(1.0);
    for (double i : {-90.0, -60.0, -24.0, -10.0, 0.0, 6.0})
        EXPECT_DOUBLE_EQ(panel.OutputLevel(i), i) << i;
    const auto points = panel.CurvePoints(kSize);
    for (const QPointF& p : points) {
        // every point on the line from (-90 dB, -90 dB) to (+6 dB, +6 dB)
        const double input = (p.x() - 40.0) * 96.0 / 500.0 - 90.0;
        EXPECT_NEAR(p.y(), Y(input), 1e-9) << p.x();
    }
    EXPECT_NEAR(points[2].x(), X(-24.0), 1e-9);
    EXPECT_NEAR(points[3].y(), Y(6.0), 1e-9);
}

TEST_F(CompressPanelTest, ThresholdZeroAtThirtyToOneEndsAtPlusPointTwoDecibels) {
    panel.SetThreshold(0.0);
    panel.SetSlope(1.0 / 30.0);
    EXPECT_NEAR(panel.OutputLevel(6.0), 0.2, 1e-12);
    EXPECT_NEAR(panel.OutputLevel(3.0), 0.1, 1e-12);
    EXPECT_DOUBLE_EQ(panel.OutputLevel(-40.0), -40.0); // below the threshold nothing changes
    const auto points = panel.CurvePoints(kSize);
    EXPECT_NEAR(points[3].x(), X(6.0), 1e-9);
    EXPECT_NEAR(points[3].y(), Y(0.2), 1e-9);
    EXPECT_NEAR(points[2].y(), Y(0.0), 1e-9);
}

// 1/0 from a zeroed ratio is an infinite slope; a NaN threshold from a raw mode file put NaN into
// every point after it.
TEST_F(CompressPanelTest, UnusableValuesNeverReachThePainter) {
    panel.SetSlope(1.0 / 0.0);
    EXPECT_DOUBLE_EQ(panel.Slope(), 1.0);
    panel.SetThreshold(kNaN);
    EXPECT_DOUBLE_EQ(panel.Threshold(), 0.0);
    panel.SetThreshold(-1e30);
    EXPECT_DOUBLE_EQ(panel.Threshold(), -90.0);
    panel.SetSlope(std::nan(""));
    for (QSize size : {kSize, QSize(10, 10), QSize(0, 0)}) {
        for (const QPointF& p : panel.CurvePoints(size))
            EXPECT_TRUE(Finite(p)) << size.width();
    }
    EXPECT_TRUE(std::isfinite(panel.OutputLevel(kInf)));
}

// The switched-off compressor is marked across the graph; a switched-on one carries no mark.
TEST_F(CompressPanelTest, OffIsWrittenOverTheGraphOnlyWhenSwitchedOff) {
    panel.resize(kSize);
    const auto offPixels = [this] {
        const QImage image = panel.grab().toImage();
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) == QColor(255, 150, 0) ? 1 : 0;
        }
        return count;
    };
    panel.SetThreshold(-20.0);
    panel.SetSlope(0.25);
    EXPECT_EQ(offPixels(), 0);
    panel.SetOn(false);
    EXPECT_GT(offPixels(), 100);
    panel.SetOn(true);
    EXPECT_EQ(offPixels(), 0);
}

// ---- the page ----------------------------------------------------------------------------------------------

class CompPageTest : public PagesTest {
protected:
    void SetUp() override {
        PagesTest::SetUp();
        StartApp();
    }

    void SetChannel(int ch, float threshold, float ratio, float attack, float release, int off) {
        Store().Set(fields::outCompThreshold, ch, threshold);
        Store().Set(fields::outCompRatio, ch, ratio);
        Store().Set(fields::outCompAttack, ch, attack);
        Store().Set(fields::outCompRelease, ch, release);
        Store().Set(fields::outCompOff, ch, off);
    }

    static int Pos(CCompDlg* d, int id) { return d->Slider(id)->GetSliderPos(); }
    static QString Box(CCompDlg* d, int id) { return d->ValueBox(id)->text(); }
};

// The start-up store holds ratio 0: the slider, its box and the graph work with 1:1.
TEST_F(CompPageTest, TheStartUpStoreShowsOneToOneAndAFiniteCurve) {
    CCompDlg* d = OpenPage<CCompDlg>(PageKind::Comp);
    ASSERT_FLOAT_EQ(Store().Get(fields::outCompRatio, 0), 0.0f);
    EXPECT_EQ(Pos(d, kRatioId), 10);
    EXPECT_EQ(Box(d, kRatioId), QStringLiteral("1.0:1"));
    EXPECT_DOUBLE_EQ(d->Graph()->Slope(), 1.0);
    for (const QPointF& p : d->Graph()->CurvePoints(d->Graph()->size()))
        EXPECT_TRUE(Finite(p));
    EXPECT_TRUE(d->Switch()->isChecked());
    EXPECT_TRUE(d->Graph()->IsOn());
    EXPECT_DOUBLE_EQ(d->Graph()->LowerKnee(), -90.0);
    EXPECT_EQ(d->Slider(kReleaseId)->GetSliderMin(), 1);
    EXPECT_EQ(d->Slider(kReleaseId)->GetSliderMax(), 1000);
    // Times of 0 go out as 1 ms, and the boxes say so.
    EXPECT_EQ(Box(d, kAttackId), QStringLiteral("1ms"));
    EXPECT_EQ(Box(d, kReleaseId), QStringLiteral("1ms"));
}

TEST_F(CompPageTest, TheWheelMovesTheFocusedSliderOnlyWithThePointerOverIt) {
    Store().Set(fields::outCompAttack, 0, 50.0f);
    CCompDlg* d = OpenPage<CCompDlg>(PageKind::Comp);
    CXBmpSlider* slider = d->Slider(kAttackId);
    slider->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return slider->hasFocus(); }, 1000));
    const auto turn = [](QWidget* receiver, QPointF at) {
        QWheelEvent wheel(at, receiver->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(receiver, &wheel);
    };
    // Over the graph, which takes no wheel of its own, the turn changes nothing.
    turn(d, d->Graph()->geometry().center());
    EXPECT_EQ(Pos(d, kAttackId), 50);
    turn(slider, QPointF(slider->rect().center()));
    EXPECT_EQ(Pos(d, kAttackId), 51);
    EXPECT_EQ(Box(d, kAttackId), QString::asprintf("%dms", Pos(d, kAttackId)));
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompAttack, 0), static_cast<float>(Pos(d, kAttackId)));
}

// The boxes looked editable but never took the focus: Ctrl+A typed there lowered the music.
TEST_F(CompPageTest, AValueTypedIntoABoxIsAppliedWithinTheSlidersRangeAndKeysStayInTheBox) {
    SetChannel(0, -10.0f, 2.0f, 10.0f, 200.0f, 0);
    CCompDlg* d = OpenPage<CCompDlg>(PageKind::Comp);
    QLineEdit* release = d->ValueBox(kReleaseId);
    QTest::mouseClick(release, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return release->hasFocus(); }, 1000));
    const int music = Store().Get(Info(VolumeControl::Music).field);
    QTest::keyClick(release->window()->windowHandle(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Store().Get(Info(VolumeControl::Music).field), music);
    TypeValue(release, QStringLiteral("50ms"));
    QTest::keyClick(release, Qt::Key_Return);
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompRelease, 0), 50.0f);
    EXPECT_EQ(Pos(d, kReleaseId), 50);
    EXPECT_EQ(Box(d, kReleaseId), QStringLiteral("50ms"));

    // Beyond the slider's range it is held to the end; leaving the box applies it too.
    QLineEdit* ratio = d->ValueBox(kRatioId);
    TypeValue(ratio, QStringLiteral("45"));
    d->Slider(kAttackId)->setFocus();
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompRatio, 0), 30.0f);
    EXPECT_EQ(Box(d, kRatioId), QStringLiteral("30.0:1"));
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompRelease, 0), 50.0f);

    // Nothing usable typed: the stored value comes back.
    QLineEdit* threshold = d->ValueBox(kThresholdId);
    TypeValue(threshold, QStringLiteral("loud"));
    QTest::keyClick(threshold, Qt::Key_Return);
    EXPECT_EQ(Box(d, kThresholdId), QStringLiteral("-10dB"));
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompThreshold, 0), -10.0f);
}

TEST_F(CompPageTest, TheChannelSelectorShowsThatChannelsValues) {
    SetChannel(3, -20.0f, 4.0f, 10.0f, 50.0f, 1);
    SetChannel(0, -5.0f, 2.0f, 30.0f, 300.0f, 0);
    CCompDlg* d = OpenPage<CCompDlg>(PageKind::Comp);
    EXPECT_EQ(Pos(d, kThresholdId), -5);
    ChooseChannel(d, 3);
    EXPECT_EQ(d->OutputChannel(), 3);
    EXPECT_EQ(Pos(d, kThresholdId), -20);
    EXPECT_EQ(Box(d, kThresholdId), QStringLiteral("-20dB"));
    EXPECT_EQ(Pos(d, kRatioId), 40);
    EXPECT_EQ(Box(d, kRatioId), QStringLiteral("4.0:1"));
    EXPECT_EQ(Pos(d, kAttackId), 10);
    EXPECT_EQ(Box(d, kAttackId), QStringLiteral("10ms"));
    EXPECT_EQ(Pos(d, kReleaseId), 50);
    EXPECT_EQ(Box(d, kReleaseId), QStringLiteral("50ms"));
    EXPECT_FALSE(d->Switch()->isChecked());
    EXPECT_FALSE(d->Graph()->IsOn());
    EXPECT_DOUBLE_EQ(d->Graph()->Threshold(), -20.0);
    EXPECT_DOUBLE_EQ(d->Graph()->Slope(), 0.25);
    // Nothing was changed by looking.
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompRelease, 3), 50.0f);
}

// 1.3f x 10 is 12.9999995: truncated it showed 1.2:1. NaN and infinities converted to int as they
// stood are undefined and put the sliders anywhere.
TEST_F(CompPageTest, StoredFloatsReachTheSlidersClampedAndRounded) {
    SetChannel(0, -1e30f, 1.3f, kNaN, kInf, 0);
    CCompDlg* d = OpenPage<CCompDlg>(PageKind::Comp);
    EXPECT_EQ(Pos(d, kRatioId), 13);
    EXPECT_EQ(Box(d, kRatioId), QStringLiteral("1.3:1"));
    EXPECT_EQ(Pos(d, kThresholdId), -60);
    EXPECT_EQ(Pos(d, kAttackId), 1);
    EXPECT_EQ(Pos(d, kReleaseId), 1000);
    EXPECT_EQ(Box(d, kAttackId), QStringLiteral("1ms"));
    EXPECT_EQ(Box(d, kReleaseId), QStringLiteral("1000ms"));
    EXPECT_DOUBLE_EQ(d->Graph()->Threshold(), -90.0);

    SetChannel(0, kNaN, kNaN, 5.0f, 5.0f, 0);
    d->RefreshFromStore();
    EXPECT_EQ(Pos(d, kThresholdId), -60);
    EXPECT_EQ(Pos(d, kRatioId), 10);
    EXPECT_DOUBLE_EQ(d->Graph()->Slope(), 1.0);
}

TEST_F(CompPageTest, RelabelsInBothLanguagesAndHighlightsItsTab) {
    CCompDlg* d = OpenPage<CCompDlg>(PageKind::Comp);
    auto label = [d](int id) {
        for (QWidget* w : d->findChildren<QWidget*>()) {
            if (CtrlId(w) == id)
                return WidgetText(w);
        }
        return QStringLiteral("<none>");
    };
    EXPECT_EQ(label(1045), QStringLiteral("压限启用"));
    EXPECT_EQ(label(1005), QStringLiteral("阀(阈)"));
    EXPECT_EQ(label(1220), QStringLiteral("选择通道"));
    EXPECT_EQ(label(1075), QStringLiteral("输出压限"));
    EXPECT_EQ(label(1079), QStringLiteral("通道8"));
    EXPECT_EQ(d->ChannelSelector()->itemText(7), QStringLiteral("通道8"));
    EXPECT_TRUE(d->TabButton(1075)->IsAlternate());
    EXPECT_FALSE(d->TabButton(1074)->IsAlternate());

    ChooseChannel(d, 5);
    SetLanguageIndex(kLanguageEnglish);
    app->ApplyLanguage();
    EXPECT_EQ(label(1045), QStringLiteral("Comp ON"));
    EXPECT_EQ(label(1005), QStringLiteral("Threshold"));
    EXPECT_EQ(label(1007), QStringLiteral("Ratio"));
    EXPECT_EQ(label(1006), QStringLiteral("Attack time"));
    EXPECT_EQ(label(1002), QStringLiteral("Release time"));
    EXPECT_EQ(label(1220), QStringLiteral("Select CH"));
    EXPECT_EQ(label(1073), QStringLiteral("Location"));
    EXPECT_EQ(label(1079), QStringLiteral("CH 8")); // no English entry: the page's own text
    EXPECT_EQ(d->ChannelSelector()->itemText(0), QStringLiteral("CH 1"));
    // Refilling the selector keeps the channel.
    EXPECT_EQ(d->ChannelSelector()->currentIndex(), 5);
    EXPECT_EQ(d->OutputChannel(), 5);
    SetLanguageIndex(kLanguageChinese);
    app->ApplyLanguage();
    EXPECT_EQ(label(1002), QStringLiteral("释放时间"));
}

TEST_F(CompPageTest, TabButtonsOpenTheSiblingPages) {
    CCompDlg* d = OpenPage<CCompDlg>(PageKind::Comp);
    QTest::mouseClick(d->TabButton(1074), Qt::LeftButton);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Delay);
    d = OpenPage<CCompDlg>(PageKind::Comp);
    QTest::mouseClick(d->TabButton(1077), Qt::LeftButton);
    ASSERT_EQ(View()->CurrentPage()->Kind(), PageKind::Output);
    EXPECT_EQ(View()->CurrentPage()->OutputChannel(), 5);
}

// ---- on the wire -------------------------------------------------------------------------------------------

class CompWireTest : public PagesSimTest {
protected:
    CCompDlg* OpenConnected() {
        StartConnected();
        View()->SwitchToPage(PageKind::Comp);
        auto* d = qobject_cast<CCompDlg*>(View()->CurrentPage());
        EXPECT_NE(d, nullptr);
        host->ClearReceived();
        return d;
    }
};

// Four single-field writes sent four records, three of them half-updated; the page sends one record
// with the moved value and the other three as stored.
TEST_F(CompWireTest, MovingASliderSendsOneRecordWithTheChannelsFourValues) {
    CCompDlg* d = OpenConnected();
    Store().Set(fields::outCompThreshold, 2, -20.0f);
    Store().Set(fields::outCompRatio, 2, 2.0f);
    Store().Set(fields::outCompAttack, 2, 10.0f);
    Store().Set(fields::outCompRelease, 2, 50.0f); // below the output page's 100 ms: must survive
    d->SetOutputChannel(2);
    MoveSlider(d->Slider(kRatioId), 40);
    EXPECT_EQ(d->ValueBox(kRatioId)->text(), QStringLiteral("4.0:1"));
    EXPECT_DOUBLE_EQ(d->Graph()->Slope(), 0.25);
    EXPECT_EQ(HexList(WaitForWrites(1)),
              HexList({ParamWrite(
                  7, 27, {"C1A00000", "00000000", "3F400000", "41A00000", "3D4CCCCD", TimeWord(10), TimeWord(50)})}));
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompRatio, 2), 4.0f);
    EXPECT_FLOAT_EQ(Store().Get(fields::outCompRelease, 2), 50.0f);

    host->ClearReceived();
    MoveSlider(d->Slider(kThresholdId), -35);
    EXPECT_DOUBLE_EQ(d->Graph()->Threshold(), -35.0);
    EXPECT_EQ(HexList(WaitForWrites(1)),
              HexList({ParamWrite(
                  7, 27, {"C20C0000", "00000000", "3F400000", "41A00000", "3D4CCCCD", TimeWord(10), TimeWord(50)})}));
}

// The start-up store's ratio 0 gave 1 - 1/0 = -inf in the ratio word.
TEST_F(CompWireTest, TheStartUpStoreSendsAFiniteRecord) {
    CCompDlg* d = OpenConnected();
    Store().Set(fields::outCompRatio, 0, 0.0f);
    Store().Set(fields::outCompAttack, 0, 0.0f);
    Store().Set(fields::outCompRelease, 0, kNaN);
    d->RefreshFromStore();
    MoveSlider(d->Slider(kThresholdId), -10);
    const auto writes = WaitForWrites(1);
    ASSERT_EQ(writes.size(), 1u) << ::testing::PrintToString(HexList(writes));
    ASSERT_EQ(writes[0].size(), 5u + 28u);
    for (size_t w = 0; w < 7; ++w) {
        uint32_t bits = 0;
        for (size_t k = 0; k < 4; ++k)
            bits = bits << 8 | writes[0][5 + 4 * w + k];
        EXPECT_TRUE(std::isfinite(std::bit_cast<float>(bits))) << w;
    }
    EXPECT_EQ(ToHex(writes[0]),
              ToHex(ParamWrite(
                  5, 27, {"C1200000", "00000000", "00000000", "41A00000", "3D4CCCCD", TimeWord(1), TimeWord(1)})));
}

TEST_F(CompWireTest, TheSwitchSendsTheOffFlagAndTheGraphShowsIt) {
    CCompDlg* d = OpenConnected();
    Store().Set(fields::outCompOff, 1, 0);
    ChooseChannel(d, 1);
    EXPECT_TRUE(SettledWrites().empty()) << "choosing a channel sends nothing";
    ASSERT_TRUE(d->Switch()->isChecked());
    QTest::mouseClick(d->Switch(), Qt::LeftButton, {}, QPoint(8, d->Switch()->height() / 2));
    EXPECT_FALSE(d->Graph()->IsOn());
    EXPECT_EQ(Store().Get(fields::outCompOff, 1), 1);
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({Hex("09 00 06 1C 01 00000001")}));

    host->ClearReceived();
    QTest::mouseClick(d->Switch(), Qt::LeftButton, {}, QPoint(8, d->Switch()->height() / 2));
    EXPECT_TRUE(d->Graph()->IsOn());
    EXPECT_EQ(Store().Get(fields::outCompOff, 1), 0);
    EXPECT_EQ(HexList(WaitForWrites(1)), HexList({Hex("09 00 06 1C 01 00000000")}));
}

} // namespace
} // namespace orvex::test
