#include "shell/OrvexApp.h"

#include "link/StoreRestore.h"
#include "shell/EditHistory.h"
#include "shell/EditHistoryDlg.h"

#include "widgets/WheelFocusGuard.h"
#include "link/DebugSink.h"
#include "link/DeviceWatcher.h"
#include "model/ParameterStore.h"
#include "shell/DialogIP.h"
#include "shell/HomeAutomationDlg.h"
#include "shell/PhoneRemoteDlg.h"
#include "shell/RemoteHost.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/ConnectReportSink.h"
#include "shell/InfoDlg.h"
#include "shell/Language.h"
#include "shell/LinkEventRelay.h"
#include "shell/MainFrame.h"
#include "shell/MessageBoxes.h"
#include "shell/OrvexView.h"
#include "shell/Reconnector.h"
#include "shell/Page.h"
#include "shell/Relabel.h"
#include "shell/SingleInstanceGuard.h"
#include "shell/SynDlg.h"
#include "shell/ToolDialog.h"
#include "shell/WaitDlg.h"
#include "shell/IpAddressCtrl.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <utility>

// Resources of a static library are registered by name from outside any namespace.
static void InitOrvexResources() {
    Q_INIT_RESOURCE(orvex);
}

namespace orvex {

namespace {
std::map<int, COrvexv13App::ToolDialogFactory>& ToolDialogFactories() {
    static std::map<int, COrvexv13App::ToolDialogFactory> factories;
    return factories;
}

constexpr int kInfoMs = 1100;
constexpr quint32 kXkControlR = 0xffe4;

void CentreOnScreen(QWidget* widget) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    widget->adjustSize();
    const QRect area = screen->availableGeometry();
    widget->move(area.center() - QPoint(widget->width() / 2, widget->height() / 2));
}
} // namespace

COrvexv13App::COrvexv13App() {
    InitOrvexResources();
    // The window system matches the window to its desktop entry (name and icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvex.Orvex"));
    m_settings = std::make_unique<AppSettings>();
    m_store = std::make_unique<ParameterStore>();
}

COrvexv13App::~COrvexv13App() {
    qApp->removeEventFilter(this);
    // The phones' server first: its writes need the session and the store.
    m_remoteHost.reset();
    m_watcher.reset();
    m_reconnector.reset();
    if (m_session)
        m_session->Shutdown();
    for (auto& [id, dialog] : m_toolDialogs)
        delete dialog.data();
    delete m_infoDlg.data();
    delete m_frame.data();
    m_session.reset();
    m_relay.reset();
}

int COrvexv13App::StartLanguage() const {
    if (m_options.languageOverride == kLanguageChinese || m_options.languageOverride == kLanguageEnglish)
        return m_options.languageOverride;
    return m_settings->Language();
}

CMainFrame* COrvexv13App::MainFrame() const {
    return m_frame;
}

COrvexv13View* COrvexv13App::View() const {
    return m_view;
}

LinkEvents* COrvexv13App::LinkEventSink() const {
    return m_relay.get();
}

void COrvexv13App::AttachView(COrvexv13View* view) {
    m_view = view;
}

