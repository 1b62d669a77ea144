#include "editors/input/CloudnessDlg.h"

#include "editors/input/StoreToControl.h"
#include "widgets/ControlId.h"
#include "widgets/XBmpSlider.h"
#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "model/ParameterStore.h"
#include "shell/ControlIds.h"
#include "link/DeviceSession.h"
#include "shell/Theme.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include <algorithm>
#include <bit>
#include <cmath>

namespace orvex {

namespace {

// The music low-frequency filter's band record.
constexpr int kMusicLowFilterRecord = 178;

enum class Group : uint8_t { Exciter, MusicBass, AutoSub, AutoLevel };

// What a slider's position means: how it is sent and how the store is shown on it.
enum class FeatureKind : uint8_t {
    Hertz,         // float field, "%dHz"
    Decibels,      // float field, "%ddB"
    Harmonic,      // float field 0..100, sent as position / 100, "%d%%"
    BassBoost,     // the bass boost setter at -position dB, "%ddB"
    LowPass,       // band record 178 as a low-pass at the position, "%dHz"
    Milliseconds,  // int field, "%dms"
    Percent,       // int field, "%d%%"
    AutoThreshold, // the automatic level record, threshold in dB
    AutoRatio,     // ... ratio in tenths
    AutoAttack,    // ... attack in ms
    AutoRelease,   // ... release in ms
};

constexpr int kNoSlot = -1;

} // namespace

struct FeatureSlider {
    Group group;
    int id;
    int labelId; // 0: no label of its own
    const char* label;
    int valueId;
    int lo;
    int hi;
    FeatureKind kind;
    int slot;
    bool hidden;
};

namespace {

// The sliders, in the order each group lists them. The harmonic generator's total level and the
// automatic level's ratio are kept current but not offered: the processor's defaults suit every room.
constexpr FeatureSlider kSliders[] = {
    {Group::Exciter, 1043, 1131, "低频", 1006, 70, 450, FeatureKind::Hertz, fields::exciterLowFreq.slot, false},
    {Group::Exciter, 1049, 1132, "增益", 1010, 0, 12, FeatureKind::Decibels, fields::exciterLowGain.slot, false},
    {Group::Exciter, 1055, 1133, "中频", 1012, 800, 5000, FeatureKind::Hertz, fields::exciterMidFreq.slot, false},
    {Group::Exciter, 1056, 1134, "增益", 1019, 0, 12, FeatureKind::Decibels, fields::exciterMidGain.slot, false},
    {Group::Exciter, 1057, 1135, "高频", 1240, 3200, 18000, FeatureKind::Hertz, fields::exciterHighFreq.slot, false},
    {Group::Exciter, 1058, 1136, "增益", 1022, 0, 12, FeatureKind::Decibels, fields::exciterHighGain.slot, false},
    {Group::Exciter, 1059, 1137, "谐波增益", 1023, 0, 100, FeatureKind::Harmonic, fields::exciterHarmonicGain.slot,
     false},
    {Group::Exciter, 1060, 1138, "谐波次数比", 1024, 0, 100, FeatureKind::Harmonic, fields::exciterHarmonicOrder.slot,
     false},
    {Group::Exciter, 1061, 1139, "谐波混合比", 1025, 0, 100, FeatureKind::Harmonic, fields::exciterHarmonicMix.slot,
     false},
    {Group::Exciter, 1062, 1021, "谐波总音量", 1026, 0, 100, FeatureKind::Harmonic, fields::exciterVolume.slot, true},
    {Group::Exciter, 1063, 0, nullptr, 1027, 0, 40, FeatureKind::BassBoost, kNoSlot, false},
    {Group::MusicBass, 1046, 1140, "音乐低频频率", 1008, 20, 300, FeatureKind::LowPass, kNoSlot, false},
    {Group::MusicBass, 1047, 1141, "音乐低频延时", 1004, 0, 20, FeatureKind::Milliseconds, fields::musicLowDelay.slot,
     false},
    {Group::MusicBass, 1048, 1142, "音乐低频增益", 1009, 0, 300, FeatureKind::Percent, fields::musicLowGain.slot,
     false},
    {Group::AutoSub, 1050, 1237, "超低比例", 1011, 0, 100, FeatureKind::Percent, fields::autoSubRatio.slot, false},
    {Group::AutoLevel, 1051, 1143, "输入电平限制", 1014, -60, 0, FeatureKind::AutoThreshold,
     fields::musicAutoThreshold.slot, false},
    {Group::AutoLevel, 1052, 1018, "比率", 1015, 10, 300, FeatureKind::AutoRatio, fields::musicAutoRatio.slot, true},
    {Group::AutoLevel, 1053, 1144, "启动时间", 1016, 1, 100, FeatureKind::AutoAttack, fields::musicAutoAttack.slot,
     false},
    {Group::AutoLevel, 1054, 1145, "释放时间", 1017, 1, 1000, FeatureKind::AutoRelease, fields::musicAutoRelease.slot,
     false},
};

// The check boxes. One stands in the label cell of the slider it switches (`sliderRow`); the others
// take a row of their own at the top of their group.
struct FeatureCheck {
    Group group;
    int id;
    const char* text;
    int slot;
    bool checkedMeansOff; // musicAutoOff: the box reads "ON", the field says "off"
    int sliderRow;        // 0: a row of its own
};

constexpr FeatureCheck kChecks[] = {
    {Group::Exciter, 1040, "激励启用", fields::exciterOn.slot, false, 0},
    {Group::Exciter, 1041, "均衡启用（均衡启用将会使音乐变调无效）", fields::exciterEqOn.slot, false, 0},
    {Group::Exciter, 1045, "话筒低频增强", fields::micBassBoostOn.slot, false, 1063},
    {Group::AutoSub, 1042, "启用", fields::autoSubOn.slot, false, 0},
    {Group::AutoLevel, 1044, "启用", fields::musicAutoOff.slot, true, 0},
};

struct GroupBox {
    Group group;
    int id;
    const char* title;
};

constexpr GroupBox kGroups[] = {
    {Group::Exciter, 1002, "话筒激励"},
    {Group::MusicBass, 1003, "音乐超级低音"},
    {Group::AutoSub, 1005, "自动超低"},
    {Group::AutoLevel, 1007, "音乐输入电平自动控制"},
};

constexpr int kAutoSubNoteId = 1013;

bool IsAutoLevel(FeatureKind kind) {
    return kind == FeatureKind::AutoThreshold || kind == FeatureKind::AutoRatio || kind == FeatureKind::AutoAttack ||
           kind == FeatureKind::AutoRelease;
}

// The value text for a slider position (what the user just set).
QString PositionText(FeatureKind kind, int position) {
    switch (kind) {
    case FeatureKind::Hertz:
    case FeatureKind::LowPass:
        return QString::asprintf("%dHz", position);
    case FeatureKind::Decibels:
    case FeatureKind::BassBoost:
        return QString::asprintf("%ddB", position);
    case FeatureKind::Milliseconds:
        return QString::asprintf("%dms", position);
    case FeatureKind::Harmonic:
    case FeatureKind::Percent:
        return QString::asprintf("%d%%", position);
    case FeatureKind::AutoThreshold:
        return QString::asprintf("%.0fdB", static_cast<double>(position));
    case FeatureKind::AutoRatio:
        return QString::asprintf("%.1f:1", position / 10.0);
    case FeatureKind::AutoAttack:
    case FeatureKind::AutoRelease:
        return QString::asprintf("%.0fms", static_cast<double>(position));
    }
    return {};
}

QWidget* ValueTextSizer(QLabel* label) {
    // Wide enough for the longest text any slider shows, so that texts do not shift the sliders.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("18000Hz")) + 6);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

} // namespace

CloudnessDlg::CloudnessDlg(DeviceSession& session, QWidget* parent)
    : CToolDialog(tmpl::Features, parent), m_session(session) {
    UsePageBackground(this);
    setWindowTitle(QString::fromUtf8("特色功能"));

    std::map<Group, QGridLayout*> grids;
    std::map<Group, QGroupBox*> boxes;
    for (const GroupBox& g : kGroups) {
        auto* box = new QGroupBox(QString::fromUtf8(g.title), this);
        SetCtrlId(box, g.id);
        auto* grid = new QGridLayout(box);
        grid->setContentsMargins(12, 10, 12, 10);
        grid->setHorizontalSpacing(10);
        grid->setVerticalSpacing(6);
        grid->setColumnStretch(1, 1);
        // One label width in every group, so that the sliders of the right-hand column line up.
        grid->setColumnMinimumWidth(0, 110);
        grids[g.group] = grid;
        boxes[g.group] = box;
    }

    const auto addCheck = [this](const FeatureCheck& c, QWidget* box) {
        auto* check = new QCheckBox(QString::fromUtf8(c.text), box);
        SetCtrlId(check, c.id);
        m_checks[c.id] = check;
        const int id = c.id;
        connect(check, &QCheckBox::clicked, this, [this, id](bool checked) { OnCheckClicked(id, checked); });
        return check;
    };

    for (const FeatureCheck& c : kChecks) {
        if (c.sliderRow != 0)
            continue;
        QGridLayout* grid = grids[c.group];
        grid->addWidget(addCheck(c, boxes[c.group]), grid->rowCount(), 0, 1, 3);
    }
    for (const FeatureSlider& s : kSliders) {
        QGridLayout* grid = grids[s.group];
        QWidget* box = boxes[s.group];
        const int row = grid->rowCount();
        QWidget* label = nullptr;
        if (s.labelId != 0) {
            label = new QLabel(QString::fromUtf8(s.label), box);
            SetCtrlId(label, s.labelId);
        }
        for (const FeatureCheck& c : kChecks) {
            if (c.sliderRow == s.id)
                label = addCheck(c, box);
        }
        SliderWidgets& widgets = m_sliders[s.id];
        widgets.spec = &s;
        widgets.slider = new CXBmpSlider(s.id, CXBmpSlider::Orientation::Horizontal, box);
        widgets.slider->SetSliderRange(s.lo, s.hi);
        widgets.slider->setMinimumWidth(200);
        widgets.value = new QLabel(box);
        SetCtrlId(widgets.value, s.valueId);
        ValueTextSizer(widgets.value);
        if (label)
            grid->addWidget(label, row, 0);
        grid->addWidget(widgets.slider, row, 1, Qt::AlignVCenter);
        grid->addWidget(widgets.value, row, 2);
        if (s.hidden) {
            if (label)
                label->hide();
            widgets.slider->hide();
            widgets.value->hide();
        }
        const FeatureSlider* spec = &s;
        connect(widgets.slider, &CXBmpSlider::posChanged, this,
                [this, spec](int, int position) { OnSliderMoved(*spec, position); });
    }

    auto* note = new QLabel(QString::fromUtf8("当检测到话筒信号时，超低音量自动调节成所设置的超低比例，1秒之后，"
                                              "超低音量逐渐恢复成正常比例"),
                            boxes[Group::AutoSub]);
    SetCtrlId(note, kAutoSubNoteId);
    note->setWordWrap(true);
    note->setStyleSheet(QStringLiteral("color: #4a6078;"));
    QGridLayout* subGrid = grids[Group::AutoSub];
    subGrid->addWidget(note, subGrid->rowCount(), 0, 1, 3);

    auto* right = new QVBoxLayout;
    right->setSpacing(12);
    right->addWidget(boxes[Group::MusicBass]);
    right->addWidget(boxes[Group::AutoSub]);
    right->addWidget(boxes[Group::AutoLevel]);
    auto* columns = new QHBoxLayout(this);
    columns->setContentsMargins(16, 14, 16, 16);
    columns->setSpacing(14);
    // The exciter group reaches down to the last group on the right, its rows packed at the top.
    grids[Group::Exciter]->setRowStretch(grids[Group::Exciter]->rowCount(), 1);
    columns->addWidget(boxes[Group::Exciter]);
    columns->addLayout(right);
    // Both columns the same width: the long auto-SUB note wraps inside its group.
    boxes[Group::Exciter]->setMinimumWidth(400);
    for (Group g : {Group::MusicBass, Group::AutoSub, Group::AutoLevel})
        boxes[g]->setFixedWidth(400);

    RefreshFromStore();
}

CXBmpSlider* CloudnessDlg::Slider(int id) const {
    const auto it = m_sliders.find(id);
    return it != m_sliders.end() ? it->second.slider : nullptr;
}

QLabel* CloudnessDlg::ValueText(int sliderId) const {
    const auto it = m_sliders.find(sliderId);
    return it != m_sliders.end() ? it->second.value : nullptr;
}

QCheckBox* CloudnessDlg::Check(int id) const {
    const auto it = m_checks.find(id);
    return it != m_checks.end() ? it->second : nullptr;
}

// ---- changes ---------------------------------------------------------------------------------------------

void CloudnessDlg::OnCheckClicked(int id, bool checked) {
    for (const FeatureCheck& c : kChecks) {
        if (c.id == id) {
            const bool on = c.checkedMeansOff ? !checked : checked;
            m_session.Commands().SetSlotWord(c.slot, on ? 1u : 0u);
            return;
        }
    }
}

void CloudnessDlg::OnSliderMoved(const FeatureSlider& spec, int position) {
    if (IsAutoLevel(spec.kind)) {
        SendAutoLevel(spec, position);
        return;
    }
    CommandEncoder& commands = m_session.Commands();
    switch (spec.kind) {
    case FeatureKind::Hertz:
    case FeatureKind::Decibels:
    case FeatureKind::Harmonic:
        commands.SetSlotWord(spec.slot, std::bit_cast<uint32_t>(static_cast<float>(position)));
        break;
    case FeatureKind::Milliseconds:
    case FeatureKind::Percent:
        commands.SetSlotWord(spec.slot, static_cast<uint32_t>(position));
        break;
    case FeatureKind::BassBoost:
        // The slider's 0..40 reads as a cut of 0 to 40 dB.
        commands.SetBassBoostLevel(-static_cast<float>(position));
        break;
    case FeatureKind::LowPass:
        m_session.Eq().SetMusicLowFilter(position);
        break;
    default:
        break;
    }
    m_sliders[spec.id].value->setText(PositionText(spec.kind, position));
}

void CloudnessDlg::SendAutoLevel(const FeatureSlider& moved, int position) {
    // One record carries all four values, so the three the user did not touch are taken from the store.
    const ParameterStore& store = m_session.Store();
    float threshold = store.Get(fields::musicAutoThreshold);
    float ratio = store.Get(fields::musicAutoRatio);
    float attack = store.Get(fields::musicAutoAttack);
    float release = store.Get(fields::musicAutoRelease);
    switch (moved.kind) {
    case FeatureKind::AutoThreshold:
        threshold = static_cast<float>(position);
        break;
    case FeatureKind::AutoRatio:
        ratio = static_cast<float>(position / 10.0);
        break;
    case FeatureKind::AutoAttack:
        attack = static_cast<float>(position);
        break;
    case FeatureKind::AutoRelease:
        release = static_cast<float>(position);
        break;
    default:
        return;
    }
    m_sliders[moved.id].value->setText(PositionText(moved.kind, position));
    // The processor takes its times in whole milliseconds.
    m_session.Commands().SetCompressor(fields::musicAutoThreshold.slot, threshold, ratio, std::trunc(attack),
                                       std::trunc(release));
}

// ---- refresh -----------------------------------------------------------------------------------------------

void CloudnessDlg::RefreshFromStore() {
    const ParameterStore& store = m_session.Store();
    for (const FeatureCheck& c : kChecks) {
        const bool fieldOn = store.GetSlotInt(c.slot) != 0;
        m_checks[c.id]->setChecked(c.checkedMeansOff ? !fieldOn : fieldOn);
    }
    for (const auto& [id, widgets] : m_sliders)
        RefreshSlider(widgets);
}

void CloudnessDlg::RefreshSlider(const SliderWidgets& widgets) {
    // The slider shows the stored value held to its bounds; the text shows the stored value itself, so
    // a value from a mode file outside the slider's range is visible as such.
    const FeatureSlider& s = *widgets.spec;
    const ParameterStore& store = m_session.Store();
    int position = s.lo;
    QString text;
    switch (s.kind) {
    case FeatureKind::Hertz:
    case FeatureKind::Decibels: {
        const float v = store.GetSlotFloat(s.slot);
        position = SliderPosition(v, s.lo, s.hi);
        text = QString::asprintf(s.kind == FeatureKind::Hertz ? "%.0fHz" : "%.0fdB", static_cast<double>(v));
        break;
    }
    case FeatureKind::Harmonic: {
        const float v = store.GetSlotFloat(s.slot);
        position = SliderPosition(v, s.lo, s.hi);
        text = QString::asprintf("%d%%", TruncatedForText(v, s.lo));
        break;
    }
    case FeatureKind::BassBoost: {
        const double cut = -static_cast<double>(store.BassBoostLevel());
        position = SliderPosition(cut, s.lo, s.hi);
        text = QString::asprintf("%ddB", TruncatedForText(cut, s.lo));
        break;
    }
    case FeatureKind::LowPass: {
        const int hz = store.GetEqBand(kMusicLowFilterRecord).freqHz;
        position = std::clamp(hz, s.lo, s.hi);
        text = QString::asprintf("%dHz", hz);
        break;
    }
    case FeatureKind::Milliseconds:
    case FeatureKind::Percent: {
        const int32_t v = store.GetSlotInt(s.slot);
        position = std::clamp<int32_t>(v, s.lo, s.hi);
        text = QString::asprintf(s.kind == FeatureKind::Milliseconds ? "%dms" : "%d%%", v);
        break;
    }
    case FeatureKind::AutoThreshold:
    case FeatureKind::AutoAttack:
    case FeatureKind::AutoRelease: {
        const float v = store.GetSlotFloat(s.slot);
        position = SliderPosition(v, s.lo, s.hi);
        text = QString::asprintf(s.kind == FeatureKind::AutoThreshold ? "%.0fdB" : "%.0fms", static_cast<double>(v));
        break;
    }
    case FeatureKind::AutoRatio: {
        const float v = store.GetSlotFloat(s.slot);
        position = ScaledSliderPosition(v, 10.0, s.lo, s.hi);
        text = QString::asprintf("%.1f:1", static_cast<double>(v));
        break;
    }
    }
    widgets.slider->SetSliderPos(position);
    widgets.value->setText(text);
}

// ---- keys ----------------------------------------------------------------------------------------------------

void CloudnessDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return; // Enter does nothing here
    case Qt::Key_Escape:
        reject();
        return;
    default:
        CToolDialog::keyPressEvent(event);
        return;
    }
}

void CloudnessDlg::reject() {
    // The window goes with its slot: the application's pointer to it clears when it is deleted, and the
    // next "Features" builds a fresh one. Deleted later, as this runs inside its own key handler.
    if (m_ending)
        return;
    m_ending = true;
    hide();
    deleteLater();
}

} // namespace orvex
