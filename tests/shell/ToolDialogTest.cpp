#include "ShellFixture.h"

#include "link/LinkEvents.h"
#include "shell/ToolDialog.h"

#include <QPushButton>
#include <QTimer>

#include <utility>

namespace orvex::test {
namespace {

// A tool window that records what the application and the view ask of it.
class RecordingToolDialog : public CToolDialog {
public:
    using CToolDialog::CToolDialog;

    void RefreshFromStore() override { ++refreshes; }
    void Relabel() override {
        ++relabels;
        CToolDialog::Relabel();
    }
    void CloseDialog() override {
        ++*closes;
        CToolDialog::CloseDialog();
    }
    void OnZWaveEvent(uint32_t wParam, uint32_t lParam) override { zwave.emplace_back(wParam, lParam); }
    void OnRefresh(uint32_t wParam, uint32_t lParam) override { refreshEvents.emplace_back(wParam, lParam); }
    void OnRemoteKey(uint32_t keyCode) override { keys.push_back(keyCode); }
    void OnKeyLearningAborted() override { ++learningAborts; }

    int refreshes = 0;
    int relabels = 0;
    std::shared_ptr<int> closes = std::make_shared<int>(0); // outlives the window
    int learningAborts = 0;
    std::vector<std::pair<uint32_t, uint32_t>> zwave;
    std::vector<std::pair<uint32_t, uint32_t>> refreshEvents;
    std::vector<uint32_t> keys;
};

class ToolDialogTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        for (int t : kTemplates) {
            COrvexv13App::RegisterToolDialog(t, [this, t](const PageContext&) {
                auto* dialog = new RecordingToolDialog(t);
                made[t] = dialog;
                return dialog;
            });
        }
        StartApp();
    }

    void TearDown() override {
        for (int t : kTemplates)
            COrvexv13App::RegisterToolDialog(t, {});
        ShellTest::TearDown();
    }

    RecordingToolDialog* Show(int t) {
        auto* dialog = dynamic_cast<RecordingToolDialog*>(app->ShowToolDialog(t));
        EXPECT_NE(dialog, nullptr);
        return dialog;
    }

    static constexpr int kTemplates[] = {tmpl::SmartPlug, tmpl::Remote, tmpl::MachineSettings, tmpl::Features};
    std::map<int, RecordingToolDialog*> made;
};

// The view used to reach these windows by method name with `uint` arguments: a window declaring
// `uint32_t` (or a renamed slot) was skipped without a word.
TEST_F(ToolDialogTest, TheSmartPlugWindowGetsTheLinksZWaveAndRefreshEvents) {
    RecordingToolDialog* plugs = Show(tmpl::SmartPlug);
    View()->OnZWaveEvent(0x4A, 0xA1B2C3D4);
    View()->OnRefresh(kRefreshSmartData, 0);
    // The same events from a link thread, through the relay.
    app->LinkEventSink()->OnZWaveEvent(0x13, 0xFFFFFFFF);
    app->LinkEventSink()->OnRefresh(kRefreshLoadMode, 1); // the end of a scene run
    EXPECT_TRUE(PumpUntil([&] { return plugs->refreshEvents.size() == 2; }, 1000));
    const std::vector<std::pair<uint32_t, uint32_t>> zwave = {{0x4A, 0xA1B2C3D4}, {0x13, 0xFFFFFFFF}};
    EXPECT_EQ(plugs->zwave, zwave);
    const std::vector<std::pair<uint32_t, uint32_t>> refreshes = {{8, 0}, {kRefreshLoadMode, 1}};
    EXPECT_EQ(plugs->refreshEvents, refreshes);
    EXPECT_NE(kRefreshLoadMode, kRefreshSmartData);
    // Nothing reaches a window that is not the smart-plug one.
    EXPECT_TRUE(Show(tmpl::Features)->zwave.empty());
}

