#include "smarthome/DialogHomeTheater.h"

#include "widgets/ControlId.h"
#include "link/ZWaveFrames.h"
#include "model/ParameterStore.h"
#include "model/PlugKeyFile.h"
#include "model/SmartHomeTables.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/MessageBoxes.h"
#include "shell/OrvexView.h"
#include "shell/Relabel.h"
#include "shell/WaitDlg.h"
#include "smarthome/DialogZwaveRemoter.h"
#include "smarthome/DlgZwaveList.h"
#include "smarthome/HomeTheaterPage.h"
#include "smarthome/PlugCommon.h"
#include "smarthome/PlugKeyFolder.h"
#include "smarthome/RemoteLearnDlg.h"
#include "smarthome/SceneRunDlg.h"

#include <QAbstractItemView>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <map>

namespace orvex {

namespace {

const QColor kPromptColour{0, 0, 255};
const QColor kFailureColour{255, 0, 0};
const QColor kIncludeReadyColour{130, 0, 255};
const QColor kFoundColour{255, 0, 210};

constexpr uint8_t kStopExclusion = 0x05;

// Node ids arrive in the high half of the event's detail; anything past the network's range is not a
// node the window acts on.
uint16_t High(uint32_t lParam) {
    return static_cast<uint16_t>(lParam >> 16);
}

} // namespace

CDialogHomeTheater::CDialogHomeTheater(const PageContext& ctx, QWidget* parent)
    : CToolDialog(tmpl::SmartPlug, parent), m_ctx(ctx) {
    setWindowTitle(QString::fromUtf8("智能插座"));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, QColor(240, 240, 240));
    setPalette(palette);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(6);

    auto* strip = new QHBoxLayout;
    strip->setSpacing(2);
    m_tabGroup = new QButtonGroup(this);
    m_tabGroup->setExclusive(true);
    static const char* const kTabTexts[kPageCount] = {"插座列表", "情景编辑", "遥控学习"};
    for (int page = 0; page < kPageCount; ++page) {
        auto* tab = new QPushButton(QString::fromUtf8(kTabTexts[page]), this);
        SetCtrlId(tab, kTabIds[page]);
        tab->setCheckable(true);
        tab->setAutoDefault(false);
        tab->setMinimumWidth(110);
        m_tabGroup->addButton(tab, page);
        strip->addWidget(tab);
        m_tabs[page] = tab;
    }
    strip->addStretch(1);
    layout->addLayout(strip);

    m_stack = new QStackedWidget(this);
    SetCtrlId(m_stack, kPageAreaId);
    m_stack->setFrameShape(QFrame::StyledPanel);
    m_list = new CDlgZwaveList(ctx, m_stack);
    m_pages[kPagePlugs] = m_list;
    m_pages[kPageScenes] = new CDialogZwaveRemoter(ctx, m_stack);
    m_pages[kPageLearn] = new CRemoteLearnDlg(ctx, m_stack);
    for (CHomeTheaterPage* page : m_pages)
        m_stack->addWidget(page);
    layout->addWidget(m_stack, 1);

