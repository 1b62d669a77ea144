#include "editors/settings/SetDlg.h"

#include "widgets/ControlId.h"
#include "widgets/GdipButton.h"
#include "widgets/XBmpSlider.h"
#include "link/CommandEncoder.h"
#include "shell/ControlIds.h"
#include "shell/EditHistory.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/MessageBoxes.h"
#include "shell/Theme.h"
#include "shell/VolumeControls.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace orvex {

namespace {

constexpr int kApplyNoticeMs = 1100;
constexpr int kClearPlugsNoticeMs = 4000;

// Bytes 0..2 all carry the volume save mode.
constexpr int kSaveModeBytes = 3;
constexpr size_t kPanelLockByte = 7;
constexpr size_t kLockBitsByte = 8;
constexpr size_t kPowerOnModeByte = 11;
constexpr size_t kHdmiRouteByte = 12;
// Byte 8: bits 0, 1 and 7 together lock the volumes, bit 4 the mode.
constexpr uint8_t kVolumeLockBits = 0x83;
constexpr uint8_t kModeLockBit = 0x10;

constexpr VolumeControl kLiveVolume[] = {VolumeControl::Mic, VolumeControl::Music};

QLabel* MakeLabel(int id, const char* zh, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(zh), parent);
    SetCtrlId(label, id);
    return label;
}

template <class Button>
Button* MakeButton(int id, const char* zh, QWidget* parent) {
    auto* button = new Button(QString::fromUtf8(zh), parent);
    SetCtrlId(button, id);
    return button;
}

QGroupBox* MakeGroup(int id, const char* zh, QWidget* parent) {
    auto* group = new QGroupBox(QString::fromUtf8(zh), parent);
    SetCtrlId(group, id);
    return group;
}

// Radio buttons of one group where a value may choose none of them.
void CheckOnly(QRadioButton* button, bool checked) {
    if (checked) {
        button->setChecked(true);
        return;
    }
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(true);
}

QString InvalidText() {
    return Tr2("无效", "Invalid");
}

} // namespace

CSetDlg::CSetDlg(const PageContext& ctx, QWidget* parent) : CToolDialog(tmpl::MachineSettings, parent), m_ctx(ctx) {
    UsePageBackground(this);
    setWindowTitle(Tr2("机器设置", "Machine Set"));

    auto* left = new QVBoxLayout;
    left->setSpacing(10);
    left->addWidget(BuildVolumeGroup());
    left->addWidget(BuildSaveModeGroup());
    left->addWidget(BuildPowerOnGroup());
    left->addWidget(BuildHdmiGroup());
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->setSpacing(10);
    right->addWidget(BuildRestoreGroup());
    right->addWidget(BuildRouteGroup());
    right->addWidget(BuildPlugGroup());
    right->addWidget(BuildLockGroup());
    right->addStretch(1);

    auto* columns = new QHBoxLayout;
    columns->setSpacing(14);
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);

    auto* apply = new CGdipButton(kApplyId, this);
    apply->setText(QString::fromUtf8("应用"));
    apply->setFixedSize(96, 28);
    connect(apply, &QAbstractButton::clicked, this, &CSetDlg::Apply);
    auto* cancel = new CGdipButton(kCancelId, this);
    cancel->setText(QString::fromUtf8("取消"));
    cancel->setFixedSize(96, 28);
    connect(cancel, &QAbstractButton::clicked, this, &CSetDlg::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addSpacing(8);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 14);
    layout->setSpacing(12);
    layout->addLayout(columns);
    layout->addLayout(buttons);

    RefreshFromStore();
}

CSetDlg::~CSetDlg() {
    // The start sliders may have moved the live volumes.
    m_ctx.display.RefreshRibbonFromStore();
}

// ---- building ----------------------------------------------------------------------------------------

