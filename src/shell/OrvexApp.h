#pragma once

#include "link/TcpTransport.h"
#include "shell/DialogTimeouts.h"
#include "shell/AppSettings.h"
#include "shell/PageContext.h"
#include "shell/ToolDialog.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <map>
#include <memory>

namespace orvex {

class CEditHistory;
class CEditHistoryDlg;
class CInfoDlg;
class CLinkEventRelay;
class CMainFrame;
class COrvexv13View;
class CSynDlg;
class CWaitDlg;
class DeviceSession;
class DeviceWatcher;
class HidBackend;
class LinkEvents;
class ParameterStore;
class SingleInstanceGuard;

// The application object: start-up and shutdown, the settings, the one parameter store and
// device link, the modeless tool dialogs and the three display services every page uses.
class CReconnector;
class CRemoteHost;

class COrvexv13App : public QObject, public DisplayServices {
    Q_OBJECT
public:
    static constexpr const char* kVersion = ORVEX_VERSION;
    static constexpr const char* kMainCaption = "Orvex " ORVEX_VERSION;

    struct Options {
        int languageOverride = -1;  // --lang: 0 or 1 for this run only
        bool singleInstance = true; // off for tests and the gallery
        bool showWindow = true;
        bool keyboardShortcuts = true;
        TcpTimings timings;               // tests shorten the link's time-outs
        DialogTimeouts dialogTimeouts;    // and the sync and wait dialogs'
        HidBackend* hidBackend = nullptr; // null: hidapi; tests pass the fake device
        bool watchDevices = true;         // udev arrival and removal of the processor
        QString connectTarget;            // --connect HOST:PORT; handed to a running editor
        // Tests without the page library: what stands in for a tool dialog nothing registered.
        std::function<CToolDialog*(int templateId, const PageContext& context)> standInToolDialog;
    };

    COrvexv13App();
    ~COrvexv13App() override;

    // Brings the program up; false ends it (a second instance, or a failure already reported).
    bool InitInstance(const Options& options);
    // Shuts the link down (used after the frame has closed).
    int ExitInstance();
    // Ends the program as a quit without questions (a terminate signal at logout or shutdown).
    void QuitWithoutQuestions();

    // ---- display services ----
    void ShowInfoMessage(const QString& text, int milliseconds) override;
    void ShowSyncDialog(const QString& text) override;
    void ShowWaitDialog(const QString& text, uint8_t kind, uint8_t value1, uint8_t value2);
    // The view ends a running sync dialog (done, host busy, removal).
    void EndSyncDialog() override;
    CInfoDlg* InfoDialog() const;
    CSynDlg* SyncDialog() const;
    CWaitDlg* WaitDialog() const override;
    void RefreshRibbonFromStore() override;
    void OpenHelpPage() override;
    // Where the help page was written out (empty until start-up has done it).
    const QString& HelpFilePath() const { return m_helpFilePath; }

    // ---- modeless tool dialogs, by template number ----
    using ToolDialogFactory = std::function<CToolDialog*(const PageContext& context)>;
    // Each tool dialog registers how it is made; a template without one is not shown (null), unless
    // the options give a stand-in.
    static void RegisterToolDialog(int templateId, ToolDialogFactory factory);
    CToolDialog* ShowToolDialog(int templateId) override;
    CToolDialog* ToolDialog(int templateId) const override;
    void DestroyToolDialog(int templateId) override;

    // ---- language ----
    // The language the program starts in: `--lang` when given, else the stored one.
    int StartLanguage() const;
    // Makes the current table available and relabels the ribbon, the open dialogs and the page.
    void ApplyLanguage();
    // The language button: flip, store, apply.
    void ToggleLanguage();

    // ---- files ----
    // The recent-file list's entry point.
    bool OpenDocumentFile(const QString& path);

    // `--connect HOST:PORT`: what the connect dialog's Connect does, with that address.
    void ConnectOnStart(const QString& address, int port);
    // The main window closed: the tool windows go with it.
    void CloseAllToolWindows();

