#include "ShellFixture.h"

#include "support/PlaceholderDialog.h"
#include "support/PlaceholderPage.h"

#include <QCheckBox>
#include <QPushButton>
#include <QToolButton>

namespace orvex::test {
namespace {

class ViewTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        StartApp();
    }

    CPlaceholderPage* Page() const { return qobject_cast<CPlaceholderPage*>(View()->CurrentPage()); }

    void SelectCategory(int index) {
        QTest::mouseClick(Ribbon()->CategoryTab(index), Qt::LeftButton);
        QApplication::processEvents();
    }

    void ClickPageButton(int id) {
        QTest::mouseClick(FindCtrl<QPushButton>(View()->CurrentPage(), id), Qt::LeftButton);
        QApplication::processEvents();
    }

    void SetIdentity(const char* module, uint8_t version) {
        Store().SetModuleName(module);
        Store().SetCommandSetVersion(version);
    }
};

TEST_F(ViewTest, StartsOnTheMicMusicPageFillingAtLeastTheMinimumRect) {
    ASSERT_NE(Page(), nullptr);
    EXPECT_EQ(Page()->Kind(), PageKind::Music);
    EXPECT_GE(View()->PageRect().width(), COrvexv13View::kMinPageWidth);
    EXPECT_GE(View()->PageRect().height(), COrvexv13View::kMinPageHeight);
    EXPECT_EQ(Page()->geometry(), View()->PageRect());
}

TEST_F(ViewTest, OutputCategoryTwiceKeepsTheSamePageAndChannel) {
    SelectCategory(1);
    CPage* first = View()->CurrentPage();
    ASSERT_EQ(first->Kind(), PageKind::Output);
    ClickPageButton(1070); // channel 3
    EXPECT_EQ(View()->CurrentPage(), first);
    EXPECT_EQ(first->OutputChannel(), 2);
    SelectCategory(0);
    SelectCategory(1);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Output);
    EXPECT_EQ(View()->CurrentPage()->OutputChannel(), 2);
}

TEST_F(ViewTest, ChannelAndSectionButtonsSwitchPages) {
    SelectCategory(1);
    const std::pair<int, int> channels[] = {{1069, 0}, {1072, 1}, {1070, 2}, {1071, 3},
                                            {1076, 4}, {1077, 5}, {1078, 6}, {1079, 7}};
    for (const auto& [id, channel] : channels) {
        ClickPageButton(id);
        EXPECT_EQ(View()->CurrentPage()->OutputChannel(), channel) << id;
    }
    ClickPageButton(1074);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Delay);
    ClickPageButton(1073);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Ssvc);
    ClickPageButton(1075);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Comp);
    ClickPageButton(1072);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Output);
    EXPECT_EQ(View()->CurrentPage()->OutputChannel(), 1);
}

// Any output request with a channel used to move the application-wide channel: CH 8 from the delay page
// made the Output category come back on CH 8 instead of the CH 3 last chosen on the output page.
TEST_F(ViewTest, ChannelButtonsOfOtherOutputPagesLeaveTheLastOutputChannel) {
    SelectCategory(1);
    ClickPageButton(1070); // channel 3 on the output page itself
    ASSERT_EQ(View()->OutputChannel(), 2);
    for (int section : {1074, 1073, 1075}) {
        ClickPageButton(section);
        ClickPageButton(1079); // channel 8 from the delay, surround or compressor page
        EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Output) << section;
        EXPECT_EQ(View()->CurrentPage()->OutputChannel(), 7) << section;
        EXPECT_EQ(View()->OutputChannel(), 2) << section;
    }
    SelectCategory(0);
    SelectCategory(1);
    EXPECT_EQ(View()->CurrentPage()->OutputChannel(), 2);
    // The output page's own buttons still move it.
    ClickPageButton(1076);
    EXPECT_EQ(View()->OutputChannel(), 4);
}

TEST_F(ViewTest, InputCategoryOnTheEffectsPageReturnsToMicMusic) {
    View()->SwitchToPage(PageKind::Efx);
    ASSERT_EQ(View()->CurrentPage()->Kind(), PageKind::Efx);
    SelectCategory(1);
    SelectCategory(0);
    EXPECT_EQ(View()->CurrentPage()->Kind(), PageKind::Music);
    // Reusing the mic/music page shows the remembered sub-view and refreshes it.
    const int refreshes = Page()->Refreshes();
    View()->SwitchToPage(PageKind::Music);
    EXPECT_EQ(Page()->Refreshes(), refreshes + 1);
    EXPECT_EQ(Page()->ChannelView(), 0);
}

