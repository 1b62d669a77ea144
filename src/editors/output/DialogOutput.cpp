#include "editors/output/DialogOutput.h"

#include "editors/EqSectionHost.h"
#include "editors/input/StoreToControl.h"
#include "widgets/CompressorSliders.h"
#include "widgets/ControlId.h"
#include "widgets/OutputChannelPicture.h"
#include "editors/output/OutputTabRow.h"
#include "widgets/XBmpSlider.h"
#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "model/CoefficientEncoding.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "model/StoreFields.h"
#include "shell/AppSettings.h"
#include "link/DeviceSession.h"
#include "shell/DlgMsgBox.h"
#include "shell/EditHistory.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace orvex {

namespace {

constexpr std::array<CDialogOutput::LinkPair, 3> kLinkPairs = {{
    {1062, 0, 0, 1},
    {1064, 1, 2, 3},
    {1068, 2, 6, 7},
}};

constexpr int kRoleIds[] = {1217, 1218, 1219, 1220, 1221, 1222, 1223, 1224};
constexpr int kMuteIds[] = {1045, 1047, 1048, 1049, 1050, 1051, 1052, 1053};
constexpr int kPhaseIds[] = {1054, 1055, 1056, 1057, 1058, 1059, 1060, 1061};
constexpr int kRoleCount = 8;
constexpr const char* kRolesZh[kRoleCount] = {"前置左", "前置右", "后环绕左", "后环绕右",
                                              "超低",   "中置",   "侧环绕左", "侧环绕右"};
constexpr const char* kRolesEn[kRoleCount] = {"CH-L", "CH-R", "CH-SBL", "CH-SBR", "CH-SUB", "CH-CEN", "CH-SL", "CH-SR"};

// The four mixes: slider, value label, name label and their store field.
struct MixSpec {
    int id;
    int valueId;
    int nameId;
    const char* zh;
    const char* en;
    SlotField<int32_t, 8> field;
};
const MixSpec kMixes[] = {
    {1041, 1127, 1123, "直达声音量", "Direct", fields::outMixDirect},
    {1042, 1128, 1124, "混响音量", "Reverb", fields::outMixReverb},
    {1043, 1129, 1125, "回声音量", "Echo", fields::outMixEcho},
    {1044, 1130, 1126, "音乐音量", "Music", fields::outMixMusic},
};

// The compressor's four values in the order of their record, with this page's texts.
struct CompSpec {
    int id;
    int valueId;
    int nameId;
    const char* zh;
    const char* en;
    CompressorSlider range;
};
constexpr CompSpec kComp[] = {
    {1015, 1225, 1005, "阀(阈)", "Threshold", kCompressorSliders[compslider::Threshold]},
    {1016, 1226, 1007, "衰减比例", "Decay ratio", kCompressorSliders[compslider::Ratio]},
    {1017, 1227, 1006, "启动时间", "Attack time", kCompressorSliders[compslider::Attack]},
    {1018, 1228, 1002, "释放时间", "Release time", kCompressorSliders[compslider::OutputPageRelease]},
};
constexpr int kCompSlots[] = {fields::outCompThreshold.slot, fields::outCompRatio.slot, fields::outCompAttack.slot,
                              fields::outCompRelease.slot};
constexpr int kRatioPart = compslider::Ratio;

constexpr int kSplitSliderId = 1014;
constexpr int kSplitLabelId = 1008;
constexpr int kDelaySliderId = 1019;
constexpr int kDelayLabelId = 1038;
constexpr int kCompSwitchId = 1081;
constexpr int kDelaySwitchId = 1293;
constexpr int kHighFreqId = 1190;
constexpr int kWholeChannelId = 1191;
constexpr int kPictureId = 1258;
constexpr int kMixGroupId = 1132;
constexpr int kCompGroupId = 1080;
constexpr int kMuteNoticeMs = 1100;
constexpr int kSplitMaxIndex = 25;

constexpr int kModeHighFreq = 0;
constexpr int kModeWholeChannel = 1;

// The ratio the page works with: at least 1:1 (the start-up store holds 0, and a ratio below 1 would
// expand instead of compress).
double UsableRatio(double ratio) {
    return std::isfinite(ratio) && ratio >= 1.0 ? ratio : 1.0;
}

int SplitIndexOf(const ParameterStore& store, int channel) {
    return BandSplitIndexForFrequency(
        store.GetEqBand(OutputChannelFirstRecord(channel) + kOutputSplitHighPassBand).freqHz);
}

QString SplitText(int index) {
    return QStringLiteral("%1Hz").arg(BandSplitPairAt(index).highHz);
}

QString DelayText(double ms) {
    return QString::asprintf("%.1fms", ms);
}

} // namespace

