#include "editors/output/CompDlg.h"

#include "editors/input/StoreToControl.h"
#include "widgets/CompressPanelPlus.h"
#include "widgets/CompressorSliders.h"
#include "widgets/ControlId.h"
#include "widgets/GdipButton.h"
#include "editors/output/OutputTabRow.h"
#include "widgets/XBmpSlider.h"
#include "link/CommandEncoder.h"
#include "model/EqPaths.h"
#include "model/ParameterStore.h"
#include "model/StoreFields.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"
#include "shell/Theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvex {

// One of the four compressor values: its slider, label and value box, and its range from the shared
// compressor table.
struct CompSlider {
    int id;
    int labelId;
    const char* zh;
    const char* en;
    int valueId;
    int initial;
    CompressorSlider range;
};

namespace {

constexpr int kThreshold = compslider::Threshold;
constexpr int kRatio = compslider::Ratio;

constexpr CompSlider kSliders[] = {
    {1014, 1005, "阀(阈)", "Threshold", 1038, 0, kCompressorSliders[compslider::Threshold]},
    {1015, 1007, "衰减比例", "Ratio", 1039, 10, kCompressorSliders[compslider::Ratio]},
    {1016, 1006, "启动时间", "Attack time", 1040, 1, kCompressorSliders[compslider::Attack]},
    {1017, 1002, "释放时间", "Release time", 1041, 100, kCompressorSliders[compslider::Release]},
};

constexpr int kPartSlots[] = {fields::outCompThreshold.slot, fields::outCompRatio.slot, fields::outCompAttack.slot,
                              fields::outCompRelease.slot};

constexpr int kChannelSelectorId = 1134;
constexpr int kChannelLabelId = 1220;
constexpr int kSwitchId = 1045;
constexpr int kGraphId = 1125;
constexpr int kChannelCount = kOutputChannelCount;

// The lower section of the curve is a plain 1:1 line: the knee at the bottom of the graph.
constexpr double kLowerKneeDb = -90.0;
constexpr double kLowerSlope = 1.0;

// The ratio the curve and the sliders work with: at least 1:1. The store starts out holding 0, and
// 1/0 would draw an infinite slope.
double UsableRatio(double ratio) {
    return std::isfinite(ratio) && ratio >= 1.0 ? ratio : 1.0;
}

QString FormatValue(const CompSlider& spec, double value) {
    return QString::asprintf(spec.range.format, value);
}

} // namespace

CCompDlg::CCompDlg(DeviceSession& session, QWidget* parent) : CPage(PageKind::Comp, parent), m_session(session) {
    UsePageBackground(this);

    m_tabs = new COutputTabRow(PageKind::Comp, 0, this);
    connect(m_tabs, &COutputTabRow::requested, this, &CPage::pageRequested);

    m_channelLabel = new QLabel(this);
    SetCtrlId(m_channelLabel, kChannelLabelId);
    m_channelSelector = new QComboBox(this);
    SetCtrlId(m_channelSelector, kChannelSelectorId);
    m_channelSelector->setMinimumWidth(110);
    m_switch = new QCheckBox(this);
    SetCtrlId(m_switch, kSwitchId);
    connect(m_switch, &QCheckBox::clicked, this, &CCompDlg::OnSwitchClicked);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(14);
    grid->setColumnStretch(1, 1);
    // One label width for both languages, so that the graph does not move with a language switch.
    grid->setColumnMinimumWidth(0, 84);
    grid->addWidget(m_channelLabel, 0, 0);
    grid->addWidget(m_channelSelector, 0, 1, 1, 2, Qt::AlignLeft);
    grid->addWidget(m_switch, 1, 0, 1, 3);
    for (const CompSlider& s : kSliders) {
        SliderWidgets w;
        w.spec = &s;
        w.label = new QLabel(this);
        SetCtrlId(w.label, s.labelId);
        w.slider = new CXBmpSlider(s.id, CXBmpSlider::Orientation::Horizontal, this);
        w.slider->SetSliderRange(s.range.lo, s.range.hi);
        w.slider->SetSliderPos(s.initial);
        w.slider->setMinimumWidth(180);
        w.value = new QLineEdit(this);
        SetCtrlId(w.value, s.valueId);
        // An exact value may be typed into the box: it is applied on Enter or when the box loses the focus.
        w.value->setAlignment(Qt::AlignRight);
        w.value->setFixedWidth(w.value->fontMetrics().horizontalAdvance(QStringLiteral("-8888ms")) + 14);
        const int row = grid->rowCount();
        grid->addWidget(w.label, row, 0);
        grid->addWidget(w.slider, row, 1, Qt::AlignVCenter);
        grid->addWidget(w.value, row, 2);
        const CompSlider* spec = &s;
        connect(w.slider, &CXBmpSlider::posChanged, this,
                [this, spec](int, int position) { OnSliderMoved(*spec, position); });
        connect(w.value, &QLineEdit::editingFinished, this, [this, spec] { OnValueTyped(*spec); });
        m_sliders.push_back(w);
    }
    grid->setRowStretch(grid->rowCount(), 1);

    m_graph = new CCompressPanelPlus(this);
    SetCtrlId(m_graph, kGraphId);
    m_graph->SetLowerKnee(kLowerKneeDb);
    m_graph->SetLowerSlope(kLowerSlope);

    auto* body = new QHBoxLayout;
    body->setSpacing(24);
    body->addLayout(grid, 0);
    body->addWidget(m_graph, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 16);
    layout->setSpacing(16);
    layout->addWidget(m_tabs);
    layout->addLayout(body, 1);

    connect(m_channelSelector, &QComboBox::activated, this, [this](int index) { SetOutputChannel(index); });

    Relabel();
    LoadChannel();
}

