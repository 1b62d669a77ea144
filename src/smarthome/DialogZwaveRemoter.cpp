#include "smarthome/DialogZwaveRemoter.h"

#include "widgets/ControlId.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/MessageBoxes.h"
#include "shell/Relabel.h"
#include "shell/ToolDialog.h"
#include "model/PlugKeyFile.h"
#include "smarthome/PlugCommon.h"
#include "smarthome/PlugKeyFolder.h"
#include "smarthome/SceneRunDlg.h"
#include "link/SceneRunner.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <tuple>

namespace orvex {

namespace {

// The keys of a plug, from its key file as the learning page keeps it. With `create` a plug without a
// key file is given its default one first.
std::vector<SceneKey> PlugKeys(int node, bool create) {
    std::vector<SceneKey> keys;
    std::vector<PlugKey> stored;
    const std::filesystem::path folder = PlugKeyFolder();
    const KeyFileResult read = create && CreateKeyDirectory(folder) ? ReadOrCreateKeyFile(folder, node, stored)
                                                                    : ReadKeyFile(folder, node, stored);
    if (read.ok()) {
        for (const PlugKey& key : stored)
            keys.push_back({key.index, QString::fromStdString(key.name), key.status != 0});
    }
    return keys;
}

constexpr int kRowCommand = 0;
uint8_t Target(uint16_t command) {
    return static_cast<uint8_t>(command & 0xFF);
}
uint8_t Value(uint16_t command) {
    return static_cast<uint8_t>(command >> 8);
}
uint16_t Command(uint8_t target, uint8_t value) {
    return static_cast<uint16_t>(target | value << 8);
}

QPushButton* MakeButton(QWidget* parent, int id, const char* text) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    SetCtrlId(button, id);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* MakeGroup(QWidget* parent, int id, const char* text) {
    auto* group = new QGroupBox(QString::fromUtf8(text), parent);
    SetCtrlId(group, id);
    return group;
}

} // namespace

QString CDialogZwaveRemoter::SceneName(int scene) {
    static const char* const kZh[kSceneCount] = {"电视", "电影", "K歌", "音乐", "开机", "关机"};
    static const char* const kEn[kSceneCount] = {"TV", "Movie", "Karaoke", "Music", "PowerON", "PowerOFF"};
    return scene >= 0 && scene < kSceneCount ? Tr2(kZh[scene], kEn[scene]) : QString();
}

QString CDialogZwaveRemoter::ValueText(uint8_t value, const QString& keyName) {
    if (value == 0)
        return Tr2("关", "OFF");
    if (value == 99)
        return Tr2("开", "ON");
    if (value < 99)
        return QString::asprintf("%.0f", value / 99.0 * 100.0);
    if (value >= 128 && value <= 191)
        return Tr2("遥控键:", "Key:") + keyName;
    return QString::number(value);
}

CDialogZwaveRemoter::CDialogZwaveRemoter(const PageContext& ctx, QWidget* parent)
    : CHomeTheaterPage(parent), m_ctx(ctx) {
    SetTemplateId(this, kTemplateId);
    // Each button is wired to its action as it is made.
    const auto button = [this](QWidget* group, int id, const char* text, auto action) {
        QPushButton* made = MakeButton(group, id, text);
        connect(made, &QPushButton::clicked, this, action);
        return made;
    };
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);

