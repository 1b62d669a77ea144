#include "support/PagesFixture.h"

#include "link/ZWaveFrames.h"
#include "model/SmartHomeTables.h"
#include "smarthome/DialogHomeTheater.h"
#include "smarthome/DialogZwaveRemoter.h"
#include "model/PlugKeyFile.h"
#include "smarthome/PlugKeyFolder.h"
#include "smarthome/SceneRunDlg.h"
#include "support/TemporaryDocuments.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <optional>

namespace orvex::test {
namespace {

using namespace std::chrono_literals;

SceneRecord MakeScene(std::initializer_list<std::pair<uint8_t, uint8_t>> commands) {
    SceneRecord record{};
    size_t i = 0;
    for (const auto& [target, value] : commands) {
        record[i++] = target;
        record[i++] = value;
    }
    return record;
}

class SceneEditorTest : public PagesSimTest {
protected:
    void SetUp() override {
        PagesSimTest::SetUp();
        StartConnected();
        app->Session().Link().Replies().SetZWaveAckPause(0ms);
    }

    SmartHomeTables& Tables() { return app->Session().Link().SmartHome(); }

    CDialogZwaveRemoter* OpenScenes() {
        View()->OnCommand(cmd::SmartPlug);
        auto* window = qobject_cast<CDialogHomeTheater*>(app->ToolDialog(tmpl::SmartPlug));
        EXPECT_NE(window, nullptr);
        EXPECT_TRUE(PumpUntil([&] { return Tables().tablesRead.load() != 0 && !app->SyncDialog(); }, 4000));
        for (int node = 2; node < kZWaveNodeCount; ++node)
            Tables().SetNodePresent(node, false);
        Tables().SetNodePresent(5, true);
        Tables().SetPlug(5, MakePlugRecord(kPlugTypeSwitch, u"lamp"));
        Tables().SetNodePresent(6, true);
        Tables().SetPlug(6, MakePlugRecord(kPlugTypeDimmer, u"dim"));
        // The simulated module comes with scenes of its own; these tests start from empty ones.
        for (int scene = 0; scene < kSceneCount; ++scene)
            Tables().SetScene(scene, SceneRecord{});
        window->ShowPage(CDialogHomeTheater::kPageScenes);
        auto* page = qobject_cast<CDialogZwaveRemoter*>(window->Page(CDialogHomeTheater::kPageScenes));
        EXPECT_NE(page, nullptr);
        host->ClearReceived();
        return page;
    }

