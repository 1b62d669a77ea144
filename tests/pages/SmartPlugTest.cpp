#include "support/PagesFixture.h"

#include "link/Synchronizer.h"
#include "link/ZWaveFrames.h"
#include "model/SmartHomeTables.h"
#include "smarthome/DialogHomeTheater.h"
#include "smarthome/DlgZwaveEdit.h"
#include "smarthome/DlgZwaveLight.h"
#include "smarthome/DlgZwaveList.h"
#include "smarthome/DlgZwaveSwitch.h"
#include "smarthome/PlugKeyFolder.h"
#include "support/TemporaryDocuments.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <chrono>

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

// The frames the editor sends, with their checksums worked out by hand.
const std::vector<uint8_t> kExclude{0x01, 0x05, 0x00, 0x4B, 0x01, 0x09, 0xB9};
const std::vector<uint8_t> kStopExclusion{0x01, 0x04, 0x00, 0x4B, 0x05, 0xB5};
const std::vector<uint8_t> kInclude{0x01, 0x05, 0x00, 0x4A, 0x01, 0x30, 0x81};
const std::vector<uint8_t> kAbortInclusion{0x01, 0x05, 0x00, 0x4A, 0x05, 0x00, 0xB5};
const std::vector<uint8_t> kAbortExclusion{0x01, 0x05, 0x00, 0x4B, 0x05, 0x00, 0xB4};
const std::vector<uint8_t> kNode5Off{0x01, 0x0A, 0x00, 0x13, 0x05, 0x03, 0x20, 0x01, 0x00, 0x25, 0x43, 0xA7};
const std::vector<uint8_t> kNode5On{0x01, 0x0A, 0x00, 0x13, 0x05, 0x03, 0x20, 0x01, 0xFF, 0x25, 0x43, 0x58};

// Key files under a documents folder of the test's own, for as long as it lives.
struct KeyFolder {
    KeyFolder() : path(documents.Path() + QStringLiteral("/kvo/Plug")) { QDir().mkpath(path); }
    TemporaryDocuments documents;
    QString path;
};

class SmartPlugTest : public PagesSimTest {
protected:
    void SetUp() override {
        PagesSimTest::SetUp();
        dialogTimeouts.waitMs = dialogTimeouts.waitRestartMs = 6000;
        Connect();
    }

    void Connect() {
        StartConnected();
        app->Session().Link().Replies().SetZWaveAckPause(0ms);
    }

    // The editor and the processor again, with wait dialogs that give up after `waitMs`.
    void RestartWithWaitTimeout(int waitMs) {
        app->Session().Shutdown();
        app.reset();
        host->Stop();
        dialogTimeouts.waitMs = dialogTimeouts.waitRestartMs = waitMs;
        Connect();
    }

    SmartHomeTables& Tables() { return app->Session().Link().SmartHome(); }

    // The window, opened from the ribbon, after its smart-data synchronisation.
    CDialogHomeTheater* OpenWindow() {
        View()->OnCommand(cmd::SmartPlug);
        auto* window = qobject_cast<CDialogHomeTheater*>(app->ToolDialog(tmpl::SmartPlug));
        EXPECT_NE(window, nullptr);
        EXPECT_TRUE(PumpUntil([&] { return Tables().tablesRead.load() != 0 && !app->SyncDialog(); }, 4000));
        // The tests place their own plugs.
        for (int node = 2; node < kZWaveNodeCount; ++node)
            Tables().SetNodePresent(node, false);
        host->ClearReceived();
        return window;
    }

    void AddPlug(int node, uint8_t type, const char16_t* name) {
        Tables().SetNodePresent(node, true);
        Tables().SetPlug(node, MakePlugRecord(type, name));
    }

    // A frame from the smart module, entering the link's decoder as the reader hands it over.
    void Module(uint8_t function, std::vector<uint8_t> parameters) {
        const std::vector<uint8_t> frame = BuildZWaveFrame(function, parameters);
        std::vector<uint8_t> message{0x00, 0x12, static_cast<uint8_t>(frame.size())};
        message.insert(message.end(), frame.begin(), frame.end());
        app->Session().Link().Replies().DecodeReply(message);
    }

