#pragma once

#include "model/ParameterStore.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/InfoDlg.h"
#include "shell/Language.h"
#include "shell/MainFrame.h"
#include "shell/MessageBoxes.h"
#include "shell/OrvexApp.h"
#include "shell/OrvexView.h"
#include "shell/PageFactory.h"
#include "shell/RibbonBar.h"
#include "shell/RibbonStepSlider.h"
#include "shell/StatusBarPane.h"
#include "shell/SynDlg.h"
#include "shell/WaitDlg.h"
#include "support/PlaceholderDialog.h"
#include "support/PlaceholderPage.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

namespace orvex::test {

// Lets the event loop run for about `ms`, or until `done` holds.
inline bool PumpUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        if (done && done())
            return true;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qSleep(2);
    }
    return done ? done() : true;
}

inline void Pump(int ms) {
    PumpUntil({}, ms);
}

// A running editor, as far as a test needs it: the application object with its frame shown on the
// offscreen platform, every message box answered and recorded.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSettings(QString::fromUtf8(AppSettings::kKeyName), QStringLiteral("orvex")).clear();
        SetLanguageIndex(kLanguageChinese);
        // The shell runs without the page library: every page is a placeholder (the pages' tests
        // register the real ones over these).
        for (int k = 0; k < kPageKindCount; ++k) {
            RegisterPageFactory(static_cast<PageKind>(k), [k](const PageContext&, QWidget* parent) {
                return new CPlaceholderPage(static_cast<PageKind>(k), parent);
            });
        }
        SetMessageBoxHook([this](const MessageBoxRequest& r) {
            boxes.push_back(r);
            return answer;
        });
        SetNonBlockingBoxHook([this](const MessageBoxRequest& r, std::function<void()> close) {
            boxes.push_back(r);
            openBoxClosers.push_back(std::move(close));
        });
    }

    void TearDown() override {
        app.reset();
        SetMessageBoxHook({});
        SetNonBlockingBoxHook({});
        SetFileDialogHook({});
    }

    virtual COrvexv13App::Options MakeOptions() {
        COrvexv13App::Options options;
        options.singleInstance = false;
        options.watchDevices = false; // the machine's own HID devices stay out of the tests
        options.dialogTimeouts = dialogTimeouts;
        options.standInToolDialog = [](int templateId, const PageContext& context) -> CToolDialog* {
            auto* dialog = new CPlaceholderDialog(templateId);
            // The real smart-plug window resumes level polling when it goes; its stand-in does the
            // same when it is closed.
            if (templateId == tmpl::SmartPlug) {
                LinkState& state = context.session.State();
                QObject::connect(dialog, &QDialog::finished, [&state] { state.pollEnabled.store(1); });
            }
            return dialog;
        };
        return options;
    }

    void StartApp() {
        app = std::make_unique<COrvexv13App>();
        ASSERT_TRUE(app->InitInstance(MakeOptions()));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Frame()));
        QObject::connect(app.get(), &COrvexv13App::infoMessageShown,
                         [this](const QString& text) { infoMessages.push_back(text); });
    }

    bool InfoShown(const QString& text) const {
        return std::find(infoMessages.begin(), infoMessages.end(), text) != infoMessages.end();
    }

    CMainFrame* Frame() const { return app->MainFrame(); }
    COrvexv13View* View() const { return app->View(); }
    CMyMFCRibbonBar* Ribbon() const { return Frame()->Ribbon(); }
    ParameterStore& Store() const { return app->Store(); }

    CMFCRibbonStepSlider* Slider(int id) const { return Ribbon()->FindByID<CMFCRibbonStepSlider>(id); }
    QString InfoText() const { return app->InfoDialog() ? app->InfoDialog()->Text() : QString(); }
    bool InfoVisible() const { return app->InfoDialog() && app->InfoDialog()->isVisible(); }

    // A key pressed and released on the main window, as the keyboard would deliver it: the window
    // is the active one (as after a click on it; closing a dialog gives it back on a desktop).
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        if (QApplication::activeWindow() != Frame()) {
            Frame()->activateWindow();
            EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == Frame(); }, 2000));
        }
        QTest::keyClick(Frame()->windowHandle(), key, modifiers);
        QApplication::processEvents();
    }

    int CountBoxes(const QString& text) const {
        int n = 0;
        for (const MessageBoxRequest& r : boxes)
            n += r.text == text ? 1 : 0;
        return n;
    }

    std::unique_ptr<COrvexv13App> app;
    // What the editor StartApp starts gives its sync and wait dialogs.
    DialogTimeouts dialogTimeouts;
    std::vector<MessageBoxRequest> boxes;
    std::vector<QString> infoMessages;
    std::vector<std::function<void()>> openBoxClosers;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
};

} // namespace orvex::test
