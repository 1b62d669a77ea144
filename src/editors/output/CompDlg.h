#pragma once

#include "shell/Page.h"

#include <array>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace orvex {

class CCompressPanelPlus;
class CGdipButton;
class COutputTabRow;
class CXBmpSlider;
class DeviceSession;
struct CompSlider;

// The output compressor page: one output channel at a time, chosen in the channel selector, with its
// switch, threshold, ratio, attack and release, and the static transfer curve they give. Every change
// is stored and sent at once; the four values of a channel always travel together in one record.
class CCompDlg : public CPage {
    Q_OBJECT
public:
    explicit CCompDlg(DeviceSession& session, QWidget* parent = nullptr);

    void RefreshFromStore() override;
    void Relabel() override;
    // The channel shown; choosing one only loads it, nothing is sent.
    void SetOutputChannel(int channel) override;
    int OutputChannel() const override { return m_channel; }

    CXBmpSlider* Slider(int id) const;
    QLineEdit* ValueBox(int sliderId) const;
    QComboBox* ChannelSelector() const { return m_channelSelector; }
    QCheckBox* Switch() const { return m_switch; }
    CCompressPanelPlus* Graph() const { return m_graph; }
    CGdipButton* TabButton(int id) const;

private:
    struct SliderWidgets {
        const CompSlider* spec = nullptr;
        QLabel* label = nullptr;
        CXBmpSlider* slider = nullptr;
        QLineEdit* value = nullptr;
    };

    void FillChannelSelector();
    void LoadChannel();
    void OnSliderMoved(const CompSlider& spec, int position);
    void OnValueTyped(const CompSlider& spec);
    void OnSwitchClicked(bool checked);

    DeviceSession& m_session;
    int m_channel = 0;
    QComboBox* m_channelSelector = nullptr;
    QLabel* m_channelLabel = nullptr;
    QCheckBox* m_switch = nullptr;
    CCompressPanelPlus* m_graph = nullptr;
    std::vector<SliderWidgets> m_sliders;
    COutputTabRow* m_tabs = nullptr;
};

} // namespace orvex