    // Whether the host has the message (without pumping: safe inside the wait dialog's own loop).
    bool Saw(const std::vector<uint8_t>& body) const {
        for (const sim::ReceivedMessage& m : host->Received()) {
            if (m.payload.size() == body.size() + 1 && std::equal(body.begin(), body.end(), m.payload.begin() + 1))
                return true;
        }
        return false;
    }

    // Runs `step` every 10 ms while a wait dialog is open, with the step number it has reached; a step
    // returns true to move on. Returns once `done` holds.
    void DriveWait(const std::function<bool(int step, CWaitDlg* wait)>& step, const std::function<bool()>& done,
                   int ms = 5000) {
        steps = 0;
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (CWaitDlg* wait = app->WaitDialog(); wait && step(steps, wait))
                ++steps;
        });
        probe.start(10);
        EXPECT_TRUE(PumpUntil(done, ms));
        probe.stop();
    }

    int steps = 0;
};

TEST_F(SmartPlugTest, AddingAPlugTakesTwoPressesAndWritesItsFullTwelveCharacterName) {
    CDialogHomeTheater* window = OpenWindow();
    window->PlugList()->AddButton()->click();
    auto* edit = qobject_cast<CDlgZwaveEdit*>(app->ToolDialog(tmpl::PlugEdit));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->OkButton()->text(), QString::fromUtf8("添加"));
    const QString name = QString::fromUtf8("客厅落地灯一二三四五六七"); // 12 characters
    ASSERT_EQ(name.size(), 12);
    edit->TypeCombo()->setCurrentIndex(1);
    edit->NameEdit()->setText(name);

    // The simulated module answers each start by itself; the test is the user pressing the plug.
    QStringList prompts;
    QTimer::singleShot(0, edit->OkButton(), &QPushButton::click);
    DriveWait(
        [&](int step, CWaitDlg* wait) {
            switch (step) {
            case 0:
                if (!Saw(kExclude) || wait->Text() == QString::fromUtf8("添加设备……"))
                    return false;
                prompts << wait->Text();
                return model->PressPlugButton(); // the exclusion step of an add: a plug outside the network
            case 1:
                if (!Saw(kStopExclusion) || !Saw(kInclude) || wait->Text() == prompts.back())
                    return false;
                prompts << wait->Text();
                EXPECT_EQ(wait->TextColour(), QColor(130, 0, 255));
                return model->PressPlugButton(0, sim::PlugKind::Dimmer);
            case 2:
                if (wait->Text() == prompts.back())
                    return false;
                prompts << wait->Text();
                return true;
            default:
                return false;
            }
        },
        [&] { return steps >= 3 && !app->WaitDialog(); });

    EXPECT_EQ(prompts, (QStringList{QString::fromUtf8("请长按3秒第一次确认"), QString::fromUtf8("请长按3秒第二次确认"),
                                    QString::fromUtf8("已确认，请稍等")}));
    // The module's seeded plugs hold nodes 2..4, so the new one is node 5; its record lands at 5 x 28 in
    // the module's memory: the type, three zeros, and all 24 bytes of the name with no terminator.
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::vector<uint8_t> memory = model->SmartMemory();
            return memory.size() > 168 && memory[140] == kPlugTypeDimmer;
        },
        2000));
    const std::vector<uint8_t> memory = model->SmartMemory();
    std::u16string stored;
    for (int i = 0; i < 12; ++i)
        stored.push_back(static_cast<char16_t>(memory[144 + 2 * i] | memory[145 + 2 * i] << 8));
    EXPECT_EQ(QString::fromStdU16String(stored), name);
    EXPECT_EQ(window->PlugList()->ListedNodes(), std::vector<int>{5});
    EXPECT_EQ(window->PlugList()->List()->item(0)->text(), name + QString::fromUtf8("\n关"));
    EXPECT_EQ(window->CurrentOperation(), CDialogHomeTheater::Operation::Idle);
    EXPECT_FALSE(Saw(kAbortExclusion));
}

