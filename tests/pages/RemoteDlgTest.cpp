#include "support/PagesFixture.h"

#include "model/RemoteFile.h"
#include "smarthome/RemoteDlg.h"
#include "smarthome/RemoteHotSpot.h"
#include "smarthome/RemotePicture.h"
#include "smarthome/RemoteStudyDlg.h"
#include "support/TempDir.h"

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <filesystem>
#include <fstream>

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

// The remote window against the simulated processor on loopback: what its keys and buttons send.
class RemoteDlgTest : public PagesSimTest {
protected:
    CRemoteDlg* Open() {
        auto* dialog = qobject_cast<CRemoteDlg*>(app->ShowToolDialog(tmpl::Remote));
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    // The requests and table writes the host received, without the carrier prefix.
    std::vector<std::string> RemoteMessages() const {
        std::vector<std::string> out;
        for (const sim::ReceivedMessage& m : host->Received()) {
            if (m.payload.size() >= 2 && m.payload[1] >= 0x60 && m.payload[1] <= 0x63)
                out.push_back(ToHex(std::vector<uint8_t>(m.payload.begin() + 1, m.payload.end())));
        }
        return out;
    }

    void AnswerFileDialog(const fs::path& path) {
        SetFileDialogHook([this, path](const FileDialogRequest& r) {
            fileRequests.push_back(r);
            return QString::fromStdString(path.string());
        });
    }

    RemoteKeyRecord Table(uint8_t first) {
        RemoteKeyRecord table{};
        for (size_t i = 0; i < table.size(); ++i)
            table[i] = static_cast<uint8_t>(first + i);
        return table;
    }

    std::vector<FileDialogRequest> fileRequests;
    TempDir temp{"remote-dlg"};
};

TEST_F(RemoteDlgTest, LearningAKeyShowsTheReportedCodeAndClosesByItself) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    QTest::mouseClick(dialog->Picture()->HotSpot(1603), Qt::LeftButton);
    EXPECT_TRUE(HostReceived({0x60, 0x05}));
    QPointer<CRemoteStudyDlg> study = dialog->StudyDialog();
    ASSERT_TRUE(study);
    EXPECT_TRUE(study->isVisible());
    EXPECT_TRUE(study->isModal());
    EXPECT_EQ(FindCtrl<QLabel>(study, CRemoteStudyDlg::kPromptId)->text(),
              QString::fromUtf8("您正在学习的键：M4/方向下"));

    // The processor's learn report reaches the open study dialog through the view.
    View()->OnRemoteKey(0x3A);
    EXPECT_EQ(study->CodeText(), QStringLiteral("3A"));
    EXPECT_TRUE(study->CancelButton()->isHidden());
    EXPECT_TRUE(study->CloseButton()->isVisible());
    EXPECT_TRUE(FindCtrl<QLabel>(study, CRemoteStudyDlg::kClosingId)->isVisible());
    EXPECT_TRUE(PumpUntil([&] { return !study; }, 2000));
    // A learnt key needs no stop request.
    Pump(100);
    EXPECT_EQ(RemoteMessages(), std::vector<std::string>{"60 05"});
}

TEST_F(RemoteDlgTest, KeysWithACodeAreMarkedAsLearned) {
    StartConnected();
    RemoteKeyRecord table{};
    table[1] = 0x41;  // function 1, the power key
    table[4] = 0xFF;  // a blank memory: not learned
    table[17] = 0x12; // the last function
    Store().SetRemoteKeyRecord(table);
    CRemoteDlg* dialog = Open();
    std::vector<int> learned;
    for (CRemoteHotSpot* spot : dialog->Picture()->HotSpots()) {
        if (spot->Learned())
            learned.push_back(spot->ControlId());
    }
    EXPECT_EQ(learned, (std::vector<int>{1587, 1615}));
    EXPECT_TRUE(dialog->Picture()->HotSpot(1587)->toolTip().contains(QStringLiteral("41")));

    // A key learnt now is marked at once: the processor's report has put its code in the table.
    SetLanguageIndex(kLanguageEnglish);
    dialog->Relabel();
    QTest::mouseClick(dialog->Picture()->HotSpot(1603), Qt::LeftButton);
    ASSERT_TRUE(HostReceived({0x60, 0x05}));
    EXPECT_FALSE(dialog->Picture()->HotSpot(1603)->Learned());
    Store().SetRemoteKeyByte(5, 0x3A);
    View()->OnRemoteKey(0x3A);
    EXPECT_TRUE(dialog->Picture()->HotSpot(1603)->Learned());
    EXPECT_EQ(dialog->Picture()->HotSpot(1603)->toolTip(), QStringLiteral("M4/Down (learned, code 3A)"));
    SetLanguageIndex(kLanguageChinese);
}