CXBmpSlider* CCompDlg::Slider(int id) const {
    for (const SliderWidgets& w : m_sliders) {
        if (w.spec->id == id)
            return w.slider;
    }
    return nullptr;
}

QLineEdit* CCompDlg::ValueBox(int sliderId) const {
    for (const SliderWidgets& w : m_sliders) {
        if (w.spec->id == sliderId)
            return w.value;
    }
    return nullptr;
}

CGdipButton* CCompDlg::TabButton(int id) const {
    return m_tabs->Button(id);
}

void CCompDlg::FillChannelSelector() {
    m_channelSelector->clear();
    for (int ch = 1; ch <= kChannelCount; ++ch)
        m_channelSelector->addItem(Tr2("通道%1", "CH %1").arg(ch));
    m_channelSelector->setCurrentIndex(m_channel);
}

void CCompDlg::Relabel() {
    // The texts of both languages first; the table's entries win where it has them.
    m_tabs->Relabel();
    m_channelLabel->setText(Tr2("选择通道", "Select CH"));
    m_switch->setText(Tr2("压限启用", "Comp ON"));
    for (const SliderWidgets& w : m_sliders)
        w.label->setText(Tr2(w.spec->zh, w.spec->en));
    CPage::Relabel();
    FillChannelSelector();
}

void CCompDlg::RefreshFromStore() {
    LoadChannel();
}

void CCompDlg::SetOutputChannel(int channel) {
    m_channel = std::clamp(channel, 0, kChannelCount - 1);
    m_channelSelector->setCurrentIndex(m_channel);
    LoadChannel();
}

void CCompDlg::LoadChannel() {
    const ParameterStore& store = m_session.Store();
    const bool on = store.Get(fields::outCompOff, m_channel) == 0;
    m_switch->setChecked(on);
    m_graph->SetOn(on);

    for (const SliderWidgets& w : m_sliders) {
        const CompSlider& s = *w.spec;
        double value = store.GetSlotFloat(kPartSlots[s.range.part] + m_channel);
        if (s.range.part == kRatio)
            value = UsableRatio(value);
        else if (s.range.part != kThreshold && !(value > 0.0))
            value = 1.0; // a time of 0 goes out as 1 ms: show what the processor gets
        const int position = s.range.scale == 1.0 ? SliderPosition(value, s.range.lo, s.range.hi)
                                                  : ScaledSliderPosition(value, s.range.scale, s.range.lo, s.range.hi);
        w.slider->SetSliderPos(position);
        // The box shows what is stored; a value no text can show gives way to the slider's.
        w.value->setText(FormatValue(s, std::isfinite(value) ? value : position / s.range.scale));
    }
    const double threshold = store.GetSlotFloat(fields::outCompThreshold.slot + m_channel);
    m_graph->SetThreshold(threshold);
    m_graph->SetSlope(1.0 / UsableRatio(store.GetSlotFloat(fields::outCompRatio.slot + m_channel)));
}

void CCompDlg::OnSliderMoved(const CompSlider& spec, int position) {
    const double value = position / spec.range.scale;
    for (const SliderWidgets& w : m_sliders) {
        if (w.spec == &spec)
            w.value->setText(FormatValue(spec, value));
    }
    if (spec.range.part == kThreshold)
        m_graph->SetThreshold(value);
    else if (spec.range.part == kRatio)
        m_graph->SetSlope(1.0 / UsableRatio(value));

    // The moved value with the other three as stored: one record carries all four.
    const ParameterStore& store = m_session.Store();
    std::array<float, 4> values{};
    for (int part = 0; part < 4; ++part)
        values[part] = store.GetSlotFloat(kPartSlots[part] + m_channel);
    values[spec.range.part] = static_cast<float>(value);
    m_session.Commands().SetCompressor(fields::outCompThreshold.slot + m_channel, values[kThreshold], values[kRatio],
                                       values[compslider::Attack], values[compslider::Release]);
}

void CCompDlg::OnValueTyped(const CompSlider& spec) {
    for (const SliderWidgets& w : m_sliders) {
        if (w.spec != &spec || !w.value->isModified())
            continue;
        const std::optional<double> typed = TypedNumber(w.value->text());
        if (!typed) {
            // Nothing usable typed: the box shows the stored value again.
            LoadChannel();
            return;
        }
        // Held to the slider's range and steps, and sent as a slider move would send it.
        const int position = ScaledSliderPosition(*typed, spec.range.scale, spec.range.lo, spec.range.hi);
        w.value->setModified(false);
        w.slider->SetSliderPos(position);
        OnSliderMoved(spec, position);
    }
}

void CCompDlg::OnSwitchClicked(bool checked) {
    m_session.Commands().Set(fields::outCompOff, m_channel, checked ? 0 : 1);
    m_graph->SetOn(checked);
}

} // namespace orvex
