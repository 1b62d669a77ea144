#include "widgets/BandStrip.h"

#include "widgets/BandGrid.h"
#include "widgets/BandText.h"
#include "widgets/ControlFonts.h"
#include "widgets/ControlId.h"
#include "widgets/EqPanel.h"
#include "widgets/UiLanguage.h"
#include "widgets/XBmpSlider.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

int ToSlider(double value, const CXBmpSlider* slider) {
    const double clamped =
        std::clamp(value, static_cast<double>(slider->GetSliderMin()), static_cast<double>(slider->GetSliderMax()));
    return static_cast<int>(clamped);
}

} // namespace

CBandStrip::CBandStrip(QWidget* parent) : QWidget(parent) {
    // Compact: the strip shares the grid's column beside the graph and must not widen it.
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 2);
    row->setSpacing(4);

    m_typeGroup = new QGroupBox(this);
    SetCtrlId(m_typeGroup, IDC_TYPE_GROUP);
    auto* typeColumn = new QVBoxLayout(m_typeGroup);
    typeColumn->setContentsMargins(4, 4, 4, 4);
    m_number = new QLabel(m_typeGroup);
    SetCtrlId(m_number, IDC_BAND_NUMBER);
    QFont numberFont = ArialFont(24);
    numberFont.setBold(true);
    m_number->setFont(numberFont);
    m_number->setStyleSheet(QStringLiteral("color: rgb(20,200,20);"));
    m_number->setAlignment(Qt::AlignCenter);
    typeColumn->addWidget(m_number);
    m_radios = new QButtonGroup(this);
    for (int i = 0; i < 5; ++i) {
        auto* radio = new QRadioButton(m_typeGroup);
        SetCtrlId(radio, IDC_TYPE_FIRST + i);
        m_radios->addButton(radio, i);
        m_radioButtons[static_cast<size_t>(i)] = radio;
        typeColumn->addWidget(radio);
    }
    typeColumn->addStretch(1);
    row->addWidget(m_typeGroup);

    auto makeSliderGroup = [this, row](int groupId, int sliderId, int editId, CXBmpSlider*& slider, QLineEdit*& edit) {
        auto* group = new QGroupBox(this);
        SetCtrlId(group, groupId);
        auto* column = new QVBoxLayout(group);
        column->setContentsMargins(3, 4, 3, 4);
        slider = new CXBmpSlider(sliderId, CXBmpSlider::Orientation::Vertical, group);
        slider->setMinimumHeight(120);
        column->addWidget(slider, 1, Qt::AlignHCenter);
        edit = new QLineEdit(group);
        SetCtrlId(edit, editId);
        edit->setAlignment(Qt::AlignCenter);
        // Room for the widest value, "20000Hz", and the frame.
        edit->setFixedWidth(std::max(48, edit->fontMetrics().horizontalAdvance(QStringLiteral("20000Hz")) + 12));
        column->addWidget(edit, 0, Qt::AlignHCenter);
        row->addWidget(group);
        connect(slider, &CXBmpSlider::posChanged, this, &CBandStrip::OnSliderMoved);
        connect(edit, &QLineEdit::returnPressed, this, &CBandStrip::ApplyStrip);
        return group;
    };
    m_gainGroup = makeSliderGroup(IDC_GAIN_GROUP, IDC_GAIN_SLIDER, IDC_GAIN_EDIT, m_gainSlider, m_gainEdit);
    m_freqGroup = makeSliderGroup(IDC_FREQ_GROUP, IDC_FREQ_SLIDER, IDC_FREQ_EDIT, m_freqSlider, m_freqEdit);
    m_qGroup = makeSliderGroup(IDC_Q_GROUP, IDC_Q_SLIDER, IDC_Q_EDIT, m_qSlider, m_qEdit);

    m_gainSlider->SetSliderRange(static_cast<int>(kMinBandGainDb * 10), static_cast<int>(kMaxBandGainDb * 10));
    m_freqSlider->SetSliderRange(kMinBandFreqHz, kMaxBandFreqHz);
    m_qSlider->SetSliderRange(kQSliderMin, kPeakQSliderMax);

    connect(m_radios, &QButtonGroup::idClicked, this, &CBandStrip::OnTypeRadio);
    Retranslate();
}

void CBandStrip::Retranslate() {
    m_typeGroup->setTitle(UiText("类型", "EQ Type"));
    m_gainGroup->setTitle(UiText("增益", "Gain"));
    m_freqGroup->setTitle(UiText("频率", "F"));
    m_qGroup->setTitle(UiText("Q值", "Q"));
    static constexpr std::array<std::pair<const char*, const char*>, 5> kRadioText = {
        {{"参量", "PEQ"}, {"低通", "LP"}, {"高通", "HP"}, {"低架", "LS"}, {"高架", "HS"}}};
    for (size_t i = 0; i < kRadioText.size(); ++i) {
        m_radioButtons[i]->setText(UiText(kRadioText[i].first, kRadioText[i].second));
    }
}