    // Left: the scene and its command list, with the list's edit buttons.
    auto* listGroup = MakeGroup(this, 1073, "指令列表");
    auto* listLayout = new QVBoxLayout(listGroup);
    auto* sceneRow = new QHBoxLayout;
    auto* sceneLabel = new QLabel(QString::fromUtf8("情景"), listGroup);
    SetCtrlId(sceneLabel, 1226);
    m_sceneCombo = new QComboBox(listGroup);
    SetCtrlId(m_sceneCombo, kSceneComboId);
    for (int s = 0; s < kSceneCount; ++s)
        m_sceneCombo->addItem(SceneName(s));
    sceneLabel->setBuddy(m_sceneCombo);
    sceneRow->addWidget(sceneLabel);
    sceneRow->addWidget(m_sceneCombo, 1);
    listLayout->addLayout(sceneRow);
    m_list = new QTreeWidget(listGroup);
    SetCtrlId(m_list, kListId);
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(3);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setStretchLastSection(true);
    m_list->setColumnWidth(0, 48);
    m_list->setColumnWidth(1, 110);
    m_list->setMinimumWidth(300);
    listLayout->addWidget(m_list, 1);
    auto* edit = MakeGroup(listGroup, 1078, "编辑列表");
    auto* editRow = new QGridLayout(edit);
    const std::tuple<int, const char*, void (CDialogZwaveRemoter::*)()> editButtons[] = {
        {kDeleteId, "删除选中项", &CDialogZwaveRemoter::DeleteRow},
        {kUpId, "上移", &CDialogZwaveRemoter::MoveUp},
        {kDownId, "下移", &CDialogZwaveRemoter::MoveDown},
        {kClearId, "清空列表", &CDialogZwaveRemoter::ClearRows}};
    int column = 0;
    for (const auto& [id, text, action] : editButtons)
        editRow->addWidget(button(edit, id, text, action), 0, column++);
    listLayout->addWidget(edit);
    auto* saveRow = new QHBoxLayout;
    saveRow->addWidget(button(listGroup, kSaveId, "保存列表", [this] { Save(); }));
    saveRow->addWidget(button(listGroup, kTestId, "测试当前情景", &CDialogZwaveRemoter::Test));
    m_savedNote = new QLabel(listGroup);
    m_savedNote->setStyleSheet(QStringLiteral("color: rgb(0, 128, 0);"));
    m_savedNote->hide();
    saveRow->addWidget(m_savedNote);
    m_savedNoteTimer = new QTimer(this);
    m_savedNoteTimer->setSingleShot(true);
    connect(m_savedNoteTimer, &QTimer::timeout, m_savedNote, &QLabel::hide);
    listLayout->addLayout(saveRow);
    layout->addWidget(listGroup, 3);

    // Right: the three kinds of command.
    auto* right = new QVBoxLayout;
    auto* plugGroup = MakeGroup(this, 1070, "插座指令");
    auto* plugGrid = new QGridLayout(plugGroup);
    auto* plugLabel = new QLabel(QString::fromUtf8("插座"), plugGroup);
    SetCtrlId(plugLabel, 1228);
    m_plugCombo = new QComboBox(plugGroup);
    SetCtrlId(m_plugCombo, kPlugComboId);
    plugLabel->setBuddy(m_plugCombo);
    m_on = new QCheckBox(QString::fromUtf8("开"), plugGroup);
    SetCtrlId(m_on, kOnCheckId);
    m_level = new QSlider(Qt::Horizontal, plugGroup);
    SetCtrlId(m_level, kLevelSliderId);
    m_level->setRange(0, 99);
    m_levelText = new QLabel(QStringLiteral("0"), plugGroup);
    SetCtrlId(m_levelText, kLevelTextId);
    m_levelText->setMinimumWidth(m_levelText->fontMetrics().horizontalAdvance(QStringLiteral("100")) + 6);
    plugGrid->addWidget(plugLabel, 0, 0);
    plugGrid->addWidget(m_plugCombo, 0, 1, 1, 2);
    plugGrid->addWidget(m_on, 1, 1);
    plugGrid->addWidget(m_level, 2, 1);
    plugGrid->addWidget(m_levelText, 2, 2);
    auto* plugButtons = new QHBoxLayout;
    plugButtons->addWidget(button(plugGroup, kAddId, "添加值", &CDialogZwaveRemoter::Add));
    plugButtons->addWidget(button(plugGroup, kResetValueId, "修改值", &CDialogZwaveRemoter::ResetValue));
    plugGrid->addLayout(plugButtons, 3, 0, 1, 3);
    right->addWidget(plugGroup);

