#include "widgets/GridRowTraitXP.h"

namespace orvex {

void CGridRowTraitXP::SetRowColours(const QColor& text, const QColor& background) {
    m_text = text;
    m_background = background;
    m_function = nullptr;
}

void CGridRowTraitXP::SetRowColourFunction(std::function<RowColours(int)> function) {
    m_function = std::move(function);
}

CGridRowTraitXP::RowColours CGridRowTraitXP::ColoursFor(int row, bool selected) const {
    RowColours colours = m_function ? m_function(row) : RowColours{m_text, m_background};
    if (selected) {
        // Selection keeps the row's own hue: the background moves a third of the way toward the text
        // colour and the text becomes white, readable on dark and light rows alike.
        const QColor& t = colours.first;
        const QColor& b = colours.second;
        colours.second =
            QColor((b.red() * 2 + t.red()) / 3, (b.green() * 2 + t.green()) / 3, (b.blue() * 2 + t.blue()) / 3);
        colours.first = Qt::white;
    }
    return colours;
}

} // namespace orvex