QGroupBox* CSetDlg::BuildVolumeGroup() {
    QGroupBox* group = MakeGroup(1197, "开机音量", this);
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(12, 10, 12, 8);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);

    auto addRow = [&](int row, QLabel* caption, CXBmpSlider* slider, QLabel* value) {
        slider->setMinimumWidth(180);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("Invalid")) + 4);
        grid->addWidget(caption, row, 0);
        grid->addWidget(slider, row, 1);
        grid->addWidget(value, row, 2);
    };

    const size_t rows = kVolumeLimits.size();
    for (size_t i = 0; i < rows; ++i) {
        const VolumeLimitIds& ids = kVolumeLimits[i];
        VolumeLimitWidgets& w = m_limits[i];
        const bool mic = i == 0;
        w.startCaption = MakeLabel(ids.startCaption, mic ? "话筒开机音量" : "音乐开机音量", group);
        w.startSlider = new CXBmpSlider(ids.startSlider, CXBmpSlider::Orientation::Horizontal, group);
        w.startSlider->SetSliderRange(0, kStartVolumeLimit);
        w.startValue = MakeLabel(ids.startValue, "0", group);
        w.enableBox = MakeButton<QCheckBox>(ids.enableBox, "启用", group);
        w.maxCaption = MakeLabel(ids.maxCaption, mic ? "话筒最大音量" : "音乐最大音量", group);
        w.maxSlider = new CXBmpSlider(ids.maxSlider, CXBmpSlider::Orientation::Horizontal, group);
        w.maxSlider->SetSliderRange(1, kStartVolumeLimit);
        w.maxValue = MakeLabel(ids.maxValue, "99", group);

        const int startRow = static_cast<int>(i);
        addRow(startRow, w.startCaption, w.startSlider, w.startValue);
        grid->addWidget(w.enableBox, startRow, 3);
        addRow(startRow + static_cast<int>(rows), w.maxCaption, w.maxSlider, w.maxValue);

        connect(w.startSlider, &CXBmpSlider::posChanged, this, [this, i](int, int v) { OnStartMoved(i, v); });
        connect(w.maxSlider, &CXBmpSlider::posChanged, this, [this, i](int, int v) { OnMaxMoved(i, v); });
        connect(w.enableBox, &QCheckBox::clicked, this, [this, i](bool on) { OnEnableClicked(i, on); });
    }
    return group;
}

QGroupBox* CSetDlg::BuildSaveModeGroup() {
    QGroupBox* group = MakeGroup(1201, "音量保存模式", this);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(16);
    row->addWidget(MakeLabel(1239, "主音量和输入源：", group));
    m_saveByPower = MakeButton<QRadioButton>(kSaveByPowerId, "随开关机保存", group);
    m_saveByMode = MakeButton<QRadioButton>(kSaveByModeId, "随模式保存", group);
    row->addWidget(m_saveByPower);
    row->addWidget(m_saveByMode);
    row->addStretch(1);
    for (auto [button, mode] : {std::pair{m_saveByPower, 0}, std::pair{m_saveByMode, 1}}) {
        connect(button, &QRadioButton::clicked, this, [this, mode] {
            EditWorking([mode](MachineSettingsRecord& r) {
                std::fill_n(r.begin(), kSaveModeBytes, static_cast<uint8_t>(mode));
            });
        });
    }
    return group;
}

QGroupBox* CSetDlg::BuildPowerOnGroup() {
    QGroupBox* group = MakeGroup(1202, "开机指定模式", this);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(12, 8, 12, 8);
    row->setSpacing(10);
    row->addWidget(MakeLabel(1238, "机器开机指定模式", group));
    m_powerOnMode = new QComboBox(group);
    SetCtrlId(m_powerOnMode, kPowerOnModeId);
    m_powerOnMode->addItems(
        {Tr2("自动", "Auto"), QStringLiteral("M1"), QStringLiteral("M2"), QStringLiteral("M3"), QStringLiteral("M4")});
    m_powerOnMode->setMinimumWidth(90);
    row->addWidget(m_powerOnMode);
    row->addStretch(1);
    // Only the user's choice: a refresh setting the selection does not write the record.
    connect(m_powerOnMode, &QComboBox::activated, this, [this](int index) {
        EditWorking([index](MachineSettingsRecord& r) { r[kPowerOnModeByte] = static_cast<uint8_t>(index); });
    });
    return group;
}