TEST_F(SmartPlugTest, AbortingDuringTheInclusionStopsTheInclusionNotTheExclusion) {
    CDialogHomeTheater* window = OpenWindow();
    QTimer::singleShot(0, window, [window] { window->StartAddPlug(kPlugTypeSwitch, QStringLiteral("lamp")); });
    DriveWait(
        [&](int step, CWaitDlg* wait) {
            if (step == 0 && Saw(kExclude)) {
                Module(zwave::RemoveNode, {0x01, 0x06, 0x00});
                return true;
            }
            if (step == 1 && Saw(kInclude)) {
                QTest::keyClick(wait, Qt::Key_Escape);
                return true;
            }
            return false;
        },
        [&] { return steps >= 2 && !app->WaitDialog(); });
    EXPECT_TRUE(HostReceived(kAbortInclusion));
    EXPECT_FALSE(Saw(kAbortExclusion));

    // The plug pressed after the abort is not given the pending name, not even in the editor's copy,
    // nor is its record written.
    host->ClearReceived();
    Module(zwave::AddNode, {0x01, 0x05, 0x09});
    EXPECT_TRUE(Tables().NodePresent(9));
    EXPECT_EQ(PlugRecordName(Tables().Plug(9)), u"");
    Pump(200);
    EXPECT_FALSE(HostReceived({0x13, 0x00, 0xFC}, 100));
    EXPECT_EQ(window->CurrentOperation(), CDialogHomeTheater::Operation::Idle);
}

TEST_F(SmartPlugTest, AnAddThatTimesOutBeforeTheFirstPressNamesNoLatePlug) {
    RestartWithWaitTimeout(200);
    CDialogHomeTheater* window = OpenWindow();
    QTimer::singleShot(0, window, [window] { window->StartAddPlug(kPlugTypeSwitch, QStringLiteral("lamp")); });
    EXPECT_TRUE(HostReceived(kAbortExclusion, 3000));
    EXPECT_TRUE(PumpUntil([&] { return app->WaitDialog() == nullptr; }, 2000));
    Module(zwave::AddNode, {0x01, 0x05, 0x0A});
    EXPECT_EQ(PlugRecordName(Tables().Plug(10)), u"");
}

TEST_F(SmartPlugTest, ALateSetValueCallbackLeavesTheAddDialogOfAnotherOperationOpen) {
    CDialogHomeTheater* window = OpenWindow();
    QTimer::singleShot(0, window, [window] { window->StartAddPlug(kPlugTypeSwitch, QStringLiteral("lamp")); });
    bool stillOpen = false;
    DriveWait(
        [&](int step, CWaitDlg* wait) {
            if (step == 0 && Saw(kExclude)) {
                // An aborted switch's callbacks, both kinds, arriving during the add.
                Module(zwave::SendData, {zwave::CallbackValue, 0x01});
                Module(zwave::SendData, {zwave::CallbackQuiet, 0x01});
                return true;
            }
            if (step >= 1 && step < 20)
                return true; // give the events time to arrive
            if (step == 20) {
                stillOpen = app->WaitDialog() == wait;
                QTest::keyClick(wait, Qt::Key_Escape);
                return true;
            }
            return false;
        },
        [&] { return steps >= 21 && !app->WaitDialog(); });
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(InfoShown(QString::fromUtf8("设置超时")));
    // Its own abort went out: the module is not left excluding.
    EXPECT_TRUE(HostReceived(kAbortExclusion));
}

TEST_F(SmartPlugTest, ANodeReportedOutsideThePlugIdsIsNeverWritten) {
    CDialogHomeTheater* window = OpenWindow();
    QTimer::singleShot(0, window, [window] { window->StartAddPlug(kPlugTypeSwitch, QStringLiteral("far")); });
    DriveWait(
        [&](int step, CWaitDlg*) {
            if (step == 0 && Saw(kExclude)) {
                Module(zwave::RemoveNode, {0x01, 0x06, 0x00});
                return true;
            }
            if (step == 1 && Saw(kInclude)) {
                Module(zwave::AddNode, {0x01, 0x05, 0xF0}); // 240: past the network's ids
                return true;
            }
            return false;
        },
        [&] { return steps >= 2 && !app->WaitDialog(); });
    Pump(100);
    for (const sim::ReceivedMessage& m : host->Received())
        EXPECT_NE(m.payload.at(1), 0x13) << "a memory write went out";
}