void CBandStrip::Bind(CEqPanel* panel, CBandGrid* grid) {
    m_panel = panel;
    m_grid = grid;
}

QRadioButton* CBandStrip::TypeRadio(int radio) const {
    return radio >= 0 && radio < 5 ? m_radioButtons[static_cast<size_t>(radio)] : nullptr;
}

void CBandStrip::SetQSliderMaximum(int code) {
    m_qSlider->SetSliderRange(kQSliderMin, static_cast<int>(std::lround(BandQLimit(code) * 100.0)));
}

void CBandStrip::EnableGain(int code) {
    m_gainSlider->SetSliderEnabled(BandGainEditable(code));
    m_gainEdit->setEnabled(BandGainEditable(code));
}

void CBandStrip::RewriteFromBand(int index) {
    const EqPanelBand band = m_panel->Band(index);
    m_gainEdit->setText(FormatBandGain(band.gainDb));
    m_freqEdit->setText(FormatBandFrequency(band.freqHz));
    m_qEdit->setText(FormatBandQ(band.q));
    if (m_grid) {
        m_grid->ShowBandRow(index);
    }
}

void CBandStrip::ShowBand(int index) {
    if (!m_panel || index < 0 || index >= m_panel->BandCount()) {
        return;
    }
    const EqPanelBand band = m_panel->Band(index);
    const int code = m_panel->DisplayType(index);
    // The Q range first, so the Q position is clamped to the range of the band's type.
    SetQSliderMaximum(code);
    m_gainEdit->setText(FormatBandGain(band.gainDb));
    m_freqEdit->setText(FormatBandFrequency(band.freqHz));
    m_qEdit->setText(FormatBandQ(band.q));
    m_gainSlider->SetSliderPos(ToSlider(std::round(band.gainDb * 10.0), m_gainSlider));
    m_freqSlider->SetSliderPos(ToSlider(std::trunc(band.freqHz), m_freqSlider));
    m_qSlider->SetSliderPos(ToSlider(std::round(band.q * 100.0), m_qSlider));
    if (m_grid) {
        m_grid->SelectBand(index);
    }
    m_number->setText(QString::number(index + 1));
    // A crossover section code matches no radio: none is checked.
    m_radios->setExclusive(false);
    for (int i = 0; i < 5; ++i) {
        m_radioButtons[static_cast<size_t>(i)]->setChecked(code == i + 1);
    }
    m_radios->setExclusive(true);
    EnableGain(code);
}

void CBandStrip::OnSliderMoved(int controlId, int position) {
    if (controlId == IDC_GAIN_SLIDER) {
        m_gainEdit->setText(FormatBandGain(position / 10.0));
    } else if (controlId == IDC_FREQ_SLIDER) {
        m_freqEdit->setText(QStringLiteral("%1Hz").arg(position));
    } else if (controlId == IDC_Q_SLIDER) {
        m_qEdit->setText(FormatBandQ(position / 100.0));
    }
    ApplyStrip();
}

void CBandStrip::ApplyStrip() {
    const int index = m_panel ? m_panel->SelectedBand() : -1;
    if (index < 0) {
        return;
    }
    const double gain = ParseLeadingNumber(m_gainEdit->text());
    const double hz = ParseLeadingNumber(m_freqEdit->text());
    const double q = ParseLeadingNumber(m_qEdit->text());
    m_panel->SetBandGain(index, static_cast<float>(gain));
    if (hz != 0.0) {
        m_panel->SetBandFrequency(index,
                                  static_cast<float>(std::clamp(hz, double{kMinBandFreqHz}, double{kMaxBandFreqHz})));
    }
    m_panel->SetBandQ(index, static_cast<float>(q));

    m_gainSlider->SetSliderPos(ToSlider(std::round(gain * 10.0), m_gainSlider));
    // An edit without a number leaves the frequency alone, and so does its slider.
    m_freqSlider->SetSliderPos(ToSlider(hz != 0.0 ? hz : std::trunc(m_panel->Band(index).freqHz), m_freqSlider));
    m_qSlider->SetSliderPos(ToSlider(std::round(q * 100.0), m_qSlider));
    emit bandEdited(index);
    RewriteFromBand(index);
}

void CBandStrip::OnTypeRadio(int radio) {
    if (radio < 0 || radio > 4) {
        return;
    }
    SetQSliderMaximum(radio + 1);
    const int index = m_panel ? m_panel->SelectedBand() : -1;
    if (index < 0) {
        return;
    }
    m_panel->SetBandTypeFromMenu(index, radio + 1);
    emit bandEdited(index);
    const EqPanelBand band = m_panel->Band(index);
    m_qSlider->SetSliderPos(ToSlider(std::round(band.q * 100.0), m_qSlider));
    m_gainSlider->SetSliderPos(ToSlider(std::round(band.gainDb * 10.0), m_gainSlider));
    RewriteFromBand(index);
    EnableGain(radio + 1);
}

} // namespace orvex
