#include "shell/OrvexView.h"

#include "shell/EditHistory.h"

#include "link/DebugSink.h"
#include "model/ModeFile.h"
#include "model/ParameterStore.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/MainFrame.h"
#include "shell/MessageBoxes.h"
#include "shell/OrvexApp.h"
#include "shell/PageFactory.h"
#include "shell/Reconnector.h"
#include "shell/RibbonBar.h"
#include "shell/RibbonStepSlider.h"
#include "shell/SynDlg.h"
#include "shell/Theme.h"
#include "shell/ToolDialog.h"
#include "shell/WaitDlg.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QResizeEvent>
#include <QSystemTrayIcon>

#include <algorithm>
#include <utility>

namespace orvex {

namespace {
constexpr int kTimer1Ms = 250;
constexpr int kLevelPollMs = 500;
constexpr int kInfoMs = 1100;
// OnSyncDone's argument: which sequence ended (DeviceSession's StartReadSync / StartWriteSync).
constexpr uint32_t kWriteAllDone = 1;

// After a save into a device memory the processor is busy storing it: the menu's notice comes after
// this pause, and after a keyboard save no level request goes out for the longer one.
constexpr int kSaveNoticeDelayMs = 500;
constexpr int kKeyboardSaveQuietMs = 1500;
// Once read-all has been shown, the processor is left alone this long before the next level request.
constexpr int kAfterSyncQuietMs = 150;
} // namespace

COrvexv13View::COrvexv13View(COrvexv13App& app, QWidget* parent) : QWidget(parent), m_app(app) {
    UsePageBackground(this);
    setMinimumSize(200, 200);

    // Creation, in the order the rest of start-up relies on.
    m_app.AttachView(this);
    m_app.Store().ResetStoreDefaults();
    SetLanguageIndex(m_app.StartLanguage());
    m_pageRect = QRect(0, 0, kMinPageWidth, kMinPageHeight);
    SwitchToPage(PageKind::Music);
    m_app.ApplyLanguage(); // no ribbon yet: only the page is relabelled

    m_timer1.setSingleShot(true);
    connect(&m_timer1, &QTimer::timeout, this, &COrvexv13View::OnTimer1);
    m_timer1.start(kTimer1Ms);
    connect(&m_timer3, &QTimer::timeout, this, &COrvexv13View::OnTimer3);
    m_timer5.setSingleShot(true);
    connect(&m_timer5, &QTimer::timeout, this, &COrvexv13View::OnTimer5);
    m_timer990.setSingleShot(true);
    connect(&m_timer990, &QTimer::timeout, this, &COrvexv13View::HideBalloon);
}

COrvexv13View::~COrvexv13View() {
    if (m_tray)
        m_tray->hide();
}

CMainFrame* COrvexv13View::Frame() const {
    return m_app.MainFrame();
}

// ---- pages ----------------------------------------------------------------------------------------

void COrvexv13View::SwitchToPage(PageKind kind, int channel) {
    if (kind == PageKind::Output && channel >= 0)
        m_outputChannel = std::clamp(channel, 0, 7);
    ShowPage(kind, kind == PageKind::Output ? m_outputChannel : channel);
}

void COrvexv13View::ShowPage(PageKind kind, int argument) {
    const int efxKind = std::clamp(argument, 0, 3);
    if (m_currentPage && m_currentPage->Kind() == kind) {
        if (kind == PageKind::Output) {
            m_currentPage->SetOutputChannel(argument);
        } else if (kind == PageKind::Music) {
            m_currentPage->SetChannelView(m_channelView);
            m_currentPage->RefreshFromStore();
        } else if (kind == PageKind::Efx) {
            // The kind asked for replaces the one shown (the page reloads itself).
            m_currentPage->SetEfxKind(efxKind);
        }
        return;
    }
    if (m_currentPage) {
        CPage* old = m_currentPage;
        m_currentPage = nullptr;
        old->hide();
        delete old;
    }
    CPage* page = CreatePage(kind, m_app.Context(), this);
    if (!page)
        return;
    if (kind == PageKind::Output)
        page->SetOutputChannel(argument);
    else if (kind == PageKind::Music)
        page->SetChannelView(m_channelView);
    else if (kind == PageKind::Efx)
        page->SetEfxKind(efxKind);
    connect(page, &CPage::pageRequested, this, [this, from = kind](PageKind next, int nextChannel) {
        // Only an output page's own channel buttons move the application-wide channel; a channel button
        // of the delay, compressor or surround page opens that channel and leaves it as it was.
        if (next == PageKind::Output && from != PageKind::Output && nextChannel >= 0)
            ShowPage(next, std::clamp(nextChannel, 0, 7));
        else
            SwitchToPage(next, nextChannel);
    });
    connect(page, &CPage::channelViewChanged, this, [this](int view) { m_channelView = std::clamp(view, 0, 2); });
    m_currentPage = page;
    page->Relabel();
    page->RefreshFromStore();
    PlacePage();
    page->show();
}

void COrvexv13View::OnCategoryChanged(RibbonCategoryId category) {
    // A change of category always comes back to mic channel A.
    m_channelView = 0;
    if (category == RibbonCategoryId::Output)
        SwitchToPage(PageKind::Output);
    else
        SwitchToPage(PageKind::Music);
    if (Frame())
        Frame()->RefreshRibbonFromStore();
}

void COrvexv13View::PlacePage() {
    if (m_currentPage)
        m_currentPage->setGeometry(m_pageRect);
}

void COrvexv13View::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_pageRect = QRect(0, 0, std::max(width(), kMinPageWidth), std::max(height(), kMinPageHeight));
    PlacePage();
    if (m_notice && m_notice->isVisible())
        m_notice->move(width() - m_notice->width() - 16, 12);
}