    std::vector<QString> Column(CDialogZwaveRemoter* page, int column) {
        std::vector<QString> out;
        for (int row = 0; row < page->List()->topLevelItemCount(); ++row)
            out.push_back(page->List()->topLevelItem(row)->text(column));
        return out;
    }
};

TEST_F(SceneEditorTest, EveryCommandIsListedNumberedOneToNAndSaveWritesExactlyTheRows) {
    CDialogZwaveRemoter* page = OpenScenes();
    // Switch 5 on, HDMI 2, a plug that has gone, a 3 s delay, an empty slot, switch 5 off behind it,
    // and a command for the controller.
    Tables().SetScene(1, MakeScene({{5, 99}, {254, 1}, {9, 99}, {240, 3}, {0, 0}, {5, 0}, {1, 7}}));
    page->SelectScene(1);
    EXPECT_EQ(Column(page, 1), (std::vector<QString>{QStringLiteral("lamp"), QString::fromUtf8("HDMI输入"),
                                                     QString::fromUtf8("已删除插座9"), QString::fromUtf8("延时"),
                                                     QStringLiteral("lamp"), QString::fromUtf8("目标1")}));
    EXPECT_EQ(Column(page, 2),
              (std::vector<QString>{QString::fromUtf8("开"), QStringLiteral("HDMI 2"), QString::fromUtf8("开"),
                                    QString::fromUtf8("3秒"), QString::fromUtf8("关"), QStringLiteral("7")}));
    const std::vector<QString> oneToSix{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                        QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6")};
    EXPECT_EQ(Column(page, 0), oneToSix);
    SetLanguageIndex(kLanguageEnglish);
    page->Relabel();
    EXPECT_EQ(Column(page, 1)[2], QStringLiteral("Removed plug 9"));
    SetLanguageIndex(kLanguageChinese);
    page->Relabel();

    // A dimmer command of 50 reads as 51; moved up, every row still has its number.
    page->PlugCombo()->setCurrentIndex(page->PlugCombo()->findData(6));
    page->LevelSlider()->setValue(50);
    page->Add();
    EXPECT_EQ(Column(page, 2).back(), QStringLiteral("51"));
    page->MoveUp();
    std::vector<QString> oneToSeven = oneToSix;
    oneToSeven.push_back(QStringLiteral("7"));
    EXPECT_EQ(Column(page, 0), oneToSeven);
    page->List()->setCurrentItem(page->List()->topLevelItem(0));
    page->DeleteRow();
    EXPECT_EQ(Column(page, 0), oneToSix);

    // The removed plug's row can go like any other; Save writes the rows shown and nothing else.
    page->List()->setCurrentItem(page->List()->topLevelItem(1));
    page->DeleteRow();
    ASSERT_TRUE(page->Save());
    EXPECT_FALSE(page->Changed());
    EXPECT_TRUE(InfoShown(QString::fromUtf8("保存完成")));
    const SceneRecord expected = MakeScene({{254, 1}, {240, 3}, {5, 0}, {6, 50}, {1, 7}});
    std::vector<uint8_t> write{0x13, 0x19, 0xB4, 0x38};
    write.insert(write.end(), expected.begin(), expected.end());
    EXPECT_TRUE(HostReceived(write));
    EXPECT_EQ(Tables().Scene(1), expected);
    EXPECT_EQ(Column(page, 0), (std::vector<QString>{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                                     QStringLiteral("4"), QStringLiteral("5")}));

    // Clear and Save leave a scene that does nothing; switching scenes and back lists it empty.
    page->ClearRows();
    ASSERT_TRUE(page->Save());
    EXPECT_EQ(Tables().Scene(1), SceneRecord{});
    std::vector<uint8_t> empty{0x13, 0x19, 0xB4, 0x38};
    empty.resize(empty.size() + kSceneRecordSize, 0);
    EXPECT_TRUE(HostReceived(empty));
    page->SelectScene(0);
    page->SelectScene(1);
    EXPECT_TRUE(page->Rows().empty());
    int sceneWrites = 0;
    for (const sim::ReceivedMessage& m : host->Received())
        sceneWrites += m.payload.size() > 1 && m.payload[1] == 0x13 ? 1 : 0;
    EXPECT_EQ(sceneWrites, 2);
}

// The only confirmation was a notice that can open behind the smart-plug window.
TEST_F(SceneEditorTest, ASavedSceneSaysSoBesideTheButtonForAMoment) {
    CDialogZwaveRemoter* page = OpenScenes();
    EXPECT_FALSE(page->SavedNote()->isVisible());
    page->AddDelay();
    ASSERT_TRUE(page->Save());
    EXPECT_TRUE(page->SavedNote()->isVisible());
    EXPECT_EQ(page->SavedNote()->text(), QString::fromUtf8("已保存"));
    EXPECT_TRUE(PumpUntil([&] { return !page->SavedNote()->isVisible(); }, CDialogZwaveRemoter::kSavedNoteMs + 1000));

    SetUiLanguageIndex(kLanguageEnglish);
    ASSERT_TRUE(page->Save());
    EXPECT_EQ(page->SavedNote()->text(), QStringLiteral("Saved"));
    // A refused save takes the earlier note away rather than leave it standing.
    app->Session().CloseLink();
    EXPECT_FALSE(page->Save());
    EXPECT_FALSE(page->SavedNote()->isVisible());
}

TEST_F(SceneEditorTest, SaveIsRefusedWithoutTheTablesOrTheLinkAndSaysWhy) {
    CDialogZwaveRemoter* page = OpenScenes();
    page->AddDelay();
    Tables().tablesRead.store(0);
    EXPECT_FALSE(page->Save());
    EXPECT_FALSE(InfoShown(QString::fromUtf8("保存完成")));
    Tables().tablesRead.store(1);
    app->Session().CloseLink();
    EXPECT_FALSE(page->Save());
    EXPECT_TRUE(InfoShown(QString::fromUtf8("请先连接设备!")));
    EXPECT_FALSE(InfoShown(QString::fromUtf8("保存完成")));
    EXPECT_TRUE(page->Changed());
    for (const sim::ReceivedMessage& m : host->Received())
        EXPECT_NE(m.payload.at(1), 0x13);
}

TEST_F(SceneEditorTest, AFullListRefusesEveryAddAndReplaceAndRowOneCannotMoveUp) {
    SetLanguageIndex(kLanguageEnglish);
    CDialogZwaveRemoter* page = OpenScenes();
    page->List()->clearSelection();
    page->MoveUp();
    EXPECT_TRUE(InfoShown(QStringLiteral("Please select a item")));
    for (int i = 0; i < kSceneCommandCount; ++i)
        page->AddDelay();
    ASSERT_EQ(page->Rows().size(), static_cast<size_t>(kSceneCommandCount));
    infoMessages.clear();
    page->List()->setCurrentItem(page->List()->topLevelItem(0));
    page->Add();
    page->AddKey();
    page->AddDelay();
    page->ResetValue();
    page->ResetKey();
    page->ResetDelay();
    EXPECT_EQ(std::count(infoMessages.begin(), infoMessages.end(), QStringLiteral("command over range")), 6);
    EXPECT_EQ(page->Rows().size(), static_cast<size_t>(kSceneCommandCount));
    page->MoveUp();
    EXPECT_TRUE(InfoShown(QStringLiteral("Already be first")));
}

TEST_F(SceneEditorTest, CommandsTheEditorDoesNotMakeAreListedAndTakeTheirRoom) {
    CDialogZwaveRemoter* page = OpenScenes();
    // 27 HDMI selections: all listed, one more command fits, the next does not.
    SceneRecord record{};
    for (int i = 0; i < kSceneCommandCount - 1; ++i) {
        record[static_cast<size_t>(2 * i)] = 254;
        record[static_cast<size_t>(2 * i + 1)] = 1;
    }
    Tables().SetScene(2, record);
    page->SelectScene(2);
    EXPECT_EQ(page->Rows().size(), static_cast<size_t>(kSceneCommandCount - 1));
    page->AddDelay();
    page->AddDelay();
    EXPECT_EQ(page->Rows().size(), static_cast<size_t>(kSceneCommandCount));
    EXPECT_TRUE(InfoShown(QString::fromUtf8("情景指令已达最大数量")));
    const SceneRecord saved = page->BuildRecord();
    EXPECT_EQ(saved[2 * 27], 240);
    EXPECT_EQ(saved[0], 254);
}

TEST_F(SceneEditorTest, ThePlugsKeyListMakesItsDefaultKeyFile) {
    std::optional<TemporaryDocuments> documents(std::in_place);
    CDialogZwaveRemoter* page = OpenScenes();
    page->PlugCombo()->setCurrentIndex(page->PlugCombo()->findData(6));
    page->PlugCombo()->setCurrentIndex(page->PlugCombo()->findData(5));
    std::vector<PlugKey> keys;
    const KeyFileResult read = ReadKeyFile(PlugKeyFolder(), 5, keys);
    documents.reset();
    ASSERT_TRUE(read.ok());
    ASSERT_EQ(keys.size(), static_cast<size_t>(kPlugKeyCount));
    EXPECT_EQ(keys.back().name, "Key32");
    // None is learned yet: the list shows them all only without "Show learn".
    EXPECT_EQ(page->KeyCombo()->count(), 0);
    FindCtrl<QCheckBox>(page, CDialogZwaveRemoter::kShowLearnedId)->setChecked(false);
    EXPECT_EQ(page->KeyCombo()->count(), kPlugKeyCount);
}

TEST_F(SceneEditorTest, ARunSendsItsCommandsInOrderSkipsAbsentPlugsAndEnds) {
    SceneRunner::Timing timing;
    timing.poll = 5ms;
    timing.polls = 20;
    timing.second = 50ms;
    CDialogZwaveRemoter* page = OpenScenes();
    // The first slot is empty: the list and the run both go on past it.
    Tables().SetScene(0, MakeScene({{0, 0}, {254, 1}, {5, 99}, {240, 2}, {9, 40}, {6, 0x80}}));
    page->SelectScene(0);
    EXPECT_EQ(page->Rows().size(), 5u);
    const SceneRunner::End end =
        CSceneRunDlg::RunScene(app->Context(), page, Tables().Scene(0), QStringLiteral("run"), timing);
    EXPECT_EQ(end, SceneRunner::End::Finished);
    EXPECT_EQ(CSceneRunDlg::Current(), nullptr);
    EXPECT_TRUE(HostReceived({0x09, 0x00, 0x04, 0x21}));
    EXPECT_TRUE(HostReceived({0x01, 0x0A, 0x00, 0x13, 0x05, 0x03, 0x20, 0x01, 0x63, 0x25, 0x43}));
    // A remote-key value goes with the quiet callback.
    EXPECT_TRUE(HostReceived({0x01, 0x0A, 0x00, 0x13, 0x06, 0x03, 0x20, 0x01, 0x80, 0x25, 0x44}));
    EXPECT_FALSE(HostReceived({0x01, 0x0A, 0x00, 0x13, 0x09}, 50));
    EXPECT_EQ(Tables().NodeValue(5), 99);
}

TEST_F(SceneEditorTest, AnotherPlugsReportDoesNotConfirmTheCommandARunWaitsFor) {
    SceneRunner::Timing timing;
    timing.poll = 5ms;
    timing.polls = 80; // 400 ms for a command nobody confirms
    timing.between = 5ms;
    CDialogZwaveRemoter* page = OpenScenes();
    // The module's plug 2 never answers; plug 3 does, and reports a value of its own meanwhile.
    model->SetNodeDead(2, true);
    Tables().SetNodePresent(2, true);
    Tables().SetNodePresent(3, true);
    const std::vector<uint8_t> toTwo{0x01, 0x0A, 0x00, 0x13, 0x02};
    const std::vector<uint8_t> toThree{0x01, 0x0A, 0x00, 0x13, 0x03};
    const auto sentAt = [&](const std::vector<uint8_t>& body) -> std::optional<std::chrono::steady_clock::time_point> {
        for (const sim::ReceivedMessage& m : host->Received()) {
            if (m.payload.size() > body.size() && std::equal(body.begin(), body.end(), m.payload.begin() + 1))
                return m.at;
        }
        return std::nullopt;
    };
    bool reported = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!reported && sentAt(toTwo)) {
            reported = model->ReportNodeValue(3, 1);
        }
    });
    probe.start(5);
    const SceneRunner::End end =
        CSceneRunDlg::RunScene(app->Context(), page, MakeScene({{2, 99}, {3, 99}}), QStringLiteral("run"), timing);
    probe.stop();
    EXPECT_EQ(end, SceneRunner::End::Finished);
    ASSERT_TRUE(reported);
    const auto first = sentAt(toTwo);
    const auto second = sentAt(toThree);
    ASSERT_TRUE(first && second);
    EXPECT_GE(*second - *first, 350ms) << "plug 3's report was taken for plug 2's confirmation";
}

