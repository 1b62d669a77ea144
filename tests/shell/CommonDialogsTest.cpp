#include "ShellFixture.h"

#include "shell/AboutDlg.h"
#include "shell/DlgMsgBox.h"
#include "shell/Relabel.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

namespace orvex::test {
namespace {

class CommonDialogsTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        StartApp();
    }
};

TEST_F(CommonDialogsTest, InfoBoxShowsTheLastOfTwoMessagesAndClosesAfterItsTime) {
    QElapsedTimer clock;
    clock.start();
    app->ShowInfoMessage(QStringLiteral("first"), 1100);
    Pump(500);
    app->ShowInfoMessage(QStringLiteral("second"), 1100);
    const qint64 secondAt = clock.elapsed();
    EXPECT_EQ(InfoText(), QStringLiteral("second"));
    // Counted from the second message (the first one's time would end it 600 ms after it). Only
    // the lower bound is a fact: a loaded machine may close it late, never early.
    ASSERT_TRUE(PumpUntil([&] { return !app->InfoDialog(); }, 10000));
    const qint64 closedAfter = clock.elapsed() - secondAt;
    EXPECT_GE(closedAfter, 1050);
    // The slot is free again; the next message makes a new box.
    app->ShowInfoMessage(QStringLiteral("third"), 1100);
    EXPECT_EQ(InfoText(), QStringLiteral("third"));
}

TEST_F(CommonDialogsTest, InfoBoxCloseButtonEndsItAtOnce) {
    app->ShowInfoMessage(QStringLiteral("hello"), 60000);
    QTest::mouseClick(FindCtrl<QPushButton>(app->InfoDialog(), CInfoDlg::kCloseId), Qt::LeftButton);
    EXPECT_TRUE(PumpUntil([&] { return !app->InfoDialog(); }, 5000));
}

TEST_F(CommonDialogsTest, SyncDialogThatIsNotEndedTimesOutWithTheErrorBox) {
    app.reset();
    dialogTimeouts.syncMs = 300;
    StartApp();
    QElapsedTimer clock;
    clock.start();
    app->ShowSyncDialog(QString()); // modal: returns when it times out
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_EQ(app->SyncDialog(), nullptr);
    ASSERT_EQ(CountBoxes(QString::fromUtf8("发生错误，与设备数据同步超时……")), 1);
    EXPECT_EQ(boxes.back().caption, QString::fromUtf8("错误"));
    EXPECT_EQ(boxes.back().icon, QMessageBox::Critical);
}