// ---- commands -------------------------------------------------------------------------------------

bool COrvexv13View::OnCommand(int id) {
    for (const VolumeControlInfo& v : kVolumeControls) {
        if (id == v.sliderInput || id == v.sliderOutput) {
            OnVolumeCommand(v.control);
            return true;
        }
        if (id == v.labelInput || id == v.labelOutput)
            return true; // the value labels only show the value
    }
    for (const MuteControlInfo& m : kMuteControls) {
        if (id == m.checkInput || id == m.checkOutput) {
            OnMuteCommand(m.control);
            return true;
        }
    }
    if (id >= cmd::LoadMode1 && id < cmd::LoadMode1 + 4) {
        LoadDeviceMode(id - cmd::LoadMode1 + 1);
        return true;
    }
    if (id >= cmd::SaveMode1 && id < cmd::SaveMode1 + 4) {
        SaveDeviceMode(id - cmd::SaveMode1 + 1);
        return true;
    }
    switch (id) {
    case cmd::FileOpen:
    case cmd::LoadFileIn:
    case cmd::LoadFileOut:
        OnFileOpen();
        return true;
    case cmd::FileSave:
    case cmd::SaveFileIn:
    case cmd::SaveFileOut:
        OnFileSave();
        return true;
    case cmd::Reset:
        MachineReset();
        return true;
    case cmd::EqBypass:
        ToggleEqBypass();
        return true;
    case cmd::EqReset:
        ResetPageEq();
        return true;
    case cmd::Features:
        m_app.ShowToolDialog(tmpl::Features);
        return true;
    case cmd::ConnectIp:
        m_app.ShowToolDialog(tmpl::ConnectIp);
        return true;
    case cmd::PhoneRemote:
        m_app.ShowToolDialog(tmpl::PhoneRemote);
        return true;
    case cmd::HomeAutomation:
        m_app.ShowToolDialog(tmpl::HomeAutomation);
        return true;
    case cmd::InputSource:
        m_app.ShowToolDialog(tmpl::MusicInput);
        return true;
    case cmd::Remote:
        if (m_app.Session().IsConnected())
            m_app.ShowToolDialog(tmpl::Remote);
        return true;
    case cmd::SmartPlug:
        if (!m_app.Session().IsConnected())
            m_app.ShowInfoMessage(Tr2("请先连接机器", "Please connect device"), kInfoMs);
        m_app.Session().State().pollEnabled.store(0);
        m_app.ShowToolDialog(tmpl::SmartPlug);
        return true;
    case cmd::Language:
        m_app.ToggleLanguage();
        return true;
    case cmd::LoadModeIn:
    case cmd::LoadModeOut:
    case cmd::SaveModeIn:
    case cmd::SaveModeOut:
    case cmd::StatusLink:
        return true; // the split buttons act only through their menus
    default:
        return false;
    }
}

