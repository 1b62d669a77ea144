#include "SimFixture.h"

#include "link/CommandEncoder.h"
#include "link/RecordingSender.h"
#include "shell/EditHistory.h"
#include "support/Hex.h"
#include "support/PlaceholderPage.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace orvex::test {
namespace {

// The single-key shortcuts against the simulator: they act on the main window and nowhere else.
class KeyboardTest : public SimShellTest {
protected:
    void SetUp() override {
        SimShellTest::SetUp();
        StartConnected();
        Frame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == Frame(); }, 2000));
        before = Levels();
    }

    // Every master volume and mute the letter keys can reach.
    std::vector<int> Levels() const {
        std::vector<int> levels;
        for (const VolumeControlInfo& v : kVolumeControls)
            levels.push_back(Store().Get(v.field));
        for (const MuteControlInfo& m : kMuteControls)
            levels.push_back(Store().Get(m.field));
        return levels;
    }

    // Keys go to the window that has the keyboard, as the window system delivers them: the
    // application sees them there before the focused widget does.
    static void Type(QWidget* widget, const char* text) {
        QWindow* window = widget->window()->windowHandle();
        for (const char* c = text; *c; ++c)
            QTest::keyClick(window, *c);
        QApplication::processEvents();
    }

    // A parameter write (09) reached the processor.
    bool WrittenToProcessor(int ms) {
        return PumpUntil(
            [&] {
                for (const sim::ReceivedMessage& m : host->Received()) {
                    if (m.payload.size() >= 2 && m.payload[1] == 0x09)
                        return true;
                }
                return false;
            },
            ms);
    }

    // A key event as the window system delivers it; a Ctrl key's native key tells left from right.
    // (QTest's clicks with a modifier press a Ctrl of their own first, one without a native key.)
    static void Send(QWindow* window, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                     quint32 nativeKey = 0) {
        QKeyEvent event(type, key, modifiers, 0, nativeKey, 0);
        QApplication::sendEvent(window, &event);
        QApplication::processEvents();
    }

    // F3 on the main window with the Ctrl modifier as given; the load's synchronisation dialog,
    // if one opens, is ended by the processor's answer or here.
    void F3(Qt::KeyboardModifiers modifiers) {
        // A closed window hands the activation back only once the window system's events are in.
        Pump(50);
        Frame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == Frame(); }, 2000));
        QTimer::singleShot(1500, Frame(), [this] {
            if (app && app->SyncDialog())
                app->EndSyncDialog();
        });
        QWindow* window = Frame()->windowHandle();
        Send(window, QEvent::KeyPress, Qt::Key_F3, modifiers);
        Send(window, QEvent::KeyRelease, Qt::Key_F3, modifiers);
    }

    static constexpr quint32 kLeftCtrl = 0xffe3;
    static constexpr quint32 kRightCtrl = 0xffe4;
    std::vector<int> before;
};

TEST_F(KeyboardTest, ACtrlReleaseTakenByAnotherWindowLeavesF3ALoadAndTheVolumeStepsWhole) {
    // Ctrl+O and Escape in the file dialog: the left Ctrl's release went to the dialog (on a desktop,
    // to another program's dialog) and never came here. Plain F3 then asked to overwrite mode 3, Yes
    // being the default, and W stepped by 1. The keyboard leaves the main window either way.
    const std::vector<std::function<void()>> takeTheKeyboard = {
        [&] {
            QDialog modal(Frame());
            modal.open();
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeModalWidget() == &modal; }, 2000));
            modal.reject();
        },
        [&] {
            QDialog other(Frame());
            other.show();
            other.activateWindow();
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &other; }, 2000));
        },
    };
    const QString saveThree = QString::fromUtf8("确定要保存至机器模式三?");
    for (size_t way = 0; way < takeTheKeyboard.size(); ++way) {
        SCOPED_TRACE(way);
        host->ClearReceived();
        Send(Frame()->windowHandle(), QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, kLeftCtrl);
        takeTheKeyboard[way]();
        F3(Qt::NoModifier);
        EXPECT_EQ(CountBoxes(saveThree), 0);
        EXPECT_TRUE(HostReceived({0x05, 0x02}));

        // The right Ctrl is no left Ctrl either, whatever went before.
        host->ClearReceived();
        Send(Frame()->windowHandle(), QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, kRightCtrl);
        F3(Qt::ControlModifier);
        Send(Frame()->windowHandle(), QEvent::KeyRelease, Qt::Key_Control, Qt::ControlModifier, kRightCtrl);
        EXPECT_EQ(CountBoxes(saveThree), 0);
        EXPECT_TRUE(HostReceived({0x05, 0x02}));

        const int mic = Store().Get(fields::micMasterVolume);
        Key(Qt::Key_W);
        EXPECT_EQ(Store().Get(fields::micMasterVolume), mic + (mic < 50 ? 5 : 2));
    }

    // A left Ctrl really held still saves, after a question whose Enter answers No.
    answer = QMessageBox::No;
    Send(Frame()->windowHandle(), QEvent::KeyPress, Qt::Key_Control, Qt::NoModifier, kLeftCtrl);
    F3(Qt::ControlModifier);
    ASSERT_EQ(CountBoxes(saveThree), 1);
    EXPECT_EQ(boxes.back().defaultButton, QMessageBox::No);
    EXPECT_FALSE(HostReceived({0x04}, 200));
}

