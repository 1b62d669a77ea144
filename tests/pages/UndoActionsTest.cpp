#include "support/PagesFixture.h"

#include "support/TextFile.h"

#include "editors/EqFitDlg.h"
#include "editors/input/DialogMusic.h"
#include "editors/input/DialogMusicInput.h"
#include "editors/output/DialogOutput.h"
#include "editors/settings/SetDlg.h"
#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "link/RecordingSender.h"
#include "model/EqPaths.h"
#include "model/Measurement.h"
#include "model/StoreFields.h"
#include "shell/AppSettings.h"
#include "shell/ControlIds.h"
#include "shell/DlgMsgBox.h"
#include "shell/EditHistory.h"
#include "shell/MessageBoxes.h"
#include "widgets/ControlId.h"
#include "widgets/EqOverlay.h"
#include "widgets/EqPanel.h"
#include "widgets/EqSection.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <functional>

namespace orvex::test {
namespace {

constexpr int kOutDirectId = 1041;

// Undo and redo of the actions that are not a drag or a key burst: each is taken through the widgets
// as the user takes it, against the simulated processor, and what undo and redo put on the wire is
// compared with what the setters send for the same values by hand.
class UndoActionsTest : public PagesSimTest {
protected:
    void SetUp() override {
        PagesSimTest::SetUp();
        StartConnected();
        Frame()->resize(1300, 900);
        SetFileDialogHook([this](const FileDialogRequest&) { return answer; });
        SetMessageBoxHook([](const MessageBoxRequest&) { return QMessageBox::Ok; });
    }

    void TearDown() override {
        SetFileDialogHook({});
        SetMessageBoxHook({});
        CEqOverlays::Instance().ClearAll();
        PagesSimTest::TearDown();
    }

    using HandEditFn = std::function<void(CommandEncoder&, EqSender&)>;

    // What the setters send when `edit` drives them on a store of their own, as hex; sorted unless the
    // order is what counts.
    static std::vector<std::string> HandEdit(const HandEditFn& edit, bool sorted = true) {
        ParameterStore store;
        RecordingSender sent;
        CommandEncoder commands(store, sent);
        EqSender eq(store, commands);
        edit(commands, eq);
        std::vector<std::string> out = HexList(sent.Bodies());
        if (sorted)
            std::sort(out.begin(), out.end());
        return out;
    }

    // Parameter, memory and machine-settings writes the host received since the last clear, once the
    // link is idle.
    std::vector<std::string> Sent(bool sorted = true) {
        WaitForLinkIdle();
        std::vector<std::string> out;
        for (const sim::ReceivedMessage& m : host->Received()) {
            if (m.payload.size() >= 2 && (m.payload[1] == 0x09 || m.payload[1] == 0x85 || m.payload[1] == 0x91))
                out.push_back(ToHex(std::vector<uint8_t>(m.payload.begin() + 1, m.payload.end())));
        }
        if (sorted)
            std::sort(out.begin(), out.end());
        return out;
    }

    void Settle() {
        WaitForLinkIdle();
        host->ClearReceived();
    }