// ---- volumes and mutes ----------------------------------------------------------------------------

void COrvexv13View::OnVolumeCommand(VolumeControl control) {
    CMainFrame* frame = Frame();
    if (!frame || !frame->Ribbon())
        return;
    const VolumeControlInfo& info = Info(control);
    CMyMFCRibbonBar* ribbon = frame->Ribbon();
    auto* sliderIn = ribbon->FindByID<CMFCRibbonStepSlider>(info.sliderInput);
    auto* sliderOut = ribbon->FindByID<CMFCRibbonStepSlider>(info.sliderOutput);
    if (!sliderIn || !sliderOut)
        return;
    const bool outputActive = frame->ActiveCategory() == RibbonCategoryId::Output;
    int value = outputActive ? sliderOut->value() : sliderIn->value();

    ParameterStore& store = m_app.Store();
    if (control == VolumeControl::Mic || control == VolumeControl::Music) {
        const auto settings = store.CommittedMachineSettings();
        const int limit = settings[control == VolumeControl::Mic ? kMaxMicVolumeByte : kMaxMusicVolumeByte];
        if (value > limit) {
            m_app.ShowInfoMessage(control == VolumeControl::Mic
                                      ? Tr2("不能超过最大话筒音量!", "Mic vol can't over max value!")
                                      : Tr2("不能超过最大音乐音量!", "Music vol can't over max value!"),
                                  kInfoMs);
            value = limit;
        }
    }
    sliderIn->SetPos(value);
    sliderOut->SetPos(value);
    SetVolume(m_app.Session().Commands(), control, value);
    if (info.hasMute && store.Get(Info(info.mute).field) != 0)
        m_app.ShowInfoMessage(Tr2("当前是静音状态", "vol is mute"), kInfoMs);
    frame->SetVolumeLabels(control, value, false);
}

void COrvexv13View::OnMuteCommand(MuteControl control) {
    const bool muted = m_app.Store().Get(Info(control).field) != 0;
    SetMute(m_app.Session().Commands(), control, !muted);
    if (Frame())
        Frame()->UpdateCommandUI();
}

void COrvexv13View::StepVolume(VolumeControl control, int delta) {
    CMainFrame* frame = Frame();
    if (!frame || !frame->Ribbon())
        return;
    const VolumeControlInfo& info = Info(control);
    for (int id : {info.sliderInput, info.sliderOutput}) {
        if (auto* slider = frame->Ribbon()->FindByID<CMFCRibbonStepSlider>(id))
            slider->SetPos(std::clamp(slider->value() + delta, slider->minimum(), slider->maximum()));
    }
    OnVolumeCommand(control);
}

// ---- link events ----------------------------------------------------------------------------------

void COrvexv13View::OnDeviceConnected(bool usbArrival) {
    // A busy answer belongs to the link it came on; a new link starts with the question open.
    m_hostBusy = false;
    ShowBalloon(Tr2("设备已连接，同步中……", "Device connected!"), Tr2("信息", "Information"), usbArrival ? 4000 : 5000);
    m_app.Session().StartReadSync();
    // Modal: returns when the synchronisation ends, times out or the link goes.
    m_app.ShowSyncDialog(QString());
    m_timer3.start(kLevelPollMs);
    if (Frame())
        Frame()->UpdateCommandUI();
}