bool COrvexv13App::InitInstance(const Options& options) {
    m_options = options;
    QGuiApplication::setApplicationDisplayName(QString());

    if (options.singleInstance) {
        m_guard = std::make_unique<SingleInstanceGuard>();
        m_guard->SetRaiseHandler([this] { return RaiseMainWindow(); });
        m_guard->SetConnectHandler([this](const QString& host, int port) { ConnectOnStart(host, port); });
        switch (m_guard->Acquire(options.connectTarget)) {
        case SingleInstanceGuard::Outcome::First:
            break;
        case SingleInstanceGuard::Outcome::RaisedOther:
            return false;
        case SingleInstanceGuard::Outcome::OtherNoWindow:
            ShowInformationBox(nullptr,
                               Tr2("已有一个实例在运行，但找不到它的主窗口！",
                                   "Another instance is running, but its main window cannot be found!"),
                               QString());
            return false;
        case SingleInstanceGuard::Outcome::CannotCreate:
            ShowInformationBox(
                nullptr,
                Tr2("创建信标对象失败，程序退出！", "Cannot create the single-instance marker; the program ends!"),
                QString());
            return false;
        }
    }

    RegisterToolDialog(tmpl::ConnectIp, [this](const PageContext&) { return new CDialogIP(*this); });

    m_relay = std::make_unique<CLinkEventRelay>([this] { return View(); });
    m_session = std::make_unique<DeviceSession>(*m_store, m_relay.get(), std::make_unique<ConnectReportSink>(),
                                                options.timings, options.hidBackend);
    m_reconnector = std::make_unique<CReconnector>([this](const QString& address, uint16_t port) {
        DeviceSession& session = *m_session;
        if (session.IsConnected() && !session.IsNetwork()) {
            m_reconnector->AttemptFinished(true); // a processor on USB took over meanwhile
            return;
        }
        if (m_view)
            m_view->ForgetHostBusy();
        if (m_frame)
            m_frame->ScheduleCommandUI(); // the countdown gives way to "reconnecting"
        session.StartTcpConnect(address.toStdString(), port, [this](ConnectResult result) {
            if (!m_reconnector)
                return; // shutting down
            m_reconnector->AttemptFinished(result.ok);
            // The link pane goes from "reconnecting" to the next countdown or to the new link.
            if (m_frame)
                m_frame->ScheduleCommandUI();
            if (!result)
                return;
            OnTcpLinkOpened();
        });
    });
    if (options.watchDevices) {
        CLinkEventRelay* relay = m_relay.get();
        m_watcher = std::make_unique<DeviceWatcher>(
            [relay](UsbDeviceChange change, const std::string& path) { relay->OnUsbDeviceChange(change, path); });
        // Without udev (a container, say) the processor is found only by the start-up probe.
        if (!m_watcher->Start())
            m_watcher.reset();
    }

    if (options.keyboardShortcuts)
        qApp->installEventFilter(this);
    CWheelFocusGuard::Install();

    // Every edit is undone through the setters a hand edit uses; the pages then draw the store.
    m_history = std::make_unique<CEditHistory>(*m_store, [this](const std::vector<StoreUnitValue>& values) {
        RestoreStoreUnits(values, *m_store, m_session->Commands(), m_session->Eq());
    });
    connect(m_history.get(), &CEditHistory::StoreRestored, this, [this] {
        if (m_view)
            m_view->RefreshAllViews();
    });
    connect(m_history.get(), &CEditHistory::Changed, this, [this] {
        if (m_frame)
            m_frame->ScheduleCommandUI();
    });

    m_remoteHost = std::make_unique<CRemoteHost>(*this);
    RegisterToolDialog(tmpl::PhoneRemote,
                       [this](const PageContext&) { return new CPhoneRemoteDlg(*m_remoteHost, *m_settings); });
    RegisterToolDialog(tmpl::HomeAutomation,
                       [this](const PageContext&) { return new CHomeAutomationDlg(*m_remoteHost, *m_settings); });

    // The frame creates the view (which resets the store and reads the language) before it
    // builds the ribbon in that language.
    m_frame = new CMainFrame(*this);
    m_frame->setWindowTitle(QString::fromUtf8(kMainCaption));
    m_frame->setWindowIcon(QIcon(QStringLiteral(":/icons/orvex.svg")));
    ExtractHelpFile();
    // Last of the application's filters, so that it sees every press and key before they act.
    m_history->Watch();
    if (options.showWindow)
        m_frame->show();
    ResumeHomeBridge();
    QString host;
    int port = 0;
    if (SingleInstanceGuard::ParseConnectTarget(options.connectTarget, host, port))
        QTimer::singleShot(0, this, [this, host, port] { ConnectOnStart(host, port); });
    return true;
}

int COrvexv13App::ExitInstance() {
    if (m_remoteHost)
        m_remoteHost->Stop();
    m_watcher.reset();
    if (m_session)
        m_session->Shutdown();
    return 0;
}

void COrvexv13App::QuitWithoutQuestions() {
    if (m_frame)
        m_frame->QuitWithoutQuestions();
    else
        QCoreApplication::quit();
}

bool COrvexv13App::RaiseMainWindow() {
    if (!m_frame)
        return false;
    if (m_frame->isMinimized())
        m_frame->showNormal();
    m_frame->show();
    m_frame->raise();
    m_frame->activateWindow();
    return true;
}

// ---- help ------------------------------------------------------------------------------------------