    auto* keyGroup = MakeGroup(this, 1071, "遥控指令");
    auto* keyGrid = new QGridLayout(keyGroup);
    auto* keyLabel = new QLabel(QString::fromUtf8("遥控"), keyGroup);
    SetCtrlId(keyLabel, 1229);
    m_keyCombo = new QComboBox(keyGroup);
    SetCtrlId(m_keyCombo, kKeyComboId);
    keyLabel->setBuddy(m_keyCombo);
    m_showLearned = new QCheckBox(QString::fromUtf8("只显示学习过的键"), keyGroup);
    SetCtrlId(m_showLearned, kShowLearnedId);
    m_showLearned->setChecked(true);
    keyGrid->addWidget(keyLabel, 0, 0);
    keyGrid->addWidget(m_keyCombo, 0, 1);
    keyGrid->addWidget(m_showLearned, 1, 1);
    auto* keyButtons = new QHBoxLayout;
    keyButtons->addWidget(button(keyGroup, kAddKeyId, "添加遥控", &CDialogZwaveRemoter::AddKey));
    keyButtons->addWidget(button(keyGroup, kResetKeyId, "修改遥控", &CDialogZwaveRemoter::ResetKey));
    keyGrid->addLayout(keyButtons, 2, 0, 1, 2);
    right->addWidget(keyGroup);

    auto* delayGroup = MakeGroup(this, 1072, "延时指令");
    auto* delayGrid = new QGridLayout(delayGroup);
    auto* delayLabel = new QLabel(QString::fromUtf8("延时"), delayGroup);
    SetCtrlId(delayLabel, 1239);
    m_delay = new QSlider(Qt::Horizontal, delayGroup);
    SetCtrlId(m_delay, kDelaySliderId);
    m_delay->setRange(1, 100);
    m_delay->setValue(1);
    delayLabel->setBuddy(m_delay);
    m_delayText = new QLabel(QStringLiteral("1s"), delayGroup);
    SetCtrlId(m_delayText, kDelayTextId);
    m_delayText->setMinimumWidth(m_delayText->fontMetrics().horizontalAdvance(QStringLiteral("100s")) + 6);
    delayGrid->addWidget(delayLabel, 0, 0);
    delayGrid->addWidget(m_delay, 0, 1);
    delayGrid->addWidget(m_delayText, 0, 2);
    auto* delayButtons = new QHBoxLayout;
    delayButtons->addWidget(button(delayGroup, kAddDelayId, "添加延时", &CDialogZwaveRemoter::AddDelay));
    delayButtons->addWidget(button(delayGroup, kResetDelayId, "修改延时", &CDialogZwaveRemoter::ResetDelay));
    delayGrid->addLayout(delayButtons, 1, 0, 1, 3);
    right->addWidget(delayGroup);
    right->addStretch(1);
    layout->addLayout(right, 2);

    connect(m_sceneCombo, &QComboBox::activated, this, &CDialogZwaveRemoter::SelectScene);
    connect(m_plugCombo, &QComboBox::currentIndexChanged, this, &CDialogZwaveRemoter::OnPlugChosen);
    connect(m_showLearned, &QCheckBox::toggled, this, &CDialogZwaveRemoter::FillKeys);
    connect(m_level, &QSlider::valueChanged, this, [this](int v) { m_levelText->setText(QString::number(v)); });
    connect(m_delay, &QSlider::valueChanged, this,
            [this](int v) { m_delayText->setText(QStringLiteral("%1%2").arg(v).arg(Tr2("秒", "s"))); });
    Relabel();
}

void CDialogZwaveRemoter::Relabel() {
    RelabelDialog(this, kTemplateId);
    m_list->setHeaderLabels({Tr2("序号", "Index"), Tr2("设备名称", "Name"), Tr2("参数", "Parameter")});
    m_list->headerItem()->setTextAlignment(2, Qt::AlignCenter);
    for (int s = 0; s < kSceneCount; ++s)
        m_sceneCombo->setItemText(s, SceneName(s));
    m_delayText->setText(QStringLiteral("%1%2").arg(m_delay->value()).arg(Tr2("秒", "s")));
    // Row texts carry names and units of the language.
    if (!m_changed)
        LoadScene();
}

void CDialogZwaveRemoter::RefreshFromStore() {
    FillPlugs();
    LoadScene();
}

