#pragma once

#include <QColor>

#include <functional>
#include <utility>

namespace orvex {

// The colours a grid row is drawn in: one pair for every row, or a function choosing per row (a page
// that colours rows by channel). Selected rows are drawn in a lifted variant of the same colours.
class CGridRowTraitXP {
public:
    using RowColours = std::pair<QColor, QColor>; // text, background

    void SetRowColours(const QColor& text, const QColor& background);
    void SetRowColourFunction(std::function<RowColours(int row)> function);

    RowColours ColoursFor(int row, bool selected) const;

private:
    QColor m_text{Qt::black};
    QColor m_background{Qt::white};
    std::function<RowColours(int)> m_function;
};

} // namespace orvex