QGroupBox* CSetDlg::BuildRestoreGroup() {
    QGroupBox* group = MakeGroup(1183, "出厂机器模式", this);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(8);
    for (int mode = 0; mode < kDeviceModeCount; ++mode) {
        auto* button = new CGdipButton(kFirstRestoreId + mode, group);
        button->setText(QStringLiteral("M%1").arg(mode + 1));
        button->setFixedSize(56, 28);
        connect(button, &QAbstractButton::clicked, this, [this, mode] { OnRestoreMode(mode + 1); });
        m_restore[static_cast<size_t>(mode)] = button;
        row->addWidget(button);
    }
    row->addStretch(1);
    return group;
}

QGroupBox* CSetDlg::BuildPlugGroup() {
    QGroupBox* group = MakeGroup(1185, "重置插座数据", this);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(12, 8, 12, 10);
    layout->setSpacing(8);
    QLabel* help = MakeLabel(1241,
                             "当因为意外情况，导致插座数据出错，而无法启动智能插座的控制界面时，您可以点击“清空插座数"
                             "据”后重试",
                             group);
    help->setWordWrap(true);
    help->setStyleSheet(QStringLiteral("color: #505a64;"));
    auto* clear = new CGdipButton(kClearPlugsId, group);
    clear->setText(QString::fromUtf8("清除插座数据"));
    clear->setFixedSize(112, 28);
    connect(clear, &QAbstractButton::clicked, this, &CSetDlg::OnClearPlugs);
    layout->addWidget(help);
    layout->addWidget(clear, 0, Qt::AlignRight);
    return group;
}

QGroupBox* CSetDlg::BuildHdmiGroup() {
    QGroupBox* group = MakeGroup(1186, "HDMI静音", this);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(12, 8, 12, 8);
    m_hdmiMute = MakeButton<QCheckBox>(kHdmiMuteId, "HDMI输出口静音", group);
    layout->addWidget(m_hdmiMute);
    connect(m_hdmiMute, &QCheckBox::clicked, this, [this](bool on) {
        EditWorking([on](MachineSettingsRecord& r) {
            r[kHdmiRouteByte] = static_cast<uint8_t>((r[kHdmiRouteByte] & 0xF0) | (on ? 1 : 0));
        });
    });
    return group;
}

QGroupBox* CSetDlg::BuildRouteGroup() {
    QGroupBox* group = MakeGroup(1187, "DTS/AC3 环绕输出路由", this);
    auto* layout = new QVBoxLayout(group);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(6);
    const char* texts[] = {"输出至SL/SR", "输出至SBL/SBR", "输出至SL/SR和SBL/SBR"};
    for (size_t code = 0; code < kRouteIds.size(); ++code) {
        m_route[code] = MakeButton<QRadioButton>(kRouteIds[code], texts[code], group);
        layout->addWidget(m_route[code]);
        connect(m_route[code], &QRadioButton::clicked, this, [this, code] {
            EditWorking([code](MachineSettingsRecord& r) {
                r[kHdmiRouteByte] = static_cast<uint8_t>((code << 4) | (r[kHdmiRouteByte] & 0x0F));
            });
        });
    }
    return group;
}

QGroupBox* CSetDlg::BuildLockGroup() {
    // The processor's locks are not offered to the user; the boxes only mirror bytes 7 and 8, which
    // Apply returns as they came.
    QGroupBox* group = MakeGroup(1184, "机器锁定", this);
    auto* layout = new QVBoxLayout(group);
    m_panelLock = MakeButton<QCheckBox>(kPanelLockId, "面板锁", group);
    m_volumeLock = MakeButton<QCheckBox>(kVolumeLockId, "音量锁", group);
    m_modeLock = MakeButton<QCheckBox>(kModeLockId, "模式锁", group);
    for (QCheckBox* box : {m_panelLock, m_volumeLock, m_modeLock})
        layout->addWidget(box);
    group->hide();
    return group;
}

// ---- refresh -----------------------------------------------------------------------------------------