void COrvexv13View::OnSyncDone(uint32_t wParam) {
    m_app.EndSyncDialog();
    // The memory named by an "m1".."m4" file is for the write-all of that file alone: it is used
    // up when that write-all ends, whatever else happens, and no read-all ever stores into it.
    const int pendingMode = wParam == kWriteAllDone ? std::exchange(m_pendingModeIndex, -1) : -1;
    if (m_hostBusy)
        return;
    switch (CheckIdentity(m_app.Store().Identity())) {
    case IdentityCheck::WrongModel:
        Mismatch(Tr2("机器型号与软件不匹配!", "This processor model does not match the software!"));
        return;
    case IdentityCheck::WrongVersion:
        Mismatch(Tr2("机器与软件通信版本不匹配，请使用机器配套软件!",
                     "The processor speaks another protocol version; use the software that came with it!"));
        return;
    case IdentityCheck::Accepted:
        break;
    }
    m_app.Session().Sync().StorePendingMode(pendingMode);
    m_app.Reconnector().Confirm();
    m_app.ResumeHomeBridge();
    // After a read the store holds what the processor holds.
    if (wParam != kWriteAllDone)
        m_app.History().Break({"从机器读取", "Read from the processor"});
    RefreshAllViews();
    HoldLevelPolls(kAfterSyncQuietMs);
    if (wParam != kWriteAllDone)
        OfferOfflineEdits();
}

void COrvexv13View::OfferOfflineEdits() {
    DeviceSession& session = m_app.Session();
    OfflineEdits& edits = session.OfflineChanges();
    if (!edits.HasEdits()) {
        edits.Clear();
        return;
    }
    const QString text = Tr2("连接中断期间修改了%1项参数，重新连接后显示的是机器中的参数。\n要把这些修改发送到机器吗？",
                             "Settings changed while the link was down: %1. The processor's values are shown now.\n"
                             "Send your changes to the processor?")
                             .arg(edits.Count());
    const bool send = AskQuestion(window(), text, Tr2("信息", "Information")) == QMessageBox::Yes;
    // The question may have waited while the link went again: nothing is sent into a dead link.
    if (send && session.IsConnected()) {
        edits.Apply(m_app.Store(), session.Commands(), session.Eq());
        RefreshAllViews();
    } else {
        edits.Clear();
    }
}

void COrvexv13View::HoldLevelPolls(int ms) {
    m_pollQuiet.setRemainingTime(ms);
}

void COrvexv13View::StopLevelPolls() {
    m_timer3.stop();
    if (m_currentPage)
        m_currentPage->UpdateLiveDisplay();
}

void COrvexv13View::Mismatch(const QString& text) {
    m_app.CloseLink();
    StopLevelPolls();
    if (!m_mismatchArmed)
        return;
    m_mismatchArmed = false;
    OpenErrorBox(window(), text, Tr2("错误", "Error"), [self = QPointer<COrvexv13View>(this)] {
        if (self)
            self->m_mismatchArmed = true;
    });
}

void COrvexv13View::OnLinkTimeout() {
    m_app.ShowInfoMessage(Tr2("主机连接超时，网络断开!", "Host disconnected!"), kInfoMs);
    m_app.StartReconnecting();
}

void COrvexv13View::OnLinkLost() {
    m_app.EndSyncDialog();
    m_app.StartReconnecting();
}

void COrvexv13View::OnHostBusy() {
    m_app.EndSyncDialog();
    m_hostBusy = true;
    const QString text =
        Tr2("主机已连接其他设备，请先断开!", "The host is in use by another device; disconnect it first!");
    // The busy answer comes right after the connect: it replaces the "connected" notice, which
    // would otherwise stay up longer than the message and contradict it. It may also overtake the
    // attempt's own report, and then stands in for that notice.
    if (m_timer990.isActive() || m_app.Session().IsConnecting())
        ShowBalloon(text, Tr2("信息", "Information"), 5000);
    m_app.ShowInfoMessage(text, 3000);
    m_app.StartReconnecting();
}

