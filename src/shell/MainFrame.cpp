#include "shell/MainFrame.h"

#include "shell/EditHistory.h"

#include "model/ParameterStore.h"
#include "shell/AboutDlg.h"
#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/MessageBoxes.h"
#include "shell/OrvexApp.h"
#include "shell/OrvexView.h"
#include "shell/Reconnector.h"
#include "shell/RibbonBar.h"
#include "shell/RibbonStepSlider.h"
#include "shell/StatusBarPane.h"
#include "shell/Theme.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <array>
#include <span>

namespace orvex {

namespace {

struct TextPair {
    const char* zh;
    const char* en;
    QString Text() const { return Tr2(zh, en); }
};

// Indexed by RibbonCategoryId.
constexpr std::array<TextPair, kRibbonCategoryCount> kCategoryNames = {{{"输入控制", "Input"}, {"输出调节", "Output"}}};

// Panel names, the same whether the ribbon was built in a language or switched to it.
constexpr std::array<TextPair, 8> kPanelNames = {{{"话筒音量", "Mic  Vol"},
                                                  {"效果总音量", "Effect Vol"},
                                                  {"混响音量", "Reverb Vol"},
                                                  {"回声音量", "Echo Vol"},
                                                  {"音乐音量", "Music Vol"},
                                                  {"音乐噪声门", "Noisegate"},
                                                  {"调用", "Load"},
                                                  {"保存", "Save"}}};

struct ModeButton {
    int inputId, outputId;
    TextPair text;
    const char* icon;
};
constexpr ModeButton kLoadMode{cmd::LoadModeIn, cmd::LoadModeOut, {"载入模式", "LoadMode"}, ":/icons/load-mode.svg"};
constexpr ModeButton kLoadFile{cmd::LoadFileIn, cmd::LoadFileOut, {"载入文件", "LoadFile"}, ":/icons/load-file.svg"};
constexpr ModeButton kSaveMode{cmd::SaveModeIn, cmd::SaveModeOut, {"保存模式", "SaveMode"}, ":/icons/save-mode.svg"};
constexpr ModeButton kSaveFile{cmd::SaveFileIn, cmd::SaveFileOut, {"保存文件", "SaveFile"}, ":/icons/save-file.svg"};

struct TabRowButton {
    int id;
    TextPair text;
};
constexpr std::array<TabRowButton, 8> kTabRowButtons = {{
    {cmd::ConnectIp, {"网络连接", "Connect IP"}},
    {cmd::RemoteAccess, {"远程控制", "Remote access"}},
    {cmd::Features, {"特色功能", "Features"}},
    {cmd::SmartPlug, {"智能插座", "Smart plug"}},
    {cmd::InputSource, {"输入源", "Input Source"}},
    {cmd::Reset, {"机器复位", "Reset"}},
    {cmd::Remote, {"遥控学习", "Remote control"}},
    {cmd::Language, {"中/EN", "中/EN"}},
}};

// The remote access button's menu.
constexpr std::array<TabRowButton, 2> kRemoteAccessItems = {{
    {cmd::PhoneRemote, {"手机遥控…", "Phone remote…"}},
    {cmd::HomeAutomation, {"家居自动化 (MQTT)…", "Home automation (MQTT)…"}},
}};

constexpr std::array<TabRowButton, 3> kHistoryButtons = {{
    {cmd::EditUndo, {"撤销", "Undo"}},
    {cmd::EditRedo, {"重做", "Redo"}},
    {cmd::EditHistory, {"编辑历史", "History"}},
}};

struct MenuItem {
    int id;
    TextPair text;
    const char* icon;
};
constexpr MenuItem kOpenItem{cmd::FileOpen, {"打开(&O)", "Open(&O)"}, ":/icons/open.svg"};
constexpr MenuItem kSaveItem{cmd::FileSave, {"保存(&S)", "Save(&S)"}, ":/icons/save.svg"};
constexpr MenuItem kExitItem{cmd::AppExit, {"退出(&X)", "Exit(&X)"}, ":/icons/exit.svg"};
constexpr TextPair kRecentTitle{"最近的文档", "Recent documents"};

constexpr TextPair kMuteText{"静音", "Mute"};

QString FormatVolume(const QString& prefix, int value, bool wide) {
    return prefix + QString::asprintf(wide ? "%7d" : "%3d", value);
}

} // namespace

CMainFrame::CMainFrame(COrvexv13App& app) : m_app(app) {
    setMinimumSize(kMinWidth, kMinHeight);
    // The view comes first: its creation reads the language the ribbon is built in.
    m_view = new COrvexv13View(app, this);
    setCentralWidget(m_view);

    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_app.Settings().SetApplicationLook(AppSettings::kDefaultApplicationLook);
    BuildRibbon();
    CreateStatusBar();
    QApplication::restoreOverrideCursor();

    // The sliders start at the store's values rather than at zero under a label reading 100.
    RefreshRibbonFromStore();
    UpdateCommandUI();

    // Panes and check boxes follow the store and the link. The user changes them with a key, click or
    // wheel turn, each of which asks for one update (see eventFilter); the link with its reports and
    // level replies, each of which asks for one as well (the link event relay). Only a reconnect
    // countdown changes them by itself: this timer wakes once for each second it shows.
    connect(&m_idleUpdate, &QTimer::timeout, this, &CMainFrame::UpdateCommandUI);
    m_idleUpdate.setSingleShot(true);
    qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
}

// ---- ribbon -----------------------------------------------------------------------------------------

void CMainFrame::BuildRibbon() {
    m_ribbon = new CMyMFCRibbonBar(this);
    setMenuWidget(m_ribbon);
    connect(m_ribbon, &CMyMFCRibbonBar::commandTriggered, this, &CMainFrame::OnCommand);
    connect(m_ribbon, &CMyMFCRibbonBar::activeCategoryChanged, this, [this](int index) {
        if (index >= 0 && index < kRibbonCategoryCount)
            m_view->OnCategoryChanged(static_cast<RibbonCategoryId>(index));
        UpdateCommandUI();
    });

    // Application button and its menu.
    m_ribbon->ApplicationButton()->setIcon(QIcon(QStringLiteral(":/icons/orvex.svg")));
    QMenu* menu = m_ribbon->ApplicationMenu();
    for (const MenuItem* item : {&kOpenItem, &kSaveItem}) {
        QAction* action = menu->addAction(QIcon(QString::fromUtf8(item->icon)), item->text.Text());
        action->setData(item->id);
        action->setShortcut(item->id == cmd::FileOpen ? QKeySequence(Qt::CTRL | Qt::Key_O)
                                                      : QKeySequence(Qt::CTRL | Qt::Key_S));
        action->setShortcutContext(Qt::ApplicationShortcut);
        addAction(action); // the accelerators work while the menu is closed
        const int id = item->id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    menu->addSeparator();
    m_recentMenu = menu->addMenu(kRecentTitle.Text());
    UpdateRecentFiles();
    menu->addSeparator();
    QAction* exitAction = menu->addAction(QIcon(QString::fromUtf8(kExitItem.icon)), kExitItem.text.Text());
    exitAction->setData(kExitItem.id);
    connect(exitAction, &QAction::triggered, this, [this] { OnCommand(cmd::AppExit); });

    for (int c = 0; c < kRibbonCategoryCount; ++c)
        BuildCategory(c);

    // Undo, redo and the history: their clicks move the history and are no edits of their own.
    // Undo and redo show their arrows only (their names are in the tooltips), to leave the tab row
    // room at the narrowest window.
    for (const TabRowButton& b : kHistoryButtons) {
        QToolButton* button = nullptr;
        if (b.id == cmd::EditUndo || b.id == cmd::EditRedo) {
            const QString name = b.id == cmd::EditUndo ? QStringLiteral("undo") : QStringLiteral("redo");
            QIcon icon(QStringLiteral(":/icons/%1.svg").arg(name));
            icon.addFile(QStringLiteral(":/icons/%1-off.svg").arg(name), {}, QIcon::Disabled);
            button = m_ribbon->AddTabRowIconButton(b.id, icon, QString());
            button->setText(b.text.Text());
        } else {
            button = m_ribbon->AddTabRowButton(b.id, b.text.Text());
        }
        m_app.History().Ignore(button);
    }
    for (const TabRowButton& b : kTabRowButtons) {
        QToolButton* button = m_ribbon->AddTabRowButton(b.id, b.text.Text());
        if (b.id == cmd::RemoteAccess) {
            button->setMenu(MakeRemoteAccessMenu());
            button->setPopupMode(QToolButton::InstantPopup);
            button->setProperty("hasMenu", true); // room for the menu's arrow
        }
    }
    m_ribbon->AddTabRowIconButton(cmd::AppAbout, QIcon(QStringLiteral(":/icons/about.svg")), QString());
    SetHint(m_ribbon->ApplicationButton(), "打开、保存文件和最近的文档", "Open, save, recent files, exit");
    for (int c = 0; c < kRibbonCategoryCount; ++c) {
        const bool output = static_cast<RibbonCategoryId>(c) == RibbonCategoryId::Output;
        SetHint(m_ribbon->CategoryTab(c), output ? "输出通道、声场、延时和压限" : "话筒、效果和音乐",
                output ? "Output channels, location, delay, compressor" : "Mics, effects and music");
    }
    ApplyControlHints(m_ribbon);
}

void CMainFrame::BuildCategory(int index) {
    const bool output = static_cast<RibbonCategoryId>(index) == RibbonCategoryId::Output;
    RibbonCategory* category = m_ribbon->AddCategory(kCategoryNames[static_cast<size_t>(index)].Text());

    for (const VolumeControlInfo& v : kVolumeControls) {
        RibbonPanel* panel = category->AddPanel(kPanelNames[static_cast<size_t>(v.control)].Text());
        auto* label = new QToolButton(panel);
        label->setObjectName(QStringLiteral("RibbonValueLabel"));
        label->setFocusPolicy(Qt::NoFocus);
        label->setToolButtonStyle(Qt::ToolButtonTextOnly);
        m_ribbon->RegisterCommand(label, output ? v.labelOutput : v.labelInput);
        auto* slider = new CMFCRibbonStepSlider(output ? v.sliderOutput : v.sliderInput, v.width, v.maximum, panel);
        connect(slider, &CMFCRibbonStepSlider::positionCommand, this, &CMainFrame::OnCommand);
        panel->Content()->addWidget(label, 0, Qt::AlignLeft);
        panel->Content()->addWidget(slider, 0, Qt::AlignLeft);
        if (v.hasMute) {
            const MuteControlInfo& m = Info(v.mute);
            auto* mute = new QCheckBox(kMuteText.Text(), panel);
            mute->setFocusPolicy(Qt::NoFocus);
            m_ribbon->RegisterCommand(mute, output ? m.checkOutput : m.checkInput);
            panel->Content()->addWidget(mute, 0, Qt::AlignLeft);
        } else {
            panel->Content()->addStretch(1);
        }
    }

    auto addLargeButton = [&](RibbonPanel* panel, const ModeButton& b, bool split) {
        auto* button = new QToolButton(panel);
        button->setObjectName(QStringLiteral("RibbonLargeButton"));
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setIcon(QIcon(QString::fromUtf8(b.icon)));
        button->setIconSize(QSize(32, 32));
        button->setText(b.text.Text());
        button->setMinimumWidth(64);
        const int id = output ? b.outputId : b.inputId;
        m_ribbon->RegisterCommand(button, id);
        if (split) {
            button->setPopupMode(QToolButton::MenuButtonPopup);
            button->setMenu(MakeModeMenu(b.inputId == cmd::LoadModeIn ? cmd::LoadMode1 : cmd::SaveMode1));
        }
        return button;
    };
    for (int p = 0; p < 2; ++p) {
        RibbonPanel* panel = category->AddPanel(kPanelNames[static_cast<size_t>(6 + p)].Text());
        auto* row = new QHBoxLayout;
        row->setSpacing(4);
        row->addWidget(addLargeButton(panel, p == 0 ? kLoadMode : kSaveMode, true));
        row->addWidget(addLargeButton(panel, p == 0 ? kLoadFile : kSaveFile, false));
        panel->Content()->addLayout(row);
    }
}

QMenu* CMainFrame::MakeRemoteAccessMenu() {
    auto* menu = new QMenu(this);
    for (const TabRowButton& item : kRemoteAccessItems) {
        QAction* action = menu->addAction(item.text.Text());
        action->setData(item.id);
        const int id = item.id;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    return menu;
}

QMenu* CMainFrame::MakeModeMenu(int firstCommand) {
    auto* menu = new QMenu(this);
    for (int m = 0; m < 4; ++m) {
        QAction* action = menu->addAction(ModeName(m));
        action->setCheckable(true);
        action->setData(firstCommand + m);
        const int id = firstCommand + m;
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    // The item of the current device mode is shown checked.
    connect(menu, &QMenu::aboutToShow, this, [this, menu] {
        const int mode = m_app.Store().DeviceMode();
        const QList<QAction*> actions = menu->actions();
        for (int m = 0; m < actions.size(); ++m)
            actions[m]->setChecked(m == mode);
    });
    return menu;
}

void CMainFrame::RelabelRibbon() {
    if (!m_ribbon || !m_ribbon->FindByID(Info(VolumeControl::Mic).labelInput))
        return;
    for (int c = 0; c < m_ribbon->CategoryCount() && c < kRibbonCategoryCount; ++c) {
        RibbonCategory* category = m_ribbon->Category(c);
        m_ribbon->SetCategoryName(c, kCategoryNames[static_cast<size_t>(c)].Text());
        for (int p = 0; p < category->PanelCount() && p < static_cast<int>(kPanelNames.size()); ++p)
            category->Panel(p)->SetName(kPanelNames[static_cast<size_t>(p)].Text());
    }
    const ParameterStore& store = m_app.Store();
    for (const VolumeControlInfo& v : kVolumeControls)
        SetVolumeLabels(v.control, store.Get(v.field), false);
    for (const MuteControlInfo& m : kMuteControls) {
        for (int id : {m.checkInput, m.checkOutput}) {
            if (auto* box = m_ribbon->FindByID<QCheckBox>(id))
                box->setText(kMuteText.Text());
        }
    }
    for (const std::span<const TabRowButton> buttons :
         {std::span<const TabRowButton>(kTabRowButtons), std::span<const TabRowButton>(kHistoryButtons)}) {
        for (const TabRowButton& b : buttons) {
            if (auto* button = m_ribbon->FindByID<QToolButton>(b.id))
                button->setText(b.text.Text());
        }
    }
    if (auto* access = m_ribbon->FindByID<QToolButton>(cmd::RemoteAccess)) {
        QMenu* old = access->menu();
        access->setMenu(MakeRemoteAccessMenu());
        delete old;
    }
    for (const ModeButton* b : {&kLoadMode, &kLoadFile, &kSaveMode, &kSaveFile}) {
        for (int id : {b->inputId, b->outputId}) {
            auto* button = m_ribbon->FindByID<QToolButton>(id);
            if (!button)
                continue;
            button->setText(b->text.Text());
            if (b == &kLoadMode || b == &kSaveMode) {
                QMenu* old = button->menu();
                button->setMenu(MakeModeMenu(b == &kLoadMode ? cmd::LoadMode1 : cmd::SaveMode1));
                delete old;
            }
        }
    }
    for (QAction* action : m_ribbon->ApplicationMenu()->actions()) {
        const int id = action->data().toInt();
        for (const MenuItem* item : {&kOpenItem, &kSaveItem, &kExitItem}) {
            if (id == item->id)
                action->setText(item->text.Text());
        }
    }
    m_recentMenu->setTitle(kRecentTitle.Text());
    ApplyControlHints(m_ribbon);
    ApplyControlHints(statusBar());
    m_ribbon->RecalcLayout();
}

void CMainFrame::SetVolumeLabels(VolumeControl control, int value, bool refreshStyle) {
    const VolumeControlInfo& v = Info(control);
    const QString prefix = Tr2(refreshStyle ? v.refreshPrefixZh : v.prefixZh, v.prefixEn);
    const bool wide = control == VolumeControl::NoiseGate && UiLanguageIndex() == kLanguageEnglish;
    for (int id : {v.labelInput, v.labelOutput}) {
        if (auto* label = m_ribbon->FindByID<QToolButton>(id))
            label->setText(FormatVolume(prefix, value, wide));
    }
}

void CMainFrame::RefreshRibbonFromStore() {
    if (!m_ribbon)
        return;
    const ParameterStore& store = m_app.Store();
    for (const VolumeControlInfo& v : kVolumeControls) {
        const int value = store.Get(v.field);
        for (int id : {v.sliderInput, v.sliderOutput}) {
            if (auto* slider = m_ribbon->FindByID<CMFCRibbonStepSlider>(id))
                slider->SetPos(value);
        }
        SetVolumeLabels(v.control, value, true);
    }
    m_ribbon->RecalcLayout();
}

void CMainFrame::UpdateRecentFiles() {
    if (!m_recentMenu)
        return;
    m_recentMenu->clear();
    const QStringList files = m_app.Settings().RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        QAction* action = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(files[i]));
        const QString path = files[i];
        connect(action, &QAction::triggered, this, [this, path] { m_app.OpenDocumentFile(path); });
    }
    m_recentMenu->setEnabled(!files.isEmpty());
}

// ---- status bar ---------------------------------------------------------------------------------------

void CMainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    m_linkPane = new CMyMFCRibbonStatusBarPane(cmd::StatusLink, 52, bar);
    m_linkPane->setText(QString::fromUtf8("USB:未连接"));
    m_modePane = new CMyMFCRibbonStatusBarPane(cmd::StatusMode, 97, bar);
    m_modePane->setAlignment(Qt::AlignCenter);
    auto* separator = new QFrame(bar);
    separator->setFrameShape(QFrame::VLine);
    separator->setStyleSheet(QStringLiteral("color: #b7c9df;"));
    bar->addWidget(m_linkPane);
    bar->addWidget(separator);
    bar->addWidget(m_modePane, 1);

    m_bypass = new QCheckBox(QString::fromUtf8("均衡旁路"), bar);
    SetCtrlId(m_bypass, cmd::EqBypass);
    m_bypass->setFocusPolicy(Qt::NoFocus);
    connect(m_bypass, &QCheckBox::clicked, this, [this] { OnCommand(cmd::EqBypass); });
    m_resetEq = new QPushButton(QString::fromUtf8("重置均衡"), bar);
    SetCtrlId(m_resetEq, cmd::EqReset);
    m_resetEq->setFocusPolicy(Qt::NoFocus);
    connect(m_resetEq, &QPushButton::clicked, this, [this] { OnCommand(cmd::EqReset); });
    bar->addPermanentWidget(m_bypass);
    bar->addPermanentWidget(m_resetEq);
    ApplyControlHints(bar);
}

void CMainFrame::ScheduleCommandUI() {
    if (m_updateScheduled || m_closing)
        return;
    m_updateScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_updateScheduled = false;
        if (!m_closing)
            UpdateCommandUI();
    });
}

