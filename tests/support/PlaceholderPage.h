#pragma once

#include "shell/Page.h"

#include <functional>
#include <vector>

class QLabel;
class QPushButton;

namespace orvex {

// Stands in for an editing page in the shell's tests: it shows the page's title, carries the
// channel and section buttons of its family so that every path of the view can be walked, and
// counts the refreshes and equaliser commands it receives.
class CPlaceholderPage : public CPage {
    Q_OBJECT
public:
    CPlaceholderPage(PageKind kind, QWidget* parent);

    void RefreshFromStore() override;
    void Relabel() override;
    int EqBypassSlot() const override;
    void ResetEq() override { ++m_eqResets; }
    void SelectEqBand(int band) override { m_selectedBand = band; }
    void SetOutputChannel(int channel) override;
    int OutputChannel() const override { return m_channel; }
    void SetChannelView(int view) override { m_channelView = view; }
    int ChannelView() const override { return m_channelView; }
    void SetEfxKind(int kind) override { m_efxKind = kind; }
    int EfxKind() const override { return m_efxKind; }

    QString Title() const;
    int Refreshes() const { return m_refreshes; }
    int EqResets() const { return m_eqResets; }
    int SelectedBand() const { return m_selectedBand; }

private:
    void AddButton(int id, const char* zh, const char* en, std::function<void()> action);

    QLabel* m_title = nullptr;
    QLabel* m_note = nullptr;
    int m_channel = 0;
    int m_refreshes = 0;
    int m_eqResets = 0;
    int m_selectedBand = -1;
    int m_channelView = 0;
    int m_efxKind = 0;
    struct TextPair {
        QPushButton* button;
        const char* zh;
        const char* en;
    };
    std::vector<TextPair> m_buttons;
};

} // namespace orvex