TEST_F(SmartPlugTest, RemovingAPlugPromptsOnceAndEndsWithTheStopFrame) {
    CDialogHomeTheater* window = OpenWindow();
    AddPlug(5, kPlugTypeSwitch, u"lamp");
    window->RefreshFromStore();
    ASSERT_EQ(window->PlugList()->ListedNodes(), std::vector<int>{5});
    QString prompt;
    QTimer::singleShot(0, window->PlugList()->DeleteButton(), &QPushButton::click);
    DriveWait(
        [&](int step, CWaitDlg* wait) {
            if (step == 0 && Saw(kExclude)) {
                Module(zwave::RemoveNode, {0x01, 0x03, 0x00});
                return true;
            }
            if (step == 1 && wait->Text() != QString::fromUtf8("删除设备")) {
                prompt = wait->Text();
                Module(zwave::RemoveNode, {0x01, 0x06, 0x05});
                return true;
            }
            return false;
        },
        [&] { return steps >= 2 && !app->WaitDialog(); });
    EXPECT_EQ(prompt, QString::fromUtf8("请长按3秒确认删除"));
    EXPECT_TRUE(HostReceived(kStopExclusion));
    EXPECT_FALSE(Saw(kInclude));
    EXPECT_TRUE(window->PlugList()->ListedNodes().empty());
}

TEST_F(SmartPlugTest, RemovingAPlugDeletesTheKeyFileTheLearningPageWroteAndOffersToDropItsSceneCommands) {
    KeyFolder keys;
    CDialogHomeTheater* window = OpenWindow();
    AddPlug(5, kPlugTypeSwitch, u"lamp");
    AddPlug(6, kPlugTypeSwitch, u"fan");
    for (int scene = 0; scene < kSceneCount; ++scene)
        Tables().SetScene(scene, SceneRecord{});
    SceneRecord tv{};
    tv = {5, 99, 240, 2, 6, 99, 5, 0};
    Tables().SetScene(0, tv);
    SceneRecord music{};
    music = {6, 0};
    Tables().SetScene(3, music);
    window->RefreshFromStore();
    window->ShowPage(CDialogHomeTheater::kPageLearn); // its first plug is 5: the page writes 5.xml
    const QString file = keys.path + QStringLiteral("/5.xml");
    ASSERT_TRUE(QFile::exists(file));

    QTimer::singleShot(0, window->PlugList()->DeleteButton(), &QPushButton::click);
    DriveWait(
        [&](int step, CWaitDlg*) {
            if (step == 0 && Saw(kExclude)) {
                Module(zwave::RemoveNode, {0x01, 0x06, 0x05});
                return true;
            }
            return false;
        },
        [&] { return steps >= 1 && !app->WaitDialog(); });
    EXPECT_TRUE(PumpUntil([&] { return !QFile::exists(file); }, 1000));
    EXPECT_TRUE(PumpUntil(
        [&] { return CountBoxes(QString::fromUtf8("插座5已删除。是否同时从所有情景中删除它的2条指令？")) == 1; },
        1000));
    // Yes: the TV scene closes up without plug 5 and is written; the music scene is not touched.
    SceneRecord expected{};
    expected = {240, 2, 6, 99};
    EXPECT_EQ(Tables().Scene(0), expected);
    std::vector<uint8_t> write{0x13, 0x19, 0x7C, 0x38};
    write.insert(write.end(), expected.begin(), expected.end());
    EXPECT_TRUE(HostReceived(write));
    EXPECT_FALSE(HostReceived({0x13, 0x1A, 0x24}, 100));
    EXPECT_EQ(Tables().Scene(3), music);
}