void CMainFrame::UpdateCommandUI() {
    ++m_commandUiUpdates;
    const ParameterStore& store = m_app.Store();
    // A little after the second has turned, so that the countdown reads the next number.
    constexpr int kCountdownMarginMs = 20;
    const int nextSecond = m_app.Reconnector().IsAttempting() ? 0 : m_app.Reconnector().MsToNextSecond();
    if (nextSecond > 0 && !m_closing)
        m_idleUpdate.start(nextSecond + kCountdownMarginMs);
    else
        m_idleUpdate.stop();
    if (m_ribbon) {
        // Greyed with nothing to take back or do again; the tooltip names the action.
        const CEditHistory& history = m_app.History();
        if (auto* undo = m_ribbon->FindByID<QToolButton>(cmd::EditUndo)) {
            undo->setEnabled(history.CanUndo());
            undo->setToolTip(history.UndoText() + QStringLiteral(" (Ctrl+Z)"));
            undo->setAccessibleName(history.UndoText());
            undo->setAccessibleDescription(undo->toolTip());
        }
        if (auto* redo = m_ribbon->FindByID<QToolButton>(cmd::EditRedo)) {
            redo->setEnabled(history.CanRedo());
            redo->setToolTip(history.RedoText() + QStringLiteral(" (Ctrl+Y)"));
            redo->setAccessibleName(history.RedoText());
            redo->setAccessibleDescription(redo->toolTip());
        }
        if (auto* list = m_ribbon->FindByID<QToolButton>(cmd::EditHistory)) {
            list->setToolTip(Tr2("编辑历史 (F8)", "Edit history (F8)"));
            list->setAccessibleName(Tr2("编辑历史", "Edit history"));
            list->setAccessibleDescription(list->toolTip());
        }
        for (const MuteControlInfo& m : kMuteControls) {
            const bool muted = store.Get(m.field) != 0;
            for (int id : {m.checkInput, m.checkOutput}) {
                if (auto* box = m_ribbon->FindByID<QCheckBox>(id))
                    box->setChecked(muted);
            }
        }
    }
    if (m_linkPane) {
        DeviceSession& session = m_app.Session();
        if (session.IsConnected()) {
            m_linkPane->setText(session.IsNetwork() ? Tr2("IP：已连接", "IP:Connected")
                                                    : Tr2("USB：已连接", "USB:Connected"));
            m_linkPane->SetTextColour(kLinkConnectedColour);
        } else if (m_app.Reconnector().IsAttempting()) {
            // The attempt itself may take its time (a host that does not answer): no countdown to show.
            m_linkPane->setText(Tr2("正在重新连接……", "Reconnecting…"));
            m_linkPane->SetTextColour(kLinkDisconnectedColour);
        } else if (m_app.Reconnector().IsActive()) {
            m_linkPane->setText(
                Tr2("%1 秒后重新连接……", "Reconnecting in %1 s…").arg(m_app.Reconnector().SecondsLeft()));
            m_linkPane->SetTextColour(kLinkDisconnectedColour);
        } else {
            m_linkPane->setText(Tr2("未连接", "Disconnected"));
            m_linkPane->SetTextColour(kLinkDisconnectedColour);
        }
        // The mode is the processor's: with nothing connected there is none to show.
        m_modePane->setText(session.IsConnected()
                                ? Tr2("当前模式:%1", "Current Mode:%1").arg(ModeName(store.DeviceMode()))
                                : QString());
    }
    if (m_bypass) {
        CPage* page = m_view ? m_view->CurrentPage() : nullptr;
        const bool eq = page && page->HasEq();
        m_bypass->setEnabled(eq);
        m_bypass->setChecked(eq && m_view->EqBypassed());
        m_bypass->setText(Tr2("均衡旁路", "Bypass"));
        m_resetEq->setEnabled(eq);
        m_resetEq->setText(Tr2("重置均衡", "Reset EQ"));
    }
}

