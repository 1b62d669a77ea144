#pragma once

#include "shell/Theme.h"

#include <QColor>
#include <QLabel>

namespace orvex {

// A status bar pane that draws its text in its own colour (red until told otherwise).
class CMyMFCRibbonStatusBarPane : public QLabel {
    Q_OBJECT
public:
    // `reservedBlanks` is the width the pane keeps, counted in blanks of its font.
    CMyMFCRibbonStatusBarPane(int id, int reservedBlanks, QWidget* parent = nullptr);

    QColor TextColour() const { return m_colour; }
    void SetTextColour(const QColor& colour);

private:
    void ApplyColour();

    QColor m_colour = kPaneDefaultColour;
};

} // namespace orvex
