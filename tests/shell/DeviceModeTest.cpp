#include "SimFixture.h"

#include "model/ModeFile.h"
#include "shell/TerminationSignals.h"

#include <QCheckBox>
#include <QFile>

#include <bit>
#include <csignal>
#include <QTemporaryDir>

namespace orvex::test {
namespace {

// Device modes, mode files, machine reset and level polling against the simulator.
class DeviceModeTest : public SimShellTest {
protected:
    void SetUp() override {
        SimShellTest::SetUp();
        StartConnected();
    }

    // A modal synchronisation dialog that nothing would end within the test is ended here.
    void EndSyncDialogAfter(int ms) {
        QTimer::singleShot(ms, [this] {
            if (app && app->SyncDialog())
                app->EndSyncDialog();
        });
    }

    QTemporaryDir dir;
};

TEST_F(DeviceModeTest, LevelsArePolledWhileConnected) {
    EXPECT_TRUE(View()->LevelPollTimer().isActive());
    EXPECT_TRUE(HostReceived({0x0E}, 1500));
    // The about box's "Peak" switch stops the polling; a request already under way arrives within
    // a poll period.
    app->Session().State().levelPollEnabled.store(0);
    Pump(600);
    host->ClearReceived();
    EXPECT_FALSE(HostReceived({0x0E}, 1200));
}

TEST_F(DeviceModeTest, LoadModeFromTheMenuSendsTheLoadAndShowsTheSyncDialog) {
    Store().SetModifiedFlag(true);
    answer = QMessageBox::No;
    View()->OnCommand(cmd::LoadMode1 + 2);
    EXPECT_EQ(CountBoxes(QString::fromUtf8("参数已更改，确定要直接载入模式三?")), 1);
    EXPECT_FALSE(HostReceived({0x05}, 200));

    answer = QMessageBox::Yes;
    bool syncShown = false;
    QTimer::singleShot(0, [&] { syncShown = app->SyncDialog() != nullptr; });
    EndSyncDialogAfter(1500);
    View()->OnCommand(cmd::LoadMode1 + 2);
    EXPECT_TRUE(syncShown);
    EXPECT_EQ(Store().DeviceMode(), 2);
    EXPECT_TRUE(HostReceived({0x05, 0x02}));
}

TEST_F(DeviceModeTest, LeftCtrlF2SavesToModeTwoAfterAskingAndSays) {
    Store().SetModifiedFlag(true);
    answer = QMessageBox::Yes;
    Key(Qt::Key_F2, Qt::ControlModifier);
    EXPECT_EQ(CountBoxes(QString::fromUtf8("确定要保存至机器模式二?")), 1);
    EXPECT_EQ(boxes.back().caption, QString::fromUtf8("信息"));
    EXPECT_TRUE(HostReceived({0x04, 0x01}));
    EXPECT_EQ(Store().DeviceMode(), 1);
    EXPECT_FALSE(Store().ModifiedFlag());
    EXPECT_TRUE(InfoShown(QString::fromUtf8("正在储存模式二,请稍等")));
}

TEST_F(DeviceModeTest, MachineResetSendsTheResetAndRestoresTheLinkOptions) {
    app->Settings().SetQtOption(QByteArray::fromHex("0000000000000000"));
    answer = QMessageBox::No;
    View()->OnCommand(cmd::Reset);
    EXPECT_FALSE(HostReceived({0x68}, 200));
    answer = QMessageBox::Yes;
    SetUiLanguageIndex(kLanguageEnglish);
    View()->OnCommand(cmd::Reset);
    EXPECT_EQ(boxes.back().text, QStringLiteral("Are you sure reset machine? "));
    EXPECT_EQ(boxes.back().caption, QStringLiteral("Question")); // the question box's title was Chinese only
    EXPECT_TRUE(HostReceived({0x68, 0xAA}));
    EXPECT_EQ(app->Settings().QtOption(), AppSettings::DefaultQtOption());
    EXPECT_TRUE(InfoShown(QStringLiteral("Please restart……")));
}

TEST_F(DeviceModeTest, SaveFileStoresIntoTheCurrentModeAndWritesTheFile) {
    Store().SetDeviceMode(3);
    Store().Set(fields::echoVolume, 42);
    const QString path = dir.path() + QStringLiteral("/evening");
    SetFileDialogHook([&](const FileDialogRequest& r) {
        EXPECT_TRUE(r.save);
        EXPECT_EQ(r.defaultSuffix, QStringLiteral("kvom"));
        return path + QStringLiteral(".kvom");
    });
    View()->OnCommand(cmd::SaveFileOut);
    EXPECT_TRUE(HostReceived({0x04, 0x03}));
    QFile file(path + QStringLiteral(".kvom"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(static_cast<size_t>(file.size()), kModeFileSize);
    EXPECT_EQ(app->Settings().RecentFiles().value(0), path + QStringLiteral(".kvom"));
}

TEST_F(DeviceModeTest, LoadingAnM3FileWritesAllThenStoresIntoModeThree) {
    Store().Set(fields::echoVolume, 33);
    const QString path = dir.path() + QStringLiteral("/M3 party.kvom");
    ASSERT_TRUE(SaveModeFile(path.toStdString(), Store()).ok());
    Store().Set(fields::echoVolume, 5);
    SetFileDialogHook([&](const FileDialogRequest&) { return path; });
    View()->OnCommand(cmd::LoadFileIn); // returns when write-all has ended
    EXPECT_EQ(Store().Get(fields::echoVolume), 33);
    EXPECT_TRUE(HostReceived({0x03, 0x02}, 3000));
    EXPECT_TRUE(HostReceived({0x04, 0x02}));
    EXPECT_EQ(View()->PendingModeIndex(), -1);
    EXPECT_EQ(Store().DeviceMode(), 2);
    EXPECT_EQ(app->Settings().RecentFiles().value(0), path);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(DeviceModeTest, AnUnsupportedModeFileIsRefusedAndTheStoreKept) {
    const QString path = dir.path() + QStringLiteral("/m1.kvom");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromHex("09000000") + QByteArray(2219, '\0'));
    file.close();
    Store().Set(fields::echoVolume, 12);
    SetFileDialogHook([&](const FileDialogRequest&) { return path; });
    View()->OnCommand(cmd::FileOpen);
    EXPECT_EQ(CountBoxes(QString::fromUtf8("模式文件的版本不受支持!")), 1);
    EXPECT_EQ(boxes.back().caption, QString::fromUtf8("信息"));
    EXPECT_EQ(Store().Get(fields::echoVolume), 12);
    EXPECT_EQ(app->SyncDialog(), nullptr);
}

TEST_F(DeviceModeTest, ARefusedM1FileNeverStoresIntoModeOneLater) {
    // Mode three differs from mode one on the processor.
    const uint32_t echo = std::bit_cast<uint32_t>(0.33f);
    model->SetRecordWords(2, 26, std::span(&echo, 1));
    model->HandleMessage(std::vector<uint8_t>{0x04, 0x02});
    const auto modeOne = model->ModeMemory(0);
    ASSERT_NE(modeOne, model->ModeMemory(2));

    const QString path = dir.path() + QStringLiteral("/m1 tv.kvom");
    ASSERT_TRUE(SaveModeFile(path.toStdString(), Store()).ok());
    ASSERT_TRUE(QFile::resize(path, 100));
    SetFileDialogHook([&](const FileDialogRequest&) { return path; });
    View()->OnCommand(cmd::FileOpen);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(app->SyncDialog(), nullptr);

    // The truncated "m1 tv.kvom" was refused, yet the read-all after F3 saved mode three's
    // parameters into mode one (03 00, 04 00) without asking.
    host->ClearReceived();
    EndSyncDialogAfter(4000);
    Key(Qt::Key_F3);
    EXPECT_TRUE(HostReceived({0x05, 0x02}));
    EXPECT_TRUE(PumpUntil([&] { return !app->SyncDialog() && !app->Session().Sync().Running(); }, 4000));
    EXPECT_FALSE(HostReceived({0x04, 0x00}, 300));
    EXPECT_EQ(model->ModeMemory(0), modeOne);
    EXPECT_EQ(Store().DeviceMode(), 2);
    EXPECT_EQ(View()->PendingModeIndex(), -1);
}

TEST_F(DeviceModeTest, BypassOnThePageIsTheStoresFlagAndReachesTheProcessor) {
    QCheckBox* bypass = Frame()->BypassBox();
    Frame()->UpdateCommandUI();
    ASSERT_FALSE(bypass->isChecked());
    // The box ticked from a flag of the page while the store and the processor kept the
    // equaliser on: mic channel A's bypass is 1/26, one byte.
    QTest::mouseClick(bypass, Qt::LeftButton);
    EXPECT_EQ(Store().Get(fields::micEqBypassA), 1);
    EXPECT_TRUE(bypass->isChecked());
    EXPECT_TRUE(HostReceived({0x09, 0x00, 0x01, 26, 0x01, 0x00, 0x00, 0x00, 0x01}));
    Key(Qt::Key_P);
    EXPECT_EQ(Store().Get(fields::micEqBypassA), 0);
    EXPECT_TRUE(HostReceived({0x09, 0x00, 0x01, 26, 0x01, 0x00, 0x00, 0x00, 0x00}));

    // The output page means the bypass of the channel it shows (cmd 5 + channel, sub 15).
    View()->SwitchToPage(PageKind::Output, 5);
    host->ClearReceived();
    View()->OnCommand(cmd::EqBypass);
    EXPECT_EQ(Store().Get(fields::outEqBypass, 5), 1);
    EXPECT_EQ(Store().Get(fields::outEqBypass, 4), 0);
    EXPECT_TRUE(HostReceived({0x09, 0x00, 0x0A, 15, 0x01, 0x00, 0x00, 0x00, 0x01}));

    // Outputs 1 and 2 are linked (the default link options): they share the bypass.
    View()->SwitchToPage(PageKind::Output, 1);
    View()->OnCommand(cmd::EqBypass);
    EXPECT_EQ(Store().Get(fields::outEqBypass, 1), 1);
    EXPECT_EQ(Store().Get(fields::outEqBypass, 0), 1);
    EXPECT_TRUE(HostReceived({0x09, 0x00, 0x05, 15, 0x01, 0x00, 0x00, 0x00, 0x01}));
    View()->SwitchToPage(PageKind::Output, 5);

    // A change in the store (a synchronisation, a mode load) shows in the box.
    Store().Set(fields::outEqBypass, 5, 0);
    Frame()->UpdateCommandUI();
    EXPECT_FALSE(bypass->isChecked());
    Store().Set(fields::outEqBypass, 5, 1);
    Frame()->UpdateCommandUI();
    EXPECT_TRUE(bypass->isChecked());
}

TEST_F(DeviceModeTest, ClosingWithChangesSavesWhenAskedThenSaysGoodbye) {
    Store().SetModifiedFlag(true);
    answer = QMessageBox::Yes;
    const QString path = dir.path() + QStringLiteral("/preset.kvom");
    SetFileDialogHook([&](const FileDialogRequest& r) {
        EXPECT_EQ(r.defaultName, QStringLiteral("preset.kvom"));
        return path;
    });
    EXPECT_TRUE(Frame()->close());
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(HostReceived({0x04, 0x00}));
    EXPECT_TRUE(HostReceived({0x8A}));
    EXPECT_FALSE(app->Session().IsConnected());
}

TEST_F(DeviceModeTest, ATerminateSignalQuitsWithoutQuestionsAndSaysGoodbye) {
    // A logout or system shutdown: nothing may wait for an answer, but the link still says goodbye.
    Store().SetModifiedFlag(true);
    int received = 0;
    TerminationSignals relay([&](int signal) {
        received = signal;
        app->QuitWithoutQuestions();
    });
    ASSERT_TRUE(relay.Installed());
    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received != 0; }, 2000));
    EXPECT_EQ(received, SIGTERM);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(Frame()->isVisible());
    EXPECT_TRUE(HostReceived({0x8A}));
    EXPECT_FALSE(app->Session().IsConnected());
    Store().SetModifiedFlag(false);
}

// 09 00 cmd sub 01 and one big-endian float: a one-word parameter write.
std::vector<uint8_t> ParamWrite(uint8_t cmd, uint8_t sub, float value) {
    const uint32_t word = std::bit_cast<uint32_t>(value);
    return {0x09,
            0x00,
            cmd,
            sub,
            0x01,
            static_cast<uint8_t>(word >> 24),
            static_cast<uint8_t>(word >> 16),
            static_cast<uint8_t>(word >> 8),
            static_cast<uint8_t>(word)};
}

TEST_F(DeviceModeTest, RibbonVolumesAndMutesReachTheProcessorAsParameterWrites) {
    Store().Set(fields::micMasterVolume, 40);
    Store().Set(fields::echoVolume, 60);
    Frame()->RefreshRibbonFromStore();
    Key(Qt::Key_W); // mic 45: 1/14 = v/100 + 0.0005
    EXPECT_TRUE(HostReceived(ParamWrite(1, 14, static_cast<float>(45 / 100.0 + 0.0005))));
    Key(Qt::Key_D); // echo 58: 2/26 = v/100
    EXPECT_TRUE(HostReceived(ParamWrite(2, 26, 58 / 100.0f)));
    Key(Qt::Key_X); // mic muted: 1/15 = 0.0
    EXPECT_TRUE(HostReceived(ParamWrite(1, 15, 0.0f)));
    // The processor model holds the new level in its memory record.
    const uint32_t expected = std::bit_cast<uint32_t>(static_cast<float>(45 / 100.0 + 0.0005));
    EXPECT_TRUE(PumpUntil([&] { return model->RecordWords(1, 14).at(0) == expected; }, 1000));
}

TEST_F(DeviceModeTest, EscapeInTheWaitDialogOfAnInclusionSendsItsStopFrame) {
    QTimer probe;
    bool shown = false;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (CWaitDlg* wait = app->WaitDialog(); wait && !shown) {
            shown = true;
            QTest::keyClick(wait, Qt::Key_Escape);
        }
    });
    probe.start(10);
    View()->RequestWaitDialog(QStringLiteral("adding"), CWaitDlg::kKindAddPlug, 0, 0, 50);
    // The include frame goes at once.
    EXPECT_TRUE(HostReceived({0x01, 0x05, 0x00, 0x4A, 0x01, 0x30, 0x81}));
    EXPECT_TRUE(PumpUntil([&] { return shown && !app->WaitDialog(); }, 2000));
    EXPECT_TRUE(HostReceived({0x01, 0x05, 0x00, 0x4A, 0x05, 0x00, 0xB5}));
}

TEST_F(DeviceModeTest, APlugSettingForNodeZeroSendsNothing) {
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (CWaitDlg* wait = app->WaitDialog())
            wait->Finish(0);
    });
    probe.start(10);
    View()->RequestWaitDialog(QStringLiteral("set"), CWaitDlg::kKindPlugSetting, 0, 0xFF, 20);
    EXPECT_FALSE(HostReceived({0x01, 0x0A, 0x00, 0x13}, 300));
    View()->RequestWaitDialog(QStringLiteral("set"), CWaitDlg::kKindPlugSetting, 7, 0xFF, 20);
    EXPECT_TRUE(HostReceived({0x01, 0x0A, 0x00, 0x13, 0x07, 0x03, 0x20, 0x01, 0xFF, 0x25, 0x43}));
}

} // namespace
} // namespace orvex::test
