#pragma once

#include "shell/Page.h"
#include "model/EqPaths.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace orvex {

class CDelayPanel;
class COutputTabRow;
class CXBmpSlider;
class DeviceSession;

// The speaker delay page: time alignment of the eight outputs on one page. Each row switches its
// channel's delay, chooses between delaying the whole channel and only the part above the band split,
// sets the split point and the delay; the graph beside the rows shows every delay as a marker that can
// be dragged. Every control acts on its own channel only; every change is stored and sent at once.
class CDelayDlg : public CPage {
    Q_OBJECT
public:
    static constexpr int kChannels = kOutputChannelCount;
    // Delay positions in tenths of a millisecond: 1.5 .. 100.0 ms.
    static constexpr int kMinTenths = 15;
    static constexpr int kMaxTenths = 1000;
    static constexpr int kSplitMax = 25;

    // The controls of one channel row: control ids from the page's template.
    struct RowIds {
        int onOff;
        int highFreq;
        int wholeChannel;
        int splitSlider;
        int splitLabel;
        int delayEdit;
        int upDown;
        int rowLabel;
    };
    static const std::array<RowIds, kChannels>& Rows();

    CDelayDlg(DeviceSession& session, QWidget* parent);

    void RefreshFromStore() override;
    void Relabel() override;

    // Moves channel k's marker, writes its edit from what the store holds afterwards and sends the value
    // when it differs from the store's.
    void ApplyChannelDelay(int channel, float ms);
    // The up-down arrows: one tenth of a millisecond per step, held to 1.5 .. 100 ms.
    void StepDelay(int channel, int steps);
    int UpDownPos(int channel) const { return m_rows[static_cast<size_t>(channel)].position; }

    CDelayPanel* Panel() const { return m_panel; }
    QLineEdit* DelayEdit(int channel) const { return m_rows[static_cast<size_t>(channel)].edit; }
    CXBmpSlider* SplitSlider(int channel) const { return m_rows[static_cast<size_t>(channel)].slider; }
    QLabel* SplitLabel(int channel) const { return m_rows[static_cast<size_t>(channel)].splitLabel; }
    QCheckBox* OnOff(int channel) const { return m_rows[static_cast<size_t>(channel)].onOff; }
    QRadioButton* HighFreq(int channel) const { return m_rows[static_cast<size_t>(channel)].highFreq; }
    QRadioButton* WholeChannel(int channel) const { return m_rows[static_cast<size_t>(channel)].wholeChannel; }
    QToolButton* UpButton(int channel) const { return m_rows[static_cast<size_t>(channel)].up; }
    QToolButton* DownButton(int channel) const { return m_rows[static_cast<size_t>(channel)].down; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Row {
        QLabel* label = nullptr;
        QCheckBox* onOff = nullptr;
        QRadioButton* highFreq = nullptr;
        QRadioButton* wholeChannel = nullptr;
        QButtonGroup* mode = nullptr;
        CXBmpSlider* slider = nullptr;
        QLabel* splitLabel = nullptr;
        QLineEdit* edit = nullptr;
        QWidget* upDown = nullptr;
        QToolButton* up = nullptr;
        QToolButton* down = nullptr;
        int position = kMinTenths + 1;
    };

    QWidget* BuildRows();
    void EnableRow(int channel);
    void RefreshRow(int channel);
    void RefreshSplitLabel(int channel);
    void OnSwitch(int channel, bool on);
    void OnMode(int channel, int mode);
    void OnSplitMoved(int channel, int index);
    void OnDelayTyped(int channel);
    void OnDelayDragged(int channel, float ms);
    int RowOfEdit(const QObject* object) const;

    DeviceSession& m_session;
    std::array<Row, kChannels> m_rows;
    CDelayPanel* m_panel = nullptr;
    COutputTabRow* m_tabs = nullptr;
};

} // namespace orvex
