#include "../shell/SimFixture.h"

#include "widgets/GdipButton.h"
#include "widgets/XBmpSlider.h"
#include "editors/EditorPages.h"
#include "editors/settings/SetDlg.h"
#include "shell/VolumeControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QRadioButton>
#include <QWheelEvent>

#include <bit>

namespace orvex::test {
namespace {

// Wire bytes of a master volume write: the percentage plus half a thousandth, big-endian float.
std::vector<uint8_t> VolumeWrite(uint8_t block, uint8_t parameter, int value) {
    const uint32_t word = std::bit_cast<uint32_t>(static_cast<float>(value) / 100.0f + 0.0005f);
    return {0x09,
            0x00,
            block,
            parameter,
            0x01,
            static_cast<uint8_t>(word >> 24),
            static_cast<uint8_t>(word >> 16),
            static_cast<uint8_t>(word >> 8),
            static_cast<uint8_t>(word)};
}

std::vector<uint8_t> SettingsWrite(const MachineSettingsRecord& record) {
    std::vector<uint8_t> body{0x91};
    body.insert(body.end(), record.begin(), record.end());
    return body;
}

// The machine settings window, offline and against the simulated processor on loopback.
class SetDlgTest : public SimShellTest {
protected:
    void SetUp() override {
        SimShellTest::SetUp();
        RegisterEditorPages();
    }

    // The processor holds `settings` when the editor connects and reads it.
    void ConnectWithSettings(const MachineSettingsRecord& settings) {
        StartHost();
        model->SetMachineSettings(settings);
        StartApp();
        ASSERT_EQ(ConnectTo(host->Port()), 1);
        host->ClearReceived();
    }

    CSetDlg* Open() {
        auto* dialog = qobject_cast<CSetDlg*>(app->ShowToolDialog(tmpl::MachineSettings));
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    template <class T>
    static T* Child(QWidget* dialog, int id) {
        for (T* w : dialog->findChildren<T*>()) {
            if (CtrlId(w) == id)
                return w;
        }
        ADD_FAILURE() << "no control " << id;
        return nullptr;
    }
    static QString Text(QWidget* dialog, int id) { return Child<QLabel>(dialog, id)->text(); }

    // Arrow keys on a slider: one step and one notification each.
    static void Step(CXBmpSlider* slider, int steps) {
        slider->setFocus();
        for (int i = 0; i < std::abs(steps); ++i)
            QTest::keyClick(slider, steps > 0 ? Qt::Key_Right : Qt::Key_Left);
    }

    // Near the left edge: a check box or radio button stretched by its layout is hit only on its
    // indicator and text.
    static void Click(QAbstractButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(10, button->height() / 2));
    }

    int LiveVolume(VolumeControl control) { return Store().Get(Info(control).field); }
};

constexpr MachineSettingsRecord kDeviceSettings = {1, 1, 1, 40, 255, 70, 80, 1, 0x93, 0xAB, 0xCD, 2, 0x21, 0xEF};

TEST_F(SetDlgTest, F7OpensTheSettingsOnTheDefaultsAndApplyBeforeAnyReplyKeepsTheMaximaAt99) {
    StartApp();
    Key(Qt::Key_F7);
    auto* dialog = qobject_cast<CSetDlg*>(app->ToolDialog(tmpl::MachineSettings));
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->Slider(1016)->GetSliderPos(), 99);
    EXPECT_EQ(dialog->Slider(1014)->GetSliderPos(), 99);
    EXPECT_EQ(Text(dialog, 1147), QStringLiteral("99"));

