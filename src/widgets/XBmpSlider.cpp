#include "widgets/XBmpSlider.h"

#include "widgets/ControlArt.h"
#include "widgets/ControlId.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace orvex {

CXBmpSlider::CXBmpSlider(int controlId, Orientation orientation, QWidget* parent)
    : QWidget(parent), m_controlId(controlId), m_vertical(orientation == Orientation::Vertical) {
    SetCtrlId(this, controlId);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    if (m_vertical) {
        SetSliderImages(art::VSliderChannel, art::VSliderChannel, art::VSliderThumb, art::VSliderThumbFocused,
                        art::VSliderThumbDisabled);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    } else {
        SetSliderImages(art::HSliderChannel, art::HSliderChannel, art::HSliderThumb, art::HSliderThumbFocused,
                        art::HSliderThumbDisabled);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    SetMargins(7, 7, 3, 2);
}

void CXBmpSlider::SetSliderRange(int minimum, int maximum) {
    if (maximum < minimum) {
        std::swap(minimum, maximum);
    }
    m_minimum = minimum;
    m_maximum = maximum;
    m_position = Clamp(m_position);
    update();
}

void CXBmpSlider::SetSliderPos(int position) {
    m_position = Clamp(position);
    update();
}

void CXBmpSlider::SetSliderEnabled(bool enabled) {
    m_enabled = enabled;
    if (!enabled) {
        m_dragging = false;
        m_pressed = false;
    }
    setFocusPolicy(enabled ? Qt::StrongFocus : Qt::NoFocus);
    update();
}

void CXBmpSlider::SetSliderImages(int channel, int fill, int thumb, int thumbFocused, int thumbDisabled) {
    m_channelImage = channel;
    m_fillImage = fill;
    m_thumbImage = thumb;
    m_thumbFocusedImage = thumbFocused;
    m_thumbDisabledImage = thumbDisabled;
    updateGeometry();
    update();
}

void CXBmpSlider::SetMargins(int start, int end, int acrossLead, int acrossTrail) {
    m_marginStart = start;
    m_marginEnd = end;
    m_marginLead = acrossLead;
    m_marginTrail = acrossTrail;
    update();
}

void CXBmpSlider::SetBackground(const QColor& colour) {
    m_background = colour;
    update();
}

int CXBmpSlider::Clamp(int position) const {
    return std::clamp(position, m_minimum, m_maximum);
}

int CXBmpSlider::ChannelLength() const {
    // The channel artwork is scalable and is stretched along the whole control.
    return m_vertical ? height() : width();
}

int CXBmpSlider::ChannelCross() const {
    const QSize nominal = ArtNominalSize(m_channelImage);
    return m_vertical ? nominal.width() : nominal.height();
}

QSize CXBmpSlider::ThumbSize() const {
    return ArtNominalSize(m_thumbImage);
}

int CXBmpSlider::PixelForPos(int position) const {
    const QSize thumb = ThumbSize();
    const int thumbLength = m_vertical ? thumb.height() : thumb.width();
    const int span = m_maximum - m_minimum;
    if (span == 0) {
        return m_marginStart;
    }
    const double usable = ChannelLength() - thumbLength - m_marginEnd - m_marginStart;
    const double perStep = usable / span;
    const double offset = m_vertical ? (m_maximum - position) : (position - m_minimum);
    return static_cast<int>(perStep * offset + m_marginStart);
}

int CXBmpSlider::PosForPixel(int pixel) const {
    const QSize thumb = ThumbSize();
    const int thumbLength = m_vertical ? thumb.height() : thumb.width();
    const int span = m_maximum - m_minimum;
    const double usable = ChannelLength() - thumbLength - m_marginEnd - m_marginStart;
    if (span == 0 || usable <= 0.0) {
        return m_minimum;
    }
    const double steps = (pixel - m_marginStart) / (usable / span);
    // Truncated toward zero like the integer conversion of the original arithmetic.
    return m_vertical ? static_cast<int>(m_maximum - steps) : static_cast<int>(steps + m_minimum);
}

QRect CXBmpSlider::ThumbRect() const {
    const QSize thumb = ThumbSize();
    const int at = PixelForPos(m_position);
    if (m_vertical) {
        return QRect((width() - thumb.width()) / 2, at, thumb.width(), thumb.height());
    }
    return QRect(at, (height() - thumb.height()) / 2, thumb.width(), thumb.height());
}

QSize CXBmpSlider::sizeHint() const {
    const QSize channel = ArtNominalSize(m_channelImage);
    const QSize thumb = ThumbSize();
    return m_vertical ? QSize(std::max(channel.width(), thumb.width()), 160)
                      : QSize(160, std::max(channel.height(), thumb.height()));
}

QSize CXBmpSlider::minimumSizeHint() const {
    const QSize hint = sizeHint();
    return m_vertical ? QSize(hint.width(), 48) : QSize(48, hint.height());
}

void CXBmpSlider::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const qreal dpr = p.device()->devicePixelRatioF();
    p.fillRect(rect(), m_background);

    const int cross = ChannelCross();
    const QRect thumb = ThumbRect();
    if (m_vertical) {
        const QRect channel((width() - cross) / 2, 0, cross, height());
        p.drawPixmap(channel, RenderArt(m_channelImage, channel.size(), dpr));
        // The lit part runs from the minimum end (the bottom) up to the thumb's centre.
        const int from = thumb.center().y();
        p.save();
        p.setClipRect(
            QRect(channel.left() + m_marginLead, from, cross - m_marginLead - m_marginTrail, height() - from));
        p.drawPixmap(channel, RenderArt(m_fillImage, channel.size(), dpr, ArtRole::Fill));
        p.restore();
    } else {
        const QRect channel(0, (height() - cross) / 2, width(), cross);
        p.drawPixmap(channel, RenderArt(m_channelImage, channel.size(), dpr));
        const int to = thumb.center().x();
        p.save();
        p.setClipRect(QRect(0, channel.top() + m_marginLead, to, cross - m_marginLead - m_marginTrail));
        p.drawPixmap(channel, RenderArt(m_fillImage, channel.size(), dpr, ArtRole::Fill));
        p.restore();
    }
    const int thumbImage = !m_enabled ? m_thumbDisabledImage : (hasFocus() ? m_thumbFocusedImage : m_thumbImage);
    p.drawPixmap(thumb, RenderArt(thumbImage, thumb.size(), dpr));
}