const std::array<CDialogOutput::LinkPair, 3>& CDialogOutput::LinkPairs() {
    return kLinkPairs;
}

CDialogOutput::CDialogOutput(const PageContext& ctx, QWidget* parent) : CPage(PageKind::Output, parent), m_ctx(ctx) {
    UsePageBackground(this);
    DeviceSession& session = ctx.session;

    m_tabs = new COutputTabRow(PageKind::Output, m_channel, this);
    connect(m_tabs, &COutputTabRow::requested, this, &CPage::pageRequested);

    m_picture = new COutputChannelPicture(this);
    SetCtrlId(m_picture, kPictureId);
    m_picture->setFixedSize(112, 44);

    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    top->addWidget(m_picture, 0, Qt::AlignVCenter);
    top->addWidget(BuildStrip(), 1);

    // Created in the order the keyboard walks them: tabs, strip, equaliser, then the channel's controls.
    m_eq = new CEqSection(session.Store(), session.Eq(), EqSectionHost(), 60, this);

    auto* controls = new QVBoxLayout;
    controls->setSpacing(2);
    controls->addWidget(BuildMixGroup());
    controls->addWidget(BuildCompGroup());
    controls->addWidget(BuildDelayGroup());
    controls->addStretch(1);

    auto* body = new QHBoxLayout;
    body->setSpacing(10);
    body->addWidget(m_eq, 1);
    body->addLayout(controls, 0);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(6);
    layout->addWidget(m_tabs);
    layout->addLayout(top);
    layout->addLayout(body, 1);
}

// ---- building -------------------------------------------------------------------------------------------

QWidget* CDialogOutput::BuildStrip() {
    auto* strip = new QWidget(this);
    auto* grid = new QGridLayout(strip);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    for (int k = 0; k < kChannels; ++k) {
        StripColumn& c = m_strip[static_cast<size_t>(k)];
        c.role = new QComboBox(strip);
        SetCtrlId(c.role, kRoleIds[k]);
        c.role->setMinimumWidth(60);
        c.role->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        c.mute = new QCheckBox(strip);
        SetCtrlId(c.mute, kMuteIds[k]);
        c.phase = new QCheckBox(strip);
        SetCtrlId(c.phase, kPhaseIds[k]);
        grid->addWidget(c.role, 0, k);
        grid->addWidget(c.mute, 1, k, Qt::AlignLeft);
        grid->addWidget(c.phase, 2, k, Qt::AlignLeft);
        grid->setColumnStretch(k, 1);
        // Each control of the strip acts on its own channel only, whatever is linked.
        connect(c.role, &QComboBox::activated, this,
                [this, k](int role) { m_ctx.session.Commands().Set(fields::outRole, k, role); });
        connect(c.mute, &QCheckBox::clicked, this,
                [this, k](bool muted) { m_ctx.session.Commands().Set(fields::outMute, k, muted ? 1 : 0); });
        connect(c.phase, &QCheckBox::clicked, this, [this, k](bool inverted) {
            m_ctx.session.Commands().Set(fields::outPhaseInvert, k, inverted ? 1 : 0);
        });
    }
    // A link box sits under the two channels it pairs.
    for (size_t i = 0; i < kLinkPairs.size(); ++i) {
        const LinkPair& pair = kLinkPairs[i];
        m_links[i] = new QCheckBox(strip);
        SetCtrlId(m_links[i], pair.boxId);
        grid->addWidget(m_links[i], 3, pair.lower, 1, 2, Qt::AlignLeft);
        connect(m_links[i], &QCheckBox::clicked, this, [this, i](bool on) { OnLinkClicked(static_cast<int>(i), on); });
    }
    return strip;
}