    void Activate(QWidget* window) {
        window->show();
        window->raise();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == window; }, 2000));
    }

    // A click as the window system delivers it: to the window, which hands it to the widget.
    static void Click(QWidget* widget, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
        QWidget* top = widget->window();
        const QPoint in = widget->mapTo(top, at);
        QTest::mousePress(top->windowHandle(), button, {}, in);
        QTest::mouseRelease(top->windowHandle(), button, {}, in);
        QCoreApplication::processEvents();
    }
    // Near the left edge: a check box or radio button is hit on its indicator and text.
    static void ClickButton(QAbstractButton* button) { Click(button, QPoint(8, button->height() / 2)); }

    void Undo(QWidget* window) {
        QTest::keyClick(window->windowHandle(), Qt::Key_Z, Qt::ControlModifier);
        QCoreApplication::processEvents();
    }
    void Redo(QWidget* window) {
        QTest::keyClick(window->windowHandle(), Qt::Key_Y, Qt::ControlModifier);
        QCoreApplication::processEvents();
    }

    std::size_t Entries() const { return app->History().Journal().Entries().size(); }
    std::string LastText() const { return app->History().Journal().Entries().back().text.en; }

    // A right click on an empty spot of the graph opens its path menu; the entry is then clicked.
    void ChooseFromPathMenu(CEqSection* section, const char* en, const char* zh) {
        CEqPanel* panel = section->Panel();
        section->ClearSelection();
        Click(panel, panel->PointFor(3000, -13).toPoint(), Qt::RightButton);
        QMenu* menu = panel->ActiveMenu();
        ASSERT_NE(menu, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        QAction* entry = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->text() == QString::fromUtf8(en) || a->text() == QString::fromUtf8(zh))
                entry = a;
        }
        ASSERT_NE(entry, nullptr) << en;
        QTest::mouseClick(menu->windowHandle(), Qt::LeftButton, {}, menu->actionGeometry(entry).center());
        QCoreApplication::processEvents();
    }

    QString Write(const QString& name, const std::string& text) { return WriteTextFile(dir, name, text); }

    // The bands of `identity` as the store holds them.
    std::vector<EqBand> Bands(int identity) {
        std::vector<EqBand> out;
        for (int b = 0; b < EqPathForIdentity(identity).bandCount; ++b)
            out.push_back(Store().GetEqPathBand(identity, b));
        return out;
    }
    using PathBands = std::vector<std::pair<int, std::vector<EqBand>>>;
    PathBands Paths(const std::vector<int>& identities) {
        PathBands out;
        for (int identity : identities)
            out.emplace_back(identity, Bands(identity));
        return out;
    }

    // What a band sender sends for every band of `to` that differs from `from`: its record and
    // coefficients.
    static std::vector<std::string> BandEdits(const PathBands& to, const PathBands& from) {
        return HandEdit([&](CommandEncoder&, EqSender& eq) {
            for (std::size_t path = 0; path < to.size(); ++path) {
                const auto& [identity, bands] = to[path];
                for (std::size_t b = 0; b < bands.size(); ++b) {
                    if (bands[b] != from[path].second[b])
                        eq.SetPathBand(identity, static_cast<int>(b), bands[b]);
                }
            }
        });
    }

    // Undoes and redoes an action that replaced the bands of the paths in `before`, the first of them
    // shown by `section`: each way only the bands that differ go out, each as its hand edit sends it,
    // and the graph follows.
    void ExpectBandsUndoAndRedo(CEqSection* section, const PathBands& before) {
        std::vector<int> identities;
        for (const auto& path : before)
            identities.push_back(path.first);
        const PathBands after = Paths(identities);
        for (std::size_t path = 0; path < before.size(); ++path)
            ASSERT_NE(after[path].second, before[path].second) << before[path].first;
        auto shown = [&](const PathBands& paths) {
            for (std::size_t b = 0; b < paths[0].second.size(); ++b) {
                EXPECT_EQ(section->Panel()->Band(static_cast<int>(b)).freqHz,
                          static_cast<float>(paths[0].second[b].freqHz))
                    << b;
            }
        };
        Settle();
        Undo(section->window());
        EXPECT_EQ(Paths(identities), before);
        EXPECT_EQ(Sent(), BandEdits(before, after));
        shown(before);

        host->ClearReceived();
        Redo(section->window());
        EXPECT_EQ(Paths(identities), after);
        EXPECT_EQ(Sent(), BandEdits(after, before));
        shown(after);
    }

    QTemporaryDir dir;
    QString answer; // the file the file dialog answers with
};