TEST_F(KeyboardTest, CtrlLetGoBeforeTheDigitStillSelectsTheBand) {
    // A key sender (and a quick hand) lets go of Ctrl before the digit; the band was chosen while
    // both were down. Acting on the modifiers at key-up alone dropped it.
    QWindow* window = Frame()->windowHandle();
    auto* page = qobject_cast<CPlaceholderPage*>(View()->CurrentPage());
    ASSERT_NE(page, nullptr);
    QTest::keyPress(window, Qt::Key_Control);
    QTest::keyPress(window, Qt::Key_3, Qt::ControlModifier);
    QTest::keyRelease(window, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyRelease(window, Qt::Key_3, Qt::NoModifier);
    EXPECT_EQ(page->SelectedBand(), 3);
    // A digit pressed without Ctrl after that is no band choice.
    QTest::keyClick(window, Qt::Key_5);
    EXPECT_EQ(page->SelectedBand(), 3);
}

TEST_F(KeyboardTest, TypingAFileNameInTheSaveDialogChangesNothing) {
    // Typing "movie" and Ctrl+A into the save dialog muted the reverb, raised the echo and lowered
    // the music on the processor, and the changed values went into the saved file.
    QTemporaryDir dir;
    QFileDialog dialog(Frame(), QStringLiteral("Save"), dir.path(), QStringLiteral("Mode Files (*.kvom)"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.open();
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return name->hasFocus(); }, 2000));
    Type(&dialog, "movie");
    QTest::keyClick(dialog.windowHandle(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(dialog.windowHandle(), Qt::Key_F2, Qt::ControlModifier);
    EXPECT_EQ(name->text(), QStringLiteral("movie"));
    EXPECT_EQ(Levels(), before);
    EXPECT_FALSE(WrittenToProcessor(300));
    EXPECT_TRUE(boxes.empty()); // no "save to machine mode" question either
    dialog.reject();
}

TEST_F(KeyboardTest, TypingIntoAToolWindowChangesNothing) {
    QDialog tool(Frame());
    auto* edit = new QLineEdit(&tool);
    (new QVBoxLayout(&tool))->addWidget(edit);
    tool.show();
    tool.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 2000));
    Type(&tool, "wasdqzxcvp");
    EXPECT_EQ(edit->text(), QStringLiteral("wasdqzxcvp"));
    EXPECT_EQ(Levels(), before);
    EXPECT_FALSE(WrittenToProcessor(300));
    // F7 neither, while the field has the keyboard.
    QTest::keyClick(tool.windowHandle(), Qt::Key_F7);
    EXPECT_EQ(app->ToolDialog(tmpl::MachineSettings), nullptr);

    // Without a field in focus, F7 opens the machine settings from the tool window, while the
    // volume keys still do nothing there.
    edit->setEnabled(false);
    QTest::keyClick(tool.windowHandle(), Qt::Key_W);
    EXPECT_EQ(Levels(), before);
    QTest::keyClick(tool.windowHandle(), Qt::Key_F7);
    EXPECT_NE(app->ToolDialog(tmpl::MachineSettings), nullptr);
}

TEST_F(KeyboardTest, AFieldOnTheMainWindowKeepsItsLettersAndTheKeysWorkOnceItLetsGo) {
    auto* edit = new QLineEdit(View()->CurrentPage());
    edit->show();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return edit->hasFocus(); }, 2000));
    Type(Frame(), "we");
    EXPECT_EQ(edit->text(), QStringLiteral("we"));
    EXPECT_EQ(Levels(), before);

    edit->clearFocus();
    Frame()->setFocus();
    const int mic = Store().Get(fields::micMasterVolume);
    const int echo = Store().Get(fields::echoVolume);
    Type(Frame(), "we");
    EXPECT_GT(Store().Get(fields::micMasterVolume), mic);
    EXPECT_GT(Store().Get(fields::echoVolume), echo);
    EXPECT_TRUE(WrittenToProcessor(1000));
}

