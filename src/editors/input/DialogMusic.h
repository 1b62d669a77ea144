#pragma once

#include "shell/Page.h"
#include "shell/PageContext.h"

#include <array>

class QButtonGroup;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace orvex {

class CEqSection;
class CGdipButton;
class CPeakMeterCtrl;
class CReportCtrl;
class CSmallEqPanel;
class CXBmpSlider;
class DeviceSession;

// The mic and music page, the first page of the editor: the mic inputs (gate, volume, effect channel),
// the nine effect parameters of mic channel A or B on one value slider, the ten-band equaliser of mic A,
// mic B or the music input, thumbnails of the current channel's reverb and echo equalisers that open
// the effects page, and the live input levels. Every change is stored and sent at once.
class CDialogMusic : public CPage {
    Q_OBJECT
public:
    static constexpr int kParamRows = 9;
    static constexpr int kMicCount = 4;

    explicit CDialogMusic(const PageContext& ctx, QWidget* parent = nullptr);

    void RefreshFromStore() override;
    void Relabel() override;
    int EqBypassSlot() const override;
    void ResetEq() override;
    void SelectEqBand(int band) override;
    // 0 mic channel A, 1 mic channel B, 2 music; shown at the next refresh.
    void SetChannelView(int view) override;
    int ChannelView() const override { return m_view; }

    // The parameter row edited on the value slider; a click in the grid does the same.
    void SelectParamRow(int row);
    int SelectedParamRow() const { return m_row; }
    // Copies the processor's last level record to the bars and the stream-format text.
    void UpdateLiveDisplay() override;

    CGdipButton* ViewButton(int view) const { return m_viewButtons[static_cast<size_t>(view)]; }
    CReportCtrl* ParamGrid() const { return m_grid; }
    CXBmpSlider* ValueSlider() const { return m_valueSlider; }
    QLineEdit* ValueEdit() const { return m_valueEdit; }
    CXBmpSlider* GateSlider(int mic) const { return m_mics[static_cast<size_t>(mic)].gate; }
    CXBmpSlider* VolumeSlider(int mic) const { return m_mics[static_cast<size_t>(mic)].volume; }
    QLabel* GateText(int mic) const { return m_mics[static_cast<size_t>(mic)].gateValue; }
    QRadioButton* RouteRadio(int mic, bool channelA) const;
    CPeakMeterCtrl* MicLevel(int mic) const { return m_mics[static_cast<size_t>(mic)].level; }
    CPeakMeterCtrl* MusicLevel(int side) const { return m_musicLevels[static_cast<size_t>(side)]; }
    QLabel* FormatText() const { return m_format; }
    CXBmpSlider* SourceSlider() const { return m_sourceSlider; }
    QLabel* SourceLabel() const { return m_sourceLabel; }
    CSmallEqPanel* ReverbThumb() const { return m_reverbThumb; }
    CSmallEqPanel* EchoThumb() const { return m_echoThumb; }
    CEqSection* Eq() const { return m_eq; }

private:
    struct MicWidgets {
        QLabel* name = nullptr;
        QRadioButton* toA = nullptr;
        QRadioButton* toB = nullptr;
        QButtonGroup* route = nullptr;
        QLabel* gateLabel = nullptr;
        CXBmpSlider* gate = nullptr;
        QLabel* gateValue = nullptr;
        QLabel* volumeLabel = nullptr;
        CXBmpSlider* volume = nullptr;
        QLabel* volumeValue = nullptr;
        CPeakMeterCtrl* level = nullptr;
    };

    QWidget* BuildMic(int mic);
    QWidget* BuildParameters();
    QWidget* BuildThumbnails();
    void BuildGridColumns();

    int EffectChannel() const { return m_view == 0 ? 0 : 1; }
    int RowSlot(int row) const;
    int RowPosition(int row) const;
    void ShowRow(int row, int position);
    void FillParamGrid();
    void ApplyParamValue(int position);
    void OnValueTyped();
    void StepParamValue(int delta);
    void OnRoute(int mic, bool toA);
    void OnViewButton(int view);
    void OnThumbnail(bool echo);
    void LoadMics();
    void LoadSourceLevel();
    void LoadEq();
    void LoadThumbnails();
    void ApplyViewState();
    int SourceLevelSlot() const;

    DeviceSession& m_session;
    DisplayServices& m_display;
    int m_view = 0;
    int m_row = 0;
    std::array<CGdipButton*, 3> m_viewButtons{};
    std::array<MicWidgets, kMicCount> m_mics{};
    QGroupBox* m_micGroup = nullptr;
    QGroupBox* m_paramGroup = nullptr;
    QFrame* m_musicGroup = nullptr;
    QLabel* m_musicTitle = nullptr;
    std::array<CPeakMeterCtrl*, 2> m_musicLevels{};
    std::array<QLabel*, 2> m_musicSideLabels{};
    QLabel* m_format = nullptr;
    CXBmpSlider* m_sourceSlider = nullptr;
    QLabel* m_sourceValue = nullptr;
    QLabel* m_sourceLabel = nullptr;
    CReportCtrl* m_grid = nullptr;
    CXBmpSlider* m_valueSlider = nullptr;
    QLineEdit* m_valueEdit = nullptr;
    QLabel* m_rowName = nullptr;
    QLabel* m_reverbTitle = nullptr;
    QLabel* m_reverbHint = nullptr;
    QLabel* m_echoTitle = nullptr;
    QLabel* m_echoHint = nullptr;
    CSmallEqPanel* m_reverbThumb = nullptr;
    CSmallEqPanel* m_echoThumb = nullptr;
    CEqSection* m_eq = nullptr;
};

} // namespace orvex