TEST_F(ViewTest, TheRememberedSubViewSurvivesTheEffectsPageUntilTheCategoryChanges) {
    SelectCategory(0);
    emit Page()->channelViewChanged(1); // the page showed mic channel B
    View()->SwitchToPage(PageKind::Efx, 3);
    ASSERT_EQ(View()->CurrentPage()->Kind(), PageKind::Efx);
    EXPECT_EQ(Page()->EfxKind(), 3);
    // A second request on the shown effects page hands the new kind to it.
    View()->SwitchToPage(PageKind::Efx, 1);
    EXPECT_EQ(Page()->EfxKind(), 1);
    emit Page()->pageRequested(PageKind::Music, -1); // Back
    ASSERT_EQ(View()->CurrentPage()->Kind(), PageKind::Music);
    EXPECT_EQ(Page()->ChannelView(), 1);
    EXPECT_EQ(View()->RememberedChannelView(), 1);
    SelectCategory(1);
    SelectCategory(0);
    EXPECT_EQ(Page()->ChannelView(), 0);
    EXPECT_EQ(View()->RememberedChannelView(), 0);
}

TEST_F(ViewTest, SyncDoneWithAnAcceptedProcessorRefreshesRibbonAndPage) {
    SetIdentity("pemba", 18);
    Store().Set(fields::echoVolume, 64);
    const int refreshes = Page()->Refreshes();
    View()->OnSyncDone(0);
    EXPECT_EQ(Page()->Refreshes(), refreshes + 1);
    EXPECT_EQ(Slider(orvex::Info(VolumeControl::Echo).sliderOutput)->value(), 64);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ViewTest, MismatchBoxOpensOnceAtATime) {
    SetIdentity("Calyxon", 17);
    View()->OnSyncDone(0);
    View()->OnSyncDone(0);
    View()->OnSyncDone(0);
    EXPECT_EQ(CountBoxes(QString::fromUtf8("机器与软件通信版本不匹配，请使用机器配套软件!")), 1);
    EXPECT_EQ(boxes.back().caption, QString::fromUtf8("错误"));
    EXPECT_FALSE(View()->MismatchArmed());
    ASSERT_EQ(openBoxClosers.size(), 1u);
    openBoxClosers.front()();
    EXPECT_TRUE(View()->MismatchArmed());

    SetIdentity("Other", 18);
    View()->OnSyncDone(0);
    EXPECT_EQ(CountBoxes(QString::fromUtf8("机器型号与软件不匹配!")), 1);
}