// Linking two differing channels copies the chosen one onto the other: undo gives the partner its own
// values back (its split pair too, which the link rewrote in its delay mode's filter types) and leaves
// the model as it was.
TEST_F(UndoActionsTest, LinkingAPairUndoesThePartnerItOverwrote) {
    app->Settings().SetQtOption(QByteArray(8, '\0'));
    auto* page = OpenPage<CDialogOutput>(PageKind::Output, 3);
    ASSERT_NE(page, nullptr);
    Activate(page->window());
    const int out4 = eqid::FirstOutput + 3;
    Store().Set(fields::outMixDirect, 2, 55);
    EqBand raised = Store().GetEqPathBand(eqid::FirstOutput + 2, 3);
    raised.gainDb = 4.5f;
    Store().SetEqBand(OutputChannelFirstRecord(2) + 3, raised);
    page->RefreshFromStore();
    // Every record CH4 owns, the split pair after its bands.
    auto records = [&] {
        std::vector<EqBand> out;
        for (int r = 0; r < EqPathForIdentity(out4).recordCount; ++r)
            out.push_back(Store().GetEqBand(OutputChannelFirstRecord(3) + r));
        return out;
    };
    const int direct = Store().Get(fields::outMixDirect, 3);
    const std::vector<EqBand> before = records();
    ASSERT_NE(direct, 55);
    Settle();
    const std::size_t entries = Entries();

    // The question box runs its own loop inside the click; the user answers it with the mouse: CH3 is
    // the model.
    bool answered = false;
    QTimer::singleShot(50, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (box == nullptr)
            return;
        for (QPushButton* b : box->findChildren<QPushButton*>()) {
            if (CtrlId(b) == CDlgMsgBox::kFirstId) {
                answered = true;
                Click(b, b->rect().center());
            }
        }
    });
    ClickButton(page->LinkBox(1));
    ASSERT_TRUE(answered);
    ASSERT_TRUE(page->LinkBox(1)->isChecked());
    ASSERT_EQ(Store().Get(fields::outMixDirect, 3), 55);
    ASSERT_EQ(Entries(), entries + 1);
    EXPECT_EQ(LastText(), "Link CH3 and CH4");
    const std::vector<EqBand> after = records();
    ASSERT_EQ(after[3], raised);
    // The mix and the records that differ, as their own setters send them.
    auto handEdit = [&](int mix, const std::vector<EqBand>& to, const std::vector<EqBand>& from) {
        return HandEdit([&](CommandEncoder& commands, EqSender& eq) {
            commands.Set(fields::outMixDirect, 3, mix);
            for (std::size_t r = 0; r < to.size(); ++r) {
                if (to[r] != from[r])
                    eq.SetBand(OutputChannelFirstRecord(3) + static_cast<int>(r), to[r]);
            }
        });
    };

    Settle();
    Undo(page->window());
    EXPECT_EQ(Store().Get(fields::outMixDirect, 3), direct);
    EXPECT_EQ(records(), before);
    EXPECT_EQ(Store().Get(fields::outMixDirect, 2), 55);
    EXPECT_EQ(Sent(), handEdit(direct, before, after));
    EXPECT_EQ(page->Slider(kOutDirectId)->GetSliderPos(), direct);
    EXPECT_EQ(page->Eq()->Panel()->Band(3).gainDb, before[3].gainDb);
    // The pair is unlinked with it: its channels differ again.
    EXPECT_FALSE(page->LinkBox(1)->isChecked());
    EXPECT_EQ(page->LinkedPartner(3), -1);

    host->ClearReceived();
    Redo(page->window());
    EXPECT_EQ(records(), after);
    EXPECT_EQ(Sent(), handEdit(55, after, before));
    EXPECT_EQ(page->Slider(kOutDirectId)->GetSliderPos(), 55);
    EXPECT_TRUE(page->LinkBox(1)->isChecked());
    EXPECT_EQ(page->LinkedPartner(3), 2);
    EXPECT_EQ(page->Eq()->Panel()->Band(3).gainDb, 4.5f);
}

// The path menu's copy on one channel and paste on another: the paste is the action, and it reaches
// the linked partner, which undo restores with it.
TEST_F(UndoActionsTest, APasteFromThePathMenuUndoesEveryBandItReplacedOnBothLinkedChannels) {
    const int out1 = eqid::FirstOutput;
    const int out2 = eqid::FirstOutput + 1; // CH1 and CH2 are linked by default
    Store().SetEqBand(OutputChannelFirstRecord(2) + 1, EqBand{-6.0f, 90, 3.0f, eqtype::Peaking});
    Store().SetEqBand(OutputChannelFirstRecord(2) + 5, EqBand{3.5f, 4000, 1.5f, eqtype::Peaking});
    auto* page = OpenPage<CDialogOutput>(PageKind::Output, 2);
    ASSERT_NE(page, nullptr);
    Activate(page->window());
    ChooseFromPathMenu(page->Eq(), "Copy EQ", "复制均衡");
    page = OpenPage<CDialogOutput>(PageKind::Output, 0);
    ASSERT_NE(page, nullptr);
    ASSERT_EQ(page->ApplySet(), (std::vector<int>{0, 1}));
    Settle();
    const PathBands before = Paths({out1, out2});
    const std::size_t entries = Entries();

    ChooseFromPathMenu(page->Eq(), "Paste EQ", "粘贴均衡");
    ASSERT_EQ(Store().GetEqPathBand(out1, 1).freqHz, 90);
    ASSERT_EQ(Store().GetEqPathBand(out2, 1).freqHz, 90);
    ASSERT_EQ(Entries(), entries + 1);
    // Two paths changed: the menu's entry names the action.
    EXPECT_EQ(LastText(), "Paste EQ");
    ExpectBandsUndoAndRedo(page->Eq(), before);
}

