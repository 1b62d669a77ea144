#pragma once

#include "shell/PageContext.h"
#include "model/ParameterStore.h"
#include "shell/ToolDialog.h"

#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace orvex {

class CGdipButton;
class CXBmpSlider;

// The machine settings (template 335): the volumes the processor starts with and the highest mic and
// music volumes, how it saves volumes, the mode it starts in, HDMI muting and the DTS/AC-3 surround
// route, plus restoring a device mode and clearing the plug data.
//
// The dialog edits the working copy of machineSettingsRecord; Apply makes it the committed copy and
// sends it, Cancel and closing throw the edits away. Bytes it has no control for travel back as read.
class CSetDlg : public CToolDialog {
    Q_OBJECT
public:
    // The start and maximum volume of one master volume (mic, music): the sliders, their captions,
    // value texts and the start volume's "Enable" box, with the record bytes they edit.
    struct VolumeLimitIds {
        int startCaption, startSlider, startValue, enableBox;
        int maxCaption, maxSlider, maxValue;
        int startByte, maxByte;
    };
    static constexpr std::array<VolumeLimitIds, 2> kVolumeLimits = {{
        {1005, 1014, 1145, 1039, 1006, 1016, 1147, 3, 5}, // mic
        {1002, 1015, 1146, 1040, 1131, 1019, 1150, 4, 6}, // music
    }};
    static constexpr uint8_t kStartVolumeNotSet = 255;
    static constexpr int kStartVolumeLimit = 99;

    static constexpr int kSaveByPowerId = 1190;
    static constexpr int kSaveByModeId = 1191;
    static constexpr int kPowerOnModeId = 1134;
    static constexpr int kHdmiMuteId = 1049;
    // The route radio buttons in the order of their code in the high half of byte 12.
    static constexpr std::array<int, 3> kRouteIds = {1192, 1195, 1199};
    static constexpr int kFirstRestoreId = 32823; // M1; M2..M4 follow
    static constexpr int kClearPlugsId = 1070;
    static constexpr int kApplyId = 1073;
    static constexpr int kCancelId = 2;
    // Never shown: the lock boxes only follow bytes 7 and 8.
    static constexpr int kPanelLockId = 1041;
    static constexpr int kVolumeLockId = 1042;
    static constexpr int kModeLockId = 1043;

    explicit CSetDlg(const PageContext& ctx, QWidget* parent = nullptr);
    ~CSetDlg() override;

    // Loads the controls from the committed copy; the working copy starts again from it, so what
    // the dialog shows is what Apply sends.
    void RefreshFromStore() override;
    void Relabel() override;

    void Apply();
    // Cancel, the close box and Escape: the edits are dropped and the window goes.
    void reject() override;

    CXBmpSlider* Slider(int controlId) const;
    CGdipButton* RestoreButton(int mode) const { return m_restore[static_cast<size_t>(mode)]; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct VolumeLimitWidgets {
        QLabel* startCaption = nullptr;
        CXBmpSlider* startSlider = nullptr;
        QLabel* startValue = nullptr;
        QCheckBox* enableBox = nullptr;
        QLabel* maxCaption = nullptr;
        CXBmpSlider* maxSlider = nullptr;
        QLabel* maxValue = nullptr;
    };

    QGroupBox* BuildVolumeGroup();
    QGroupBox* BuildSaveModeGroup();
    QGroupBox* BuildPowerOnGroup();
    QGroupBox* BuildRestoreGroup();
    QGroupBox* BuildPlugGroup();
    QGroupBox* BuildHdmiGroup();
    QGroupBox* BuildRouteGroup();
    QGroupBox* BuildLockGroup();

    // Changes the working copy in place.
    void EditWorking(const std::function<void(MachineSettingsRecord&)>& edit);
    void ShowStartVolume(size_t row, uint8_t value);
    void OnStartMoved(size_t row, int value);
    void OnMaxMoved(size_t row, int value);
    void OnEnableClicked(size_t row, bool enabled);
    void OnRestoreMode(int mode);
    void OnClearPlugs();
    void MarkCurrentMode();

    PageContext m_ctx;
    std::array<VolumeLimitWidgets, kVolumeLimits.size()> m_limits{};
    QRadioButton* m_saveByPower = nullptr;
    QRadioButton* m_saveByMode = nullptr;
    QComboBox* m_powerOnMode = nullptr;
    QCheckBox* m_hdmiMute = nullptr;
    std::array<QRadioButton*, kRouteIds.size()> m_route{};
    std::array<CGdipButton*, 4> m_restore{};
    QCheckBox* m_panelLock = nullptr;
    QCheckBox* m_volumeLock = nullptr;
    QCheckBox* m_modeLock = nullptr;
};

} // namespace orvex
