#include "smarthome/RemoteLearnDlg.h"

#include "link/ZWaveFrames.h"
#include "model/SmartHomeTables.h"
#include "shell/ControlHints.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/MessageBoxes.h"
#include "shell/OrvexView.h"
#include "shell/Relabel.h"
#include "shell/Theme.h"
#include "shell/WaitDlg.h"
#include "smarthome/PlugKeyFolder.h"
#include "widgets/GridListCtrlEx.h"

#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace orvex {

namespace {

constexpr int kInfoMs = 1100;
constexpr int kWatchMs = 30;
constexpr int kResultShownMs = 1000;
const QColor kDoneColour(255, 0, 210);
const QColor kFailColour(255, 0, 0);

// Columns of the key list after its hidden first column.
constexpr int kNumberColumn = 1;
constexpr int kNameColumn = 2;
constexpr int kStatusColumn = 3;

QString StatusText(int status) {
    return status != 0 ? Tr2("已学习", "Ready") : Tr2("未学习", "Not Ready");
}

QString ToQString(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(QString::fromStdString(path.string()));
}

} // namespace

CRemoteLearnDlg::CRemoteLearnDlg(const PageContext& ctx, QWidget* parent)
    : CHomeTheaterPage(parent), m_session(ctx.session), m_display(ctx.display) {
    SetTemplateId(this, kTemplateId);
    UsePageBackground(this);

    auto* plugLabel = new QLabel(QString::fromUtf8("插座"), this);
    SetCtrlId(plugLabel, 1228);
    m_plugs = new QComboBox(this);
    SetCtrlId(m_plugs, kPlugComboId);
    m_plugs->setMinimumWidth(200);
    plugLabel->setBuddy(m_plugs);

    m_list = new CGridListCtrlEx(kKeyListId, this);
    m_list->InsertColumnTrait(QString(), 45, nullptr);
    m_list->InsertColumnTrait(QString(), 120, nullptr);
    m_list->InsertColumnTrait(QString(), 100, nullptr);
    m_list->horizontalHeader()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    m_list->setMinimumSize(300, 240);
    // Tab leaves the list for the buttons; the arrows move between keys.
    m_list->setTabKeyNavigation(false);

    auto* nameLabel = new QLabel(QString::fromUtf8("遥控键名称"), this);
    SetCtrlId(nameLabel, 1229);
    m_name = new QLineEdit(this);
    SetCtrlId(m_name, kNameEditId);
    nameLabel->setBuddy(m_name);

    m_learn = new QPushButton(QString::fromUtf8("学习键码"), this);
    SetCtrlId(m_learn, kLearnId);
    m_transmit = new QPushButton(QString::fromUtf8("发射测试"), this);
    SetCtrlId(m_transmit, kTransmitId);
    m_rename = new QPushButton(QString::fromUtf8("重命名"), this);
    SetCtrlId(m_rename, kRenameId);
    m_clear = new QPushButton(QString::fromUtf8("清除键码"), this);
    SetCtrlId(m_clear, kClearId);
    for (QPushButton* button : {m_learn, m_transmit, m_rename, m_clear})
        button->setMinimumSize(104, 30);

    auto* buttons = new QVBoxLayout;
    buttons->setSpacing(10);
    buttons->addWidget(m_learn);
    buttons->addWidget(m_transmit);
    buttons->addWidget(m_clear);
    buttons->addStretch();
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 14, 16, 14);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    grid->addWidget(plugLabel, 0, 0);
    grid->addWidget(m_plugs, 0, 1);
    grid->addWidget(m_list, 1, 0, 1, 2);
    grid->addLayout(buttons, 1, 2);
    grid->addWidget(nameLabel, 2, 0);
    grid->addWidget(m_name, 2, 1);
    grid->addWidget(m_rename, 2, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);

    setTabOrder(m_plugs, m_list);
    setTabOrder(m_list, m_learn);
    setTabOrder(m_learn, m_transmit);
    setTabOrder(m_transmit, m_clear);
    setTabOrder(m_clear, m_name);
    setTabOrder(m_name, m_rename);

    connect(m_plugs, &QComboBox::currentIndexChanged, this, [this] { Reload(); });
    connect(m_list, &QTableWidget::itemSelectionChanged, this, [this] {
        const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
        if (!selected.isEmpty() && selected.first().row() < static_cast<int>(m_keys.size()))
            m_name->setText(QString::fromStdString(m_keys[static_cast<size_t>(selected.first().row())].name));
    });
    connect(m_learn, &QPushButton::clicked, this, &CRemoteLearnDlg::OnLearn);
    connect(m_transmit, &QPushButton::clicked, this, &CRemoteLearnDlg::OnTransmit);
    connect(m_rename, &QPushButton::clicked, this, &CRemoteLearnDlg::OnRename);
    connect(m_clear, &QPushButton::clicked, this, &CRemoteLearnDlg::OnClear);
    connect(&m_watch, &QTimer::timeout, this, &CRemoteLearnDlg::WatchOperation);

    Relabel();
}

