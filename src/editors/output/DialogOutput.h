#pragma once

#include "shell/PageContext.h"
#include "shell/Page.h"
#include "model/EqPaths.h"

#include <array>
#include <functional>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QRadioButton;

namespace orvex {

class CEqSection;
class COutputChannelPicture;
class COutputTabRow;
class CXBmpSlider;

// The output channel page: one of the eight outputs at a time with its equaliser (crossover family
// included), mix levels, compressor and delay, under a strip that holds the role, mute and phase of all
// eight outputs and the three channel-pair links. An edit goes to the shown channel and, while its pair
// is linked, to the partner as well; linking a pair that differs first asks which channel to keep.
class CDialogOutput : public CPage {
    Q_OBJECT
public:
    static constexpr int kChannels = kOutputChannelCount;
    static constexpr int kDelayMinTenths = 16;
    static constexpr int kDelayMaxTenths = 1000;

    // The three pairs that can be linked: the link box, its byte of the link options and its channels.
    struct LinkPair {
        int boxId;
        int optionByte;
        int lower;
        int higher;
    };
    static const std::array<LinkPair, 3>& LinkPairs();

    CDialogOutput(const PageContext& ctx, QWidget* parent);

    // Who answers the link question (1 keeps the lower channel, 2 the higher, anything else declines):
    // the question box unless another asker is given.
    using LinkQuestion = std::function<int(const QString& text, const QString& first, const QString& second)>;
    void SetLinkQuestion(LinkQuestion ask) { m_askLink = std::move(ask); }

    void RefreshFromStore() override;
    void Relabel() override;
    int EqBypassSlot() const override;
    void ResetEq() override;
    void SelectEqBand(int band) override;
    void SetOutputChannel(int channel) override;
    int OutputChannel() const override { return m_channel; }

    // The linked partner of `channel`, -1 when it has none or its pair is not linked.
    int LinkedPartner(int channel) const;
    // The channels an edit on this page goes to: the shown one, then a linked partner.
    std::vector<int> ApplySet() const;

    CEqSection* Eq() const { return m_eq; }
    COutputTabRow* Tabs() const { return m_tabs; }
    COutputChannelPicture* Picture() const { return m_picture; }
    CXBmpSlider* Slider(int id) const;
    QLabel* ValueLabel(int id) const;
    QComboBox* RoleCombo(int channel) const { return m_strip[static_cast<size_t>(channel)].role; }
    QCheckBox* MuteBox(int channel) const { return m_strip[static_cast<size_t>(channel)].mute; }
    QCheckBox* PhaseBox(int channel) const { return m_strip[static_cast<size_t>(channel)].phase; }
    QCheckBox* LinkBox(int pair) const { return m_links[static_cast<size_t>(pair)]; }
    QCheckBox* DelaySwitch() const { return m_delaySwitch; }
    QRadioButton* HighFreqRadio() const { return m_highFreq; }
    QRadioButton* WholeChannelRadio() const { return m_wholeChannel; }

private:
    struct StripColumn {
        QComboBox* role = nullptr;
        QCheckBox* mute = nullptr;
        QCheckBox* phase = nullptr;
    };
    struct SliderRow {
        int id = 0;
        QLabel* name = nullptr;
        CXBmpSlider* slider = nullptr;
        QLabel* value = nullptr;
    };

    QWidget* BuildStrip();
    QGroupBox* BuildMixGroup();
    QGroupBox* BuildCompGroup();
    QGroupBox* BuildDelayGroup();
    SliderRow& AddSliderRow(QGridLayout* grid, int id, int nameId, int valueId, int lo, int hi);
    const SliderRow* Row(int id) const;

    void FillRoleCombos();
    void LoadMix();
    void LoadStrip();
    void LoadCompressor();
    void LoadDelay();
    void EnableDelay();
    void UpdateApplyIdentities();

    void OnMixMoved(int id, int position);
    void OnCompMoved(int id, int position);
    void OnCompSwitch(bool on);
    void OnDelaySwitch(bool on);
    void OnDelayMode(int mode);
    void OnSplitMoved(int index);
    void OnDelayMoved(int position);
    void OnLinkClicked(int pair, bool on);
    int AskWhichChannel(const LinkPair& pair) const;
    bool ChannelsDiffer(int a, int b) const;
    void SynchroniseChannels(int model, int other);
    void StoreLinkOptions(const QByteArray& links);

    PageContext m_ctx;
    LinkQuestion m_askLink;
    int m_channel = 0;
    COutputTabRow* m_tabs = nullptr;
    COutputChannelPicture* m_picture = nullptr;
    CEqSection* m_eq = nullptr;
    std::array<StripColumn, kChannels> m_strip;
    std::array<QCheckBox*, 3> m_links{};
    std::vector<SliderRow> m_rows;
    QGroupBox* m_mixGroup = nullptr;
    QGroupBox* m_compGroup = nullptr;
    QGroupBox* m_delayGroup = nullptr;
    QCheckBox* m_compSwitch = nullptr;
    QCheckBox* m_delaySwitch = nullptr;
    QRadioButton* m_highFreq = nullptr;
    QRadioButton* m_wholeChannel = nullptr;
    QButtonGroup* m_delayMode = nullptr;
};

} // namespace orvex