TEST_F(SmartPlugTest, TheListNeverShowsTheControllerAndTheAddDialogProposesFreeNames) {
    CDialogHomeTheater* window = OpenWindow();
    Tables().SetNodePresent(1, true);
    AddPlug(3, kPlugTypeSwitch, u"开关1");
    AddPlug(8, kPlugTypeDimmer, u"开关2");
    AddPlug(232, kPlugTypeSwitch, u"无名2");
    window->RefreshFromStore();
    EXPECT_EQ(window->PlugList()->ListedNodes(), (std::vector<int>{3, 8, 232}));

    window->PlugList()->AddPlug();
    auto* edit = qobject_cast<CDlgZwaveEdit*>(app->ToolDialog(tmpl::PlugEdit));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->NameEdit()->text(), QString::fromUtf8("开关3"));
    edit->TypeCombo()->setCurrentIndex(1);
    EXPECT_EQ(edit->NameEdit()->text(), QString::fromUtf8("无名1"));

    // An empty name is refused and the dialog stays.
    edit->NameEdit()->clear();
    edit->OnOk();
    EXPECT_EQ(CountBoxes(QString::fromUtf8("名称不能为空")), 1);
    EXPECT_TRUE(edit->isVisible());

    // Modify rewrites the record where it belongs.
    window->PlugList()->ModifyPlug(8);
    EXPECT_EQ(edit->OkButton()->text(), QString::fromUtf8("修改"));
    EXPECT_EQ(edit->TypeCombo()->currentIndex(), 1);
    edit->NameEdit()->setText(QStringLiteral("hall"));
    edit->OnOk();
    EXPECT_TRUE(HostReceived({0x13, 0x00, 0xE0, 0x1C, 0x02, 0x00, 0x00, 0x00, 'h', 0x00, 'a', 0x00}));
    EXPECT_EQ(PlugRecordName(Tables().Plug(8)), u"hall");

    // In English the proposal is English; the names the module holds stay as they are.
    app->ToggleLanguage();
    window->PlugList()->AddPlug();
    EXPECT_EQ(edit->NameEdit()->text(), QStringLiteral("Switch1"));
    edit->TypeCombo()->setCurrentIndex(1);
    EXPECT_EQ(edit->NameEdit()->text(), QStringLiteral("Unnamed1"));
    EXPECT_EQ(PlugRecordName(Tables().Plug(3)), u"开关1");
}

TEST_F(SmartPlugTest, TheDimmerStartsAtItsLastValueAndOffSendsZero) {
    CDialogHomeTheater* window = OpenWindow();
    AddPlug(5, kPlugTypeDimmer, u"lamp");
    Tables().SetNodeValue(5, 42);
    window->RefreshFromStore();
    window->PlugList()->OpenPlug(5);
    auto* dimmer = qobject_cast<CDlgZwaveLight*>(app->ToolDialog(tmpl::PlugDimmer));
    ASSERT_NE(dimmer, nullptr);
    EXPECT_EQ(dimmer->Slider()->value(), 42);
    EXPECT_EQ(dimmer->ValueText()->text(), QStringLiteral("42%"));
    EXPECT_EQ(dimmer->windowTitle(), QString::fromUtf8("电压控制: lamp"));

    // OFF: value 0, "关"; the module's callback (no acknowledgement) finishes the wait with a notice.
    QTimer::singleShot(0, dimmer->OffButton(), &QPushButton::click);
    DriveWait(
        [&](int step, CWaitDlg*) {
            if (step == 0 && Saw(kNode5Off)) {
                Module(zwave::SendData, {zwave::CallbackValue, 0x01});
                return true;
            }
            return false;
        },
        [&] { return steps >= 1 && !app->WaitDialog(); });
    EXPECT_EQ(dimmer->ValueText()->text(), QString::fromUtf8("关"));
    EXPECT_TRUE(InfoShown(QString::fromUtf8("设置超时")));
    EXPECT_EQ(Tables().NodeValue(5), 0);

    // Opened again later, it starts where it was left; a node outside the network starts at 0.
    dimmer->SetNode(5);
    EXPECT_EQ(dimmer->Slider()->value(), 0);
    Tables().SetNodeValue(5, 77);
    dimmer->SetNode(5);
    EXPECT_EQ(dimmer->Slider()->value(), 77);
    dimmer->SetNode(400);
    EXPECT_EQ(dimmer->Slider()->value(), 0);
}

