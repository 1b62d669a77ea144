#include "shell/StatusBarPane.h"

#include "shell/ControlIds.h"

namespace orvex {

CMyMFCRibbonStatusBarPane::CMyMFCRibbonStatusBarPane(int id, int reservedBlanks, QWidget* parent) : QLabel(parent) {
    SetCtrlId(this, id);
    setObjectName(QStringLiteral("StatusPane"));
    setMinimumWidth(fontMetrics().horizontalAdvance(QString(reservedBlanks, QLatin1Char(' '))));
    ApplyColour();
}

void CMyMFCRibbonStatusBarPane::SetTextColour(const QColor& colour) {
    // The frame sets the colour on every idle update; a style sheet re-polishes and repaints the
    // pane, so only a change is applied.
    if (colour == m_colour)
        return;
    m_colour = colour;
    ApplyColour();
}

void CMyMFCRibbonStatusBarPane::ApplyColour() {
    setStyleSheet(QStringLiteral("color: %1;").arg(m_colour.name()));
}

} // namespace orvex