void CDialogZwaveRemoter::SelectScene(int scene) {
    if (scene < 0 || scene >= kSceneCount)
        return;
    m_scene = scene;
    m_sceneCombo->setCurrentIndex(scene);
    LoadScene();
}

void CDialogZwaveRemoter::FillPlugs() {
    const SmartHomeTables& tables = m_ctx.session.Link().SmartHome();
    const int chosen = m_plugCombo->currentData().toInt();
    const QSignalBlocker block(m_plugCombo);
    m_plugCombo->clear();
    for (int node : tables.PresentNodes()) {
        if (IsPlugNode(node))
            m_plugCombo->addItem(PlugDisplayName(m_ctx, node), node);
    }
    const int at = m_plugCombo->findData(chosen);
    m_plugCombo->setCurrentIndex(at >= 0 ? at : (m_plugCombo->count() > 0 ? 0 : -1));
    OnPlugChosen();
}

void CDialogZwaveRemoter::OnPlugChosen() {
    const int node = m_plugCombo->currentData().toInt();
    const uint8_t type = IsPlugNode(node) ? m_ctx.session.Link().SmartHome().Plug(node)[0] : 0;
    m_on->setVisible(type != kPlugTypeDimmer);
    m_level->setVisible(type == kPlugTypeDimmer);
    m_levelText->setVisible(type == kPlugTypeDimmer);
    FillKeys();
}

void CDialogZwaveRemoter::FillKeys() {
    m_keyCombo->clear();
    const int node = m_plugCombo->currentData().toInt();
    if (!IsPlugNode(node))
        return;
    // The key list is where a plug's keys are first used: its default key file is made here.
    for (const SceneKey& key : PlugKeys(node, true)) {
        if (m_showLearned->isChecked() && !key.learned)
            continue;
        m_keyCombo->addItem(key.name, key.index);
    }
}

void CDialogZwaveRemoter::LoadScene() {
    // Every command the scene holds is listed, whatever its target, so that nothing runs that the
    // user cannot see and delete; empty slots are skipped wherever they are.
    const SceneRecord record = m_ctx.session.Link().SmartHome().Scene(m_scene);
    m_list->clear();
    for (int i = 0; i < kSceneCommandCount; ++i) {
        const uint8_t target = record[static_cast<size_t>(2 * i)];
        if (target == 0)
            continue;
        auto* item = new QTreeWidgetItem(m_list);
        SetRow(m_list->indexOfTopLevelItem(item), Command(target, record[static_cast<size_t>(2 * i + 1)]));
    }
    Renumber();
    m_changed = false;
}

void CDialogZwaveRemoter::Renumber() {
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        m_list->topLevelItem(row)->setText(0, QString::number(row + 1));
}

void CDialogZwaveRemoter::SetRow(int row, uint16_t command) {
    QTreeWidgetItem* item = m_list->topLevelItem(row);
    if (!item)
        return;
    const uint8_t target = Target(command);
    const uint8_t value = Value(command);
    item->setData(kRowCommand, kCommandRole, command);
    if (target == SceneRunner::kTargetDelay) {
        item->setText(1, Tr2("延时", "Delay"));
        item->setText(2, QStringLiteral("%1%2").arg(value).arg(Tr2("秒", "s")));
    } else if (target == SceneRunner::kTargetHdmi) {
        // The processor numbers its HDMI inputs from 0.
        item->setText(1, Tr2("HDMI输入", "HDMI input"));
        item->setText(2, value <= 3 ? QStringLiteral("HDMI %1").arg(value + 1) : QString::number(value));
    } else if (!IsPlugNode(target)) {
        item->setText(1, Tr2("目标%1", "Target %1").arg(int{target}));
        item->setText(2, QString::number(value));
    } else {
        item->setText(1, m_ctx.session.Link().SmartHome().NodePresent(target)
                             ? PlugDisplayName(m_ctx, target)
                             : Tr2("已删除插座%1", "Removed plug %1").arg(int{target}));
        QString keyName;
        if (value >= 128 && value <= 191) {
            for (const SceneKey& key : PlugKeys(target, false)) {
                if (key.index == value - 128)
                    keyName = key.name;
            }
        }
        item->setText(2, ValueText(value, keyName));
    }
    item->setTextAlignment(2, Qt::AlignCenter);
}