TEST_F(RemoteDlgTest, GivingUpSendsTheStopRequestOnceAndTheUnsupportedKeySendsNothing) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    QTest::mouseClick(dialog->Picture()->HotSpot(CRemoteDlg::kNotSupportedId), Qt::LeftButton);
    EXPECT_EQ(CountBoxes(QString::fromUtf8("不支持该功能")), 1);
    EXPECT_EQ(dialog->StudyDialog(), nullptr);

    QTest::mouseClick(dialog->Picture()->HotSpot(1587), Qt::LeftButton);
    QPointer<CRemoteStudyDlg> study = dialog->StudyDialog();
    ASSERT_TRUE(study);
    QTest::keyClick(study, Qt::Key_Escape);
    EXPECT_TRUE(PumpUntil([&] { return !study || !study->isVisible(); }, 1000));
    EXPECT_TRUE(HostReceived({0x61}));

    QTest::mouseClick(dialog->Picture()->HotSpot(1608), Qt::LeftButton);
    study = dialog->StudyDialog();
    ASSERT_TRUE(study);
    QTest::mouseClick(study->CancelButton(), Qt::LeftButton);
    EXPECT_TRUE(PumpUntil([&] { return !study || !study->isVisible(); }, 1000));
    // A code arriving after giving up reaches nobody.
    View()->OnRemoteKey(0x11);
    Pump(100);
    EXPECT_EQ(RemoteMessages(), (std::vector<std::string>{"60 01", "61", "60 0A", "61"}));
}

TEST_F(RemoteDlgTest, TheKeyboardReachesEveryKeyAndEscapeClosesTheWindowRestoringLevelPolling) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    EXPECT_EQ(app->Session().State().levelPollEnabled.load(), 0);
    // Tab walks the picture's keys in their order, then the buttons.
    const std::vector<CRemoteHotSpot*>& keys = dialog->Picture()->HotSpots();
    keys.front()->setFocus();
    for (size_t i = 1; i < keys.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), keys[i]) << i;
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(CtrlId(QApplication::focusWidget()), CRemoteDlg::kApplyId);

    // Enter on a key starts learning it.
    dialog->Picture()->HotSpot(1614)->setFocus();
    QTest::keyClick(dialog->Picture()->HotSpot(1614), Qt::Key_Return);
    EXPECT_TRUE(HostReceived({0x60, 0x10}));
    QPointer<CRemoteStudyDlg> study = dialog->StudyDialog();
    ASSERT_TRUE(PumpUntil([&] { return study != nullptr; }, 500));
    // Enter in the study dialog does not give up by accident; Escape does.
    QTest::keyClick(study, Qt::Key_Return);
    EXPECT_TRUE(study->isVisible());
    QTest::keyClick(study, Qt::Key_Escape);
    EXPECT_TRUE(PumpUntil([&] { return !study || !study->isVisible(); }, 1000));

    QPointer<CRemoteDlg> window = dialog;
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(PumpUntil([&] { return !window; }, 1000));
    EXPECT_EQ(app->Session().State().levelPollEnabled.load(), 1);
    EXPECT_EQ(app->ToolDialog(tmpl::Remote), nullptr);
}

TEST_F(RemoteDlgTest, LevelPollingSwitchedOffBeforehandStaysOffAndALearningLeftOpenIsStopped) {
    StartConnected();
    app->Session().State().levelPollEnabled.store(0);
    QPointer<CRemoteDlg> dialog = Open();
    QTest::mouseClick(dialog->Picture()->HotSpot(1610), Qt::LeftButton);
    ASSERT_NE(dialog->StudyDialog(), nullptr);
    app->DestroyToolDialog(tmpl::Remote);
    EXPECT_TRUE(PumpUntil([&] { return !dialog; }, 1000));
    EXPECT_EQ(app->Session().State().levelPollEnabled.load(), 0);
    EXPECT_TRUE(HostReceived({0x61}));
    EXPECT_EQ(RemoteMessages(), (std::vector<std::string>{"60 0C", "61"}));
}

