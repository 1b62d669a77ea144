#include "ShellFixture.h"

#include <QCheckBox>
#include <QMouseEvent>
#include <QToolButton>
#include <QWheelEvent>

namespace orvex::test {
namespace {

class RibbonTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        StartApp();
    }

    const VolumeControlInfo& Mic() const { return orvex::Info(VolumeControl::Mic); }

    void SetStoreVolume(VolumeControl control, int value) {
        Store().Set(orvex::Info(control).field, value);
        Frame()->RefreshRibbonFromStore();
    }

    QString LabelText(int id) const { return Ribbon()->FindByID<QToolButton>(id)->text(); }

    // A real drag: press on the thumb, move with the button held, release.
    static void Drag(CMFCRibbonStepSlider* slider, int toX) {
        const QPoint from = slider->HandleRect().center();
        const QPoint to(toX, from.y());
        QMouseEvent press(QEvent::MouseButtonPress, from, slider->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(slider, &press);
        for (int step = 1; step <= 4; ++step) {
            const QPoint at = from + (to - from) * step / 4;
            QMouseEvent move(QEvent::MouseMove, at, slider->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(slider, &move);
        }
        QMouseEvent release(QEvent::MouseButtonRelease, to, slider->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(slider, &release);
    }

    void Wheel(QWidget* over, int delta) {
        const QPoint centre = over->rect().center();
        QWheelEvent wheel(centre, over->mapToGlobal(centre), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &wheel);
    }
};

TEST_F(RibbonTest, DraggingTheOutputSliderMovesTheInputTwinAndBack) {
    Ribbon()->SetActiveCategory(1);
    Pump(20);
    CMFCRibbonStepSlider* out = Slider(Mic().sliderOutput);
    ASSERT_TRUE(out->isVisible());
    CMFCRibbonStepSlider* in = Slider(Mic().sliderInput);
    Drag(out, out->width() * 3 / 4);
    ASSERT_GT(out->value(), 40);
    EXPECT_EQ(in->value(), out->value());
    EXPECT_EQ(Store().Get(fields::micMasterVolume), out->value());
    EXPECT_EQ(LabelText(Mic().labelInput), QString::fromUtf8("话筒音量:%1").arg(out->value(), 3));
    EXPECT_EQ(LabelText(Mic().labelOutput), LabelText(Mic().labelInput));

    Ribbon()->SetActiveCategory(0);
    Pump(20);
    Drag(in, in->width() / 5);
    EXPECT_LT(in->value(), 40);
    EXPECT_EQ(out->value(), in->value());
    EXPECT_EQ(Store().Get(fields::micMasterVolume), in->value());
}

TEST_F(RibbonTest, TrackClickMovesOneStepTowardsTheClick) {
    SetStoreVolume(VolumeControl::Echo, 40);
    CMFCRibbonStepSlider* slider = Slider(orvex::Info(VolumeControl::Echo).sliderInput);
    const int y = slider->height() / 2;
    QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(slider->width() - 2, y));
    EXPECT_EQ(slider->value(), 41);
    EXPECT_EQ(Store().Get(fields::echoVolume), 41);
    QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(1, y));
    QTest::mouseClick(slider, Qt::LeftButton, Qt::NoModifier, QPoint(1, y));
    EXPECT_EQ(slider->value(), 39);
    EXPECT_EQ(Slider(orvex::Info(VolumeControl::Echo).sliderOutput)->value(), 39);
}

struct KeyStepCase {
    int start;
    Qt::KeyboardModifiers modifiers;
    Qt::Key key;
    int expected;
};

class KeyStepTest : public RibbonTest, public ::testing::WithParamInterface<KeyStepCase> {};

TEST_P(KeyStepTest, MicKeysStepByFiveBelowFiftyByTwoAboveAndOneWithLeftCtrl) {
    const KeyStepCase c = GetParam();
    SetStoreVolume(VolumeControl::Mic, c.start);
    Key(c.key, c.modifiers);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), c.expected);
    EXPECT_EQ(Slider(Mic().sliderInput)->value(), c.expected);
    EXPECT_EQ(Slider(Mic().sliderOutput)->value(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, KeyStepTest,
    ::testing::Values(KeyStepCase{48, Qt::NoModifier, Qt::Key_W, 53}, KeyStepCase{50, Qt::NoModifier, Qt::Key_W, 52},
                      KeyStepCase{48, Qt::ControlModifier, Qt::Key_W, 49},
                      KeyStepCase{50, Qt::ControlModifier, Qt::Key_W, 51},
                      KeyStepCase{48, Qt::NoModifier, Qt::Key_S, 43}, KeyStepCase{60, Qt::NoModifier, Qt::Key_S, 58},
                      KeyStepCase{98, Qt::NoModifier, Qt::Key_W, 99}, KeyStepCase{2, Qt::NoModifier, Qt::Key_S, 0}));

TEST_F(RibbonTest, EveryVolumeKeyPairMovesItsOwnControl) {
    struct Case {
        Qt::Key up, down;
        VolumeControl control;
    };
    for (const Case c :
         {Case{Qt::Key_Q, Qt::Key_A, VolumeControl::Music}, Case{Qt::Key_E, Qt::Key_D, VolumeControl::Echo},
          Case{Qt::Key_R, Qt::Key_F, VolumeControl::Reverb}}) {
        SetStoreVolume(c.control, 60);
        Key(c.up);
        EXPECT_EQ(Store().Get(orvex::Info(c.control).field), 62);
        Key(c.down);
        Key(c.down);
        EXPECT_EQ(Store().Get(orvex::Info(c.control).field), 58);
        EXPECT_EQ(Slider(orvex::Info(c.control).sliderOutput)->value(), 58);
    }
}

TEST_F(RibbonTest, MicAboveTheDeviceLimitSnapsBothTwinsBackAndSays) {
    MachineSettingsRecord settings{};
    settings[5] = 60; // micMaxVolume
    settings[6] = 99;
    Store().SetMachineSettingsFromDevice(settings);
    SetStoreVolume(VolumeControl::Mic, 58);

    Key(Qt::Key_W); // 58 + 2 = 60: at the limit, allowed
    EXPECT_EQ(Store().Get(fields::micMasterVolume), 60);
    EXPECT_FALSE(InfoVisible());

    Key(Qt::Key_W);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), 60);
    EXPECT_EQ(Slider(Mic().sliderInput)->value(), 60);
    EXPECT_EQ(Slider(Mic().sliderOutput)->value(), 60);
    EXPECT_EQ(InfoText(), QString::fromUtf8("不能超过最大话筒音量!"));

    // Muted, the limit message is followed by the mute notice (the value is still stored).
    Store().Set(fields::micMute, 1);
    Key(Qt::Key_W);
    EXPECT_EQ(InfoText(), QString::fromUtf8("当前是静音状态"));
    SetUiLanguageIndex(kLanguageEnglish);
    Key(Qt::Key_S);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), 58);
    EXPECT_EQ(InfoText(), QStringLiteral("vol is mute"));
}