// ---- plugs and keys -------------------------------------------------------------------------------

int CRemoteLearnDlg::SelectedNode() const {
    return m_plugs->currentIndex() >= 0 ? m_plugs->currentData().toInt() : 0;
}

int CRemoteLearnDlg::SelectedKey() const {
    const QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    if (selected.isEmpty())
        return -1;
    const int row = selected.first().row();
    return row >= 0 && row < static_cast<int>(m_keys.size()) ? m_keys[static_cast<size_t>(row)].index : -1;
}

void CRemoteLearnDlg::RefreshFromStore() {
    FillPlugs();
    if (SelectedNode() != m_listedNode)
        Reload();
}

void CRemoteLearnDlg::FillPlugs() {
    const int chosen = SelectedNode();
    const SmartHomeTables& tables = m_session.Link().SmartHome();
    QSignalBlocker quiet(m_plugs);
    m_plugs->clear();
    for (int node : tables.PresentNodes()) {
        // Node 1 is the controller inside the processor, not a plug.
        if (node <= kZWaveControllerNode || node >= kZWaveNodeCount)
            continue;
        QString name = QString::fromStdU16String(PlugRecordName(tables.Plug(node)));
        if (name.isEmpty())
            name = QString::number(node);
        m_plugs->addItem(name, node);
    }
    const int keep = m_plugs->findData(chosen);
    m_plugs->setCurrentIndex(keep >= 0 ? keep : (m_plugs->count() > 0 ? 0 : -1));
}

std::filesystem::path CRemoteLearnDlg::KeyFolder() {
    const std::filesystem::path folder = PlugKeyFolder();
    const bool ready = !folder.empty() && CreateKeyDirectory(folder);
    if (!ready && !m_folderReported)
        ShowErrorBox(this, Tr2("创建Key目录失败!", "Cannot create the Key folder!"), Tr2("错误", "Error"));
    m_folderReported = !ready;
    // An unresolved folder stays empty: every file operation then refuses, nothing is guessed.
    return folder;
}

void CRemoteLearnDlg::ReportBrokenFile(const KeyFileResult& result) {
    const int node = SelectedNode();
    if (m_reportedBroken == node)
        return;
    m_reportedBroken = node;
    const QString path = ToQString(PlugKeyFilePath(PlugKeyFolder(), node));
    const QString detail = QString::fromStdString(result.detail);
    ShowErrorBox(
        this,
        Tr2("按键文件无法读取，文件未作改动：\n%1\n%2", "The key file cannot be read and was left as it is:\n%1\n%2")
            .arg(path, detail),
        Tr2("错误", "Error"));
}

void CRemoteLearnDlg::Reload() {
    const int keep = SelectedKey();
    const int node = SelectedNode();
    m_listedNode = node;
    m_keys.clear();
    if (node > 0) {
        const KeyFileResult result = ReadOrCreateKeyFile(KeyFolder(), node, m_keys);
        if (!result.ok()) {
            m_keys.clear();
            if (result.status == KeyFileStatus::Malformed || result.status == KeyFileStatus::CannotRead)
                ReportBrokenFile(result);
        } else if (m_reportedBroken == node) {
            m_reportedBroken = -1;
        }
    }
    QSignalBlocker quiet(m_list);
    m_list->clearSelection();
    m_list->SetRowCount(static_cast<int>(m_keys.size()));
    for (size_t row = 0; row < m_keys.size(); ++row) {
        const int r = static_cast<int>(row);
        m_list->SetCellText(r, kNumberColumn, QString::number(r + 1));
        m_list->SetCellText(r, kNameColumn, QString::fromStdString(m_keys[row].name));
        m_list->SetCellText(r, kStatusColumn, StatusText(m_keys[row].status));
        if (m_keys[row].index == keep)
            m_list->SelectOnlyRow(r);
    }
}