void COrvexv13App::ExtractHelpFile() {
    const QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    m_helpFilePath = base + QStringLiteral("/Farol/Plug.html");
    if (QFileInfo::exists(m_helpFilePath))
        return;
    QDir().mkpath(base + QStringLiteral("/Farol"));
    QFile source(QStringLiteral(":/help/Plug.html"));
    QFile target(m_helpFilePath);
    // A failure is silent: the help button then finds no file.
    if (source.open(QIODevice::ReadOnly) && target.open(QIODevice::WriteOnly))
        target.write(source.readAll());
}

void COrvexv13App::OpenHelpPage() {
    if (!m_helpFilePath.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(m_helpFilePath));
}

// ---- display services ------------------------------------------------------------------------------

void COrvexv13App::ShowInfoMessage(const QString& text, int milliseconds) {
    if (!m_infoDlg) {
        m_infoDlg = new CInfoDlg(nullptr);
        CentreOnScreen(m_infoDlg);
    }
    m_infoDlg->show();
    m_infoDlg->raise();
    m_infoDlg->ShowMessage(text, milliseconds);
    emit infoMessageShown(text);
}

CInfoDlg* COrvexv13App::InfoDialog() const {
    return m_infoDlg;
}
CSynDlg* COrvexv13App::SyncDialog() const {
    return m_synDlg;
}
CWaitDlg* COrvexv13App::WaitDialog() const {
    return m_waitDlg;
}

void COrvexv13App::RefreshRibbonFromStore() {
    if (m_frame)
        m_frame->RefreshRibbonFromStore();
}

void COrvexv13App::ShowSyncDialog(const QString& text) {
    if (m_synDlg) {
        m_synDlg->show();
        return;
    }
    CSynDlg dialog(text, m_frame, m_options.dialogTimeouts.syncMs);
    m_synDlg = &dialog;
    const int result = dialog.exec();
    m_synDlg = nullptr;
    if (result != CSynDlg::kTimedOut)
        return;
    ShowErrorBox(m_frame, Tr2("发生错误，与设备数据同步超时……", "Error: synchronising with the processor timed out…"),
                 Tr2("错误", "Error"));
    // No disconnect notice: the processor is not answering anyway.
    m_session->DropTcpWithoutNotice();
}

void COrvexv13App::EndSyncDialog() {
    if (m_synDlg)
        m_synDlg->EndFromOutside();
}

void COrvexv13App::ShowWaitDialog(const QString& text, uint8_t kind, uint8_t value1, uint8_t value2) {
    if (m_waitDlg) {
        m_waitDlg->RestartTimers();
        return;
    }
    CWaitDlg dialog(text, kind, value1, value2, m_frame, m_options.dialogTimeouts);
    dialog.SetAbortHandler([this](uint8_t abortedKind, uint8_t, uint8_t abortedValue2) {
        m_session->AbortZWaveOperation(abortedKind);
        // An aborted key learning (a remote-key command as the plug value) is not learnt.
        if (abortedKind == CWaitDlg::kKindPlugSetting && abortedValue2 >= 192) {
            if (CToolDialog* plugs = ToolDialog(tmpl::SmartPlug))
                plugs->OnKeyLearningAborted();
        }
    });
    dialog.SetTimeoutNotice(
        [this] { ShowInfoMessage(Tr2("发生错误，操作超时……", "Error: the operation timed out…"), kInfoMs); });
    m_waitDlg = &dialog;
    dialog.exec();
    m_waitDlg = nullptr;
}

// ---- modeless tool dialogs -------------------------------------------------------------------------

void COrvexv13App::RegisterToolDialog(int templateId, ToolDialogFactory factory) {
    ToolDialogFactories()[templateId] = std::move(factory);
}

CToolDialog* COrvexv13App::ToolDialog(int templateId) const {
    const auto it = m_toolDialogs.find(templateId);
    return it != m_toolDialogs.end() ? it->second.data() : nullptr;
}