TEST_F(RibbonTest, MusicLimitComesFromItsOwnByte) {
    MachineSettingsRecord settings{};
    settings[5] = 99;
    settings[6] = 30;
    Store().SetMachineSettingsFromDevice(settings);
    SetStoreVolume(VolumeControl::Music, 28);
    Key(Qt::Key_Q);
    EXPECT_EQ(Store().Get(fields::musicVolume), 30);
    EXPECT_EQ(InfoText(), QString::fromUtf8("不能超过最大音乐音量!"));
    // The English text named the mic for the music's limit.
    SetUiLanguageIndex(kLanguageEnglish);
    Key(Qt::Key_Q);
    EXPECT_EQ(Store().Get(fields::musicVolume), 30);
    EXPECT_EQ(InfoText(), QStringLiteral("Music vol can't over max value!"));
}

TEST_F(RibbonTest, ZMutesMusicWithANoticeAndUnmutesSilently) {
    Key(Qt::Key_Z);
    EXPECT_EQ(Store().Get(fields::musicMute), 1);
    EXPECT_TRUE(InfoVisible());
    EXPECT_EQ(InfoText(), QString::fromUtf8("音乐已静音"));
    EXPECT_TRUE(Ribbon()->FindByID<QCheckBox>(orvex::Info(MuteControl::Music).checkOutput)->isChecked());

    app->InfoDialog()->close();
    Pump(20);
    Key(Qt::Key_Z);
    EXPECT_EQ(Store().Get(fields::musicMute), 0);
    EXPECT_FALSE(InfoVisible());
    EXPECT_FALSE(Ribbon()->FindByID<QCheckBox>(orvex::Info(MuteControl::Music).checkInput)->isChecked());
}