    // ---- link ----
    // Disconnect notice, then close (shutdown and mismatches).
    void CloseLink();

    // Where the link's events enter the user interface.
    LinkEvents* LinkEventSink() const;

    AppSettings& Settings() { return *m_settings; }
    ParameterStore& Store() { return *m_store; }
    DeviceSession& Session() { return *m_session; }
    // Undo and redo of the user's edits.
    CEditHistory& History() { return *m_history; }
    // The phone remote, served from this session while the user has it on.
    CRemoteHost& RemoteHost() { return *m_remoteHost; }
    // The home-automation bridge starts again when it was on (at start-up, and when a processor
    // connects, for a room named after it).
    void ResumeHomeBridge();
    // The "Edit history" window, opened (F8, the ribbon) or brought to the front.
    void ShowEditHistory();
    // What the pages and tool windows are given.
    PageContext Context() { return {*m_session, *m_store, *m_settings, *this, m_history.get()}; }
    // Reopens a dropped network link at the last address (see CReconnector).
    CReconnector& Reconnector() { return *m_reconnector; }
    // A network link went down without the user asking: retry when the option is on.
    void StartReconnecting();
    // Retrying ends (a connect or disconnect of the user's, a USB processor): an attempt under way is
    // cancelled and edits kept for the reopened link are forgotten.
    void StopReconnecting();
    // A network attempt opened its link: the connected sequence runs, unless the host refused the
    // editor or the link went already (then retrying starts).
    void OnTcpLinkOpened();
    CMainFrame* MainFrame() const;
    COrvexv13View* View() const override;
    // The view makes itself known while it is being created (the frame holds it only afterwards).
    void AttachView(COrvexv13View* view);

    // The shortcuts, acted on at key-up. True when the key is consumed.
    bool HandleKeyRelease(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat);

    // Where a key would land: nowhere (a modal dialog or a text field has it), the main window,
    // or another window of the editor (only F7 acts there).
    enum class KeyScope { None, MainWindow, OtherWindow };
    KeyScope CurrentKeyScope() const;

signals:
    // Every text ShowInfoMessage puts up, as it is shown.
    void infoMessageShown(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ExtractHelpFile();
    bool RaiseMainWindow();
    bool LeftCtrlHeld(Qt::KeyboardModifiers modifiers) const;
    // What the Ctrl keys' own events told is forgotten when the keyboard may go elsewhere (the main
    // window loses activation, a modal dialog opens): their release may never come back here.
    void ForgetCtrlKeys();

    std::unique_ptr<AppSettings> m_settings;
    std::unique_ptr<ParameterStore> m_store;
    std::unique_ptr<CLinkEventRelay> m_relay;
    std::unique_ptr<DeviceSession> m_session;
    std::unique_ptr<CReconnector> m_reconnector;
    std::unique_ptr<CEditHistory> m_history;
    std::unique_ptr<CRemoteHost> m_remoteHost;
    QPointer<CEditHistoryDlg> m_historyDlg;
    // A link event came while a network attempt was under way (see OnTcpLinkOpened).
    bool m_linkDroppedEarly = false;
    std::unique_ptr<DeviceWatcher> m_watcher;
    std::unique_ptr<SingleInstanceGuard> m_guard;
    QPointer<CMainFrame> m_frame;
    QPointer<COrvexv13View> m_view;
    std::map<int, QPointer<CToolDialog>> m_toolDialogs;
    QPointer<CInfoDlg> m_infoDlg;
    QPointer<CSynDlg> m_synDlg;
    QPointer<CWaitDlg> m_waitDlg;
    bool m_leftCtrlDown = false;
    bool m_rightCtrlDown = false;
    // Keys now down, and whether the left Ctrl was held when each went down.
    std::map<int, bool> m_keysDownWithLeftCtrl;
    Options m_options;
    QString m_helpFilePath;
};

} // namespace orvex