void COrvexv13View::OnZWaveEvent(uint32_t wParam, uint32_t lParam) {
    if (CToolDialog* plug = m_app.ToolDialog(tmpl::SmartPlug))
        plug->OnZWaveEvent(wParam, lParam);
}

void COrvexv13View::OnRefresh(uint32_t wParam, uint32_t lParam) {
    if (CToolDialog* plug = m_app.ToolDialog(tmpl::SmartPlug))
        plug->OnRefresh(wParam, lParam);
}

void COrvexv13View::OnLevels() {
    if (m_currentPage)
        m_currentPage->UpdateLiveDisplay();
}

void COrvexv13View::OnStoreReported() {
    m_app.History().Break({"机器报告了修改", "The processor changed a setting"});
    m_storeReported = true;
}

void COrvexv13View::FollowLink() {
    // A run of reports (a knob turned on the processor) is drawn once.
    if (std::exchange(m_storeReported, false))
        RefreshAllViews();
    if (Frame())
        Frame()->ScheduleCommandUI();
}

void COrvexv13View::OnRemoteKey(uint32_t keyCode) {
    if (CToolDialog* remote = m_app.ToolDialog(tmpl::Remote))
        remote->OnRemoteKey(keyCode);
}

void COrvexv13View::OnParameterError(uint8_t code, uint8_t cmd, uint8_t sub) {
    const auto hex = [](uint8_t v) { return QString::asprintf("%02X", v); };
    const QString text =
        Tr2("参数错误,代码0x:%1,指令1:0x%2,指令2:0x%3 ", "Parameter error, code 0x%1, command 1: 0x%2, command 2: 0x%3")
            .arg(hex(code), hex(cmd), hex(sub));
    // Not modal: the link keeps running while the user reads it.
    OpenMessageBox(window(), {QMessageBox::Critical, Tr2("错误", "Error"), text, QMessageBox::Ok}, {});
}

void COrvexv13View::OnUsbArrival(const QString& /*path*/) {
    DeviceSession& session = m_app.Session();
    if (session.IsConnected())
        return;
    session.State().networkMode.store(0);
    if (!session.UsbConnect())
        return;
    m_app.StopReconnecting();
    // Recreated with fresh data when next shown.
    for (int t :
         {tmpl::MachineSettings, tmpl::MusicInput, tmpl::Remote, tmpl::Features, tmpl::ConnectIp, tmpl::SmartPlug})
        m_app.DestroyToolDialog(t);
    OnDeviceConnected(true);
}

void COrvexv13View::OnUsbRemoval(const QString& path) {
    DeviceSession& session = m_app.Session();
    if (session.IsConnected() && session.IsNetwork())
        return;
    // Only the removal of the opened processor concerns the editor: a keyboard or mouse being
    // unplugged (also a hidraw device) must not claim that the processor went away.
    if (!session.UsbRemoved(path.toStdString()))
        return;
    StopLevelPolls();
    m_app.EndSyncDialog();
    ShowBalloon(Tr2("设备已断开!", "Device Disconnected!"), Tr2("信息", "Information"), 5000);
}

// ---- timers ---------------------------------------------------------------------------------------

void COrvexv13View::OnTimer1() {
    m_timer1.stop();
    DeviceSession& session = m_app.Session();
    // A network connect asked for on the command line is already under way: the probe gives way.
    if (session.IsConnected() || session.IsConnecting())
        return;
    session.State().networkMode.store(0);
    if (session.UsbConnect())
        OnDeviceConnected();
}

void COrvexv13View::OnTimer3() {
    DeviceSession& session = m_app.Session();
    // No link, nothing to poll: the timer starts again with the next connect.
    if (!session.IsConnected()) {
        StopLevelPolls();
        return;
    }
    if (!m_pollQuiet.hasExpired())
        return;
    if (session.State().pollEnabled.load() != 0 && session.IsConnected() &&
        session.State().levelPollEnabled.load() != 0)
        session.SendLevelRequest();
}

