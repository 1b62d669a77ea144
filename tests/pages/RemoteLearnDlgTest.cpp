#include "support/PagesFixture.h"

#include "model/PlugKeyFile.h"
#include "model/SmartHomeTables.h"
#include "smarthome/RemoteLearnDlg.h"
#include "support/TempDir.h"
#include "widgets/GridListCtrlEx.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

constexpr int kPlug = 5;

std::string Slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The remote-learning page on its own, as the smart-plug window hosts it, with the user's documents
// folder in a temporary home.
class RemoteLearnDlgTest : public PagesSimTest {
protected:
    void SetUp() override {
        PagesSimTest::SetUp();
        m_oldHome = qgetenv("HOME");
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QByteArray::fromStdString(home.Path().string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home.Path() / ".config").string()));
        ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString(),
                  (home.Path() / "Documents").string());
        dialogTimeouts.waitMs = dialogTimeouts.waitRestartMs = 4000;
    }

    void TearDown() override {
        page.reset();
        qputenv("HOME", m_oldHome);
        if (m_oldConfig.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
        PagesSimTest::TearDown();
    }

    // The controller and two plugs are in the network; the page lists the plugs.
    void OpenPage(bool connect = true) {
        if (connect)
            StartConnected();
        else
            StartApp();
        SmartHomeTables& tables = app->Session().Link().SmartHome();
        tables.SetNodePresent(1, true);
        tables.SetNodePresent(kPlug, true);
        tables.SetPlug(kPlug, MakePlugRecord(kPlugTypeSwitch, u"IR plug"));
        tables.SetNodePresent(9, true);
        tables.SetPlug(9, MakePlugRecord(kPlugTypeDimmer, u"Lamp"));
        page = std::make_unique<CRemoteLearnDlg>(app->Context(), nullptr);
        page->resize(620, 420);
        page->show();
        page->RefreshFromStore();
    }

    fs::path Folder() const { return home.Path() / "Documents" / "kvo" / "Plug"; }
    fs::path KeyFile(int node) const { return Folder() / (std::to_string(node) + ".xml"); }

    // A key file whose rows run opposite to the key indices.
    void WriteReversedFile(int node) {
        std::vector<PlugKey> keys;
        for (int i = kPlugKeyCount - 1; i >= 0; --i)
            keys.push_back({i, "K" + std::to_string(i), 0});
        fs::create_directories(Folder());
        std::ofstream(KeyFile(node), std::ios::binary) << BuildKeyFile(keys);
    }

    int Status(int node, int index) const {
        std::vector<PlugKey> keys;
        EXPECT_TRUE(ReadKeyFile(Folder(), node, keys).ok());
        for (const PlugKey& k : keys) {
            if (k.index == index)
                return k.status;
        }
        return -1;
    }

    void SelectRow(int row) { page->KeyList()->SelectOnlyRow(row); }
    QPushButton* Button(int id) const { return FindCtrl<QPushButton>(page.get(), id); }

    // Runs `steps` one after the other while a wait box is open (each returns true when done), and
    // waits until the box has gone.
    bool WhileWaitBoxOpen(std::vector<std::function<bool(CWaitDlg*)>> steps, int ms = 4000) {
        size_t next = 0;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (CWaitDlg* box = app->WaitDialog(); box && next < steps.size() && steps[next](box))
                ++next;
        });
        probe.start(10);
        return PumpUntil([&] { return next == steps.size() && !app->WaitDialog(); }, ms);
    }

    void Report(int node, int value) {
        page->OnZWaveEvent(zwave::ApplicationCommand, static_cast<uint32_t>(node) << 16 | static_cast<uint32_t>(value));
    }

    TempDir home{"remote-learn-home"};
    std::unique_ptr<CRemoteLearnDlg> page;

private:
    QByteArray m_oldHome;
    QByteArray m_oldConfig;
};

TEST_F(RemoteLearnDlgTest, TheFirstUseOfAPlugCreatesItsKeyFileAndTheControllerIsNoPlug) {
    OpenPage(false);
    ASSERT_EQ(page->PlugCombo()->count(), 2);
    EXPECT_EQ(page->PlugCombo()->itemText(0), QStringLiteral("IR plug"));
    EXPECT_EQ(page->PlugCombo()->itemData(0).toInt(), kPlug);
    EXPECT_EQ(page->PlugCombo()->itemData(1).toInt(), 9);
    ASSERT_TRUE(fs::exists(KeyFile(kPlug)));
    EXPECT_FALSE(fs::exists(KeyFile(9)));
    CGridListCtrlEx* list = page->KeyList();
    ASSERT_EQ(list->rowCount(), 32);
    EXPECT_EQ(list->CellText(0, 1), QStringLiteral("1"));
    EXPECT_EQ(list->CellText(31, 2), QStringLiteral("Key32"));
    EXPECT_EQ(list->CellText(31, 3), QString::fromUtf8("未学习"));

    // Choosing the other plug makes its file; a click on a row copies the key's name.
    page->PlugCombo()->setCurrentIndex(1);
    EXPECT_TRUE(fs::exists(KeyFile(9)));
    SelectRow(6);
    EXPECT_EQ(page->NameEdit()->text(), QStringLiteral("Key7"));
    EXPECT_EQ(page->SelectedKey(), 6);
}