CToolDialog* COrvexv13App::ShowToolDialog(int templateId) {
    QPointer<CToolDialog>& slot = m_toolDialogs[templateId];
    if (!slot) {
        const auto factory = ToolDialogFactories().find(templateId);
        if (factory != ToolDialogFactories().end() && factory->second)
            slot = factory->second(Context());
        else if (m_options.standInToolDialog)
            slot = m_options.standInToolDialog(templateId, Context());
        if (!slot)
            return nullptr;
        CentreOnScreen(slot);
    }
    CToolDialog* dialog = slot;
    dialog->RefreshFromStore();
    dialog->Relabel();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

void COrvexv13App::DestroyToolDialog(int templateId) {
    const auto it = m_toolDialogs.find(templateId);
    if (it == m_toolDialogs.end())
        return;
    QPointer<CToolDialog> dialog = it->second;
    m_toolDialogs.erase(it);
    // The smart-plug window closes through its own operation, which also restores polling.
    if (dialog)
        dialog->CloseDialog();
}

// ---- language --------------------------------------------------------------------------------------

void COrvexv13App::ApplyLanguage() {
    const bool tableReady = LoadEmbeddedLabelTable(UiLanguageIndex());
    if (m_frame)
        m_frame->RelabelRibbon();
    if (!tableReady)
        return;
    // Open tool dialogs, in this order; the rest are relabelled when next shown.
    for (int t : {tmpl::MachineSettings, tmpl::MusicInput, tmpl::Remote, tmpl::SmartPlug, tmpl::Features,
                  tmpl::ConnectIp, tmpl::PhoneRemote, tmpl::HomeAutomation}) {
        if (CToolDialog* dialog = ToolDialog(t))
            dialog->Relabel();
    }
    if (COrvexv13View* view = View()) {
        if (CPage* page = view->CurrentPage())
            page->Relabel();
    }
}

void COrvexv13App::ToggleLanguage() {
    SetLanguageIndex(1 - UiLanguageIndex());
    m_settings->SetLanguage(UiLanguageIndex());
    ApplyLanguage();
    if (m_frame)
        m_frame->UpdateCommandUI();
}

// ---- files and link --------------------------------------------------------------------------------

bool COrvexv13App::OpenDocumentFile(const QString& path) {
    if (!QFileInfo::exists(path)) {
        ShowInformationBox(m_frame, Tr2("文件不存在！", "The file does not exist!"),
                           Tr2("文件打开错误", "Cannot open file"));
        return false;
    }
    if (QFileInfo(path).suffix().compare(QStringLiteral("kvom"), Qt::CaseInsensitive) != 0)
        return false;
    if (!m_session->IsConnected() || !View())
        return false;
    return View()->LoadModeFileAndWrite(path, false);
}

void COrvexv13App::ConnectOnStart(const QString& address, int port) {
    auto* dialog = qobject_cast<CDialogIP*>(ShowToolDialog(tmpl::ConnectIp));
    if (!dialog)
        return;
    if (!dialog->AddressCtrl()->SetAddress(address)) {
        DebugOut("--connect needs a dotted IPv4 address\n");
        return;
    }
    dialog->SetPort(port);
    dialog->Connect();
}

void COrvexv13App::ResumeHomeBridge() {
    if (!m_settings->HomeBridgeOn() || m_remoteHost->BridgeRunning())
        return;
    // Without a room name the bridge waits for the processor's: a later connection tries again. A
    // failure shows in the window when the user opens it.
    const HomeBridgeConfig config{m_settings->HomeBroker(), m_settings->HomeRoom(), m_settings->HomeUser(),
                                  m_settings->HomePasswordFile()};
    m_remoteHost->StartBridge(config);
}

void COrvexv13App::ShowEditHistory() {
    if (!m_historyDlg) {
        m_historyDlg = new CEditHistoryDlg(*m_history, m_frame);
        m_historyDlg->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_historyDlg->Reload();
    m_historyDlg->show();
    m_historyDlg->raise();
    m_historyDlg->activateWindow();
}

void COrvexv13App::CloseAllToolWindows() {
    for (auto& [id, dialog] : m_toolDialogs) {
        if (dialog)
            dialog->close();
    }
    if (m_infoDlg)
        m_infoDlg->close();
}

void COrvexv13App::CloseLink() {
    // A deliberate close (the user's disconnect, a refused processor, shutting down) ends retrying.
    StopReconnecting();
    if (m_session)
        m_session->CloseLink();
}

void COrvexv13App::OnTcpLinkOpened() {
    // The new link's own events (a busy answer, a drop) can overtake the attempt's report; they
    // could not retry while it was still under way, so that happens now. A drop whose event is still
    // to come ends the synchronisation dialog when it comes.
    const bool droppedEarly = std::exchange(m_linkDroppedEarly, false);
    if ((m_view && m_view->HostBusy()) || (droppedEarly && !m_session->IsConnected())) {
        StartReconnecting();
        return;
    }
    // What was edited while the link was down is taken out before read-all overwrites it.
    m_session->OfflineChanges().Collect(*m_store);
    // A reopened link is read in full, exactly as after a first connect.
    if (m_view)
        m_view->OnDeviceConnected();
}

void COrvexv13App::StopReconnecting() {
    if (m_reconnector && m_reconnector->IsAttempting())
        m_session->CancelTcpConnect();
    if (m_reconnector)
        m_reconnector->Stop();
    m_linkDroppedEarly = false;
    // Edits made meanwhile are the user's to send again: no question follows a link nobody reopened.
    if (m_session)
        m_session->OfflineChanges().Clear();
}

void COrvexv13App::StartReconnecting() {
    // A link the user is closing is not brought back; while an attempt is under way, the attempt's
    // report decides (the event may be the new link's own, overtaking that report).
    if (m_session->IsClosing() || m_session->IsConnecting()) {
        m_linkDroppedEarly = m_session->IsConnecting();
        if (m_frame)
            m_frame->UpdateCommandUI();
        return;
    }
    if (m_reconnector && m_settings->AutoReconnect()) {
        m_reconnector->Start();
        if (m_reconnector->IsActive())
            m_session->OfflineChanges().Track(*m_store);
    }
    if (m_frame)
        m_frame->UpdateCommandUI(); // the countdown shows at once
}

// ---- keyboard --------------------------------------------------------------------------------------

bool COrvexv13App::LeftCtrlHeld(Qt::KeyboardModifiers modifiers) const {
    // The event's own modifiers say whether a Ctrl is down at all; a Ctrl press seen earlier whose
    // release went to another window must not make a plain key a Ctrl key. Qt reports "a" Ctrl:
    // the key events of the Ctrl keys themselves tell left from right. Synthesised events carry no
    // native key, so a Ctrl without a known right Ctrl counts as the left one.
    if (!(modifiers & Qt::ControlModifier))
        return false;
    return m_leftCtrlDown || !m_rightCtrlDown;
}

void COrvexv13App::ForgetCtrlKeys() {
    m_leftCtrlDown = false;
    m_rightCtrlDown = false;
    m_keysDownWithLeftCtrl.clear();
}

namespace {
// A widget that takes typed text (an item view's cell editor is one of these too): letters and
// digits typed there are text, never shortcuts.
bool TakesText(const QWidget* widget) {
    return qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QComboBox*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
           qobject_cast<const QPlainTextEdit*>(widget);
}
} // namespace

COrvexv13App::KeyScope COrvexv13App::CurrentKeyScope() const {
    // A modal dialog (a file dialog, a question) owns the keyboard; so does any field being typed in.
    if (QApplication::activeModalWidget() || TakesText(QApplication::focusWidget()))
        return KeyScope::None;
    // The transient notice has nothing to type into; the keys that raised it go on working there.
    const QWidget* active = QApplication::activeWindow();
    if (m_frame && active && (active == m_frame || active == m_infoDlg))
        return KeyScope::MainWindow;
    return KeyScope::OtherWindow;
}

bool COrvexv13App::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if ((type == QEvent::WindowDeactivate && watched == m_frame.data()) ||
        (type == QEvent::Show && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow() &&
         static_cast<QWidget*>(watched)->isModal()))
        ForgetCtrlKeys();
    // Every key reaches the application's window object first; reacting there sees each
    // keystroke once, whatever widget has the focus.
    if ((type == QEvent::KeyPress || type == QEvent::KeyRelease) && watched->isWindowType()) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Control) {
            const bool right = key->nativeVirtualKey() == kXkControlR;
            (right ? m_rightCtrlDown : m_leftCtrlDown) = type == QEvent::KeyPress;
        } else if (type == QEvent::KeyRelease) {
            if (HandleKeyRelease(key->key(), key->modifiers(), key->isAutoRepeat()))
                return true;
        } else if (type == QEvent::KeyPress && !key->isAutoRepeat()) {
            // The shortcuts act at key-up, but a quick hand (or a key sender) lets go of Ctrl before
            // the digit: what counts is whether Ctrl was down when the key went down.
            m_keysDownWithLeftCtrl[key->key()] = LeftCtrlHeld(key->modifiers());
        } else if (type == QEvent::KeyPress && key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F4 && m_frame &&
                   CurrentKeyScope() == KeyScope::MainWindow && m_session->IsConnected() && !m_synDlg &&
                   !ToolDialog(tmpl::SmartPlug)) {
            return true; // acted on at key-up
        }
    }
    return QObject::eventFilter(watched, event);
}