TEST_F(CommonDialogsTest, SyncDialogEndedFromOutsideClosesSilently) {
    app.reset();
    dialogTimeouts.syncMs = 60000;
    StartApp();
    QString shownText;
    QTimer::singleShot(0, [&] {
        ASSERT_NE(app->SyncDialog(), nullptr);
        shownText = app->SyncDialog()->Text();
        EXPECT_TRUE(app->SyncDialog()->TimeoutRunning());
        app->EndSyncDialog();
    });
    app->ShowSyncDialog(QString());
    EXPECT_EQ(shownText, QString::fromUtf8("当前正在与机器同步数据,请稍候......"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(CommonDialogsTest, SyncDialogProductionTimeoutIsThirtySeconds) {
    EXPECT_EQ(CSynDlg::kProductionTimeoutMs, 30000);
    EXPECT_EQ(COrvexv13App::Options{}.dialogTimeouts.syncMs, 30000);
    EXPECT_EQ(CSynDlg().TimeoutMs(), 30000);
}

TEST_F(CommonDialogsTest, WaitDialogEscapeAbortsItsOperationOnce) {
    std::vector<int> aborted;
    CWaitDlg wait(QStringLiteral("including"), CWaitDlg::kKindAddPlug, 0, 0);
    wait.SetAbortHandler([&](uint8_t kind, uint8_t, uint8_t) { aborted.push_back(kind); });
    wait.show();
    EXPECT_EQ(wait.TextColour(), QColor(0, 0, 255));
    EXPECT_TRUE(PumpUntil([&] { return wait.ProgressValue() > 0; }, 5000)); // the bar steps every 150 ms
    QTest::keyClick(&wait, Qt::Key_Escape);
    EXPECT_EQ(aborted, std::vector<int>{CWaitDlg::kKindAddPlug});
    EXPECT_FALSE(wait.isVisible());
}

TEST_F(CommonDialogsTest, WaitDialogTimeoutAbortsAndSays) {
    app.reset();
    dialogTimeouts.waitMs = 250;
    StartApp();
    int aborts = 0;
    QTimer::singleShot(0, [&] {
        ASSERT_NE(app->WaitDialog(), nullptr);
        app->WaitDialog()->SetAbortHandler([&](uint8_t, uint8_t, uint8_t) { ++aborts; });
    });
    app->ShowWaitDialog(QStringLiteral("removing"), CWaitDlg::kKindRemovePlug, 1, 2);
    EXPECT_EQ(aborts, 1);
    EXPECT_EQ(InfoText(), QString::fromUtf8("发生错误，操作超时……"));
}

TEST_F(CommonDialogsTest, WaitDialogFinishFillsTheBarThenCloses) {
    CWaitDlg wait(QStringLiteral("x"), 1, 0, 0);
    int aborts = 0;
    wait.SetAbortHandler([&](uint8_t, uint8_t, uint8_t) { ++aborts; });
    wait.show();
    wait.Finish(200);
    EXPECT_EQ(wait.ProgressValue(), 100);
    EXPECT_TRUE(wait.isVisible());
    EXPECT_TRUE(PumpUntil([&] { return !wait.isVisible(); }, 5000));
    EXPECT_EQ(wait.result(), QDialog::Accepted);
    EXPECT_EQ(aborts, 0);
}

TEST_F(CommonDialogsTest, ThreeChoiceBoxReturnsOneTwoOrZero) {
    for (const auto& [button, expected] : {std::pair{CDlgMsgBox::kFirstId, 1}, std::pair{CDlgMsgBox::kSecondId, 2},
                                           std::pair{CDlgMsgBox::kCancelId, 0}}) {
        CDlgMsgBox box(QStringLiteral("which?"), QStringLiteral("A"), QStringLiteral("B"));
        const int id = button;
        QTimer::singleShot(0, [&box, id] { FindCtrl<QPushButton>(&box, id)->click(); });
        EXPECT_EQ(box.exec(), expected);
    }
    SetUiLanguageIndex(kLanguageEnglish);
    LoadEmbeddedLabelTable(kLanguageEnglish);
    CDlgMsgBox box(QStringLiteral("which?"), QStringLiteral("A"), QStringLiteral("B"));
    EXPECT_EQ(FindCtrl<QPushButton>(&box, CDlgMsgBox::kCancelId)->text(), QStringLiteral("Cancel"));
    LoadEmbeddedLabelTable(kLanguageChinese);
}

TEST_F(CommonDialogsTest, EnterOnAQuestionAnswersNo) {
    // The questions ask before a memory, a file or the edits are overwritten; Enter pressed Yes.
    SetMessageBoxHook({});
    for (const QMessageBox::StandardButtons buttons :
         {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel}) {
        QTimer::singleShot(0, [] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            QTest::keyClick(box, Qt::Key_Return);
        });
        EXPECT_EQ(AskQuestion(Frame(), QStringLiteral("Overwrite?"), QStringLiteral("Q"), buttons), QMessageBox::No);
    }
}

TEST_F(CommonDialogsTest, TheEnglishQuitPromptSaysYesAlsoWritesTheCurrentMode) {
    SetLanguageIndex(kLanguageEnglish);
    Store().SetModifiedFlag(true);
    answer = QMessageBox::Cancel;
    EXPECT_FALSE(Frame()->close());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes.back().text.contains(QStringLiteral("machine's current mode")))
        << boxes.back().text.toStdString();
    EXPECT_EQ(boxes.back().buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(boxes.back().defaultButton, QMessageBox::No);
    Store().SetModifiedFlag(false);
}

TEST_F(CommonDialogsTest, AboutBoxWithoutALinkShowsOnlyTheBuildDate) {
    CAboutDlg about(Store(), app->Session().State());
    about.show();
    EXPECT_FALSE(FindCtrl<QLabel>(&about, CAboutDlg::kMcuId)->isVisible());
    EXPECT_FALSE(FindCtrl<QLabel>(&about, CAboutDlg::kDspId)->isVisible());
    EXPECT_FALSE(FindCtrl<QLabel>(&about, CAboutDlg::kModuleId)->isVisible());
    auto* peak = FindCtrl<QCheckBox>(&about, CAboutDlg::kPeakId);
    EXPECT_FALSE(peak->isVisible());

    QTest::keyClick(&about, Qt::Key_F11, Qt::ControlModifier);
    EXPECT_FALSE(peak->isVisible());
    QTest::keyClick(&about, Qt::Key_F11, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(peak->isVisible());
    EXPECT_TRUE(FindCtrl<QLabel>(&about, CAboutDlg::kModuleId)->isVisible());
    EXPECT_TRUE(peak->isChecked());
    peak->click();
    EXPECT_EQ(app->Session().State().levelPollEnabled.load(), 0);
    peak->click();
    EXPECT_EQ(app->Session().State().levelPollEnabled.load(), 1);
}

TEST_F(CommonDialogsTest, AboutBoxWithALinkShowsTheIdentity) {
    Store().SetModuleName("Calyxon");
    Store().SetMcuVersion("2019-04-02");
    Store().SetDspVersion("2019-04-16");
    Store().SetCommandSetVersion(18);
    app->Session().State().linkConnected.store(1);
    {
        CAboutDlg about(Store(), app->Session().State());
        about.show();
        EXPECT_TRUE(FindCtrl<QLabel>(&about, CAboutDlg::kMcuId)->isVisible());
        EXPECT_EQ(FindCtrl<QLabel>(&about, CAboutDlg::kMcuId)->text(),
                  QString::fromUtf8("MCU版本:2019-04-02 指令版本:18"));
        EXPECT_EQ(about.windowTitle(), QString::fromUtf8("关于"));
    }
    SetLanguageIndex(kLanguageEnglish);
    CAboutDlg about(Store(), app->Session().State());
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(FindCtrl<QLabel>(&about, CAboutDlg::kMcuId)->text(), QStringLiteral("MCU Ver:2019-04-02 CMD Ver:18"));
    EXPECT_EQ(FindCtrl<QLabel>(&about, CAboutDlg::kDspId)->text(), QStringLiteral("DSP Ver:2019-04-16"));
    EXPECT_EQ(FindCtrl<QLabel>(&about, CAboutDlg::kModuleId)->text(), QStringLiteral("Module:Calyxon"));
    app->Session().State().linkConnected.store(0);
}

} // namespace
} // namespace orvex::test