TEST_F(RemoteLearnDlgTest, LearningAddressesTheKeyByItsIndexAndRecordsTheResult) {
    WriteReversedFile(kPlug);
    OpenPage();
    SelectRow(1); // the key with index 30
    ASSERT_EQ(page->SelectedKey(), 30);
    std::vector<QString> prompts;
    QColor finalColour;
    page->OnLearn();
    const bool ended = WhileWaitBoxOpen({
        [&](CWaitDlg* box) {
            prompts.push_back(box->Text());
            Report(kPlug, 2);
            prompts.push_back(box->Text());
            // A dimmer elsewhere reporting its level of 3 is no learn result.
            Report(9, 3);
            prompts.push_back(box->Text());
            Report(kPlug, 3);
            prompts.push_back(box->Text());
            finalColour = box->TextColour();
            return true;
        },
    });
    EXPECT_TRUE(ended);
    // 192 + 30 for node 5, callback 0x44.
    EXPECT_TRUE(HostReceived(Hex("01 0A 00 13 05 03 20 01 DE 25 44 7E")));
    EXPECT_EQ(prompts,
              (std::vector<QString>{QString::fromUtf8("遥控学习操作"), QString::fromUtf8("准备就绪，请按下遥控器按键"),
                                    QString::fromUtf8("准备就绪，请按下遥控器按键"), QString::fromUtf8("学习完成")}));
    EXPECT_EQ(finalColour, QColor(255, 0, 210));
    EXPECT_EQ(Status(kPlug, 30), 1);
    EXPECT_EQ(Status(kPlug, 1), 0);
    EXPECT_EQ(page->KeyList()->CellText(1, 3), QString::fromUtf8("已学习"));
    EXPECT_FALSE(page->OperationRunning());
}

TEST_F(RemoteLearnDlgTest, ReportsOutsideALearnOrFromAnotherNodeChangeNoKey) {
    OpenPage();
    // Nothing running: a plug reporting 3 (a dimmer level, say) marks nothing learned.
    Report(kPlug, 3);
    EXPECT_EQ(Status(kPlug, 0), 0);

    SelectRow(0);
    page->OnLearn();
    const bool ended = WhileWaitBoxOpen({
        [&](CWaitDlg* box) {
            Report(9, 3);
            Report(kPlug, 6); // a transmit result is no learn result
            EXPECT_EQ(box->Text(), QString::fromUtf8("遥控学习操作"));
            Report(kPlug, 5);
            EXPECT_EQ(box->Text(), QString::fromUtf8("等待遥控器按键超时"));
            EXPECT_EQ(box->TextColour(), QColor(255, 0, 0));
            return true;
        },
    });
    EXPECT_TRUE(ended);
    EXPECT_EQ(Status(kPlug, 0), 0);
    EXPECT_FALSE(fs::exists(KeyFile(9))); // the dimmer never got a key file
    // After the box has gone, a late "learned" belongs to nobody.
    Report(kPlug, 3);
    EXPECT_EQ(Status(kPlug, 0), 0);
}

TEST_F(RemoteLearnDlgTest, AnAbortedLearningMarksTheKeyNotLearnedAndSendsTheAbortFrame) {
    OpenPage();
    ASSERT_TRUE(SetKeyStatus(Folder(), kPlug, 2, 1).ok());
    page->RefreshFromStore();
    page->PlugCombo()->setCurrentIndex(1);
    page->PlugCombo()->setCurrentIndex(0); // a plug change reloads the list
    ASSERT_EQ(page->KeyList()->CellText(2, 3), QString::fromUtf8("已学习"));
    SelectRow(2);
    page->OnLearn();
    const bool ended = WhileWaitBoxOpen({[&](CWaitDlg* box) {
        QTest::keyClick(box, Qt::Key_Escape);
        // What the smart-plug window passes on when the application aborts a key learning.
        page->OnKeyLearningAborted();
        return true;
    }});
    EXPECT_TRUE(ended);
    EXPECT_TRUE(HostReceived(Hex("01 05 00 13 05 00 EC")));
    EXPECT_EQ(Status(kPlug, 2), 0);
    EXPECT_EQ(page->KeyList()->CellText(2, 3), QString::fromUtf8("未学习"));
    Report(kPlug, 3);
    EXPECT_EQ(Status(kPlug, 2), 0);
}