TEST_F(ViewTest, HostBusyEndsTheSyncDialogAndTheFollowingDoneIsIgnored) {
    SetIdentity("Other", 3); // would be a mismatch if the done message were not ignored
    QTimer::singleShot(100, [&] {
        View()->OnHostBusy();
        View()->OnSyncDone(0);
    });
    QElapsedTimer clock;
    clock.start();
    app->ShowSyncDialog(QString());
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_TRUE(View()->HostBusy());
    EXPECT_EQ(InfoText(), QString::fromUtf8("主机已连接其他设备，请先断开!"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ViewTest, LinkTimeoutSaysHostDisconnected) {
    SetUiLanguageIndex(kLanguageEnglish);
    View()->OnLinkTimeout();
    EXPECT_EQ(InfoText(), QStringLiteral("Host disconnected!"));
}

// "Host is connected!" read like a success while the host was refusing this editor.
TEST_F(ViewTest, HostBusySaysInEnglishThatAnotherDeviceHoldsTheHost) {
    SetUiLanguageIndex(kLanguageEnglish);
    View()->OnHostBusy();
    EXPECT_EQ(InfoText(), QStringLiteral("The host is in use by another device; disconnect it first!"));
}

TEST_F(ViewTest, FileCommandsWithoutALinkAskToConnect) {
    for (int id :
         {cmd::FileOpen, cmd::LoadFileIn, cmd::LoadFileOut, cmd::FileSave, cmd::SaveFileIn, cmd::SaveFileOut}) {
        if (app->InfoDialog())
            app->InfoDialog()->close();
        Pump(5);
        EXPECT_TRUE(View()->OnCommand(id));
        EXPECT_EQ(InfoText(), QString::fromUtf8("请先连接设备!")) << id;
    }
}

TEST_F(ViewTest, CtrlOAndCtrlSAreTheOpenAndSaveAccelerators) {
    Key(Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(InfoShown(QString::fromUtf8("请先连接设备!")));
    infoMessages.clear();
    const int mic = Store().Get(fields::micMasterVolume);
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(InfoShown(QString::fromUtf8("请先连接设备!")));
    EXPECT_EQ(Store().Get(fields::micMasterVolume), mic) << "Save As, not the mic one step down";
}

TEST_F(ViewTest, ModeAndResetCommandsWithoutALinkDoNothing) {
    Store().SetModifiedFlag(true);
    for (int id : {cmd::LoadMode1, cmd::LoadMode1 + 3, cmd::SaveMode1, cmd::Reset})
        EXPECT_TRUE(View()->OnCommand(id));
    Key(Qt::Key_F2);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(Store().DeviceMode(), 0);
    EXPECT_EQ(app->SyncDialog(), nullptr);
}

TEST_F(ViewTest, EqBypassAndResetGoToTheCurrentPage) {
    QCheckBox* bypass = Frame()->BypassBox();
    Frame()->UpdateCommandUI();
    EXPECT_TRUE(bypass->isEnabled());
    QTest::mouseClick(bypass, Qt::LeftButton);
    EXPECT_EQ(Store().Get(fields::micEqBypassA), 1);
    EXPECT_TRUE(bypass->isChecked());
    Key(Qt::Key_P);
    EXPECT_EQ(Store().Get(fields::micEqBypassA), 0);

    answer = QMessageBox::No;
    QTest::mouseClick(Frame()->ResetEqButton(), Qt::LeftButton);
    EXPECT_EQ(Page()->EqResets(), 0);
    EXPECT_EQ(boxes.back().text, QString::fromUtf8("您确定重置当前均衡吗?"));
    EXPECT_EQ(boxes.back().caption, QString::fromUtf8("提示"));
    answer = QMessageBox::Yes;
    QTest::mouseClick(Frame()->ResetEqButton(), Qt::LeftButton);
    EXPECT_EQ(Page()->EqResets(), 1);

    // The delay page has no equaliser: both commands are disabled there.
    View()->SwitchToPage(PageKind::Delay);
    Frame()->UpdateCommandUI();
    EXPECT_FALSE(bypass->isEnabled());
    EXPECT_FALSE(Frame()->ResetEqButton()->isEnabled());
}

TEST_F(ViewTest, LeftCtrlDigitsSelectBandsOnThePage) {
    Key(Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(Page()->SelectedBand(), 3);
    Key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(Page()->SelectedBand(), 10);
    Key(Qt::Key_5);
    EXPECT_EQ(Page()->SelectedBand(), 10);
}

TEST_F(ViewTest, F7ShowsMachineSettingsAndASecondRequestReusesIt) {
    Key(Qt::Key_F7);
    QDialog* settings = app->ToolDialog(tmpl::MachineSettings);
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->isVisible());
    settings->hide();
    Key(Qt::Key_F7);
    EXPECT_EQ(app->ToolDialog(tmpl::MachineSettings), settings);
    EXPECT_TRUE(settings->isVisible());
    delete settings;
    EXPECT_EQ(app->ToolDialog(tmpl::MachineSettings), nullptr);
}

TEST_F(ViewTest, SmartPlugWithoutALinkAsksToConnectButOpensAndStopsPolling) {
    View()->OnCommand(cmd::SmartPlug);
    EXPECT_EQ(InfoText(), QString::fromUtf8("请先连接机器"));
    EXPECT_NE(app->ToolDialog(tmpl::SmartPlug), nullptr);
    EXPECT_EQ(app->Session().State().pollEnabled.load(), 0);
    // Closing the window lets the level polling run again.
    app->ToolDialog(tmpl::SmartPlug)->close();
    EXPECT_EQ(app->Session().State().pollEnabled.load(), 1);
    // The remote dialog needs a link.
    View()->OnCommand(cmd::Remote);
    EXPECT_EQ(app->ToolDialog(tmpl::Remote), nullptr);
}

TEST_F(ViewTest, WaitRequestShowsTheWaitDialogAfterItsDelay) {
    QString text;
    int kind = -1;
    // The wait dialog is modal: a timer inside its loop looks at it and ends it.
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (CWaitDlg* wait = app->WaitDialog()) {
            text = wait->Text();
            kind = wait->Kind();
            wait->Finish(0);
        }
    });
    probe.start(10);
    QElapsedTimer clock;
    clock.start();
    View()->RequestWaitDialog(QStringLiteral("adding"), CWaitDlg::kKindAddPlug, 0, 0, 150);
    EXPECT_EQ(app->WaitDialog(), nullptr);
    EXPECT_TRUE(PumpUntil([&] { return kind != -1; }, 2000));
    EXPECT_GE(clock.elapsed(), 140);
    EXPECT_EQ(text, QStringLiteral("adding"));
    EXPECT_EQ(kind, CWaitDlg::kKindAddPlug);
}

TEST_F(ViewTest, BalloonShowsItsTextAndGoesAfterItsTime) {
    View()->ShowBalloon(QStringLiteral("Device connected!"), QStringLiteral("Information"), 200);
    EXPECT_TRUE(View()->BalloonVisible());
    EXPECT_EQ(View()->BalloonText(), QStringLiteral("Device connected!"));
    EXPECT_TRUE(PumpUntil([&] { return !View()->BalloonVisible(); }, 1000));
}

TEST_F(ViewTest, OpeningAMissingRecentFileSaysSo) {
    EXPECT_FALSE(app->OpenDocumentFile(QStringLiteral("/nonexistent/m1 preset.kvom")));
    EXPECT_EQ(CountBoxes(QString::fromUtf8("文件不存在！")), 1);
    EXPECT_EQ(boxes.back().caption, QString::fromUtf8("文件打开错误"));
}

TEST_F(ViewTest, ClosingWithChangesAndCancelKeepsTheWindow) {
    Store().SetModifiedFlag(true);
    answer = QMessageBox::Cancel;
    EXPECT_FALSE(Frame()->close());
    EXPECT_TRUE(Frame()->isVisible());
    EXPECT_EQ(boxes.back().caption, QString::fromUtf8("保存?"));
    answer = QMessageBox::No;
    EXPECT_TRUE(Frame()->close());
}

} // namespace
} // namespace orvex::test