CDialogOutput::SliderRow& CDialogOutput::AddSliderRow(QGridLayout* grid, int id, int nameId, int valueId, int lo,
                                                      int hi) {
    SliderRow row;
    row.id = id;
    row.name = new QLabel(grid->parentWidget());
    if (nameId != 0)
        SetCtrlId(row.name, nameId);
    row.slider = new CXBmpSlider(id, CXBmpSlider::Orientation::Horizontal, grid->parentWidget());
    row.slider->SetSliderRange(lo, hi);
    row.slider->setMinimumWidth(96);
    row.value = new QLabel(grid->parentWidget());
    SetCtrlId(row.value, valueId);
    row.value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row.value->setMinimumWidth(row.value->fontMetrics().horizontalAdvance(QStringLiteral("3500Hz")) + 4);
    const int r = grid->rowCount();
    grid->addWidget(row.name, r, 0);
    grid->addWidget(row.slider, r, 1, Qt::AlignVCenter);
    grid->addWidget(row.value, r, 2);
    m_rows.push_back(row);
    return m_rows.back();
}

namespace {

QGridLayout* GroupGrid(QGroupBox* group) {
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(0, 66);
    return grid;
}

} // namespace

QGroupBox* CDialogOutput::BuildMixGroup() {
    m_mixGroup = new QGroupBox(this);
    SetCtrlId(m_mixGroup, kMixGroupId);
    QGridLayout* grid = GroupGrid(m_mixGroup);
    for (const MixSpec& m : kMixes) {
        SliderRow& row = AddSliderRow(grid, m.id, m.nameId, m.valueId, 0, 100);
        connect(row.slider, &CXBmpSlider::posChanged, this, &CDialogOutput::OnMixMoved);
    }
    return m_mixGroup;
}

QGroupBox* CDialogOutput::BuildCompGroup() {
    m_compGroup = new QGroupBox(this);
    SetCtrlId(m_compGroup, kCompGroupId);
    QGridLayout* grid = GroupGrid(m_compGroup);
    m_compSwitch = new QCheckBox(m_compGroup);
    SetCtrlId(m_compSwitch, kCompSwitchId);
    grid->addWidget(m_compSwitch, 0, 0, 1, 3, Qt::AlignLeft);
    connect(m_compSwitch, &QCheckBox::clicked, this, &CDialogOutput::OnCompSwitch);
    for (const CompSpec& c : kComp) {
        SliderRow& row = AddSliderRow(grid, c.id, c.nameId, c.valueId, c.range.lo, c.range.hi);
        connect(row.slider, &CXBmpSlider::posChanged, this, &CDialogOutput::OnCompMoved);
    }
    return m_compGroup;
}

QGroupBox* CDialogOutput::BuildDelayGroup() {
    m_delayGroup = new QGroupBox(this);
    QGridLayout* grid = GroupGrid(m_delayGroup);
    m_delaySwitch = new QCheckBox(m_delayGroup);
    SetCtrlId(m_delaySwitch, kDelaySwitchId);
    m_highFreq = new QRadioButton(m_delayGroup);
    SetCtrlId(m_highFreq, kHighFreqId);
    m_wholeChannel = new QRadioButton(m_delayGroup);
    SetCtrlId(m_wholeChannel, kWholeChannelId);
    m_delayMode = new QButtonGroup(m_delayGroup);
    m_delayMode->addButton(m_highFreq, kModeHighFreq);
    m_delayMode->addButton(m_wholeChannel, kModeWholeChannel);
    m_highFreq->setChecked(true);
    // The switch and the two modes share one line.
    auto* modes = new QHBoxLayout;
    modes->setSpacing(6);
    modes->addWidget(m_delaySwitch);
    modes->addStretch(1);
    modes->addWidget(m_highFreq);
    modes->addWidget(m_wholeChannel);
    grid->addLayout(modes, 0, 0, 1, 3);
    connect(m_delaySwitch, &QCheckBox::clicked, this, &CDialogOutput::OnDelaySwitch);
    connect(m_delayMode, &QButtonGroup::idClicked, this, &CDialogOutput::OnDelayMode);

    SliderRow& split = AddSliderRow(grid, kSplitSliderId, 0, kSplitLabelId, 0, kSplitMaxIndex);
    connect(split.slider, &CXBmpSlider::posChanged, this, [this](int, int index) { OnSplitMoved(index); });
    SliderRow& delay = AddSliderRow(grid, kDelaySliderId, 0, kDelayLabelId, kDelayMinTenths, kDelayMaxTenths);
    connect(delay.slider, &CXBmpSlider::posChanged, this, [this](int, int position) { OnDelayMoved(position); });
    return m_delayGroup;
}