TEST_F(SceneEditorTest, ALongSceneRunsBeyondTheSyncLimitUntilCancelledAndOnlyOneRunsAtATime) {
    CDialogZwaveRemoter* page = OpenScenes();
    // 100 s of delay: far past the 30 s of the synchronisation dialog, so the run must have its own.
    const SceneRecord record = MakeScene({{240, 100}, {5, 99}});
    SceneRunner::End second = SceneRunner::End::Running;
    bool cancelled = false;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        CSceneRunDlg* run = CSceneRunDlg::Current();
        if (!run || cancelled)
            return;
        second = CSceneRunDlg::RunScene(app->Context(), page, record, QStringLiteral("again"));
        cancelled = true;
        run->CancelButton()->click();
    });
    probe.start(50);
    QElapsedTimer clock;
    clock.start();
    const SceneRunner::End end = CSceneRunDlg::RunScene(app->Context(), page, record, QStringLiteral("long"));
    EXPECT_EQ(end, SceneRunner::End::Cancelled);
    EXPECT_EQ(second, SceneRunner::End::Cancelled);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_FALSE(SceneRunner::AnyRunning());
    EXPECT_FALSE(HostReceived({0x01, 0x0A, 0x00, 0x13, 0x05}, 50));
}

TEST_F(SceneEditorTest, ARunStopsWhenTheLinkGoes) {
    CDialogZwaveRemoter* page = OpenScenes();
    QTimer::singleShot(150, [&] { app->Session().CloseLink(); });
    const SceneRunner::End end =
        CSceneRunDlg::RunScene(app->Context(), page, MakeScene({{240, 100}, {5, 99}}), QStringLiteral("long"));
    EXPECT_EQ(end, SceneRunner::End::LinkLost);
    EXPECT_FALSE(SceneRunner::AnyRunning());
}

} // namespace
} // namespace orvex::test