// ---- commands, wheel, close ---------------------------------------------------------------------------

void CMainFrame::OnCommand(int id) {
    if (id == cmd::AppAbout) {
        CAboutDlg about(m_app.Store(), m_app.Session().State(), this);
        about.exec();
    } else if (id == cmd::AppExit) {
        close();
    } else if (id == cmd::EditUndo) {
        m_app.History().Undo();
    } else if (id == cmd::EditRedo) {
        m_app.History().Redo();
    } else if (id == cmd::EditHistory) {
        m_app.ShowEditHistory();
    } else {
        m_view->OnCommand(id);
    }
    if (!m_closing)
        UpdateCommandUI();
}

RibbonCategoryId CMainFrame::ActiveCategory() const {
    const int index = m_ribbon ? m_ribbon->ActiveCategoryIndex() : 0;
    return index == static_cast<int>(RibbonCategoryId::Output) ? RibbonCategoryId::Output : RibbonCategoryId::Input;
}

bool CMainFrame::HandleRibbonWheel(const QPoint& globalPos, int delta) {
    RibbonCategory* category = m_ribbon->ActiveCategory();
    if (!category || m_ribbon->ActiveCategoryIndex() >= kRibbonCategoryCount)
        return true;
    const int step = delta > 0 ? 1 : -1;
    for (int p = 0; p < 5; ++p) {
        RibbonPanel* panel = category->Panel(p);
        if (panel && panel->isVisible() && panel->rect().contains(panel->mapFromGlobal(globalPos))) {
            m_view->StepVolume(kVolumeControls[static_cast<size_t>(p)].control, step);
            return true;
        }
    }
    const VolumeControlInfo& gate = Info(VolumeControl::NoiseGate);
    const bool output = ActiveCategory() == RibbonCategoryId::Output;
    if (auto* slider = m_ribbon->FindByID<CMFCRibbonStepSlider>(output ? gate.sliderOutput : gate.sliderInput)) {
        if (slider->rect().contains(slider->mapFromGlobal(globalPos)))
            m_view->StepVolume(VolumeControl::NoiseGate, step);
    }
    return true;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyRelease:
    case QEvent::MouseButtonRelease:
    case QEvent::Wheel:
        ScheduleCommandUI();
        break;
    default:
        break;
    }
    if (event->type() == QEvent::Wheel && m_ribbon) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == m_ribbon || m_ribbon->isAncestorOf(widget))) {
            auto* wheel = static_cast<QWheelEvent*>(event);
            const int delta = wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
            if (delta != 0)
                HandleRibbonWheel(wheel->globalPosition().toPoint(), delta);
            return true; // a wheel over the ribbon never reaches a slider or switches categories
        }
    }
    if (event->type() == QEvent::MouseButtonDblClick && m_ribbon) {
        auto* button = qobject_cast<QAbstractButton*>(watched);
        for (int c = 0; button && c < m_ribbon->CategoryCount(); ++c) {
            if (button == m_ribbon->CategoryTab(c))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QString CMainFrame::SavePromptText() {
    return Tr2("参数已改动，请问是否需要保存?\r\n提示：保存成电脑文件并同时保存至机器的当前模式",
               "Parameters have changed. Do you want to save them?\r\nNote: they are saved to a file on the "
               "computer and also into the machine's current mode.");
}

bool CMainFrame::ConfirmClose() {
    ParameterStore& store = m_app.Store();
    if (!store.ModifiedFlag())
        return true;
    const QMessageBox::StandardButton answer = AskQuestion(this, SavePromptText(), Tr2("保存?", "Save?"),
                                                           QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (m_quitWithoutQuestions)
        return true; // the question was ended from outside: nothing more is asked
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::Yes) {
        const QString path =
            AskFileName(this, {true, QString(), QStringLiteral("preset.kvom"),
                               Tr2("模式文件 (*.kvom)", "Mode Files (*.kvom)"), QStringLiteral("kvom")});
        if (!path.isEmpty())
            COrvexv13View::SaveToDeviceAndFile(m_app, this, path);
    }
    return true;
}

void CMainFrame::QuitWithoutQuestions() {
    m_quitWithoutQuestions = true;
    if (!m_closing)
        close();
    // A question or dialog open at the moment has an event loop of its own: it ends as well.
    QCoreApplication::quit();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!m_quitWithoutQuestions && !ConfirmClose()) {
        event->ignore();
        return;
    }
    m_closing = true;
    m_idleUpdate.stop();
    m_app.CloseLink();
    m_app.CloseAllToolWindows();
    event->accept();
}

} // namespace orvex