void CRemoteLearnDlg::Relabel() {
    RelabelDialog(this, kTemplateId);
    ApplyControlHints(this);
    m_list->SetColumnHeader(kNumberColumn, Tr2("序号", "Index"));
    m_list->SetColumnHeader(kNameColumn, Tr2("遥控键名称", "Key name"));
    m_list->SetColumnHeader(kStatusColumn, Tr2("状态", "Status"));
    for (size_t row = 0; row < m_keys.size(); ++row)
        m_list->SetCellText(static_cast<int>(row), kStatusColumn, StatusText(m_keys[row].status));
}

// ---- buttons --------------------------------------------------------------------------------------

bool CRemoteLearnDlg::CheckReady(bool needConnection, const QString& noRow) {
    if (needConnection && !m_session.IsConnected()) {
        m_display.ShowInfoMessage(Tr2("请先连接设备!", "Please connect device!"), kInfoMs);
        return false;
    }
    if (SelectedNode() == 0) {
        m_display.ShowInfoMessage(Tr2("请选择一个插座", "Please select a plug"), kInfoMs);
        return false;
    }
    if (SelectedKey() < 0) {
        m_display.ShowInfoMessage(noRow, kInfoMs);
        return false;
    }
    return true;
}

void CRemoteLearnDlg::OnLearn() {
    if (OperationRunning() || !CheckReady(true, Tr2("请在列表中选择一个按键", "Please select a row")))
        return;
    const int node = SelectedNode();
    const int key = SelectedKey();
    StartOperation(Operation::Learn, node, key);
    Reload();
    if (COrvexv13View* view = m_display.View())
        view->RequestWaitDialog(Tr2("遥控学习操作", "Learning a remote key"), zwave::SendData,
                                static_cast<uint8_t>(node), static_cast<uint8_t>(kLearnValue + key), 0);
}

void CRemoteLearnDlg::OnTransmit() {
    if (OperationRunning() || !CheckReady(true, Tr2("请在列表中选择一个按键", "Please select a row")))
        return;
    const int node = SelectedNode();
    const int key = SelectedKey();
    StartOperation(Operation::Transmit, node, key);
    if (COrvexv13View* view = m_display.View())
        view->RequestWaitDialog(Tr2("遥控操作", "Sending a remote key"), zwave::SendData, static_cast<uint8_t>(node),
                                static_cast<uint8_t>(kTransmitValue + key), 100);
}

void CRemoteLearnDlg::OnRename() {
    const QString name = m_name->text();
    if (name.isEmpty()) {
        ShowInformationBox(this, Tr2("遥控键名称不能为空字符串!", "The key name cannot be empty!"),
                           Tr2("提示", "Information"));
        return;
    }
    if (!CheckReady(false, Tr2("请在列表中选择一个按键", "Please select a key row")))
        return;
    const int key = SelectedKey();
    const KeyFileResult result = SetKeyName(KeyFolder(), SelectedNode(), key, name.toStdString());
    if (!result.ok()) {
        if (result.status == KeyFileStatus::Malformed || result.status == KeyFileStatus::CannotRead)
            ReportBrokenFile(result);
        return;
    }
    for (size_t row = 0; row < m_keys.size(); ++row) {
        if (m_keys[row].index == key) {
            m_keys[row].name = name.toStdString();
            m_list->SetCellText(static_cast<int>(row), kNameColumn, name);
        }
    }
}

void CRemoteLearnDlg::OnClear() {
    if (!CheckReady(true, Tr2("请在列表中选择一个按键", "Please select a row")))
        return;
    // Only the editor's record is cleared: nothing is sent to the plug.
    const KeyFileResult result = SetKeyStatus(KeyFolder(), SelectedNode(), SelectedKey(), 0);
    if (result.status == KeyFileStatus::Malformed || result.status == KeyFileStatus::CannotRead)
        ReportBrokenFile(result);
    Reload();
}

// ---- learn and transmit ---------------------------------------------------------------------------

void CRemoteLearnDlg::StartOperation(Operation::Kind kind, int node, int key) {
    m_operation = Operation{};
    m_operation.kind = kind;
    m_operation.node = node;
    m_operation.key = key;
    m_operation.started.start();
    m_watch.start(kWatchMs);
}

