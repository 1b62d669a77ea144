#include "smarthome/RemoteHotSpot.h"

#include "widgets/ControlId.h"

#include <QKeyEvent>
#include <QEnterEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace orvex {

CRemoteHotSpot::CRemoteHotSpot(int controlId, const QString& caption, Shape shape, const QColor& colour,
                               const QRectF& area, QWidget* parent)
    : QAbstractButton(parent), m_controlId(controlId), m_shape(shape), m_colour(colour), m_area(area) {
    SetCtrlId(this, controlId);
    setText(caption);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
}

QSize CRemoteHotSpot::sizeHint() const {
    return m_area.size().toSize();
}

void CRemoteHotSpot::SetLearned(bool learned) {
    if (m_learned == learned)
        return;
    m_learned = learned;
    update();
}

void CRemoteHotSpot::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CRemoteHotSpot::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CRemoteHotSpot::keyPressEvent(QKeyEvent* event) {
    // Enter presses a key of the picture as Space does.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !event->isAutoRepeat()) {
        event->accept();
        animateClick();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void CRemoteHotSpot::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QAbstractButton::keyReleaseEvent(event);
}

void CRemoteHotSpot::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    QPainterPath path;
    switch (m_shape) {
    case Shape::Round:
        path.addEllipse(r);
        break;
    case Shape::Pill:
        path.addRoundedRect(r, r.height() / 2, r.height() / 2);
        break;
    case Shape::Rounded:
        path.addRoundedRect(r, 6, 6);
        break;
    }
    // A soft shadow below, then the cap lit from above; pressed keys sit lower and darker.
    const bool down = isDown();
    painter.fillPath(path.translated(0, 1.5), QColor(0, 0, 0, 90));
    QColor top = m_colour.lighter(m_hovered ? 150 : 135);
    QColor bottom = m_colour.darker(down ? 140 : 110);
    QLinearGradient gradient(r.topLeft(), r.bottomLeft());
    gradient.setColorAt(0, down ? bottom : top);
    gradient.setColorAt(1, down ? top : bottom);
    painter.fillPath(path.translated(0, down ? 1 : 0), gradient);
    painter.setPen(QPen(QColor(255, 255, 255, 60), 1));
    painter.drawPath(path);

    const QColor ink = m_colour.lightness() > 150 ? QColor(30, 30, 30) : QColor(245, 245, 245);
    const QRectF face = r.translated(0, down ? 1 : 0);
    if (text().isEmpty()) {
        // The power key carries the power symbol rather than a caption.
        const double radius = face.height() * 0.2;
        const QPointF centre = face.center() + QPointF(0, radius * 0.12);
        painter.setPen(QPen(ink, std::max(1.5, face.height() * 0.07), Qt::SolidLine, Qt::RoundCap));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius)), 120 * 16, 300 * 16);
        painter.drawLine(centre - QPointF(0, radius * 1.25), centre - QPointF(0, radius * 0.2));
    } else {
        QFont font = this->font();
        const double share = text().size() == 1 ? 0.62 : text().size() > 3 ? 0.34 : 0.42;
        font.setPixelSize(std::max(9, static_cast<int>(r.height() * share)));
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(ink);
        painter.drawText(face, Qt::AlignCenter, text());
    }

    if (m_learned) {
        // A green badge with a tick at the upper right, inside the key's own area.
        const double d = std::clamp(std::min(r.width(), r.height()) * 0.36, 8.0, 14.0);
        const QRectF badge(r.right() - d, r.top(), d, d);
        painter.setPen(QPen(QColor(255, 255, 255), 1));
        painter.setBrush(QColor(40, 170, 80));
        painter.drawEllipse(badge);
        painter.setPen(QPen(QColor(255, 255, 255), std::max(1.2, d * 0.14), Qt::SolidLine, Qt::RoundCap));
        painter.drawPolyline(
            QPolygonF({badge.topLeft() + QPointF(d * 0.25, d * 0.52), badge.topLeft() + QPointF(d * 0.43, d * 0.70),
                       badge.topLeft() + QPointF(d * 0.75, d * 0.32)}));
    }

    if (hasFocus()) {
        painter.setPen(QPen(QColor(80, 200, 255), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
}

} // namespace orvex
