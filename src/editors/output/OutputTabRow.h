#pragma once

#include "shell/Page.h"

#include <vector>

namespace orvex {

class CGdipButton;

// The row of image buttons across the top of every output-area page: the eight channel buttons, then
// Location, Delay and Comp. The button of what the page shows carries the alternate image; pressing it
// does nothing. Every other button asks for its page with `requested`.
class COutputTabRow : public QWidget {
    Q_OBJECT
public:
    // `shown`: the page the row sits on. On the output page `channel` marks the channel shown.
    COutputTabRow(PageKind shown, int channel, QWidget* parent);

    // The output page's channel button that is highlighted.
    void SetCurrentChannel(int channel);
    // Texts of both languages (a page's own language table may override them afterwards).
    void Relabel();

    CGdipButton* Button(int id) const;
    const std::vector<CGdipButton*>& Buttons() const { return m_buttons; }

signals:
    void requested(orvex::PageKind kind, int channel);

private:
    bool IsShown(int index) const;
    void UpdateImages();

    PageKind m_shown;
    int m_channel;
    std::vector<CGdipButton*> m_buttons;
};

} // namespace orvex