TEST_F(KeyboardTest, TheKeysTheRibbonHintsNameDoWhatTheHintsSay) {
    // Every volume slider whose hint names keys ("Mic volume (W / S)") is stepped down and up by them,
    // and every box whose hint names a key is switched by it; in both languages.
    static const QRegularExpression kPair(QStringLiteral("\\(([A-Z]) / ([A-Z])\\)$"));
    static const QRegularExpression kSingle(QStringLiteral("\\(([A-Z])\\)$"));
    const auto qtKey = [](const QString& letter) { return Qt::Key(Qt::Key_A + (letter.at(0).unicode() - 'A')); };
    for (int pass = 0; pass < 2; ++pass) {
        int volumes = 0;
        int switches = 0;
        QList<QWidget*> controls = Ribbon()->findChildren<QWidget*>();
        controls << Frame()->statusBar()->findChildren<QWidget*>();
        for (QWidget* w : controls) {
            SCOPED_TRACE(w->toolTip().toStdString());
            const int id = CtrlId(w);
            if (const QRegularExpressionMatch m = kPair.match(w->toolTip()); m.hasMatch()) {
                const auto v = std::find_if(kVolumeControls.begin(), kVolumeControls.end(), [&](const auto& info) {
                    return info.sliderInput == id || info.sliderOutput == id;
                });
                ASSERT_NE(v, kVolumeControls.end());
                const int start = Store().Get(v->field);
                Key(qtKey(m.captured(2)));
                const int lowered = Store().Get(v->field);
                EXPECT_TRUE(lowered < start || start == 0);
                Key(qtKey(m.captured(1)));
                EXPECT_GT(Store().Get(v->field), lowered);
                ++volumes;
            } else if (const QRegularExpressionMatch k = kSingle.match(w->toolTip()); k.hasMatch()) {
                auto* box = qobject_cast<QCheckBox*>(w);
                ASSERT_NE(box, nullptr);
                const bool wasChecked = box->isChecked();
                Key(qtKey(k.captured(1)));
                Frame()->UpdateCommandUI();
                EXPECT_NE(box->isChecked(), wasChecked);
                Key(qtKey(k.captured(1)));
                Frame()->UpdateCommandUI();
                EXPECT_EQ(box->isChecked(), wasChecked);
                ++switches;
            }
        }
        // Mic, reverb, echo and music on both categories; their four mutes on both, and the bypass.
        EXPECT_EQ(volumes, 8);
        EXPECT_EQ(switches, 9);
        app->ToggleLanguage();
    }
}

TEST_F(KeyboardTest, CtrlZTakesTheKeyBackWithoutMutingAndZAloneStillMutes) {
    const auto writeOf = [](int value) {
        ParameterStore other;
        RecordingSender sent;
        CommandEncoder(other, sent).Set(fields::micMasterVolume, value);
        return sent.Bodies().at(0);
    };
    app->Session().Commands().Set(fields::micMasterVolume, 75);
    app->View()->RefreshAllViews();
    ASSERT_TRUE(HostReceived(writeOf(75)));
    const int musicMute = Store().Get(fields::musicMute);
    host->ClearReceived();

    // On the wire: the three values, each as the setter writes it, and no other parameter write. Each
    // key waits for the write before it to leave, as a hand does: the link's queue merges a value
    // still waiting with the next one of its parameter.
    const auto writes = [&] {
        std::vector<std::string> out;
        for (const sim::ReceivedMessage& m : host->Received()) {
            if (m.payload.size() >= 2 && m.payload[1] == 0x09)
                out.push_back(ToHex(std::span(m.payload).subspan(1)));
        }
        return out;
    };
    Key(Qt::Key_W);
    ASSERT_TRUE(PumpUntil([&] { return writes().size() >= 1; }, 2000));
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), 75);
    ASSERT_TRUE(PumpUntil([&] { return writes().size() >= 2; }, 2000));
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Store().Get(fields::micMasterVolume), 77);
    EXPECT_EQ(Store().Get(fields::musicMute), musicMute);
    ASSERT_TRUE(PumpUntil([&] { return writes().size() >= 3; }, 2000));
    Pump(200);
    EXPECT_EQ(writes(), (std::vector<std::string>{ToHex(writeOf(77)), ToHex(writeOf(75)), ToHex(writeOf(77))}));

    Key(Qt::Key_Z);
    EXPECT_NE(Store().Get(fields::musicMute), musicMute);
    // The ribbon's buttons follow, and their tooltips name what they would take back.
    Frame()->UpdateCommandUI();
    int undoButtons = 0;
    for (QToolButton* button : Frame()->findChildren<QToolButton*>()) {
        if (button->text() != Tr2("撤销", "Undo"))
            continue;
        ++undoButtons;
        EXPECT_TRUE(button->isEnabled());
        EXPECT_TRUE(button->toolTip().startsWith(Tr2("撤销：音乐静音", "Undo: Music mute")))
            << button->toolTip().toStdString();
    }
    EXPECT_EQ(undoButtons, 1);
}

} // namespace
} // namespace orvex::test
