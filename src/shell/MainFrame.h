#pragma once

#include "shell/VolumeControls.h"

#include <QMainWindow>
#include <QTimer>

class QCheckBox;
class QMenu;
class QPushButton;
class QToolButton;

namespace orvex {

class COrvexv13App;
class COrvexv13View;
class CMyMFCRibbonBar;
class CMyMFCRibbonStatusBarPane;

// The ribbon's categories, by their place on the ribbon. Pages and twins are chosen by these,
// never by the names shown on the tabs, which change with the language.
enum class RibbonCategoryId { Input = 0, Output = 1 };
inline constexpr int kRibbonCategoryCount = 2;

// The top-level window: the ribbon, the main view and the status bar.
class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMinWidth = 1040;
    static constexpr int kMinHeight = 700;

    explicit CMainFrame(COrvexv13App& app);
    ~CMainFrame() override;

    CMyMFCRibbonBar* Ribbon() const { return m_ribbon; }
    COrvexv13View* View() const { return m_view; }
    CMyMFCRibbonStatusBarPane* LinkPane() const { return m_linkPane; }
    CMyMFCRibbonStatusBarPane* ModePane() const { return m_modePane; }
    QCheckBox* BypassBox() const { return m_bypass; }
    QPushButton* ResetEqButton() const { return m_resetEq; }
    // The category the user has selected.
    RibbonCategoryId ActiveCategory() const;

    // Every ribbon text in the current language; the split buttons get fresh menus.
    void RelabelRibbon();
    // Both twins of every volume control, and their labels, from the store.
    void RefreshRibbonFromStore();
    // The two value labels of one control. `refreshStyle` selects the prefixes of
    // RefreshRibbonFromStore (the Chinese reverb prefix is padded there).
    void SetVolumeLabels(VolumeControl control, int value, bool refreshStyle);
    // What the framework's idle update did: check boxes, panes, the status bar's EQ commands.
    void UpdateCommandUI();
    // One UpdateCommandUI from the event loop, however often asked for before it runs.
    void ScheduleCommandUI();
    // How many idle updates ran (the idle check counts them).
    int CommandUiUpdates() const { return m_commandUiUpdates; }
    bool IdleUpdateTicking() const { return m_idleUpdate.isActive(); }
    void UpdateRecentFiles();

    // The frame's message pre-translation: the wheel over the ribbon and double clicks on tabs.
    bool HandleRibbonWheel(const QPoint& globalPos, int delta);

    // The question on closing with changes, in the current language. Its Yes writes the current
    // device mode as well as a file, and both languages say so.
    static QString SavePromptText();
    // The end asked for from outside (a logout, a system shutdown): no question is asked, the link
    // says goodbye and the program ends with every window.
    void QuitWithoutQuestions();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildRibbon();
    void BuildCategory(int index);
    void CreateStatusBar();
    QMenu* MakeModeMenu(int firstCommand);
    QMenu* MakeRemoteAccessMenu();
    void OnCommand(int id);
    bool ConfirmClose();

    COrvexv13App& m_app;
    COrvexv13View* m_view = nullptr;
    CMyMFCRibbonBar* m_ribbon = nullptr;
    CMyMFCRibbonStatusBarPane* m_linkPane = nullptr;
    CMyMFCRibbonStatusBarPane* m_modePane = nullptr;
    QCheckBox* m_bypass = nullptr;
    QPushButton* m_resetEq = nullptr;
    QMenu* m_recentMenu = nullptr;
    QTimer m_idleUpdate;
    bool m_closing = false;
    bool m_quitWithoutQuestions = false;
    bool m_updateScheduled = false;
    int m_commandUiUpdates = 0;
};

} // namespace orvex