void CRemoteLearnDlg::EndOperation() {
    m_operation = Operation{};
    m_watch.stop();
}

void CRemoteLearnDlg::WatchOperation() {
    if (!OperationRunning()) {
        m_watch.stop();
        return;
    }
    CWaitDlg* box = m_display.WaitDialog();
    if (box) {
        m_operation.boxSeen = true;
        if (m_operation.outcomePending) {
            const Operation outcome = m_operation;
            m_operation.outcomePending = false;
            ShowOutcome(outcome.prompt, outcome.colour, outcome.finishMs);
        }
        return;
    }
    // The box closed (finished, aborted, timed out), or it never came: the operation is over and later
    // reports of the plug belong to nobody.
    if (m_operation.boxSeen || m_operation.started.elapsed() > kOpenGraceMs)
        EndOperation();
}

void CRemoteLearnDlg::ShowOutcome(const QString& prompt, const QColor& colour, int finishMs) {
    CWaitDlg* box = m_display.WaitDialog();
    if (!box) {
        m_operation.outcomePending = true;
        m_operation.prompt = prompt;
        m_operation.colour = colour;
        m_operation.finishMs = finishMs;
        return;
    }
    m_operation.boxSeen = true;
    box->SetText(prompt);
    if (colour.isValid())
        box->SetTextColour(colour);
    if (finishMs >= 0) {
        EndOperation();
        box->Finish(finishMs);
    }
}

void CRemoteLearnDlg::OnZWaveEvent(uint32_t wParam, uint32_t lParam) {
    if (wParam != zwave::ApplicationCommand)
        return;
    const int node = static_cast<int>(lParam >> 16);
    const int value = static_cast<int>(lParam & 0xFFFF);
    if (value < 2 || value > 7)
        return;
    // Only the plug being taught or tested, and only while that runs: a dimmer set to 3 or a late
    // report after an abort says nothing about any key.
    if (!OperationRunning() || node != m_operation.node)
        return;
    if (m_operation.outcomePending && m_operation.finishMs >= 0)
        return; // the result is in; it waits for the box
    if (!m_display.WaitDialog() && (m_operation.boxSeen || m_operation.started.elapsed() > kOpenGraceMs)) {
        EndOperation();
        return;
    }
    const bool learning = m_operation.kind == Operation::Learn;
    const int key = m_operation.key;
    const auto setStatus = [&](int status) {
        const KeyFileResult result = SetKeyStatus(KeyFolder(), node, key, status);
        if (result.status == KeyFileStatus::Malformed || result.status == KeyFileStatus::CannotRead)
            ReportBrokenFile(result);
        Reload();
    };
    switch (value) {
    case 2:
        if (learning)
            ShowOutcome(Tr2("准备就绪，请按下遥控器按键", "Ready: press the key on the remote"), QColor(), -1);
        break;
    case 3:
        if (learning) {
            setStatus(1);
            ShowOutcome(Tr2("学习完成", "Learnt"), kDoneColour, kResultShownMs);
        }
        break;
    case 4:
        if (learning) {
            setStatus(0);
            ShowOutcome(Tr2("校验错误，请重新学习", "Check error: learn the key again"), kFailColour, kResultShownMs);
        }
        break;
    case 5:
        if (learning) {
            setStatus(0);
            ShowOutcome(Tr2("等待遥控器按键超时", "No key was pressed on the remote in time"), kFailColour,
                        kResultShownMs);
        }
        break;
    case 6:
        if (!learning)
            ShowOutcome(Tr2("遥控按键发射成功", "Key sent"), kDoneColour, 0);
        break;
    case 7:
        if (!learning)
            ShowOutcome(Tr2("遥控按键发射失败", "Sending the key failed"), kFailColour, kResultShownMs);
        break;
    default:
        break;
    }
}

void CRemoteLearnDlg::OnKeyLearningAborted() {
    if (m_operation.kind != Operation::Learn)
        return;
    const int node = m_operation.node;
    const int key = m_operation.key;
    EndOperation();
    const KeyFileResult result = SetKeyStatus(KeyFolder(), node, key, 0);
    if (result.status == KeyFileStatus::Malformed || result.status == KeyFileStatus::CannotRead)
        ReportBrokenFile(result);
    Reload();
}

} // namespace orvex