// The same paste chosen with the keys: the menu key opens the menu, the arrows pick the entry and
// Enter runs it; the entry names the action all the same.
TEST_F(UndoActionsTest, APasteChosenWithTheKeysIsOneActionNamedByItsEntry) {
    Store().SetEqBand(OutputChannelFirstRecord(2) + 1, EqBand{-6.0f, 90, 3.0f, eqtype::Peaking});
    auto* page = OpenPage<CDialogOutput>(PageKind::Output, 2);
    ASSERT_NE(page, nullptr);
    Activate(page->window());
    ChooseFromPathMenu(page->Eq(), "Copy EQ", "复制均衡");
    page = OpenPage<CDialogOutput>(PageKind::Output, 0); // linked with CH2
    ASSERT_NE(page, nullptr);
    const PathBands before = Paths({eqid::FirstOutput, eqid::FirstOutput + 1});
    const std::size_t entries = Entries();

    CEqPanel* panel = page->Eq()->Panel();
    page->Eq()->ClearSelection();
    panel->setFocus();
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(0, 0), QPoint(0, 0));
    QApplication::sendEvent(panel, &menuKey);
    QMenu* menu = panel->ActiveMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    auto onPaste = [&] {
        const QAction* a = menu->activeAction();
        return a && (a->text() == QStringLiteral("Paste EQ") || a->text() == QString::fromUtf8("粘贴均衡"));
    };
    for (int step = 0; step < 8 && !onPaste(); ++step)
        QTest::keyClick(menu->windowHandle(), Qt::Key_Down);
    ASSERT_TRUE(onPaste());
    // Enter runs the entry and closes the menu: its key-up reaches the window the keys go back to.
    QTest::keyPress(menu->windowHandle(), Qt::Key_Return);
    QTest::keyRelease(page->window()->windowHandle(), Qt::Key_Return);
    QCoreApplication::processEvents();
    ASSERT_EQ(Store().GetEqPathBand(eqid::FirstOutput + 1, 1).freqHz, 90);
    ASSERT_EQ(Entries(), entries + 1);
    EXPECT_EQ(LastText(), "Paste EQ");
    Undo(page->window());
    EXPECT_EQ(Paths({eqid::FirstOutput, eqid::FirstOutput + 1}), before);
}

// A filter list imported from a file through the path menu.
TEST_F(UndoActionsTest, AFilterImportUndoesToTheBandsBeforeIt) {
    auto* page = OpenPage<CDialogMusic>(PageKind::Music);
    ASSERT_NE(page, nullptr);
    Activate(page->window());
    const int identity = page->Eq()->EqIdentity();
    ASSERT_EQ(page->Eq()->ApplyIdentities(), std::vector<int>{identity});
    answer = Write("filters.txt", "Filter 1: ON PK Fc 63 Hz Gain -5.0 dB Q 4.00\n"
                                  "Filter 2: ON PK Fc 2400 Hz Gain -2.5 dB Q 1.20\n");
    Settle();
    const PathBands before = Paths({identity});
    const std::size_t entries = Entries();

    ChooseFromPathMenu(page->Eq(), "Import filters…", "导入滤波器…");
    ASSERT_EQ(Store().GetEqPathBand(identity, 0).freqHz, 63);
    ASSERT_EQ(Entries(), entries + 1);
    EXPECT_NE(LastText().find("EQ"), std::string::npos);
    ExpectBandsUndoAndRedo(page->Eq(), before);
}

// A fit to a measurement, applied with the fit window's Apply.
TEST_F(UndoActionsTest, AnAppliedFitUndoesToTheBandsBeforeIt) {
    auto* page = OpenPage<CDialogOutput>(PageKind::Output, 4);
    ASSERT_NE(page, nullptr);
    Activate(page->window());
    const int identity = eqid::FirstOutput + 4;
    // A room with a boom at 55 Hz and a dip at 2.5 kHz, measured every 1/24 octave.
    const std::vector<EqBand> room = {{7.0f, 55, 5.0f, eqtype::Peaking}, {-4.0f, 2500, 1.5f, eqtype::Peaking}};
    std::string text = "* Freq(Hz) SPL(dB)\n";
    char line[64];
    for (double f = 20.0; f <= 20000.0; f *= std::exp2(1.0 / 24.0)) {
        std::snprintf(line, sizeof line, "%.3f %.3f\n", f, 78.0 + EqResponseDb(room, f));
        text += line;
    }
    answer = Write("room.txt", text);
    ChooseFromPathMenu(page->Eq(), "Fit to measurement…", "按测量曲线拟合…");
    auto* fit = qobject_cast<CEqFitDlg*>(page->Eq()->FitDialog());
    ASSERT_NE(fit, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return fit->Proposal().has_value(); }, 10000));
    Settle();
    const PathBands before = Paths({identity});
    const std::size_t entries = Entries();

    Click(fit->ApplyButton(), fit->ApplyButton()->rect().center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->Eq()->FitDialog() == nullptr; }, 2000));
    ASSERT_EQ(Entries(), entries + 1);
    EXPECT_NE(LastText().find("EQ"), std::string::npos);
    Activate(page->window());
    ExpectBandsUndoAndRedo(page->Eq(), before);
}

