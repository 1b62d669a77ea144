#pragma once

#include "shell/ToolDialog.h"

#include <array>

class QButtonGroup;
class QKeyEvent;
class QLabel;
class QRadioButton;

namespace orvex {

class CXBmpSlider;
class DeviceSession;

// The music source dialog: one radio per input of the processor (SPDIF1, SPDIF2, HDMI1..4, Bluetooth,
// AUX and the hidden AUX2) and the level of each input. Which inputs a processor has depends on its
// model, so the dialog disables and renames radios by the module name it reported. It keeps no value
// of its own but the index of the checked radio; everything else is read from the store.
class CDialogMusicInput : public CToolDialog {
    Q_OBJECT
public:
    static constexpr int kInputCount = 9; // radios 1190..1198, index = id - 1190

    explicit CDialogMusicInput(DeviceSession& session, QWidget* parent = nullptr);

    void RefreshFromStore() override;
    // The language table's texts, then the model's own names for the HDMI and Bluetooth radios.
    void Relabel() override;

    int RadioIndex() const { return m_radioIndex; }
    QRadioButton* Radio(int index) const { return m_rows[index].radio; }
    CXBmpSlider* LevelSlider(int index) const { return m_rows[index].slider; }
    QLabel* LevelText(int index) const { return m_rows[index].value; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct RowWidgets {
        QRadioButton* radio = nullptr;
        CXBmpSlider* slider = nullptr;
        QLabel* value = nullptr;
    };

    void OnRadioClicked(int index);
    void OnLevelMoved(int index, int position);
    void ApplyModelEnabling();
    void ApplyModelTexts();

    DeviceSession& m_session;
    std::array<RowWidgets, kInputCount> m_rows{}; // by radio index
    QButtonGroup* m_group = nullptr;
    int m_radioIndex = 0;
};

} // namespace orvex