void COrvexv13View::RequestWaitDialog(const QString& text, uint8_t kind, uint8_t value1, uint8_t value2, int delayMs) {
    m_waitRequest = {text, kind, value1, value2};
    m_app.Session().StartZWaveOperation(kind, value1, value2);
    m_timer5.start(delayMs);
}

void COrvexv13View::SetWaitPrompt(const QString& text, const QColor& colour) {
    if (CWaitDlg* wait = m_app.WaitDialog()) {
        wait->SetText(text);
        wait->SetTextColour(colour);
        return;
    }
    m_waitRequest.text = text;
}

void COrvexv13View::FinishWaitDialog(int ms) {
    m_timer5.stop();
    if (CWaitDlg* wait = m_app.WaitDialog())
        wait->Finish(ms);
}

void COrvexv13View::OnTimer5() {
    m_timer5.stop();
    m_app.ShowWaitDialog(m_waitRequest.text, m_waitRequest.kind, m_waitRequest.value1, m_waitRequest.value2);
}

void COrvexv13View::ShowBalloon(const QString& text, const QString& title, int milliseconds) {
    m_balloonText = text;
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (!m_tray) {
            m_tray = new QSystemTrayIcon(window()->windowIcon(), this);
            // A click on the icon or its balloon removes the icon.
            connect(m_tray, &QSystemTrayIcon::activated, m_tray, &QSystemTrayIcon::hide);
            connect(m_tray, &QSystemTrayIcon::messageClicked, m_tray, &QSystemTrayIcon::hide);
        }
        m_tray->show();
        m_tray->showMessage(title, text, QSystemTrayIcon::Information, milliseconds);
    } else {
        if (!m_notice) {
            m_notice = new QLabel(this);
            m_notice->setObjectName(QStringLiteral("BalloonNotice"));
            m_notice->setStyleSheet(
                QStringLiteral("#BalloonNotice { background: #fffef4; color: #1d2f44; border: 1px solid #c9b96a;"
                               " border-radius: 6px; padding: 8px 12px; }"));
        }
        m_notice->setText(QStringLiteral("<b>%1</b><br>%2").arg(title.toHtmlEscaped(), text.toHtmlEscaped()));
        m_notice->adjustSize();
        m_notice->move(width() - m_notice->width() - 16, 12);
        m_notice->raise();
        m_notice->show();
    }
    m_timer990.start(milliseconds);
}

void COrvexv13View::HideBalloon() {
    m_timer990.stop();
    if (m_tray)
        m_tray->hide();
    if (m_notice)
        m_notice->hide();
}

bool COrvexv13View::BalloonVisible() const {
    return m_timer990.isActive() && ((m_tray && m_tray->isVisible()) || (m_notice && m_notice->isVisible()));
}

// ---- device modes, reset, equaliser ---------------------------------------------------------------

void COrvexv13View::LoadDeviceMode(int n) {
    DeviceSession& session = m_app.Session();
    if (!session.IsConnected() || n < 1 || n > 4)
        return;
    if (m_app.Store().ModifiedFlag()) {
        const QString text = Tr2("参数已更改，确定要直接载入模式", "Setting changed ! Are you sure load mode") +
                             ModeNumeral(n) + QStringLiteral("?");
        if (AskQuestion(window(), text, Tr2("信息", "Information")) != QMessageBox::Yes)
            return;
    }
    StartDeviceModeLoad(n);
}

void COrvexv13View::StartDeviceModeLoad(int n) {
    DeviceSession& session = m_app.Session();
    if (!session.IsConnected() || n < 1 || n > 4)
        return;
    session.LoadDeviceMode(n - 1);
    m_app.History().Break({"载入模式" + ModeNumeral(n).toStdString(), "Mode " + std::to_string(n) + " loaded"});
    m_app.ShowSyncDialog(QString());
}