std::vector<uint16_t> CDialogZwaveRemoter::Rows() const {
    std::vector<uint16_t> rows;
    for (int row = 0; row < m_list->topLevelItemCount(); ++row)
        rows.push_back(static_cast<uint16_t>(m_list->topLevelItem(row)->data(kRowCommand, kCommandRole).toUInt()));
    return rows;
}

SceneRecord CDialogZwaveRemoter::BuildRecord() const {
    // Exactly the rows, in list order; the slots after them are empty.
    const std::vector<uint16_t> rows = Rows();
    SceneRecord record{};
    for (size_t i = 0; i < rows.size() && i < static_cast<size_t>(kSceneCommandCount); ++i) {
        record[2 * i] = Target(rows[i]);
        record[2 * i + 1] = Value(rows[i]);
    }
    return record;
}

// ---- editing ---------------------------------------------------------------------------------------

void CDialogZwaveRemoter::Notice(const QString& text) {
    m_ctx.display.ShowInfoMessage(text, kPlugNoticeMs);
}

bool CDialogZwaveRemoter::RoomForOneMore() {
    if (m_list->topLevelItemCount() < kSceneCommandCount)
        return true;
    Notice(Tr2("情景指令已达最大数量", "command over range"));
    return false;
}

int CDialogZwaveRemoter::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->indexOfTopLevelItem(selected.front());
}

bool CDialogZwaveRemoter::PlugCommand(uint16_t* command) {
    const int node = m_plugCombo->currentData().toInt();
    if (!IsPlugNode(node)) {
        Notice(Tr2("请选择一个插座", "Please select a plug"));
        return false;
    }
    const uint8_t type = m_ctx.session.Link().SmartHome().Plug(node)[0];
    uint8_t value = 0;
    if (type == kPlugTypeSwitch)
        value = m_on->isChecked() ? 99 : 0;
    else if (type == kPlugTypeDimmer)
        value = static_cast<uint8_t>(m_level->value());
    *command = Command(static_cast<uint8_t>(node), value);
    return true;
}

bool CDialogZwaveRemoter::KeyCommand(uint16_t* command) {
    const int node = m_plugCombo->currentData().toInt();
    if (!IsPlugNode(node)) {
        Notice(Tr2("请选择一个插座", "Please select a plug"));
        return false;
    }
    if (m_keyCombo->currentIndex() < 0) {
        Notice(Tr2("请选择一个遥控键名", "Please select a remote key"));
        return false;
    }
    const int index = std::clamp(m_keyCombo->currentData().toInt(), 0, 63);
    *command = Command(static_cast<uint8_t>(node), static_cast<uint8_t>(128 + index));
    return true;
}

uint16_t CDialogZwaveRemoter::DelayCommand() const {
    return Command(SceneRunner::kTargetDelay, static_cast<uint8_t>(m_delay->value()));
}

void CDialogZwaveRemoter::AppendRow(uint16_t command) {
    auto* item = new QTreeWidgetItem(m_list);
    SetRow(m_list->indexOfTopLevelItem(item), command);
    Renumber();
    m_list->setCurrentItem(item);
    m_changed = true;
}

void CDialogZwaveRemoter::Add() {
    uint16_t command = 0;
    if (RoomForOneMore() && PlugCommand(&command))
        AppendRow(command);
}

void CDialogZwaveRemoter::AddKey() {
    uint16_t command = 0;
    if (RoomForOneMore() && KeyCommand(&command))
        AppendRow(command);
}

void CDialogZwaveRemoter::AddDelay() {
    if (RoomForOneMore())
        AppendRow(DelayCommand());
}

namespace {
constexpr int kFullList = kSceneCommandCount;
} // namespace

void CDialogZwaveRemoter::ReplaceSelected(const std::function<bool(uint16_t*)>& makeCommand) {
    if (m_list->topLevelItemCount() >= kFullList) {
        Notice(Tr2("情景指令已达最大数量", "command over range"));
        return;
    }
    const int row = SelectedRow();
    if (row < 0) {
        Notice(Tr2("请选择列表项", "Please select a item"));
        return;
    }
    uint16_t command = 0;
    if (!makeCommand(&command))
        return;
    SetRow(row, command);
    m_changed = true;
}