TEST_F(RemoteDlgTest, ApplyAndLoadSendTheTableAndAShortFileChangesNothing) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    Store().SetRemoteKeyRecord(Table(0x20));
    dialog->OnApply();
    EXPECT_TRUE(HostReceived(Hex("63 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F 30 31")));
    EXPECT_TRUE(InfoShown(QString::fromUtf8("遥控器键码保存成功!")));
    host->ClearReceived();

    // A file longer than the table: its first 18 bytes replace the table and go to the processor.
    const fs::path longer = temp.Path() / "longer.remo";
    {
        std::ofstream out(longer, std::ios::binary);
        for (int i = 0; i < 25; ++i)
            out.put(static_cast<char>(0x80 + i));
    }
    AnswerFileDialog(longer);
    dialog->OnLoadFile();
    EXPECT_EQ(Store().GetRemoteKeyRecord(), Table(0x80));
    EXPECT_TRUE(HostReceived(Hex("63 80 81 82 83 84 85 86 87 88 89 8A 8B 8C 8D 8E 8F 90 91")));
    EXPECT_TRUE(InfoShown(QString::fromUtf8("载入遥控文件成功")));
    ASSERT_EQ(fileRequests.size(), 1u);
    EXPECT_FALSE(fileRequests[0].save);
    EXPECT_EQ(fileRequests[0].filter, QString::fromUtf8("遥控数据文件(*.remo)"));
    host->ClearReceived();

    // Seventeen bytes are no remote data file: the table stays and nothing is sent.
    const fs::path shorter = temp.Path() / "short.remo";
    std::ofstream(shorter, std::ios::binary) << std::string(17, '\x55');
    AnswerFileDialog(shorter);
    dialog->OnLoadFile();
    EXPECT_EQ(Store().GetRemoteKeyRecord(), Table(0x80));
    EXPECT_TRUE(InfoShown(QString::fromUtf8("载入遥控文件失败")));
    EXPECT_FALSE(HostReceived({0x63}, 300));

    // A file that is not there: the message of a file that cannot be opened.
    AnswerFileDialog(temp.Path() / "absent.remo");
    dialog->OnLoadFile();
    EXPECT_EQ(CountBoxes(QString::fromUtf8("无法写入文件：\n%1\n文件可能被写保护。")
                             .arg(QString::fromStdString((temp.Path() / "absent.remo").string()))),
              1);
    EXPECT_EQ(Store().GetRemoteKeyRecord(), Table(0x80));
}

TEST_F(RemoteDlgTest, SaveWritesTheEighteenBytesUnderTheRemoteExtension) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    Store().SetRemoteKeyRecord(Table(0x40));
    AnswerFileDialog(temp.Path() / "living-room.txt");
    dialog->OnSaveFile();
    EXPECT_TRUE(InfoShown(QString::fromUtf8("保存遥控文件成功")));
    EXPECT_FALSE(fs::exists(temp.Path() / "living-room.txt"));
    RemoteKeyRecord saved{};
    ASSERT_TRUE(LoadRemoteFile(temp.Path() / "living-room.remo", saved).ok());
    EXPECT_EQ(saved, Table(0x40));
    EXPECT_EQ(fs::file_size(temp.Path() / "living-room.remo"), 18u);

    AnswerFileDialog(temp.Path() / "no-such-folder" / "keys.remo");
    dialog->OnSaveFile();
    EXPECT_TRUE(InfoShown(QString::fromUtf8("保存遥控文件失败")));
    EXPECT_EQ(boxes.back().caption, QString::fromUtf8("无法写入文件"));
    EXPECT_TRUE(boxes.back().text.startsWith(QString::fromUtf8("错误码=2，")));
}

TEST_F(RemoteDlgTest, FilesNeedAConnection) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    app->CloseLink();
    AnswerFileDialog(temp.Path() / "x.remo");
    dialog->OnLoadFile();
    dialog->OnSaveFile();
    EXPECT_TRUE(fileRequests.empty());
    EXPECT_EQ(std::count(infoMessages.begin(), infoMessages.end(), QString::fromUtf8("请先连接机器再进行此操作!")), 2);
    EXPECT_FALSE(fs::exists(temp.Path() / "x.remo"));
}

TEST_F(RemoteDlgTest, TheWindowsFollowTheLanguage) {
    StartConnected();
    CRemoteDlg* dialog = Open();
    QTest::mouseClick(dialog->Picture()->HotSpot(1601), Qt::LeftButton);
    CRemoteStudyDlg* study = dialog->StudyDialog();
    ASSERT_NE(study, nullptr);
    EXPECT_EQ(study->windowTitle(), QString::fromUtf8("学习中……"));
    EXPECT_EQ(study->CancelButton()->text(), QString::fromUtf8("放弃学习"));
    SetLanguageIndex(kLanguageEnglish);
    app->ApplyLanguage();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Learn remoter control"));
    EXPECT_EQ(study->windowTitle(), QStringLiteral("Learning"));
    EXPECT_EQ(study->CancelButton()->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(CRemoteDlg::LearnPrompt(3), QStringLiteral("Learning key: Pitch+ "));
    EXPECT_EQ(FindCtrl<QPushButton>(dialog, CRemoteDlg::kLoadId)->text(), QStringLiteral("Load file"));
}

} // namespace
} // namespace orvex::test