void COrvexv13View::SaveDeviceMode(int n, bool fromKeyboard) {
    DeviceSession& session = m_app.Session();
    if (!session.IsConnected() || n < 1 || n > 4)
        return;
    const QString text = Tr2("确定要保存至机器模式", "Save to machine mode ") + ModeNumeral(n) + QStringLiteral("?");
    if (AskQuestion(window(), text, Tr2("信息", "Information")) != QMessageBox::Yes)
        return;
    session.SaveDeviceMode(n - 1);
    m_app.History().Break({"保存至模式" + ModeNumeral(n).toStdString(), "Saved to mode " + std::to_string(n)});
    // The processor needs the pause to store the memory; the menu waits before the notice, the
    // keyboard after it. Nothing of ours goes to the processor meanwhile.
    const QString notice = Tr2("正在储存模式%1,请稍等", "Saving Mode %1 ……").arg(ModeNumeral(n));
    if (fromKeyboard) {
        m_app.ShowInfoMessage(notice, 2500);
        HoldLevelPolls(kKeyboardSaveQuietMs);
        return;
    }
    HoldLevelPolls(kSaveNoticeDelayMs);
    QTimer::singleShot(kSaveNoticeDelayMs, this, [this, notice] { m_app.ShowInfoMessage(notice, 2500); });
}

void COrvexv13View::MachineReset() {
    DeviceSession& session = m_app.Session();
    if (!session.IsConnected())
        return;
    const QString text = Tr2("您确定要将机器复位吗? \n机器复位后请手动重启机器.", "Are you sure reset machine? ");
    if (AskQuestion(window(), text, Tr2("提示", "Question")) != QMessageBox::Yes)
        return;
    session.MachineReset();
    m_app.Settings().SetQtOption(AppSettings::DefaultQtOption());
    m_app.ShowInfoMessage(Tr2("请手动重启……", "Please restart……"), 10000);
}

void COrvexv13View::ResetPageEq() {
    if (!m_currentPage)
        return;
    if (AskQuestion(window(), Tr2("您确定重置当前均衡吗?", "Are you sure reset the EQ?"), Tr2("提示", "Question")) !=
        QMessageBox::Yes)
        return;
    if (m_currentPage && m_currentPage->HasEq())
        m_currentPage->ResetEq();
}

bool COrvexv13View::EqBypassed() const {
    const int slot = m_currentPage ? m_currentPage->EqBypassSlot() : -1;
    return slot >= 0 && m_app.Store().GetSlotWord(slot) != 0;
}

int COrvexv13View::LinkedOutputPartner(int channel) const {
    // The link options pair outputs 1+2, 3+4 and 7+8 (bytes 0, 1 and 2).
    static constexpr int kPairs[3][2] = {{0, 1}, {2, 3}, {6, 7}};
    const QByteArray links = m_app.Settings().QtOption();
    for (int i = 0; i < 3; ++i) {
        if (links.size() <= i || links[i] == 0)
            continue;
        if (channel == kPairs[i][0])
            return kPairs[i][1];
        if (channel == kPairs[i][1])
            return kPairs[i][0];
    }
    return -1;
}

void COrvexv13View::ToggleEqBypass() {
    const int slot = m_currentPage ? m_currentPage->EqBypassSlot() : -1;
    if (slot >= 0) {
        const uint32_t bypassed = EqBypassed() ? 0 : 1;
        m_app.Session().Commands().SetSlotWord(slot, bypassed);
        // A linked output pair keeps one equaliser bypass.
        const int channel = slot - fields::outEqBypass.slot;
        if (m_currentPage->Kind() == PageKind::Output && channel >= 0 && channel < 8) {
            if (const int partner = LinkedOutputPartner(channel); partner >= 0)
                m_app.Session().Commands().Set(fields::outEqBypass, partner, static_cast<int32_t>(bypassed));
        }
        m_currentPage->RefreshFromStore();
    }
    if (Frame())
        Frame()->UpdateCommandUI();
}