const CDialogOutput::SliderRow* CDialogOutput::Row(int id) const {
    for (const SliderRow& r : m_rows) {
        if (r.id == id)
            return &r;
    }
    return nullptr;
}

CXBmpSlider* CDialogOutput::Slider(int id) const {
    const SliderRow* r = Row(id);
    return r ? r->slider : nullptr;
}

QLabel* CDialogOutput::ValueLabel(int id) const {
    const SliderRow* r = Row(id);
    return r ? r->value : nullptr;
}

// ---- the channel and its apply set ------------------------------------------------------------------------

int CDialogOutput::LinkedPartner(int channel) const {
    const QByteArray links = m_ctx.settings.QtOption();
    for (const LinkPair& pair : kLinkPairs) {
        if (links.size() <= pair.optionByte || links.at(pair.optionByte) == 0)
            continue;
        if (channel == pair.lower)
            return pair.higher;
        if (channel == pair.higher)
            return pair.lower;
    }
    return -1;
}

std::vector<int> CDialogOutput::ApplySet() const {
    std::vector<int> set = {m_channel};
    if (const int partner = LinkedPartner(m_channel); partner >= 0)
        set.push_back(partner);
    return set;
}

void CDialogOutput::UpdateApplyIdentities() {
    std::vector<int> identities;
    for (int channel : ApplySet())
        identities.push_back(eqid::FirstOutput + channel);
    m_eq->SetApplyIdentities(identities);
}

void CDialogOutput::SetOutputChannel(int channel) {
    m_channel = std::clamp(channel, 0, kChannels - 1);
    Relabel();
}

int CDialogOutput::EqBypassSlot() const {
    return fields::outEqBypass.slot + m_channel;
}

void CDialogOutput::ResetEq() {
    // The shown channel and a linked partner are set flat, each as its own role wants (a subwoofer keeps
    // its crossover).
    UpdateApplyIdentities();
    m_eq->ResetPath();
}

void CDialogOutput::SelectEqBand(int band) {
    // The keys number bands from 1 (Ctrl+0 is band 10); the section counts from 0.
    m_eq->SelectBand(band - 1);
}

// ---- texts ---------------------------------------------------------------------------------------------------

void CDialogOutput::FillRoleCombos() {
    for (StripColumn& c : m_strip) {
        const int selected = c.role->currentIndex();
        c.role->clear();
        for (int r = 0; r < kRoleCount; ++r)
            c.role->addItem(Tr2(kRolesZh[r], kRolesEn[r]));
        c.role->setCurrentIndex(selected);
    }
}

void CDialogOutput::Relabel() {
    m_tabs->Relabel();
    for (StripColumn& c : m_strip) {
        c.mute->setText(Tr2("静音", "Mute"));
        c.phase->setText(Tr2("相位180°", "Phase 180°"));
    }
    const char* linksZh[] = {"通道1+通道2齐调节", "通道3+通道4齐调节", "通道7+通道8齐调节"};
    const char* linksEn[] = {"CH1+CH2 Linked", "CH3+CH4 Linked", "CH7+CH8 Linked"};
    for (size_t i = 0; i < m_links.size(); ++i)
        m_links[i]->setText(Tr2(linksZh[i], linksEn[i]));
    for (const MixSpec& m : kMixes)
        Row(m.id)->name->setText(Tr2(m.zh, m.en));
    for (const CompSpec& c : kComp)
        Row(c.id)->name->setText(Tr2(c.zh, c.en));
    Row(kSplitSliderId)->name->setText(Tr2("分频点", "Split"));
    Row(kDelaySliderId)->name->setText(Tr2("延时", "Delay"));
    m_mixGroup->setTitle(Tr2("混合音量", "Mix level"));
    m_compGroup->setTitle(Tr2("输出压限", "Compressor"));
    m_delayGroup->setTitle(Tr2("延时", "Delay"));
    m_compSwitch->setText(Tr2("压限启用", "Compressor Switch"));
    m_delaySwitch->setText(Tr2("延时开关", "Delay Switch"));
    m_highFreq->setText(Tr2("高频延时", "H.Freq Delay"));
    m_wholeChannel->setText(Tr2("通道延时", "Channel delay"));
    CPage::Relabel();
    FillRoleCombos();
    m_eq->Retranslate();
    RefreshFromStore();
}

// ---- refresh ---------------------------------------------------------------------------------------------------