TEST_F(ToolDialogTest, TheRemoteWindowGetsTheProcessorsRemoteKeys) {
    app->Session().State().linkConnected.store(1); // the remote window opens only with a link
    View()->OnCommand(cmd::Remote);
    app->Session().State().linkConnected.store(0);
    ASSERT_NE(made[tmpl::Remote], nullptr);
    View()->OnRemoteKey(0x42);
    EXPECT_EQ(made[tmpl::Remote]->keys, std::vector<uint32_t>{0x42});
    // Once the window is gone a key goes nowhere.
    app->DestroyToolDialog(tmpl::Remote);
    View()->OnRemoteKey(0x43);
    EXPECT_EQ(app->ToolDialog(tmpl::Remote), nullptr);
}

TEST_F(ToolDialogTest, ShowRefreshesAndRelabelsThroughTheWindowsOwnOperations) {
    RecordingToolDialog* settings = Show(tmpl::MachineSettings);
    EXPECT_EQ(settings->refreshes, 1);
    EXPECT_EQ(settings->relabels, 1);
    EXPECT_EQ(Show(tmpl::MachineSettings), settings); // a second request shows the same window
    EXPECT_EQ(settings->refreshes, 2);

    app->ToggleLanguage();
    EXPECT_EQ(settings->relabels, 3);
    // The default relabel applies the window's own template.
    EXPECT_EQ(settings->windowTitle(), QStringLiteral("Machine Set"));

    View()->RefreshAllViews();
    EXPECT_EQ(settings->refreshes, 3);
}

TEST_F(ToolDialogTest, DestroyingAWindowGoesThroughItsCloseOperation) {
    std::shared_ptr<int> closes = Show(tmpl::SmartPlug)->closes;
    app->DestroyToolDialog(tmpl::SmartPlug);
    EXPECT_EQ(*closes, 1);
    EXPECT_EQ(app->ToolDialog(tmpl::SmartPlug), nullptr);
    app->DestroyToolDialog(tmpl::SmartPlug); // already gone: nothing happens
    EXPECT_EQ(*closes, 1);
}

TEST_F(ToolDialogTest, AnAbortedKeyLearningIsToldToTheSmartPlugWindow) {
    RecordingToolDialog* plugs = Show(tmpl::SmartPlug);
    // The wait box is modal: a timer inside its loop presses its abort button.
    QTimer abort;
    QObject::connect(&abort, &QTimer::timeout, [&] {
        if (CWaitDlg* wait = app->WaitDialog())
            FindCtrl<QPushButton>(wait, CWaitDlg::kAbortId)->click();
    });
    abort.start(20);
    app->ShowWaitDialog(QStringLiteral("learning"), CWaitDlg::kKindPlugSetting, 3, 200);
    EXPECT_EQ(plugs->learningAborts, 1);
    app->ShowWaitDialog(QStringLiteral("switching"), CWaitDlg::kKindPlugSetting, 3, 100);
    EXPECT_EQ(plugs->learningAborts, 1); // not a key: nothing to unlearn
}

// The editor as the program builds it: nothing stands in for a tool dialog no library registered.
class UnregisteredToolDialogTest : public ShellTest {
protected:
    COrvexv13App::Options MakeOptions() override {
        COrvexv13App::Options options = ShellTest::MakeOptions();
        options.standInToolDialog = {};
        return options;
    }
};

TEST_F(UnregisteredToolDialogTest, ATemplateWithoutADialogShowsNothingAndTheRegisteredOnesStillShow) {
    COrvexv13App::RegisterToolDialog(tmpl::Features, {});
    StartApp();
    EXPECT_EQ(app->ShowToolDialog(tmpl::Features), nullptr);
    EXPECT_EQ(app->ToolDialog(tmpl::Features), nullptr);
    app->DestroyToolDialog(tmpl::Features); // nothing there: nothing happens
    View()->OnCommand(cmd::Features);
    EXPECT_EQ(app->ToolDialog(tmpl::Features), nullptr);
    // The connect dialog is the shell's own.
    EXPECT_NE(app->ShowToolDialog(tmpl::ConnectIp), nullptr);
}

} // namespace
} // namespace orvex::test