void COrvexv13View::RefreshAllViews() {
    if (Frame())
        Frame()->RefreshRibbonFromStore();
    if (m_currentPage)
        m_currentPage->RefreshFromStore();
    for (int t : {tmpl::MachineSettings, tmpl::MusicInput, tmpl::Features}) {
        if (CToolDialog* dialog = m_app.ToolDialog(t))
            dialog->RefreshFromStore();
    }
}

// ---- mode files -----------------------------------------------------------------------------------

void COrvexv13View::OnFileOpen() {
    if (!m_app.Session().IsConnected()) {
        m_app.ShowInfoMessage(Tr2("请先连接设备!", "Please connect device!"), kInfoMs);
        return;
    }
    const QString path =
        AskFileName(window(), {false, QString(), QString(), Tr2("模式文件 (*.kvom)", "Mode Files (*.kvom)"),
                               QStringLiteral("kvom")});
    if (path.isEmpty())
        return;
    LoadModeFileAndWrite(path, true);
}

bool COrvexv13View::LoadModeFileAndWrite(const QString& path, bool applyNameRule) {
    DeviceSession& session = m_app.Session();
    // A refused file names no memory: nothing may be stored into one after a later synchronisation.
    m_pendingModeIndex = -1;
    const ModeFileResult result = session.LoadModeFile(path.toStdString());
    if (!result.ok()) {
        if (result.status == ModeFileStatus::CannotOpen)
            ShowMessageBox(window(), {QMessageBox::Warning, Tr2("无法写入文件", "Can't write to file"),
                                      Tr2("无法写入文件：\n%1\n文件可能被写保护。",
                                          "Can't write to file:\n%1\nProbaby it is write protected.")
                                          .arg(QDir::toNativeSeparators(path)),
                                      QMessageBox::Ok});
        else
            ShowInformationBox(window(), Tr2("模式文件的版本不受支持!", "Mode file version not support!"),
                               Tr2("信息", "Info"));
        return false;
    }
    if (applyNameRule)
        m_pendingModeIndex = PendingModeFromFileTitle(QFileInfo(path).completeBaseName().toStdString());
    const std::string name = QFileInfo(path).fileName().toStdString();
    m_app.History().Break({"载入文件 " + name, "Preset file " + name + " loaded"});
    DebugOut("Start thread:SynchronizeData\n");
    session.StartWriteSync();
    m_app.Settings().AddRecentFile(path);
    if (Frame())
        Frame()->UpdateRecentFiles();
    m_app.ShowSyncDialog(QString());
    return true;
}

void COrvexv13View::OnFileSave() {
    DeviceSession& session = m_app.Session();
    if (!session.IsConnected()) {
        m_app.ShowInfoMessage(Tr2("请先连接设备!", "Please connect device!"), kInfoMs);
        return;
    }
    const QString path =
        AskFileName(window(), {true, QString(), QStringLiteral("name.kvom"),
                               Tr2("模式文件 (*.kvom)", "Mode Files (*.kvom)"), QStringLiteral("kvom")});
    if (path.isEmpty())
        return;
    SaveToDeviceAndFile(m_app, window(), path);
}

bool COrvexv13View::SaveToDeviceAndFile(COrvexv13App& app, QWidget* parent, const QString& path) {
    DeviceSession& session = app.Session();
    // The parameters go into the device's current memory as well as into the file.
    session.SaveDeviceMode(app.Store().DeviceMode());
    const ModeFileResult result = session.SaveModeFile(path.toStdString());
    if (!result.ok()) {
        ShowMessageBox(parent, {QMessageBox::Warning, Tr2("无法写入文件", "Can't write to file"),
                                Tr2("错误码=%1，无法写入文件：\n%2\n文件可能被写保护。",
                                    "Errcode=%1,Can't write to file:\n%2\nProbaby it is write protected.")
                                    .arg(result.errorCode)
                                    .arg(QDir::toNativeSeparators(path)),
                                QMessageBox::Ok});
        return false;
    }
    app.Settings().AddRecentFile(path);
    if (app.MainFrame())
        app.MainFrame()->UpdateRecentFiles();
    return true;
}

} // namespace orvex