void CDialogOutput::RefreshFromStore() {
    const ParameterStore& store = m_ctx.store;
    m_picture->SetChannel(m_channel, UiLanguageIndex() == kLanguageEnglish);
    LoadMix();
    m_eq->ShowPath(eqid::FirstOutput + m_channel);
    UpdateApplyIdentities();
    m_eq->SetBypass(store.Get(fields::outEqBypass, m_channel) != 0);
    m_tabs->SetCurrentChannel(m_channel);
    LoadStrip();
    LoadCompressor();
    LoadDelay();
}

void CDialogOutput::LoadMix() {
    const ParameterStore& store = m_ctx.store;
    for (const MixSpec& m : kMixes) {
        const SliderRow* row = Row(m.id);
        // The slider stops at its ends; the label says what the processor holds.
        const int stored = store.Get(m.field, m_channel);
        row->slider->SetSliderPos(std::clamp(stored, 0, 100));
        row->value->setText(QStringLiteral("%1%").arg(stored));
    }
}

void CDialogOutput::LoadStrip() {
    const ParameterStore& store = m_ctx.store;
    for (int k = 0; k < kChannels; ++k) {
        StripColumn& c = m_strip[static_cast<size_t>(k)];
        c.mute->setChecked(store.Get(fields::outMute, k) != 0);
        c.phase->setChecked(store.Get(fields::outPhaseInvert, k) != 0);
        // A role the list does not have (from the processor or a file) selects nothing.
        const int role = store.Get(fields::outRole, k);
        c.role->setCurrentIndex(role >= 0 && role < kRoleCount ? role : -1);
    }
    const QByteArray links = m_ctx.settings.QtOption();
    for (size_t i = 0; i < m_links.size(); ++i) {
        const int byte = kLinkPairs[i].optionByte;
        m_links[i]->setChecked(links.size() > byte && links.at(byte) != 0);
    }
}

void CDialogOutput::LoadCompressor() {
    const ParameterStore& store = m_ctx.store;
    m_compSwitch->setChecked(store.Get(fields::outCompOff, m_channel) == 0);
    for (size_t part = 0; part < std::size(kComp); ++part) {
        const CompSpec& c = kComp[part];
        const SliderRow* row = Row(c.id);
        double value = store.GetSlotFloat(kCompSlots[part] + m_channel);
        if (static_cast<int>(part) == kRatioPart)
            value = UsableRatio(value);
        const int position = ScaledSliderPosition(value, c.range.scale, c.range.lo, c.range.hi);
        row->slider->SetSliderPos(position);
        // The compressor page allows wider ranges than these sliders: the label keeps the stored value.
        row->value->setText(QString::asprintf(c.range.format, std::isfinite(value) ? value : position / c.range.scale));
    }
}

void CDialogOutput::LoadDelay() {
    const ParameterStore& store = m_ctx.store;
    const int index = SplitIndexOf(store, m_channel);
    Row(kSplitSliderId)->slider->SetSliderPos(index);
    Row(kSplitSliderId)->value->setText(SplitText(index));
    const float ms = store.Get(fields::outDelayMs, m_channel);
    const int tenths = ScaledSliderPosition(ms, 10.0, kDelayMinTenths, kDelayMaxTenths);
    Row(kDelaySliderId)->slider->SetSliderPos(tenths);
    Row(kDelaySliderId)->value->setText(DelayText(std::isfinite(ms) ? ms : tenths / 10.0));
    m_delaySwitch->setChecked(store.Get(fields::outDelayOff, m_channel) == 0);
    (store.Get(fields::outDelayMode, m_channel) == kModeWholeChannel ? m_wholeChannel : m_highFreq)->setChecked(true);
    EnableDelay();
}

void CDialogOutput::EnableDelay() {
    const bool on = m_delaySwitch->isChecked();
    m_highFreq->setEnabled(on);
    m_wholeChannel->setEnabled(on);
    Row(kDelaySliderId)->slider->SetSliderEnabled(on);
    Row(kDelaySliderId)->value->setEnabled(on);
    const bool split = on && m_highFreq->isChecked();
    Row(kSplitSliderId)->slider->SetSliderEnabled(split);
    Row(kSplitSliderId)->value->setEnabled(split);
}

// ---- edits ---------------------------------------------------------------------------------------------------

