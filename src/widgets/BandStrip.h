#pragma once

#include "model/EqBandRecord.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace orvex {

class CBandGrid;
class CEqPanel;
class CXBmpSlider;

// The band strip that takes the grid's place (and keeps its width) while a band is selected: type radios and vertical
// gain, frequency and Q sliders with their edits. It acts on the panel's selected band and reports every applied change
// with bandEdited, which the page sends exactly as for EQN_BANDCHANGED.
class CBandStrip : public QWidget {
    Q_OBJECT

public:
    static constexpr int IDC_FREQ_GROUP = 1200;
    static constexpr int IDC_TYPE_GROUP = 1199;
    static constexpr int IDC_GAIN_GROUP = 1201;
    static constexpr int IDC_Q_GROUP = 1202;
    static constexpr int IDC_BAND_NUMBER = 1203;
    static constexpr int IDC_TYPE_FIRST = 1204; // .. 1208, radio = type code - 1
    static constexpr int IDC_GAIN_SLIDER = 1209;
    static constexpr int IDC_FREQ_SLIDER = 1210;
    static constexpr int IDC_Q_SLIDER = 1211;
    static constexpr int IDC_GAIN_EDIT = 1212;
    static constexpr int IDC_FREQ_EDIT = 1213;
    static constexpr int IDC_Q_EDIT = 1214;

    static constexpr int kQSliderMin = static_cast<int>(kMinBandQ * 100);
    static constexpr int kPeakQSliderMax = static_cast<int>(kMaxPeakingQ * 100);
    static constexpr int kOtherQSliderMax = static_cast<int>(kMaxShapeQ * 100);

    explicit CBandStrip(QWidget* parent = nullptr);

    // The panel whose selected band the strip edits, and the grid whose row follows it (optional).
    void Bind(CEqPanel* panel, CBandGrid* grid);

    // Shows a band (on EQN_BANDCHANGED and EQN_BANDPICKED): edits, sliders, number, type radio, the Q
    // range and the enabled gain; the grid's row becomes the only selected one.
    void ShowBand(int index);
    // Reads the three edits into the selected band, sends it and rewrites everything from the stored band.
    void ApplyStrip();
    // A type radio was chosen (0 PEQ .. 4 HS).
    void OnTypeRadio(int radio);
    void Retranslate();

    CXBmpSlider* GainSlider() const { return m_gainSlider; }
    CXBmpSlider* FrequencySlider() const { return m_freqSlider; }
    CXBmpSlider* QSlider() const { return m_qSlider; }
    QLineEdit* GainEdit() const { return m_gainEdit; }
    QLineEdit* FrequencyEdit() const { return m_freqEdit; }
    QLineEdit* QEdit() const { return m_qEdit; }
    QRadioButton* TypeRadio(int radio) const;
    QLabel* BandNumber() const { return m_number; }

signals:
    void bandEdited(int index);

private:
    void OnSliderMoved(int controlId, int position);
    void RewriteFromBand(int index);
    void SetQSliderMaximum(int code);
    void EnableGain(int code);

    CEqPanel* m_panel = nullptr;
    CBandGrid* m_grid = nullptr;
    QGroupBox* m_typeGroup = nullptr;
    QGroupBox* m_gainGroup = nullptr;
    QGroupBox* m_freqGroup = nullptr;
    QGroupBox* m_qGroup = nullptr;
    QLabel* m_number = nullptr;
    QButtonGroup* m_radios = nullptr;
    std::array<QRadioButton*, 5> m_radioButtons{};
    CXBmpSlider* m_gainSlider = nullptr;
    CXBmpSlider* m_freqSlider = nullptr;
    CXBmpSlider* m_qSlider = nullptr;
    QLineEdit* m_gainEdit = nullptr;
    QLineEdit* m_freqEdit = nullptr;
    QLineEdit* m_qEdit = nullptr;
};

} // namespace orvex