    auto* buttons = new QHBoxLayout;
    m_powerOn = new QPushButton(QString::fromUtf8("开机情景"), this);
    SetCtrlId(m_powerOn, kPowerOnId);
    m_powerOff = new QPushButton(QString::fromUtf8("关机情景"), this);
    SetCtrlId(m_powerOff, kPowerOffId);
    for (QPushButton* b : {m_powerOn, m_powerOff}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(100);
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    m_reset = new QPushButton(QString::fromUtf8("复位插座"), this);
    SetCtrlId(m_reset, kResetId);
    m_help = new QPushButton(QString::fromUtf8("查看帮助"), this);
    SetCtrlId(m_help, kHelpId);
    for (QPushButton* b : {m_reset, m_help}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(100);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    connect(m_tabGroup, &QButtonGroup::idClicked, this, &CDialogHomeTheater::ShowPage);
    connect(m_list, &CDlgZwaveList::removeRequested, this, &CDialogHomeTheater::StartRemovePlug);
    connect(m_reset, &QPushButton::clicked, this, &CDialogHomeTheater::ResetPlugs);
    connect(m_powerOn, &QPushButton::clicked, this, [this] { RunPowerScene(true); });
    connect(m_powerOff, &QPushButton::clicked, this, [this] { RunPowerScene(false); });
    connect(m_help, &QPushButton::clicked, this, [this] { m_ctx.display.OpenHelpPage(); });

    // The tab strip first, then the page (creation order), then the window's own buttons.
    setTabOrder(m_powerOn, m_powerOff);
    setTabOrder(m_powerOff, m_reset);
    setTabOrder(m_reset, m_help);

    // No level polling while the window exists.
    m_ctx.session.State().pollEnabled.store(0);

    m_tabs[kPagePlugs]->setChecked(true);
    m_stack->setCurrentIndex(kPagePlugs);
    UpdateTabColours();
    resize(720, 480);
    setMinimumSize(600, 400);
    RefreshPages();

    m_readTimer.setSingleShot(true);
    connect(&m_readTimer, &QTimer::timeout, this, &CDialogHomeTheater::OnReadTimer);
    m_readTimer.start(kReadDelayMs);
}

CDialogHomeTheater::~CDialogHomeTheater() = default;

CHomeTheaterPage* CDialogHomeTheater::Page(int page) const {
    return page >= 0 && page < kPageCount ? m_pages[page] : nullptr;
}

void CDialogHomeTheater::ShowPage(int page) {
    if (page < 0 || page >= kPageCount)
        return;
    m_current = page;
    m_tabs[page]->setChecked(true);
    m_stack->setCurrentIndex(page);
    UpdateTabColours();
    if (page == kPageScenes)
        m_pages[page]->RefreshFromStore();
}

void CDialogHomeTheater::UpdateTabColours() {
    for (int page = 0; page < kPageCount; ++page) {
        m_tabs[page]->setStyleSheet(page == m_current ? QStringLiteral("color: rgb(0, 0, 255); font-weight: bold;")
                                                      : QStringLiteral("color: black;"));
    }
}

void CDialogHomeTheater::RefreshPages() {
    for (CHomeTheaterPage* page : m_pages)
        page->RefreshFromStore();
}

void CDialogHomeTheater::RefreshFromStore() {
    RefreshPages();
}

void CDialogHomeTheater::Relabel() {
    CToolDialog::Relabel();
    for (CHomeTheaterPage* page : m_pages)
        page->Relabel();
    // The plug dialogs belong to this window; a language switch reaches them through it.
    for (int t : {tmpl::PlugEdit, tmpl::PlugSwitch, tmpl::PlugDimmer}) {
        if (CToolDialog* dialog = m_ctx.display.ToolDialog(t))
            dialog->Relabel();
    }
}

void CDialogHomeTheater::OnReadTimer() {
    SmartHomeTables& tables = m_ctx.session.Link().SmartHome();
    if (!m_ctx.session.IsConnected() || tables.tablesRead.load() != 0)
        return;
    if (!m_ctx.session.Sync().StartReadZWave())
        return;
    m_ctx.display.ShowSyncDialog(Tr2("同步插座数据，请稍等……", "synchronize data..."));
}

void CDialogHomeTheater::OnKeyLearningAborted() {
    for (CHomeTheaterPage* page : m_pages)
        page->OnKeyLearningAborted();
}

void CDialogHomeTheater::OnRefresh(uint32_t wParam, uint32_t /*lParam*/) {
    for (CHomeTheaterPage* page : m_pages)
        page->OnRefresh(wParam);
    if (wParam != kSmartDataRefresh)
        return;
    m_resetRefreshSeen = true;
    m_ctx.display.EndSyncDialog();
    RefreshPages();
    if (m_ctx.session.Link().SmartHome().tablesRead.load() != 0)
        return;
    const bool calyxon = QString::fromLatin1(m_ctx.store.Identity().moduleName) == QLatin1String("Calyxon");
    const QString text = calyxon ? Tr2("同步失败！该机型无此功能！", "Please don't try.")
                                 : Tr2("同步失败！可能智能模块未就绪，请稍等片刻重试！", "Please try again later.");
    OpenMessageBox(this, {QMessageBox::Warning, Tr2("提示", "Tip"), text, QMessageBox::Ok}, {});
}

// ---- adding and removing ------------------------------------------------------------------------

void CDialogHomeTheater::StartAddPlug(uint8_t type, const QString& name) {
    if (!PlugLinkReady(m_ctx))
        return;
    m_ctx.session.Link().SmartHome().SetPendingPlug(MakePlugRecord(type, name.toStdU16String()));
    SetOperation(Operation::AddExcluding);
    m_ctx.display.View()->RequestWaitDialog(Tr2("添加设备……", "Add plug..."), zwave::RemoveNode, 0, 0, 0);
}

void CDialogHomeTheater::StartRemovePlug() {
    if (!PlugLinkReady(m_ctx))
        return;
    SetOperation(Operation::Removing);
    m_ctx.display.View()->RequestWaitDialog(Tr2("删除设备", "Remove plug"), zwave::RemoveNode, 0, 0, 0);
}

void CDialogHomeTheater::SetOperation(Operation operation) {
    m_operation = operation;
    // The link's decoder names a newly included plug only while an add runs.
    const bool adding = operation == Operation::AddExcluding || operation == Operation::AddIncluding;
    m_ctx.session.Link().SmartHome().addInProgress.store(adding ? 1 : 0);
}

void CDialogHomeTheater::ForgetEndedOperation() {
    if (m_operation == Operation::Idle)
        return;
    if (!m_ctx.display.WaitDialog() && !m_ctx.display.View()->WaitDialogPending())
        SetOperation(Operation::Idle);
}

void CDialogHomeTheater::Prompt(const QString& text, const QColor& colour) {
    m_ctx.display.View()->SetWaitPrompt(text, colour);
}

void CDialogHomeTheater::Finish(int ms) {
    m_ctx.display.View()->FinishWaitDialog(ms);
}

void CDialogHomeTheater::OnZWaveEvent(uint32_t wParam, uint32_t lParam) {
    const auto status = static_cast<uint16_t>(lParam & 0xFFFF);
    switch (wParam) {
    case zwave::RemoveNode:
        OnRemoveEvent(status, High(lParam));
        break;
    case zwave::AddNode:
        OnAddEvent(status, High(lParam));
        break;
    case zwave::SendData:
        OnSendDataEvent(status, High(lParam));
        break;
    default:
        break;
    }
    for (CHomeTheaterPage* page : m_pages)
        page->OnZWaveEvent(wParam, lParam);
}

void CDialogHomeTheater::OnRemoveEvent(uint16_t status, uint16_t node) {
    ForgetEndedOperation();
    const bool adding = OperationFlag() == 1;
    if (status == 6) {
        const uint8_t stop = kStopExclusion;
        m_ctx.session.Commands().SendZWaveFrame(zwave::RemoveNode, std::span(&stop, 1));
        if (IsPlugNode(node))
            DeletePlugKeyFile(PlugKeyFolder(), node);
        if (m_operation == Operation::AddExcluding) {
            // The second press belongs to the dialog the user is still looking at; a closed one means
            // the add was given up.
            if (m_ctx.display.WaitDialog()) {
                SetOperation(Operation::AddIncluding);
                m_ctx.display.View()->RequestWaitDialog(Tr2("添加设备……", "Add plug..."), zwave::AddNode, 0, 0, 0);
                // The open dialog now stands for the inclusion: its abort and time-out stop that.
                DeviceSession& session = m_ctx.session;
                m_ctx.display.WaitDialog()->SetAbortHandler(
                    [&session](uint8_t, uint8_t, uint8_t) { session.AbortZWaveOperation(zwave::AddNode); });
            } else {
                SetOperation(Operation::Idle);
            }
        } else if (!adding) {
            SetOperation(Operation::Idle);
            Finish(0);
            RefreshPages();
            if (IsPlugNode(node))
                OfferToRemoveSceneCommands(node);
        }
        return;
    }
    if (status == 7) {
        Prompt(Tr2("删除失败，请重试", "Remove failed,please retry"), kFailureColour);
        SetOperation(Operation::Idle);
        Finish(1000);
        return;
    }
    Prompt(adding ? Tr2("请长按3秒第一次确认", "Press and hold 3 second")
                  : Tr2("请长按3秒确认删除", "Press and hold 3 second"),
           kPromptColour);
}

void CDialogHomeTheater::OnAddEvent(uint16_t status, uint16_t node) {
    ForgetEndedOperation();
    const bool adding = OperationFlag() == 1;
    switch (status) {
    case 1:
        Prompt(adding ? Tr2("请长按3秒第二次确认", "Press and hold 3 second")
                      : Tr2("请长按3秒确认添加", "Press and hold 3 second"),
               kIncludeReadyColour);
        break;
    case 2:
        Prompt(Tr2("已确认，请稍等", "Confirmed! Please wait..."), kFoundColour);
        break;
    case 5: {
        // A new node reported when no add of ours runs is not given the pending name.
        if (m_operation != Operation::AddIncluding)
            break;
        SetOperation(Operation::Idle);
        if (IsPlugNode(node)) {
            const PlugRecord record = m_ctx.session.Link().SmartHome().Plug(node);
            m_ctx.session.Commands().WriteSceneMemory(static_cast<uint16_t>(node * kPlugRecordSize), record);
        }
        Finish(0);
        RefreshPages();
        break;
    }
    case 7:
        if (m_ctx.display.WaitDialog()) {
            Prompt(Tr2("添加失败，请重试", "Add failed,please retry"), kFailureColour);
            Finish(1000);
        }
        SetOperation(Operation::Idle);
        break;
    default:
        break;
    }
}

void CDialogHomeTheater::OnSendDataEvent(uint16_t status, uint16_t callback) {
    // Only the set-value the wait dialog stands for (open, or about to open) ends it: a late callback
    // of an aborted one must not close the dialog of an add or a removal that followed.
    COrvexv13View* view = m_ctx.display.View();
    const bool running = m_ctx.display.WaitDialog() != nullptr || view->WaitDialogPending();
    if (!running || view->WaitKind() != zwave::SendData || ZWaveSetValueCallback(view->WaitValue()) != callback)
        return;
    if (callback == zwave::CallbackValue) {
        if (status == 1)
            m_ctx.display.ShowInfoMessage(Tr2("设置超时", "set timeout"), kPlugNoticeMs);
        Finish(0);
    } else if (callback == zwave::CallbackQuiet && status == 1) {
        Finish(0);
        m_ctx.display.ShowInfoMessage(Tr2("设置超时", "set timeout"), kPlugNoticeMs);
    } else {
        return;
    }
    // The set is over: the list shows the state the plug was switched to.
    m_list->RefreshFromStore();
}

void CDialogHomeTheater::OfferToRemoveSceneCommands(int node) {
    SmartHomeTables& tables = m_ctx.session.Link().SmartHome();
    const auto target = static_cast<uint8_t>(node);
    const int count = tables.SceneCommandsFor(target);
    // Left in place they would drive whichever plug is given this node id next. Scenes that were
    // never read from the module are not written back over it.
    if (count == 0 || tables.tablesRead.load() == 0)
        return;
    const QString text = Tr2("插座%1已删除。是否同时从所有情景中删除它的%2条指令？",
                             "Plug %1 has been removed. Remove its %2 commands from all scenes too?")
                             .arg(node)
                             .arg(count);
    if (AskQuestion(this, text, Tr2("信息", "Information")) != QMessageBox::Yes)
        return;
    std::array<SceneRecord, kSceneCount> before{};
    for (int scene = 0; scene < kSceneCount; ++scene)
        before[static_cast<size_t>(scene)] = tables.Scene(scene);
    tables.RemoveSceneTarget(target);
    for (int scene = 0; scene < kSceneCount; ++scene) {
        const SceneRecord after = tables.Scene(scene);
        if (after == before[static_cast<size_t>(scene)] || !m_ctx.session.IsConnected())
            continue;
        m_ctx.session.Commands().WriteSceneMemory(
            static_cast<uint16_t>(kSceneMemoryAddress + static_cast<uint32_t>(kSceneRecordSize * scene)), after);
    }
    RefreshPages();
}

void CDialogHomeTheater::RunPowerScene(bool on) {
    const int scene = on ? kPowerOnScene : kPowerOffScene;
    CSceneRunDlg::RunScene(m_ctx, this, m_ctx.session.Link().SmartHome().Scene(scene),
                           on ? Tr2("调用开机情景……", "Power on ") : Tr2("调用关机情景……", "Power off"));
    RefreshPages();
}

// ---- reset ----------------------------------------------------------------------------------------

void CDialogHomeTheater::ResetPlugs() {
    if (!PlugLinkReady(m_ctx))
        return;
    DeviceSession& session = m_ctx.session;
    SmartHomeTables& tables = session.Link().SmartHome();
    m_resetRefreshSeen = false;
    if (!session.Sync().StartResetZWave())
        return;
    m_ctx.display.ShowSyncDialog(Tr2("正在复位，请稍等……", "Resetting, wait a moment"));
    // The key files describe plugs the module has forgotten only when the reset really went through:
    // the run ended and marked the tables read (the module confirmed the set-default itself and sent
    // its new node list).
    const bool succeeded = m_resetRefreshSeen && session.IsConnected() && tables.tablesRead.load() != 0;
    if (succeeded)
        DeleteAllKeyFiles(PlugKeyFolder());
}

// ---- lifetime -------------------------------------------------------------------------------------

void CDialogHomeTheater::RestorePolling() {
    if (m_pollingRestored)
        return;
    m_pollingRestored = true;
    m_ctx.session.State().pollEnabled.store(1);
}

void CDialogHomeTheater::DestroyPlugDialogs() {
    for (int t : {tmpl::PlugEdit, tmpl::PlugSwitch, tmpl::PlugDimmer})
        m_ctx.display.DestroyToolDialog(t);
}

void CDialogHomeTheater::CloseDialog() {
    m_readTimer.stop();
    RestorePolling();
    DestroyPlugDialogs();
    CToolDialog::CloseDialog();
}

void CDialogHomeTheater::accept() {
    hide();
}

void CDialogHomeTheater::reject() {
    m_readTimer.stop();
    RestorePolling();
    DestroyPlugDialogs();
    hide();
    deleteLater();
}

void CDialogHomeTheater::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A focused button takes Enter as its click; elsewhere Enter puts the window away.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
            return;
        }
        // Enter on a listed item has opened it; the window stays.
        if (auto* view = qobject_cast<QAbstractItemView*>(focusWidget()); view && view->currentIndex().isValid())
            return;
        accept();
        return;
    case Qt::Key_Escape:
        reject();
        return;
    case Qt::Key_F1:
        m_help->click();
        return;
    default:
        CToolDialog::keyPressEvent(event);
        return;
    }
}

} // namespace orvex