void CDialogOutput::OnMixMoved(int id, int position) {
    for (const MixSpec& m : kMixes) {
        if (m.id != id)
            continue;
        for (int channel : ApplySet())
            m_ctx.session.Commands().Set(m.field, channel, position);
        Row(id)->value->setText(QStringLiteral("%1%").arg(position));
    }
    if (m_ctx.store.Get(fields::outMute, m_channel) != 0)
        m_ctx.display.ShowInfoMessage(Tr2("当前是静音状态", "vol is mute"), kMuteNoticeMs);
}

void CDialogOutput::OnCompMoved(int id, int position) {
    // The moved value with the other three as the store holds them for the shown channel: the page's
    // own sliders have narrower ranges than the compressor page's, so reading them back would silently
    // change values set there.
    const ParameterStore& store = m_ctx.store;
    std::array<float, 4> values{};
    for (size_t part = 0; part < values.size(); ++part)
        values[part] = store.GetSlotFloat(kCompSlots[part] + m_channel);
    values[kRatioPart] = static_cast<float>(UsableRatio(values[kRatioPart]));
    for (size_t part = 0; part < std::size(kComp); ++part) {
        if (kComp[part].id != id)
            continue;
        values[part] = static_cast<float>(position / kComp[part].range.scale);
        Row(id)->value->setText(QString::asprintf(kComp[part].range.format, position / kComp[part].range.scale));
    }
    for (int channel : ApplySet())
        m_ctx.session.Commands().SetCompressor(fields::outCompThreshold.slot + channel, values[0], values[1], values[2],
                                               values[3]);
}

void CDialogOutput::OnCompSwitch(bool on) {
    for (int channel : ApplySet())
        m_ctx.session.Commands().Set(fields::outCompOff, channel, on ? 0 : 1);
}

void CDialogOutput::OnDelaySwitch(bool on) {
    for (int channel : ApplySet())
        m_ctx.session.Commands().Set(fields::outDelayOff, channel, on ? 0 : 1);
    EnableDelay();
}

void CDialogOutput::OnDelayMode(int mode) {
    // The setter stores the mode and re-sends the channel's split pair in the mode's filter types.
    for (int channel : ApplySet())
        m_ctx.session.Commands().Set(fields::outDelayMode, channel, mode);
    EnableDelay();
}

void CDialogOutput::OnSplitMoved(int index) {
    for (int channel : ApplySet())
        m_ctx.session.Eq().SendBandSplit(channel, index);
    Row(kSplitSliderId)->value->setText(SplitText(index));
}

void CDialogOutput::OnDelayMoved(int position) {
    Row(kDelaySliderId)->value->setText(DelayText(position / 10.0));
    for (int channel : ApplySet())
        m_ctx.session.Commands().Set(fields::outDelayMs, channel, static_cast<float>(position / 10.0));
}

// ---- linking ---------------------------------------------------------------------------------------------------

bool CDialogOutput::ChannelsDiffer(int a, int b) const {
    const ParameterStore& s = m_ctx.store;
    for (const MixSpec& m : kMixes) {
        if (s.Get(m.field, a) != s.Get(m.field, b))
            return true;
    }
    if (s.Get(fields::outEqBypass, a) != s.Get(fields::outEqBypass, b) ||
        s.Get(fields::outDelayMode, a) != s.Get(fields::outDelayMode, b) ||
        s.Get(fields::outDelayOff, a) != s.Get(fields::outDelayOff, b) ||
        s.Get(fields::outCompOff, a) != s.Get(fields::outCompOff, b) || SplitIndexOf(s, a) != SplitIndexOf(s, b))
        return true;
    // Raw words: two NaNs from a file are the same setting, and -0 is not +0 on the wire.
    for (int slot : {fields::outDelayMs.slot, kCompSlots[0], kCompSlots[1], kCompSlots[2], kCompSlots[3]}) {
        if (s.GetSlotWord(slot + a) != s.GetSlotWord(slot + b))
            return true;
    }
    for (int band = 0; band <= kOutputLastHiddenBand; ++band) {
        if (s.GetEqPathBand(eqid::FirstOutput + a, band) != s.GetEqPathBand(eqid::FirstOutput + b, band))
            return true;
    }
    return false;
}