bool COrvexv13App::HandleKeyRelease(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat) {
    COrvexv13View* view = View();
    if (!view || autoRepeat)
        return false;
    const KeyScope scope = CurrentKeyScope();
    if (scope == KeyScope::None)
        return false;
    bool ctrlAtPress = false;
    if (const auto it = m_keysDownWithLeftCtrl.find(key); it != m_keysDownWithLeftCtrl.end()) {
        ctrlAtPress = it->second;
        m_keysDownWithLeftCtrl.erase(it);
    }
    const bool leftCtrl = LeftCtrlHeld(modifiers) || ctrlAtPress;

    // The machine settings may be opened from a tool window too; the keys that change the
    // processor act only on the main window.
    if (key == Qt::Key_F8) {
        ShowEditHistory();
        return true;
    }
    if (key == Qt::Key_F7) {
        if (m_synDlg)
            return false;
        // An open window comes to the front as it is: reloading it would drop the unapplied edits.
        if (CToolDialog* open = ToolDialog(tmpl::MachineSettings); open && open->isVisible()) {
            if (open->isMinimized())
                open->showNormal();
            open->raise();
            open->activateWindow();
        } else {
            ShowToolDialog(tmpl::MachineSettings);
        }
        return true;
    }
    if (scope != KeyScope::MainWindow)
        return false;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F4) {
        if (!m_session->IsConnected() || m_synDlg || ToolDialog(tmpl::SmartPlug))
            return false;
        const int n = key - Qt::Key_F1 + 1;
        if (leftCtrl)
            view->SaveDeviceMode(n, true);
        else
            view->LoadDeviceMode(n);
        return true;
    }
    if (leftCtrl && key >= Qt::Key_0 && key <= Qt::Key_9) {
        if (CPage* page = view->CurrentPage())
            page->SelectEqBand(key == Qt::Key_0 ? 10 : key - Qt::Key_0);
        return false;
    }

    struct VolumeKey {
        int up, down;
        VolumeControl control;
    };
    static constexpr VolumeKey kVolumeKeys[] = {{Qt::Key_Q, Qt::Key_A, VolumeControl::Music},
                                                {Qt::Key_W, Qt::Key_S, VolumeControl::Mic},
                                                {Qt::Key_E, Qt::Key_D, VolumeControl::Echo},
                                                {Qt::Key_R, Qt::Key_F, VolumeControl::Reverb}};
    for (const VolumeKey& v : kVolumeKeys) {
        if (key != v.up && key != v.down)
            continue;
        // Ctrl+S is Save As: its key-up must not turn the mic down as well.
        if (key == Qt::Key_S && (leftCtrl || (modifiers & Qt::ControlModifier)))
            return false;
        const int current = m_store->Get(Info(v.control).field);
        const int step = leftCtrl ? 1 : (current < 50 ? 5 : 2);
        view->StepVolume(v.control, key == v.up ? step : -step);
        return false;
    }

    struct MuteKey {
        int key;
        MuteControl control;
        const char* zh;
        const char* en;
    };
    static constexpr MuteKey kMuteKeys[] = {{Qt::Key_Z, MuteControl::Music, "音乐已静音", "Music Muted"},
                                            {Qt::Key_X, MuteControl::Mic, "话筒已静音", "Mic Muted"},
                                            {Qt::Key_C, MuteControl::Echo, "回声已静音", "Echo muted"},
                                            {Qt::Key_V, MuteControl::Reverb, "混响已静音", "Reverb muted"}};
    for (const MuteKey& m : kMuteKeys) {
        if (key != m.key)
            continue;
        view->OnMuteCommand(m.control);
        if (m_store->Get(Info(m.control).field) != 0)
            ShowInfoMessage(Tr2(m.zh, m.en), kInfoMs);
        return false;
    }
    if (key == Qt::Key_P)
        view->ToggleEqBypass();
    return false;
}

} // namespace orvex
