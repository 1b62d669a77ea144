#include "shell/StatusBarPane.h"

#include "shell/ControlIds.h"

namespace orvex {

CMyMFCRibbonStatusBarPane::CMyMFCRibbonStatusBarPane(int id, int reservedBlanks, QWidget* parent) : QLabel(parent) {
    SetCtrlId(this, id);
    setObjectName(QStringLiteral("StatusPane"));
    setMinimumWidth(fontMetrics().horizontalAdvance(QString(reservedBlanks, QLatin1Char(' '))));
    SetTextColour(m_colour);
}

void CMyMFCRibbonStatusBarPane::SetTextColour(const QColor& colour) {
    m_colour = colour;
    setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
}

} // namespace orvex
