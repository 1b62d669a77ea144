#include "smarthome/PlugCommon.h"

#include "model/SmartHomeTables.h"
#include "link/DeviceSession.h"
#include "shell/Language.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace orvex {

bool PlugLinkReady(const PageContext& ctx) {
    if (ctx.session.IsConnected())
        return true;
    ctx.display.ShowInfoMessage(Tr2("请先连接设备!", "Please connect device!"), kPlugNoticeMs);
    return false;
}

QIcon PlugTypeIcon(uint8_t type, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 48.0;
    p.scale(s, s);
    // A wall socket: rounded face, two pins, and the type's mark below them.
    const QColor face = type == kPlugTypeDimmer ? QColor(255, 244, 214) : QColor(226, 240, 255);
    const QColor rim = type == kPlugTypeDimmer ? QColor(200, 130, 0) : QColor(30, 100, 190);
    p.setPen(QPen(rim, 2.5));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(4, 4, 40, 40), 9, 9);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 60, 60));
    p.drawRoundedRect(QRectF(15, 12, 4, 11), 2, 2);
    p.drawRoundedRect(QRectF(29, 12, 4, 11), 2, 2);
    if (type == kPlugTypeDimmer) {
        // A knob with a level arc.
        p.setPen(QPen(rim, 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(16, 26, 16, 14), 200 * 16, -220 * 16);
        p.setBrush(rim);
        p.drawEllipse(QPointF(24, 33), 3, 3);
    } else {
        // A power mark.
        p.setPen(QPen(rim, 2.5, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(17, 27, 14, 13), 125 * 16, 290 * 16);
        p.drawLine(QPointF(24, 25), QPointF(24, 32));
    }
    return QIcon(pixmap);
}

QString PlugDisplayName(const PageContext& ctx, int node) {
    const PlugRecord record = ctx.session.Link().SmartHome().Plug(node);
    const std::u16string name = PlugRecordName(record);
    if (!name.empty())
        return QString::fromStdU16String(name);
    return Tr2("设备", "Node ") + QString::number(node);
}

} // namespace orvex
