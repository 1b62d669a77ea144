#pragma once

#include "model/RoomRecord.h"
#include "shell/Page.h"

#include <array>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orvex {

class CGdipButton;
class COutputTabRow;
class CSSVolumePanel;
class CXBmpSlider;
class DeviceSession;

// The room page: a surround volume and a Locate box per output channel, and the listening room with
// the listener and the eight speakers. Every speaker's distance to the listener gives the position gain
// of the first output channel that plays its role.
class CSSVCDlg : public CPage {
    Q_OBJECT
public:
    // `locateChannel` is the application's: 0 for none, 1..8; it outlives the page.
    CSSVCDlg(DeviceSession& session, int& locateChannel, QWidget* parent = nullptr);

    void RefreshFromStore() override;
    void Relabel() override;

    // Point 0 is the listener, 1..8 the speakers in room-record order (L, CEN, R, SBL, SUB, SBR, SL, SR).
    QLineEdit* CoordField(int point, bool y) const;
    QSpinBox* CoordSpin(int point, bool y) const;
    QLineEdit* RoomSizeField(bool length) const { return length ? m_lengthField : m_widthField; }
    QSpinBox* RoomSizeSpin(bool length) const { return length ? m_lengthSpin : m_widthSpin; }
    QCheckBox* LocateBox(int channel) const;
    QLabel* RoleText(int channel) const;
    CXBmpSlider* Slider(int channel) const;
    QLabel* ValueText(int channel) const;
    QPushButton* ModifyButton() const { return m_modify; }
    QPushButton* ResetButton() const { return m_reset; }
    CSSVolumePanel* Drawing() const { return m_drawing; }
    CGdipButton* TabButton(int id) const;

    // The position gain of a speaker d metres from the listener: 3 - 3d dB.
    static float PositionGainDb(RoomPoint listener, RoomPoint speaker);

private:
    struct Row {
        QCheckBox* locate = nullptr;
        QLabel* role = nullptr;
        CXBmpSlider* slider = nullptr;
        QLabel* value = nullptr;
    };
    struct Coord {
        QLabel* name = nullptr;
        QLineEdit* field[2] = {nullptr, nullptr};
        QSpinBox* spin[2] = {nullptr, nullptr};
    };

    void LoadGeometry();
    void UpdateRoleTexts();
    void OnLocate(int channel, bool checked);
    void OnSliderMoved(int channel, int position);
    void ApplyRoomSize(int width, int length);
    void OnModify();
    void SetSpinRanges();
    // Takes both fields of `point`, limited to the half-room, and applies them.
    void HandleEditChange(int point, bool updateSpins);
    void MovePoint(int point, RoomPoint value);
    void WriteCoordFields(int point, RoomPoint value);
    void SendRoom();
    void SendGain(int point);
    void OnCenter();
    void OnReset();

    DeviceSession& m_session;
    int& m_locateChannel;
    bool m_loading = false;
    std::vector<Row> m_rows;
    std::array<Coord, 1 + kRoomSpeakerCount> m_coords{};
    COutputTabRow* m_tabs = nullptr;
    QLabel* m_unitLabel = nullptr;
    QLabel* m_roomLabel = nullptr;
    QLabel* m_widthLabel = nullptr;
    QLabel* m_lengthLabel = nullptr;
    QLabel* m_listenerLabel = nullptr;
    QLabel* m_sourceLabel = nullptr;
    QLineEdit* m_widthField = nullptr;
    QLineEdit* m_lengthField = nullptr;
    QSpinBox* m_widthSpin = nullptr;
    QSpinBox* m_lengthSpin = nullptr;
    QPushButton* m_modify = nullptr;
    QPushButton* m_center = nullptr;
    QPushButton* m_reset = nullptr;
    CSSVolumePanel* m_drawing = nullptr;
};

} // namespace orvex