TEST_F(SmartPlugTest, TheSwitchSendsOnAndAFastCallbackNeverLeavesAWaitDialogBehind) {
    CDialogHomeTheater* window = OpenWindow();
    AddPlug(5, kPlugTypeSwitch, u"fan");
    window->RefreshFromStore();
    window->PlugList()->OpenPlug(5);
    auto* sw = qobject_cast<CDlgZwaveSwitch*>(app->ToolDialog(tmpl::PlugSwitch));
    ASSERT_NE(sw, nullptr);
    EXPECT_EQ(sw->windowTitle(), QString::fromUtf8("开关控制: fan"));
    sw->OnButton()->click();
    ASSERT_TRUE(HostReceived(kNode5On));
    // The callback arrives within the 100 ms before the wait dialog would show: none shows.
    Module(zwave::SendData, {zwave::CallbackValue, 0x00});
    Pump(300);
    EXPECT_EQ(app->WaitDialog(), nullptr);
    EXPECT_FALSE(View()->WaitDialogPending());

    // A plug the table does not hold gets nothing.
    Tables().SetNodePresent(5, false);
    host->ClearReceived();
    sw->Switch(true);
    View()->FinishWaitDialog(0);
    EXPECT_FALSE(HostReceived({0x01, 0x0A, 0x00, 0x13}, 200));
}

// The list showed names only: after a switch nothing said whether the plug was now on or off.
TEST_F(SmartPlugTest, SwitchingAPlugShowsItsNewStateInTheList) {
    CDialogHomeTheater* window = OpenWindow();
    AddPlug(5, kPlugTypeSwitch, u"fan");
    AddPlug(6, kPlugTypeDimmer, u"lamp");
    Tables().SetNodeValue(6, 35);
    window->RefreshFromStore();
    QListWidget* list = window->PlugList()->List();
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->item(0)->text(), QString::fromUtf8("fan\n关"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("lamp\n35%"));

    window->PlugList()->OpenPlug(5);
    auto* sw = qobject_cast<CDlgZwaveSwitch*>(app->ToolDialog(tmpl::PlugSwitch));
    ASSERT_NE(sw, nullptr);
    sw->OnButton()->click();
    ASSERT_TRUE(HostReceived(kNode5On));
    Module(zwave::SendData, {zwave::CallbackValue, 0x00});
    EXPECT_TRUE(
        PumpUntil([&] { return list->count() == 2 && list->item(0)->text() == QString::fromUtf8("fan\n开"); }, 1000));

    app->ToggleLanguage();
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("fan\nON"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("lamp\n35%"));
}

TEST_F(SmartPlugTest, EnterHidesTheWindowAndEscapeEndsItWithPollingBack) {
    CDialogHomeTheater* window = OpenWindow();
    EXPECT_EQ(app->Session().State().pollEnabled.load(), 0);
    // Tab leads from the tab strip into the page.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    window->TabButton(CDialogHomeTheater::kPageLearn)->setFocus();
    QTest::keyClick(window->TabButton(CDialogHomeTheater::kPageLearn), Qt::Key_Tab);
    EXPECT_TRUE(window->PlugList()->isAncestorOf(QApplication::focusWidget()));
    window->ShowPage(CDialogHomeTheater::kPageLearn);
    EXPECT_EQ(window->CurrentPageIndex(), CDialogHomeTheater::kPageLearn);
    // Enter on a listed plug opens it and keeps the window; Enter elsewhere puts the window away.
    AddPlug(4, kPlugTypeSwitch, u"tv");
    window->ShowPage(CDialogHomeTheater::kPagePlugs);
    window->RefreshFromStore();
    QListWidget* list = window->PlugList()->List();
    list->setFocus();
    list->setCurrentRow(0);
    QTest::keyClick(list, Qt::Key_Return);
    auto* sw = qobject_cast<CDlgZwaveSwitch*>(app->ToolDialog(tmpl::PlugSwitch));
    ASSERT_NE(sw, nullptr);
    EXPECT_EQ(sw->Node(), 4);
    EXPECT_TRUE(window->isVisible());
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    list->setCurrentRow(-1);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(app->ToolDialog(tmpl::SmartPlug), window);
    View()->OnCommand(cmd::SmartPlug);
    EXPECT_TRUE(window->isVisible());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(app->ToolDialog(tmpl::SmartPlug), nullptr);
    EXPECT_EQ(app->Session().State().pollEnabled.load(), 1);
}