void CSetDlg::RefreshFromStore() {
    ParameterStore& store = m_ctx.store;
    const MachineSettingsRecord settings = store.CommittedMachineSettings();
    store.SetWorkingMachineSettings(settings);

    for (size_t i = 0; i < kVolumeLimits.size(); ++i) {
        const VolumeLimitIds& ids = kVolumeLimits[i];
        VolumeLimitWidgets& w = m_limits[i];
        // The start range first: a start volume above the old range would otherwise be cut to it.
        w.maxSlider->SetSliderPos(settings[static_cast<size_t>(ids.maxByte)]);
        w.maxValue->setText(QString::number(settings[static_cast<size_t>(ids.maxByte)]));
        w.startSlider->SetSliderRange(0, w.maxSlider->GetSliderPos());
        ShowStartVolume(i, settings[static_cast<size_t>(ids.startByte)]);
    }

    const bool panelLocked = settings[kPanelLockByte] != 0;
    m_panelLock->setChecked(panelLocked);
    m_volumeLock->setChecked((settings[kLockBitsByte] & kVolumeLockBits) == kVolumeLockBits);
    m_modeLock->setChecked((settings[kLockBitsByte] & kModeLockBit) != 0);
    m_volumeLock->setEnabled(panelLocked);
    m_modeLock->setEnabled(panelLocked);

    m_powerOnMode->setCurrentIndex(settings[kPowerOnModeByte] < m_powerOnMode->count() ? settings[kPowerOnModeByte]
                                                                                       : -1);
    CheckOnly(m_saveByPower, settings[0] == 0);
    CheckOnly(m_saveByMode, settings[0] != 0);

    m_hdmiMute->setChecked((settings[kHdmiRouteByte] & 0x0F) != 0);
    const size_t route = settings[kHdmiRouteByte] >> 4;
    for (size_t code = 0; code < m_route.size(); ++code)
        CheckOnly(m_route[code], code == route);

    MarkCurrentMode();
}

void CSetDlg::Relabel() {
    CToolDialog::Relabel();
    m_powerOnMode->setItemText(0, Tr2("自动", "Auto"));
    // The value texts are not in the language table; an unset start volume says so in the new language.
    const MachineSettingsRecord working = m_ctx.store.WorkingMachineSettings();
    for (size_t i = 0; i < kVolumeLimits.size(); ++i) {
        if (working[static_cast<size_t>(kVolumeLimits[i].startByte)] == kStartVolumeNotSet)
            m_limits[i].startValue->setText(InvalidText());
    }
}

void CSetDlg::ShowStartVolume(size_t row, uint8_t value) {
    VolumeLimitWidgets& w = m_limits[row];
    const bool set = value != kStartVolumeNotSet;
    w.startSlider->SetSliderPos(set ? value : w.startSlider->GetSliderMin());
    w.startValue->setText(set ? QString::number(value) : InvalidText());
    w.enableBox->setChecked(set);
    w.startSlider->SetSliderEnabled(set);
    w.startCaption->setEnabled(set);
    w.startValue->setEnabled(set);
}

void CSetDlg::MarkCurrentMode() {
    const int current = m_ctx.store.DeviceMode();
    for (int mode = 0; mode < kDeviceModeCount; ++mode)
        m_restore[static_cast<size_t>(mode)]->UseAlternateImage(mode == current);
}

// ---- edits -------------------------------------------------------------------------------------------

void CSetDlg::EditWorking(const std::function<void(MachineSettingsRecord&)>& edit) {
    ParameterStore& store = m_ctx.store;
    MachineSettingsRecord working = store.WorkingMachineSettings();
    edit(working);
    store.SetWorkingMachineSettings(working);
}

void CSetDlg::OnStartMoved(size_t row, int value) {
    const size_t byte = static_cast<size_t>(kVolumeLimits[row].startByte);
    EditWorking([&](MachineSettingsRecord& r) { r[byte] = static_cast<uint8_t>(value); });
    // The user hears the start volume while choosing it.
    SetVolume(m_ctx.session.Commands(), kLiveVolume[row], value);
    m_limits[row].startValue->setText(QString::number(value));
}

void CSetDlg::OnMaxMoved(size_t row, int value) {
    const VolumeLimitIds& ids = kVolumeLimits[row];
    VolumeLimitWidgets& w = m_limits[row];
    EditWorking([&](MachineSettingsRecord& r) { r[static_cast<size_t>(ids.maxByte)] = static_cast<uint8_t>(value); });
    w.maxValue->setText(QString::number(value));
    // The start slider as the user sees it decides, not the record: a start volume the processor
    // sent above its own maximum shows cut to it, and raising the maximum must not move it.
    const int start = w.startSlider->GetSliderPos();
    w.startSlider->SetSliderRange(0, value);
    // A start volume above the new maximum comes down to it, and so does what the user hears. An
    // unset start volume (its slider disabled at the minimum) stays unset.
    if (w.startSlider->IsSliderEnabled() && start > value) {
        w.startSlider->SetSliderPos(value);
        OnStartMoved(row, value);
    }
}