void CDialogOutput::SynchroniseChannels(int model, int other) {
    ParameterStore& s = m_ctx.store;
    CommandEncoder& commands = m_ctx.session.Commands();
    for (const MixSpec& m : kMixes) {
        if (s.Get(m.field, model) != s.Get(m.field, other))
            commands.Set(m.field, other, s.Get(m.field, model));
    }
    if (s.Get(fields::outEqBypass, model) != s.Get(fields::outEqBypass, other))
        commands.Set(fields::outEqBypass, other, s.Get(fields::outEqBypass, model));
    if (s.Get(fields::outDelayMode, model) != s.Get(fields::outDelayMode, other))
        commands.Set(fields::outDelayMode, other, s.Get(fields::outDelayMode, model));
    if (s.Get(fields::outDelayOff, model) != s.Get(fields::outDelayOff, other))
        commands.Set(fields::outDelayOff, other, s.Get(fields::outDelayOff, model));
    if (s.GetSlotWord(fields::outDelayMs.slot + model) != s.GetSlotWord(fields::outDelayMs.slot + other))
        commands.Set(fields::outDelayMs, other, s.Get(fields::outDelayMs, model));
    bool compDiffers = false;
    for (int slot : kCompSlots)
        compDiffers = compDiffers || s.GetSlotWord(slot + model) != s.GetSlotWord(slot + other);
    if (compDiffers)
        commands.SetCompressor(fields::outCompThreshold.slot + other, s.Get(fields::outCompThreshold, model),
                               s.Get(fields::outCompRatio, model), s.Get(fields::outCompAttack, model),
                               s.Get(fields::outCompRelease, model));
    if (s.Get(fields::outCompOff, model) != s.Get(fields::outCompOff, other))
        commands.Set(fields::outCompOff, other, s.Get(fields::outCompOff, model));
    // The split pair always goes out again: its filter types follow the delay mode just copied.
    m_ctx.session.Eq().SendBandSplit(other, SplitIndexOf(s, model));
    for (int band = 0; band <= kOutputLastHiddenBand; ++band) {
        const EqBand value = s.GetEqPathBand(eqid::FirstOutput + model, band);
        if (value != s.GetEqPathBand(eqid::FirstOutput + other, band))
            m_ctx.session.Eq().SetPathBand(eqid::FirstOutput + other, band, value);
    }
}

int CDialogOutput::AskWhichChannel(const LinkPair& pair) const {
    const QString text = Tr2("通道参数不一致，是否需要同步？", "Parameter is different, Is need set same?");
    const QString first = Tr2("以通道%1为标准同步", "Both set CH%1").arg(pair.lower + 1);
    const QString second = Tr2("以通道%1为标准同步", "Both set CH%1").arg(pair.higher + 1);
    if (m_askLink)
        return m_askLink(text, first, second);
    CDlgMsgBox box(text, first, second, window());
    return box.exec();
}

void CDialogOutput::OnLinkClicked(int pairIndex, bool on) {
    const LinkPair& pair = kLinkPairs[static_cast<size_t>(pairIndex)];
    if (on && ChannelsDiffer(pair.lower, pair.higher)) {
        const int answer = AskWhichChannel(pair);
        if (answer == 1)
            SynchroniseChannels(pair.lower, pair.higher);
        else if (answer == 2)
            SynchroniseChannels(pair.higher, pair.lower);
        else
            on = false; // declined: the pair stays unlinked and nothing changes
    }
    m_links[static_cast<size_t>(pairIndex)]->setChecked(on);
    const QByteArray before = m_ctx.settings.QtOption();
    QByteArray links = before.leftJustified(8, '\0');
    links[pair.optionByte] = on ? 1 : 0;
    StoreLinkOptions(links);
    // Undoing the synchronisation unlinks the pair as well: a linked pair whose channels differ would
    // take the next edit to both of them from different starting points.
    if (m_ctx.history != nullptr) {
        m_ctx.history->NameAction(QStringLiteral("链接通道%1和通道%2").arg(pair.lower + 1).arg(pair.higher + 1),
                                  QStringLiteral("Link CH%1 and CH%2").arg(pair.lower + 1).arg(pair.higher + 1));
        AppSettings& settings = m_ctx.settings;
        m_ctx.history->AttachToAction([&settings, before] { settings.SetQtOption(before); },
                                      [&settings, links] { settings.SetQtOption(links); });
    }
    RefreshFromStore();
}

void CDialogOutput::StoreLinkOptions(const QByteArray& links) {
    m_ctx.settings.SetQtOption(links);
    if (m_ctx.settings.QtOption() != links.left(8))
        qDebug() << "the channel links could not be stored";
}

} // namespace orvex