TEST_F(RibbonTest, MuteKeysAndCheckBoxesFlipTheirOwnFlags) {
    Key(Qt::Key_X);
    EXPECT_EQ(Store().Get(fields::micMute), 1);
    EXPECT_EQ(InfoText(), QString::fromUtf8("话筒已静音"));
    Key(Qt::Key_C);
    EXPECT_EQ(Store().Get(fields::echoMute), 1);
    EXPECT_EQ(InfoText(), QString::fromUtf8("回声已静音"));
    Key(Qt::Key_V);
    EXPECT_EQ(Store().Get(fields::reverbMute), 1);
    EXPECT_EQ(InfoText(), QString::fromUtf8("混响已静音"));

    auto* echoOut = Ribbon()->FindByID<QCheckBox>(orvex::Info(MuteControl::Echo).checkOutput);
    Ribbon()->SetActiveCategory(1);
    QTest::mouseClick(echoOut, Qt::LeftButton);
    EXPECT_EQ(Store().Get(fields::echoMute), 0);
    EXPECT_FALSE(echoOut->isChecked());
    EXPECT_FALSE(Ribbon()->FindByID<QCheckBox>(orvex::Info(MuteControl::Echo).checkInput)->isChecked());
}

TEST_F(RibbonTest, AWheelNotchOverTheEchoPanelMovesEchoByOneAndOverAPageNothing) {
    SetStoreVolume(VolumeControl::Echo, 30);
    RibbonPanel* echoPanel = Ribbon()->ActiveCategory()->Panel(3);
    Wheel(echoPanel, 120);
    EXPECT_EQ(Store().Get(fields::echoVolume), 31);
    Wheel(echoPanel, -120);
    Wheel(echoPanel, -120);
    EXPECT_EQ(Store().Get(fields::echoVolume), 29);
    EXPECT_EQ(Slider(orvex::Info(VolumeControl::Echo).sliderOutput)->value(), 29);

    // A wheel over a slider of another panel moves that panel's control, never by more than one.
    Wheel(Slider(Mic().sliderInput), 120);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), 1);

    Wheel(View()->CurrentPage(), 120);
    EXPECT_EQ(Store().Get(fields::echoVolume), 29);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), 1);
    // The wheel never switches categories.
    Wheel(Ribbon()->CategoryTab(1), -120);
    EXPECT_EQ(Ribbon()->ActiveCategoryIndex(), 0);
}

TEST_F(RibbonTest, NoiseGateWheelActsOnlyOverItsSlider) {
    SetStoreVolume(VolumeControl::NoiseGate, 100);
    Wheel(Slider(orvex::Info(VolumeControl::NoiseGate).sliderInput), -120);
    EXPECT_EQ(Store().Get(fields::musicNoiseGate), 99);
    EXPECT_EQ(LabelText(orvex::Info(VolumeControl::NoiseGate).labelInput), QString::fromUtf8("音乐噪声门: 99"));
}

TEST_F(RibbonTest, RefreshPutsTheStoreIntoBothTwinsWithTheirFormats) {
    Store().Set(fields::reverbVolume, 7);
    Store().Set(fields::musicNoiseGate, 45);
    Frame()->RefreshRibbonFromStore();
    const VolumeControlInfo& reverb = orvex::Info(VolumeControl::Reverb);
    EXPECT_EQ(Slider(reverb.sliderInput)->value(), 7);
    EXPECT_EQ(Slider(reverb.sliderOutput)->value(), 7);
    EXPECT_EQ(LabelText(reverb.labelOutput), QString::fromUtf8("混响音量:    7"));

    SetUiLanguageIndex(kLanguageEnglish);
    Frame()->RefreshRibbonFromStore();
    EXPECT_EQ(LabelText(orvex::Info(VolumeControl::NoiseGate).labelInput), QStringLiteral("Noisegate:     45"));
    EXPECT_EQ(LabelText(Mic().labelInput), QStringLiteral("Mic    Vol:   0"));
}