void CSetDlg::OnEnableClicked(size_t row, bool enabled) {
    const VolumeLimitIds& ids = kVolumeLimits[row];
    uint8_t value = kStartVolumeNotSet;
    if (enabled) {
        // The volume playing now becomes the start volume, within the maximum the record allows.
        const int live = m_ctx.store.Get(Info(kLiveVolume[row]).field);
        value = static_cast<uint8_t>(std::clamp(live, 0, m_limits[row].startSlider->GetSliderMax()));
    }
    EditWorking([&](MachineSettingsRecord& r) { r[static_cast<size_t>(ids.startByte)] = value; });
    ShowStartVolume(row, value);
}

void CSetDlg::Apply() {
    if (m_ctx.history != nullptr)
        m_ctx.history->NameAction(QStringLiteral("机器设置"), QStringLiteral("Machine settings"));
    const MachineSettingsRecord record = m_ctx.store.CommitMachineSettings();
    m_ctx.session.Commands().WriteMachineSettings(record);
    m_ctx.display.ShowInfoMessage(Tr2("机器设置已生效!", "Setting valid"), kApplyNoticeMs);
}

void CSetDlg::reject() {
    close();
}

void CSetDlg::closeEvent(QCloseEvent* event) {
    ParameterStore& store = m_ctx.store;
    store.SetWorkingMachineSettings(store.CommittedMachineSettings());
    event->accept();
    deleteLater();
}

void CSetDlg::wheelEvent(QWheelEvent* event) {
    // The wheel anywhere in the window turns the slider that has the keyboard.
    QWidget* focused = focusWidget();
    for (const VolumeLimitWidgets& w : m_limits) {
        if (focused && (focused == w.startSlider || focused == w.maxSlider)) {
            QApplication::sendEvent(focused, event);
            return;
        }
    }
    CToolDialog::wheelEvent(event);
}

void CSetDlg::OnRestoreMode(int mode) {
    DeviceSession& session = m_ctx.session;
    if (!session.IsConnected())
        return;
    const int index = std::clamp(mode - 1, 0, kDeviceModeCount - 1);
    // The memory goes back to its factory content for good, and the processor loads it at once.
    const QString text = Tr2("确定要将机器模式%1恢复为出厂设置吗？该模式中保存的参数将丢失。",
                             "Restore machine mode %1 to its factory settings? What is stored in M%1 is lost.")
                             .arg(ModeNumeral(index + 1));
    if (AskQuestion(this, text, Tr2("信息", "Information")) != QMessageBox::Yes)
        return;
    m_ctx.store.SetDeviceMode(index);
    MarkCurrentMode();
    session.Commands().ResetDeviceMode(index);
    // The processor answers with 06, which reads everything again and ends this dialog's wait.
    m_ctx.display.ShowSyncDialog(QString());
}

void CSetDlg::OnClearPlugs() {
    DeviceSession& session = m_ctx.session;
    if (!session.IsConnected())
        return;
    // Only one sequence runs at a time: during a synchronisation the clearing does not start.
    if (!session.Sync().StartResetZWave()) {
        m_ctx.display.ShowInfoMessage(Tr2("插座数据未能清除，机器正忙，请稍后重试。",
                                          "The plug data was not cleared: the machine is busy. Try again shortly."),
                                      kClearPlugsNoticeMs);
        return;
    }
    m_ctx.display.ShowInfoMessage(Tr2("正在清除插座数据，请稍等……", "Resetting, wait a moment"), kClearPlugsNoticeMs);
}

CXBmpSlider* CSetDlg::Slider(int controlId) const {
    for (const VolumeLimitWidgets& w : m_limits) {
        if (w.startSlider->ControlId() == controlId)
            return w.startSlider;
        if (w.maxSlider->ControlId() == controlId)
            return w.maxSlider;
    }
    return nullptr;
}

} // namespace orvex