void CDialogZwaveRemoter::ResetValue() {
    ReplaceSelected([this](uint16_t* command) { return PlugCommand(command); });
}

void CDialogZwaveRemoter::ResetKey() {
    ReplaceSelected([this](uint16_t* command) { return KeyCommand(command); });
}

void CDialogZwaveRemoter::ResetDelay() {
    ReplaceSelected([this](uint16_t* command) {
        *command = DelayCommand();
        return true;
    });
}

void CDialogZwaveRemoter::DeleteRow() {
    const int row = SelectedRow();
    if (row < 0) {
        Notice(Tr2("请先选择列表项", "Please select a item"));
        return;
    }
    delete m_list->takeTopLevelItem(row);
    Renumber();
    m_changed = true;
}

void CDialogZwaveRemoter::MoveUp() {
    const int row = SelectedRow();
    if (row < 0) {
        Notice(Tr2("请先选择列表项", "Please select a item"));
        return;
    }
    if (row == 0) {
        Notice(Tr2("已移至首项", "Already be first"));
        return;
    }
    QTreeWidgetItem* item = m_list->takeTopLevelItem(row);
    m_list->insertTopLevelItem(row - 1, item);
    Renumber();
    m_list->setCurrentItem(item);
    m_list->setFocus();
    m_changed = true;
}

void CDialogZwaveRemoter::MoveDown() {
    const int row = SelectedRow();
    if (row < 0) {
        Notice(Tr2("请先选择列表项", "Please select a item"));
        return;
    }
    if (row == m_list->topLevelItemCount() - 1) {
        Notice(Tr2("已移至尾项", "Already be last"));
        return;
    }
    QTreeWidgetItem* item = m_list->takeTopLevelItem(row);
    m_list->insertTopLevelItem(row + 1, item);
    Renumber();
    m_list->setCurrentItem(item);
    m_list->setFocus();
    m_changed = true;
}

void CDialogZwaveRemoter::ClearRows() {
    m_list->clear();
    m_changed = true;
}

bool CDialogZwaveRemoter::Save() {
    m_savedNote->hide();
    if (!m_ctx.session.IsConnected()) {
        Notice(Tr2("请先连接设备!", "Please connect device!"));
        return false;
    }
    SmartHomeTables& tables = m_ctx.session.Link().SmartHome();
    // Without the module's tables the list does not show what the module holds; saving it would
    // overwrite the scene unseen.
    if (tables.tablesRead.load() == 0) {
        Notice(Tr2("插座数据未同步，无法保存", "Plug data not synchronized, cannot save"));
        return false;
    }
    const SceneRecord record = BuildRecord();
    tables.SetScene(m_scene, record);
    m_ctx.session.Commands().WriteSceneMemory(
        static_cast<uint16_t>(kSceneMemoryAddress + static_cast<uint32_t>(kSceneRecordSize * m_scene)), record);
    LoadScene();
    Notice(Tr2("保存完成", "Save finished"));
    // The notice may open behind this window; the note beside the button is where the user looks.
    m_savedNote->setText(Tr2("已保存", "Saved"));
    m_savedNote->show();
    m_savedNoteTimer->start(kSavedNoteMs);
    return true;
}

void CDialogZwaveRemoter::Test() {
    if (!PlugLinkReady(m_ctx))
        return;
    if (m_changed) {
        const auto answer = AskQuestion(
            this, Tr2("情景已更改，保存并测试？", "Scene changed! Are you sure save and load?"), Tr2("提示", "Tip"));
        if (answer != QMessageBox::Yes || !Save())
            return;
    }
    CSceneRunDlg::RunScene(m_ctx, window(), m_ctx.session.Link().SmartHome().Scene(m_scene),
                           Tr2("载入情景中……", "Loading scene..."));
    if (CToolDialog* plugs = m_ctx.display.ToolDialog(tmpl::SmartPlug))
        plugs->RefreshFromStore();
}

} // namespace orvex