// The music source: the processor takes the source it is told last, so the HDMI port goes first both
// ways, as the radio sends them.
TEST_F(UndoActionsTest, AMusicSourceChangeUndoesWithThePortBeforeTheSource) {
    auto* dialog = qobject_cast<CDialogMusicInput*>(app->ShowToolDialog(tmpl::MusicInput));
    ASSERT_NE(dialog, nullptr);
    Activate(dialog);
    constexpr int kSpdif1 = 0, kHdmi2 = 3;
    ClickButton(dialog->Radio(kSpdif1));
    ASSERT_EQ(Store().Get(fields::musicSource), 0);
    Store().Set(fields::hdmiInput, 3); // the port the processor was last on
    Settle();
    const std::size_t entries = Entries();

    ClickButton(dialog->Radio(kHdmi2));
    ASSERT_EQ(Store().Get(fields::musicSource), 2);
    ASSERT_EQ(Store().Get(fields::hdmiInput), 1);
    ASSERT_EQ(Entries(), entries + 1);
    EXPECT_EQ(LastText(), "Use this music input");

    // The port, then the source: in that order, as the window sends them.
    const auto byHand = [this](int hdmi, int source) {
        return HandEdit(
            [=](CommandEncoder& commands, EqSender&) {
                commands.Set(fields::hdmiInput, hdmi);
                commands.Set(fields::musicSource, source);
            },
            false);
    };
    Settle();
    Undo(dialog);
    EXPECT_EQ(Store().Get(fields::musicSource), 0);
    EXPECT_EQ(Store().Get(fields::hdmiInput), 3);
    EXPECT_EQ(Sent(false), byHand(3, 0));
    EXPECT_TRUE(dialog->Radio(kSpdif1)->isChecked());

    host->ClearReceived();
    Redo(dialog);
    EXPECT_EQ(Sent(false), byHand(1, 2));
    EXPECT_TRUE(dialog->Radio(kHdmi2)->isChecked());
}

// The machine settings: editing the window changes nothing until Apply, which is the one action.
TEST_F(UndoActionsTest, AMachineSettingsApplyUndoesToTheSettingsBeforeIt) {
    auto* dialog = qobject_cast<CSetDlg*>(app->ShowToolDialog(tmpl::MachineSettings));
    ASSERT_NE(dialog, nullptr);
    Activate(dialog);
    const MachineSettingsRecord before = Store().CommittedMachineSettings();
    const std::size_t route = (before[12] >> 4) == 1 ? 2 : 1;
    QAbstractButton* routeRadio = nullptr;
    QAbstractButton* apply = nullptr;
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>()) {
        if (CtrlId(b) == CSetDlg::kRouteIds[route])
            routeRadio = b;
        if (CtrlId(b) == CSetDlg::kApplyId)
            apply = b;
    }
    ASSERT_NE(routeRadio, nullptr);
    ASSERT_NE(apply, nullptr);
    Settle();
    const std::size_t entries = Entries();

    ClickButton(routeRadio);
    EXPECT_EQ(Entries(), entries); // nothing the processor holds has changed yet
    Click(apply, apply->rect().center());
    const MachineSettingsRecord after = Store().CommittedMachineSettings();
    ASSERT_NE(after, before);
    ASSERT_EQ(Entries(), entries + 1);
    EXPECT_EQ(LastText(), "Machine settings");

    Settle();
    Undo(dialog);
    EXPECT_EQ(Store().CommittedMachineSettings(), before);
    EXPECT_EQ(Sent(), HandEdit([&](CommandEncoder& commands, EqSender&) { commands.WriteMachineSettings(before); }));
    EXPECT_FALSE(routeRadio->isChecked());

    host->ClearReceived();
    Redo(dialog);
    EXPECT_EQ(Store().CommittedMachineSettings(), after);
    EXPECT_EQ(Sent(), HandEdit([&](CommandEncoder& commands, EqSender&) { commands.WriteMachineSettings(after); }));
    EXPECT_TRUE(routeRadio->isChecked());
}

} // namespace
} // namespace orvex::test