TEST_F(SmartPlugTest, AResetThatWentThroughEmptiesTheKeyFolderButKeepsItsSubfolders) {
    CDialogHomeTheater* window = OpenWindow();
    KeyFolder keys;
    QDir(keys.path).mkpath(QStringLiteral("sub"));
    for (const char* name : {"/5.xml", "/sub/7.xml"}) {
        QFile file(keys.path + QString::fromLatin1(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    window->ResetPlugs(); // returns when its synchronisation dialog has closed
    EXPECT_TRUE(HostReceived({0x01, 0x04, 0x00, 0x42}));
    EXPECT_FALSE(QFile::exists(keys.path + QStringLiteral("/5.xml")));
    EXPECT_FALSE(QFile::exists(keys.path + QStringLiteral("/sub/7.xml")));
    EXPECT_TRUE(QDir(keys.path + QStringLiteral("/sub")).exists());
}

TEST_F(SmartPlugTest, AResetThatWorksAfterAFailedReadLeavesTheTablesRead) {
    CDialogHomeTheater* window = OpenWindow();
    Tables().tablesRead.store(0); // as after a read that found no module
    window->ResetPlugs();
    EXPECT_EQ(Tables().tablesRead.load(), 1);
    EXPECT_EQ(CountBoxes(QString::fromUtf8("同步失败！该机型无此功能！")), 0);
    EXPECT_EQ(CountBoxes(QString::fromUtf8("同步失败！可能智能模块未就绪，请稍等片刻重试！")), 0);
}

// A module that resets but never confirms the set-default.
class SmartPlugSilentResetTest : public SmartPlugTest {
protected:
    void SetUp() override {
        PagesSimTest::SetUp();
        sim::ProcessorOptions processor;
        processor.smart.setDefaultSilent = true;
        StartHost(processor);
        StartApp();
        ASSERT_EQ(ConnectTo(host->Port()), 1);
        host->ClearReceived();
        app->Session().Link().Replies().SetZWaveAckPause(0ms);
        Synchronizer::Pauses pauses;
        pauses.zwaveDonePolls = 40; // 400 ms for the set-default's answer
        app->Session().Sync().SetPauses(pauses);
    }
};

TEST_F(SmartPlugSilentResetTest, APlugsReportDuringTheResetIsNoConfirmationAndTheKeyFilesStay) {
    CDialogHomeTheater* window = OpenWindow();
    KeyFolder keys;
    QFile file(keys.path + QStringLiteral("/5.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    // Plug 3 reports a value while the reset waits for the module's answer.
    bool reported = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const std::vector<uint8_t> setDefault{0x01, 0x04, 0x00, 0x42};
        const auto received = host->Received();
        const bool sent = std::any_of(received.begin(), received.end(), [&](const sim::ReceivedMessage& m) {
            return m.payload.size() > setDefault.size() &&
                   std::equal(setDefault.begin(), setDefault.end(), m.payload.begin() + 1);
        });
        if (!reported && sent) {
            Module(zwave::ApplicationCommand, {0x00, 0x03, 0x03, 0x20, 0x03, 0x01});
            reported = true;
        }
    });
    probe.start(5);
    window->ResetPlugs();
    probe.stop();
    EXPECT_TRUE(reported);
    EXPECT_EQ(Tables().tablesRead.load(), 0);
    EXPECT_TRUE(QFile::exists(keys.path + QStringLiteral("/5.xml")));
}

TEST_F(SmartPlugTest, AResetThatNeverFinishesLeavesTheKeyFilesAlone) {
    CDialogHomeTheater* window = OpenWindow();
    KeyFolder keys;
    QFile file(keys.path + QStringLiteral("/5.xml"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    // The link goes while the reset runs: its sequence stops and no refresh confirms it. The dialog
    // is closed once the sequence has ended, whichever way the view leaves it.
    QTimer::singleShot(30, [&] { app->Session().CloseLink(); });
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!app->Session().IsConnected() && !app->Session().Sync().Running() && app->SyncDialog())
            app->EndSyncDialog();
    });
    probe.start(10);
    window->ResetPlugs();
    probe.stop();
    EXPECT_TRUE(QFile::exists(keys.path + QStringLiteral("/5.xml")));
}

} // namespace
} // namespace orvex::test