void CXBmpSlider::mousePressEvent(QMouseEvent* event) {
    if (!m_enabled || event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    setFocus(Qt::MouseFocusReason);
    m_pressed = true;
    const QPoint at = event->position().toPoint();
    const QRect thumb = ThumbRect();
    if (thumb.contains(at)) {
        m_dragging = true;
        emit posChanged(m_controlId, m_position);
        return;
    }
    // A press on the track moves one step toward the press, never a jump.
    int delta;
    if (m_vertical) {
        delta = at.y() > thumb.center().y() ? -1 : +1;
    } else {
        delta = at.x() <= thumb.center().x() ? -1 : +1;
    }
    m_position = Clamp(m_position + delta);
    update();
    emit posChanged(m_controlId, m_position);
}

void CXBmpSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!m_enabled || !m_dragging) {
        return;
    }
    const QSize thumb = ThumbSize();
    const QPointF at = event->position();
    const int pixel =
        m_vertical ? static_cast<int>(at.y()) - thumb.height() / 2 : static_cast<int>(at.x()) - thumb.width() / 2;
    m_position = Clamp(PosForPixel(pixel));
    repaint();
    emit posChanged(m_controlId, m_position);
}

void CXBmpSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_pressed || event->button() != Qt::LeftButton) {
        return;
    }
    m_pressed = false;
    m_dragging = false;
    emit released(m_controlId, m_position);
}

void CXBmpSlider::StepBy(int delta) {
    m_position = Clamp(m_position + delta);
    update();
    emit posChanged(m_controlId, m_position);
    emit released(m_controlId, m_position);
}

void CXBmpSlider::keyPressEvent(QKeyEvent* event) {
    if (!m_enabled) {
        event->ignore();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        StepBy(+1);
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        StepBy(-1);
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}

void CXBmpSlider::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (!m_enabled || delta == 0) {
        event->ignore();
        return;
    }
    StepBy(delta > 0 ? +1 : -1);
}

void CXBmpSlider::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
    emit gotFocus(m_controlId);
}

void CXBmpSlider::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

} // namespace orvex