    Click(Child<QAbstractButton>(dialog, CSetDlg::kApplyId));
    // The working copy was all zero before any reply: Apply pinned both maximum volumes to 0.
    EXPECT_EQ(Store().CommittedMachineSettings(),
              (MachineSettingsRecord{0, 0, 0, 99, 99, 99, 99, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(InfoShown(QString::fromUtf8("机器设置已生效!")));
}

TEST_F(SetDlgTest, TheDeviceSettingsAreShownAsRead) {
    ConnectWithSettings(kDeviceSettings);
    CSetDlg* dialog = Open();
    EXPECT_EQ(dialog->Slider(1014)->GetSliderPos(), 40);
    EXPECT_EQ(dialog->Slider(1014)->GetSliderMax(), 70);
    EXPECT_TRUE(Child<QCheckBox>(dialog, 1039)->isChecked());
    // Music start volume 255: not set.
    EXPECT_EQ(Text(dialog, 1146), QString::fromUtf8("无效"));
    EXPECT_FALSE(dialog->Slider(1015)->IsSliderEnabled());
    EXPECT_FALSE(Child<QLabel>(dialog, 1002)->isEnabled());
    EXPECT_FALSE(Child<QCheckBox>(dialog, 1040)->isChecked());
    EXPECT_EQ(dialog->Slider(1019)->GetSliderPos(), 80);
    EXPECT_EQ(Text(dialog, 1150), QStringLiteral("80"));
    EXPECT_TRUE(Child<QRadioButton>(dialog, 1191)->isChecked());
    EXPECT_EQ(Child<QComboBox>(dialog, 1134)->currentIndex(), 2);
    EXPECT_TRUE(Child<QCheckBox>(dialog, 1049)->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(dialog, 1199)->isChecked());
    EXPECT_FALSE(Child<QRadioButton>(dialog, 1195)->isChecked());
    // The locks are never shown, but follow the device.
    EXPECT_FALSE(Child<QCheckBox>(dialog, CSetDlg::kPanelLockId)->isVisible());
    EXPECT_TRUE(Child<QCheckBox>(dialog, CSetDlg::kVolumeLockId)->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(dialog, CSetDlg::kModeLockId)->isChecked());

    SetLanguageIndex(kLanguageEnglish);
    app->ApplyLanguage();
    EXPECT_EQ(Text(dialog, 1146), QStringLiteral("Invalid"));
    EXPECT_EQ(Child<QAbstractButton>(dialog, 1070)->text(), QStringLiteral("Clear all plugs"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Machine Set"));
}

TEST_F(SetDlgTest, LoweringTheMaximumBelowTheStartMovesTheStartAndTheLiveVolumeAndApplySendsTheRest) {
    ConnectWithSettings(kDeviceSettings);
    CSetDlg* dialog = Open();
    Step(dialog->Slider(1016), -40); // mic max 70 -> 30, below the start volume 40
    EXPECT_EQ(Text(dialog, 1147), QStringLiteral("30"));
    EXPECT_EQ(dialog->Slider(1014)->GetSliderPos(), 30);
    EXPECT_EQ(dialog->Slider(1014)->GetSliderMax(), 30);
    EXPECT_EQ(Text(dialog, 1145), QStringLiteral("30"));
    EXPECT_EQ(LiveVolume(VolumeControl::Mic), 30);
    EXPECT_TRUE(HostReceived(VolumeWrite(1, 14, 30)));
    // Not applied yet: the processor keeps its settings.
    EXPECT_EQ(model->MachineSettings(), kDeviceSettings);

    host->ClearReceived();
    Click(Child<QAbstractButton>(dialog, CSetDlg::kApplyId));
    // Bytes 7..10 and 13 go back as the processor sent them.
    const MachineSettingsRecord expected = {1, 1, 1, 30, 255, 30, 80, 1, 0x93, 0xAB, 0xCD, 2, 0x21, 0xEF};
    EXPECT_TRUE(HostReceived(SettingsWrite(expected)));
    EXPECT_EQ(Store().CommittedMachineSettings(), expected);
    EXPECT_TRUE(PumpUntil([&] { return model->MachineSettings() == expected; }, 1000));
    EXPECT_TRUE(InfoShown(QString::fromUtf8("机器设置已生效!")));
}

TEST_F(SetDlgTest, StartSlidersMoveTheLiveVolumesAndAClearedStartVolumeIsSentAs255) {
    ConnectWithSettings({0, 0, 0, 20, 30, 99, 99, 0, 0, 0, 0, 0, 0, 0});
    CSetDlg* dialog = Open();
    Step(dialog->Slider(1015), 2);
    EXPECT_EQ(Text(dialog, 1146), QStringLiteral("32"));
    EXPECT_EQ(LiveVolume(VolumeControl::Music), 32);
    EXPECT_TRUE(HostReceived(VolumeWrite(4, 12, 32)));

    Click(Child<QCheckBox>(dialog, 1039));
    EXPECT_EQ(Text(dialog, 1145), QString::fromUtf8("无效"));
    EXPECT_FALSE(dialog->Slider(1014)->IsSliderEnabled());
    EXPECT_EQ(dialog->Slider(1014)->GetSliderPos(), 0);
    host->ClearReceived();
    Click(Child<QAbstractButton>(dialog, CSetDlg::kApplyId));
    EXPECT_TRUE(HostReceived(SettingsWrite({0, 0, 0, 255, 32, 99, 99, 0, 0, 0, 0, 0, 0, 0})));
}

TEST_F(SetDlgTest, SaveModeRouteMuteAndPowerOnModeSetTheirBytes) {
    ConnectWithSettings({0, 0, 0, 10, 10, 99, 99, 0, 0, 0, 0, 0, 0x20, 0});
    CSetDlg* dialog = Open();
    EXPECT_TRUE(Child<QRadioButton>(dialog, 1199)->isChecked());
    Click(Child<QRadioButton>(dialog, 1191));
    Click(Child<QCheckBox>(dialog, 1049));
    Click(Child<QRadioButton>(dialog, 1195));
    auto* combo = Child<QComboBox>(dialog, 1134);
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(Store().WorkingMachineSettings(),
              (MachineSettingsRecord{1, 1, 1, 10, 10, 99, 99, 0, 0, 0, 0, 2, 0x11, 0}));
    // HDMI mute off keeps the route.
    Click(Child<QCheckBox>(dialog, 1049));
    Click(Child<QRadioButton>(dialog, 1190));
    EXPECT_EQ(Store().WorkingMachineSettings(),
              (MachineSettingsRecord{0, 0, 0, 10, 10, 99, 99, 0, 0, 0, 0, 2, 0x10, 0}));
}

TEST_F(SetDlgTest, EnableTakesTheLiveVolumeWithinTheMaximum) {
    StartApp();
    Store().SetMachineSettingsFromDevice(std::array<uint8_t, 14>{0, 0, 0, 255, 255, 60, 99, 0, 0, 0, 0, 0, 0, 0});
    SetVolume(app->Session().Commands(), VolumeControl::Mic, 90);
    SetVolume(app->Session().Commands(), VolumeControl::Music, 45);
    CSetDlg* dialog = Open();
    Click(Child<QCheckBox>(dialog, 1039));
    // The live mic volume 90 is above the maximum 60.
    EXPECT_EQ(Store().WorkingMachineSettings()[3], 60);
    EXPECT_EQ(dialog->Slider(1014)->GetSliderPos(), 60);
    EXPECT_EQ(Text(dialog, 1145), QStringLiteral("60"));
    EXPECT_TRUE(dialog->Slider(1014)->IsSliderEnabled());
    Click(Child<QCheckBox>(dialog, 1040));
    EXPECT_EQ(Store().WorkingMachineSettings()[4], 45);
}

TEST_F(SetDlgTest, ARefreshSetsTheRangesBeforeThePositions) {
    StartApp();
    Store().SetMachineSettingsFromDevice(std::array<uint8_t, 14>{0, 0, 0, 40, 40, 50, 50, 0, 0, 0, 0, 0, 0, 0});
    CSetDlg* dialog = Open();
    EXPECT_EQ(dialog->Slider(1014)->GetSliderMax(), 50);
    Store().SetMachineSettingsFromDevice(std::array<uint8_t, 14>{0, 0, 0, 80, 85, 90, 95, 0, 0, 0, 0, 0, 0, 0});
    View()->RefreshAllViews();
    // The start slider was cut to the old maximum 50 before its range grew.
    EXPECT_EQ(dialog->Slider(1014)->GetSliderPos(), 80);
    EXPECT_EQ(dialog->Slider(1015)->GetSliderPos(), 85);
    EXPECT_EQ(dialog->Slider(1019)->GetSliderPos(), 95);
}

TEST_F(SetDlgTest, CancelDropsTheEditsButTheLiveVolumeStaysAndTheRibbonShowsIt) {
    StartApp();
    Store().SetMachineSettingsFromDevice(std::array<uint8_t, 14>{0, 0, 0, 20, 20, 99, 99, 0, 0, 0, 0, 0, 0, 0});
    QPointer<CSetDlg> dialog = Open();
    Step(dialog->Slider(1014), 5);
    Click(Child<QRadioButton>(dialog, 1191));
    EXPECT_NE(Store().WorkingMachineSettings(), Store().CommittedMachineSettings());
    Click(Child<QAbstractButton>(dialog, CSetDlg::kCancelId));
    EXPECT_TRUE(PumpUntil([&] { return dialog.isNull(); }, 1000));
    EXPECT_EQ(app->ToolDialog(tmpl::MachineSettings), nullptr);
    EXPECT_EQ(Store().WorkingMachineSettings(), Store().CommittedMachineSettings());
    EXPECT_EQ(LiveVolume(VolumeControl::Mic), 25);
    EXPECT_EQ(Slider(Info(VolumeControl::Mic).sliderInput)->value(), 25);

    // Escape and the close box do the same.
    dialog = Open();
    Step(dialog->Slider(1016), -3);
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(PumpUntil([&] { return dialog.isNull(); }, 1000));
    EXPECT_EQ(Store().WorkingMachineSettings()[5], 99);
}

TEST_F(SetDlgTest, TheWheelTurnsTheFocusedSliderOnlyWithThePointerOverIt) {
    StartApp();
    CSetDlg* dialog = Open();
    CXBmpSlider* slider = dialog->Slider(1019);
    dialog->activateWindow();
    slider->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return slider->hasFocus(); }, 2000));
    // A wheel turned over a caption reaches the window (a label does not take it) and changes nothing.
    const QPointF at = Child<QLabel>(dialog, 1005)->geometry().center();
    QWheelEvent wheel(at, dialog->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(dialog, &wheel);
    EXPECT_EQ(slider->GetSliderPos(), 99);
    const QPointF over = slider->rect().center();
    QWheelEvent onSlider(over, slider->mapToGlobal(over), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
    QApplication::sendEvent(slider, &onSlider);
    EXPECT_EQ(slider->GetSliderPos(), 98);
    EXPECT_EQ(Store().WorkingMachineSettings()[6], 98);
    EXPECT_EQ(Text(dialog, 1150), QStringLiteral("98"));
}

TEST_F(SetDlgTest, RestoreButtonsResetTheirModeOnlyWhileConnected) {
    StartApp();
    CSetDlg* dialog = Open();
    Click(dialog->RestoreButton(2));
    EXPECT_EQ(Store().DeviceMode(), 0);
    EXPECT_TRUE(dialog->RestoreButton(0)->IsAlternate());
    app->DestroyToolDialog(tmpl::MachineSettings);
    app.reset();

    ConnectWithSettings(kDeviceSettings);
    dialog = Open();
    bool syncShown = false;
    QTimer::singleShot(0, [&] { syncShown = app->SyncDialog() != nullptr; });
    // The processor answers 06, and the read-all it starts ends the synchronisation dialog.
    Click(dialog->RestoreButton(2));
    EXPECT_TRUE(syncShown);
    EXPECT_EQ(app->SyncDialog(), nullptr);
    EXPECT_TRUE(HostReceived({0x06, 0x02}));
    EXPECT_TRUE(HostReceived({0x92}));
    EXPECT_EQ(Store().DeviceMode(), 2);
    EXPECT_TRUE(dialog->RestoreButton(2)->IsAlternate());
    EXPECT_FALSE(dialog->RestoreButton(0)->IsAlternate());
}

TEST_F(SetDlgTest, ClearAllPlugsResetsTheSmartModuleOnlyWhileConnected) {
    StartApp();
    CSetDlg* dialog = Open();
    Click(Child<QAbstractButton>(dialog, CSetDlg::kClearPlugsId));
    EXPECT_FALSE(InfoShown(QString::fromUtf8("正在清除插座数据，请稍等……")));
    app->DestroyToolDialog(tmpl::MachineSettings);
    app.reset();

    ConnectWithSettings(kDeviceSettings);
    dialog = Open();
    Click(Child<QAbstractButton>(dialog, CSetDlg::kClearPlugsId));
    EXPECT_TRUE(InfoShown(QString::fromUtf8("正在清除插座数据，请稍等……")));
    // The set-default request to the module: REQ, function 0x42, callback 1.
    const std::vector<uint8_t> setDefault = {0x00, 0x42, 0x01};
    EXPECT_TRUE(PumpUntil(
        [&] {
            for (const sim::ReceivedMessage& m : host->Received()) {
                if (std::search(m.payload.begin(), m.payload.end(), setDefault.begin(), setDefault.end()) !=
                    m.payload.end())
                    return true;
            }
            return false;
        },
        2000));
    app->Session().Sync().Join();
}

TEST_F(SetDlgTest, ARestoreButtonAsksBeforeTheModeIsOverwrittenAndNoKeepsIt) {
    // One click on M3 reset machine mode 3 to its factory content and loaded it, with no way back.
    ConnectWithSettings(kDeviceSettings);
    CSetDlg* dialog = Open();
    const int mode = Store().DeviceMode();
    answer = QMessageBox::No;
    Click(dialog->RestoreButton(2));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.back().text, QString::fromUtf8("确定要将机器模式三恢复为出厂设置吗？该模式中保存的参数将丢失。"));
    EXPECT_EQ(boxes.back().defaultButton, QMessageBox::No);
    EXPECT_FALSE(HostReceived({0x06}, 300));
    EXPECT_EQ(Store().DeviceMode(), mode);

    SetLanguageIndex(kLanguageEnglish);
    app->ApplyLanguage();
    EXPECT_EQ(Child<QGroupBox>(dialog, 1183)->title(), QStringLiteral("Factory reset"));
    Click(dialog->RestoreButton(3));
    EXPECT_EQ(boxes.back().text,
              QStringLiteral("Restore machine mode 4 to its factory settings? What is stored in M4 is lost."));
    EXPECT_FALSE(HostReceived({0x06}, 300));
}

TEST_F(SetDlgTest, F7WithTheWindowOpenKeepsItsUnappliedEdits) {
    StartApp();
    Key(Qt::Key_F7);
    auto* dialog = qobject_cast<CSetDlg*>(app->ToolDialog(tmpl::MachineSettings));
    ASSERT_NE(dialog, nullptr);
    Step(dialog->Slider(1016), -3);
    Click(Child<QRadioButton>(dialog, 1191));
    const MachineSettingsRecord edited = Store().WorkingMachineSettings();
    ASSERT_NE(edited, Store().CommittedMachineSettings());
    Key(Qt::Key_F7);
    EXPECT_EQ(app->ToolDialog(tmpl::MachineSettings), dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Store().WorkingMachineSettings(), edited);
    EXPECT_EQ(dialog->Slider(1016)->GetSliderPos(), 96);
    EXPECT_TRUE(Child<QRadioButton>(dialog, 1191)->isChecked());
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == dialog; }, 2000));
}

TEST_F(SetDlgTest, RaisingAMaximumLeavesAStartVolumeShownCutToItAlone) {
    // The processor keeps a mic start volume of 90 above its maximum 50: the slider shows 50. Raising
    // the maximum compared the stored 90, so the start slider and the live mic volume jumped up.
    ConnectWithSettings({0, 0, 0, 90, 10, 50, 99, 0, 0, 0, 0, 0, 0, 0});
    CSetDlg* dialog = Open();
    ASSERT_EQ(dialog->Slider(1014)->GetSliderPos(), 50);
    const int mic = LiveVolume(VolumeControl::Mic);
    Step(dialog->Slider(1016), 20);
    EXPECT_EQ(dialog->Slider(1016)->GetSliderPos(), 70);
    EXPECT_EQ(dialog->Slider(1014)->GetSliderPos(), 50);
    EXPECT_EQ(dialog->Slider(1014)->GetSliderMax(), 70);
    EXPECT_EQ(LiveVolume(VolumeControl::Mic), mic);
    EXPECT_FALSE(HostReceived({0x09}, 300));
    // Lowering it below the slider still brings the start down with it.
    Step(dialog->Slider(1016), -30);
    EXPECT_EQ(dialog->Slider(1014)->GetSliderPos(), 40);
    EXPECT_EQ(LiveVolume(VolumeControl::Mic), 40);
}

TEST_F(SetDlgTest, ClearAllPlugsSaysSoWhenTheResetCannotStart) {
    ConnectWithSettings(kDeviceSettings);
    CSetDlg* dialog = Open();
    // A synchronisation is under way; only one sequence runs at a time.
    app->Session().Sync().Join(); // the read-all of the connect
    Synchronizer::Pauses pauses;
    pauses.start = std::chrono::milliseconds(1000);
    app->Session().Sync().SetPauses(pauses);
    ASSERT_TRUE(app->Session().Sync().StartReadAll());
    Click(Child<QAbstractButton>(dialog, CSetDlg::kClearPlugsId));
    EXPECT_FALSE(InfoShown(QString::fromUtf8("正在清除插座数据，请稍等……")));
    EXPECT_TRUE(InfoShown(QString::fromUtf8("插座数据未能清除，机器正忙，请稍后重试。")));
    app->Session().Sync().Join();
}

} // namespace
} // namespace orvex::test
