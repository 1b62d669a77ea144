#include "widgets/OutputChannelPicture.h"

#include "widgets/ControlFonts.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace orvex {

COutputChannelPicture::COutputChannelPicture(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void COutputChannelPicture::SetChannel(int channel, bool english) {
    m_channel = std::clamp(channel, 0, 7);
    m_english = english;
    update();
}

QString COutputChannelPicture::Caption() const {
    return m_english ? QStringLiteral("CH %1").arg(m_channel + 1) : QString::fromUtf8("通道%1").arg(m_channel + 1);
}

QSize COutputChannelPicture::sizeHint() const {
    return {132, 46};
}

void COutputChannelPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);

    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0, QColor(0x3b, 0x4a, 0x5e));
    fill.setColorAt(1, QColor(0x1f, 0x28, 0x34));
    p.setPen(QPen(QColor(0x6f, 0x8d, 0xb3), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(r, 6, 6);

    // The speaker: a magnet block, the cone opening to the right, and two sound arcs.
    const qreal h = r.height();
    const qreal cy = r.center().y();
    const qreal x0 = r.left() + 10;
    const qreal unit = h / 6.0;
    const QColor ink(0xe8, 0xf0, 0xfa);
    const QColor accent(0x5c, 0xc8, 0xff);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRect(QRectF(x0, cy - unit * 0.8, unit * 1.1, unit * 1.6));
    QPainterPath cone;
    cone.moveTo(x0 + unit * 1.1, cy - unit * 0.8);
    cone.lineTo(x0 + unit * 2.5, cy - unit * 2.0);
    cone.lineTo(x0 + unit * 2.5, cy + unit * 2.0);
    cone.lineTo(x0 + unit * 1.1, cy + unit * 0.8);
    cone.closeSubpath();
    p.drawPath(cone);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(accent, std::max(1.5, unit * 0.35), Qt::SolidLine, Qt::RoundCap));
    for (int k = 1; k <= 2; ++k) {
        const qreal radius = unit * (1.0 + 0.9 * k);
        const QRectF arc(x0 + unit * 2.5 - radius + unit * 0.6, cy - radius, 2 * radius, 2 * radius);
        p.drawArc(arc, -45 * 16, 90 * 16);
    }

    // The channel's name to the right of the speaker.
    const qreal textLeft = x0 + unit * 6.3;
    QFont font = m_english ? ArialFont(std::max(11.0, h * 0.36)) : HeiFont(std::max(12.0, h * 0.38));
    font.setBold(true);
    p.setFont(font);
    p.setPen(ink);
    p.drawText(QRectF(textLeft, r.top(), r.right() - textLeft - 6, h), Qt::AlignVCenter | Qt::AlignLeft, Caption());
}

} // namespace orvex