TEST_F(RemoteLearnDlgTest, ATransmitResultBeforeTheWaitBoxOpensStillEndsIt) {
    OpenPage();
    SelectRow(1);
    QElapsedTimer clock;
    clock.start();
    page->OnTransmit();
    // The plug answers within the 100 ms before the box shows.
    Report(kPlug, 6);
    bool sawBox = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { sawBox = sawBox || app->WaitDialog() != nullptr; });
    probe.start(5);
    EXPECT_TRUE(PumpUntil([&] { return sawBox && !app->WaitDialog(); }, 3000));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_FALSE(InfoShown(QString::fromUtf8("发生错误，操作超时……")));
    EXPECT_TRUE(HostReceived(Hex("01 0A 00 13 05 03 20 01 81 25 44 21")));
    EXPECT_FALSE(page->OperationRunning());
}

TEST_F(RemoteLearnDlgTest, RenameAndClearChangeOnlyTheFileAndAnEmptyNameIsRefused) {
    OpenPage();
    SelectRow(4);
    const std::string before = Slurp(KeyFile(kPlug));
    page->NameEdit()->clear();
    page->OnRename();
    EXPECT_EQ(CountBoxes(QString::fromUtf8("遥控键名称不能为空字符串!")), 1);
    EXPECT_EQ(Slurp(KeyFile(kPlug)), before);

    page->NameEdit()->setText(QStringLiteral("TV <&\"> on"));
    page->OnRename();
    EXPECT_EQ(KeyName(Folder(), kPlug, 4), "TV <&\"> on");
    EXPECT_EQ(page->KeyList()->CellText(4, 2), QStringLiteral("TV <&\"> on"));

    ASSERT_TRUE(SetKeyStatus(Folder(), kPlug, 4, 1).ok());
    host->ClearReceived();
    page->OnClear();
    EXPECT_EQ(Status(kPlug, 4), 0);
    EXPECT_EQ(KeyName(Folder(), kPlug, 4), "TV <&\"> on");
    // Clearing is the editor's record only.
    EXPECT_FALSE(HostReceived({0x01}, 200));
}

TEST_F(RemoteLearnDlgTest, AMalformedKeyFileIsReportedOnceAndNeverOverwritten) {
    fs::create_directories(Folder());
    const std::string broken = "<Keys><Key Index=\"0\" Name=\"Power\" Status=\"1\"/><Key Ind";
    std::ofstream(KeyFile(kPlug), std::ios::binary) << broken;
    OpenPage();
    EXPECT_EQ(page->KeyList()->rowCount(), 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains(QString::fromStdString(KeyFile(kPlug).string())));
    page->PlugCombo()->setCurrentIndex(1);
    page->PlugCombo()->setCurrentIndex(0);
    page->NameEdit()->setText(QStringLiteral("x"));
    page->OnRename();
    page->OnClear();
    page->OnLearn();
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(Slurp(KeyFile(kPlug)), broken);
}

TEST_F(RemoteLearnDlgTest, LearningNeedsAConnectionAPlugAndARow) {
    OpenPage(false);
    SelectRow(0);
    page->OnLearn();
    page->OnTransmit();
    EXPECT_EQ(std::count(infoMessages.begin(), infoMessages.end(), QString::fromUtf8("请先连接设备!")), 2);
    EXPECT_FALSE(page->OperationRunning());
    // Renaming works offline: the file is the editor's own.
    page->NameEdit()->setText(QStringLiteral("Power"));
    page->OnRename();
    EXPECT_EQ(KeyName(Folder(), kPlug, 0), "Power");
    page->KeyList()->clearSelection();
    page->OnRename();
    EXPECT_TRUE(InfoShown(QString::fromUtf8("请在列表中选择一个按键")));
}

TEST_F(RemoteLearnDlgTest, TheKeyboardWalksFromThePlugToTheKeysAndLearns) {
    OpenPage();
    page->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(page.get()));
    page->PlugCombo()->setFocus();
    QTest::keyClick(page->PlugCombo(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), page->KeyList());
    QTest::keyClick(page->KeyList(), Qt::Key_Down);
    QTest::keyClick(page->KeyList(), Qt::Key_Down);
    const int key = page->SelectedKey();
    ASSERT_GE(key, 0);
    EXPECT_EQ(page->NameEdit()->text(), QString::fromStdString("Key" + std::to_string(key + 1)));
    QTest::keyClick(page->KeyList(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), Button(CRemoteLearnDlg::kLearnId));
    bool started = false;
    QTimer::singleShot(0, [&] { QTest::keyClick(Button(CRemoteLearnDlg::kLearnId), Qt::Key_Space); });
    const bool ended = WhileWaitBoxOpen({[&](CWaitDlg* box) {
        started = true;
        QTest::keyClick(box, Qt::Key_Escape);
        return true;
    }});
    EXPECT_TRUE(started);
    EXPECT_TRUE(ended);
    const uint8_t value = static_cast<uint8_t>(0xC0 + key);
    EXPECT_TRUE(HostReceived({0x01, 0x0A, 0x00, 0x13, kPlug, 0x03, 0x20, 0x01, value, 0x25, 0x44}));
}

} // namespace
} // namespace orvex::test