TEST_F(RibbonTest, StatusPanesFollowTheLinkAndTheMode) {
    Frame()->UpdateCommandUI();
    EXPECT_EQ(Frame()->LinkPane()->text(), QString::fromUtf8("未连接"));
    EXPECT_EQ(Frame()->LinkPane()->TextColour(), QColor(220, 0, 0));
    Store().SetDeviceMode(2);
    Frame()->UpdateCommandUI();
    EXPECT_EQ(Frame()->ModePane()->text(), QString()); // no processor, no current mode
    app->Session().State().linkConnected.store(1);
    Frame()->UpdateCommandUI();
    EXPECT_EQ(Frame()->ModePane()->text(), QString::fromUtf8("当前模式:M3（K歌）"));
    EXPECT_EQ(Frame()->ModePane()->TextColour(), QColor(255, 0, 0));
    app->Session().State().linkConnected.store(0);
    Frame()->UpdateCommandUI();
    EXPECT_EQ(Frame()->ModePane()->text(), QString());
}

TEST_F(RibbonTest, FrameKeepsItsMinimumSize) {
    Frame()->resize(600, 400);
    EXPECT_GE(Frame()->width(), CMainFrame::kMinWidth);
    EXPECT_GE(Frame()->height(), CMainFrame::kMinHeight);
    // Every panel fits: the last one ends inside the window at the minimum width.
    Frame()->resize(CMainFrame::kMinWidth, CMainFrame::kMinHeight);
    Pump(30);
    RibbonPanel* last = Ribbon()->ActiveCategory()->Panel(7);
    EXPECT_LE(last->mapTo(Frame(), QPoint(last->width(), 0)).x(), Frame()->width());
}

// Pages and twins were chosen by the tab's displayed name: a category whose name is not one of
// the four spellings the view knew showed no page and read the Input twin.
TEST_F(RibbonTest, CategoriesAreRoutedByTheirPlaceNotByTheirName) {
    Ribbon()->SetCategoryName(0, QStringLiteral("In"));
    Ribbon()->SetCategoryName(1, QStringLiteral("Out"));
    QTest::mouseClick(Ribbon()->CategoryTab(1), Qt::LeftButton);
    ASSERT_EQ(View()->CurrentPage()->Kind(), PageKind::Output);
    Pump(20);
    CMFCRibbonStepSlider* out = Slider(Mic().sliderOutput);
    Drag(out, out->width() * 3 / 4);
    ASSERT_GT(out->value(), 40);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), out->value());
    EXPECT_EQ(Slider(Mic().sliderInput)->value(), out->value());
    // The wheel acts over the Output panels too.
    const int before = Store().Get(fields::micMasterVolume);
    Wheel(Ribbon()->ActiveCategory()->Panel(0), 120);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), before + 1);

    QTest::mouseClick(Ribbon()->CategoryTab(0), Qt::LeftButton);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Music);
}

TEST_F(RibbonTest, CategorySwitchingWorksInBothLanguages) {
    for (int round = 0; round < 2; ++round) {
        QTest::mouseClick(Ribbon()->CategoryTab(1), Qt::LeftButton);
        EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Output) << UiLanguageIndex();
        app->ToggleLanguage(); // the tabs are renamed while Output is shown
        QTest::mouseClick(Ribbon()->CategoryTab(0), Qt::LeftButton);
        EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Music) << UiLanguageIndex();
        QTest::mouseClick(Ribbon()->CategoryTab(1), Qt::LeftButton);
        EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Output) << UiLanguageIndex();
        QTest::mouseClick(Ribbon()->CategoryTab(0), Qt::LeftButton);
    }
    EXPECT_EQ(UiLanguageIndex(), kLanguageChinese);
    EXPECT_EQ(Ribbon()->Category(1)->Name(), QString::fromUtf8("输出调节"));
}

} // namespace
} // namespace orvex::test
