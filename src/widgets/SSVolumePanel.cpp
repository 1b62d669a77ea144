#include "widgets/SSVolumePanel.h"

#include "widgets/UiLanguage.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace orvex {

namespace {

const char* const kLabels[kRoomSpeakerCount][2] = {
    {"前置左(L)", "Front left (L)"},      {"中置(CEN)", "Center (CEN)"},      {"前置右(R)", "Front right (R)"},
    {"后环绕左(SBL)", "Rear left (SBL)"}, {"超低(SUB)", "Subwoofer (SUB)"},   {"后环绕右(SBR)", "Rear right (SBR)"},
    {"侧环绕左(SL)", "Side left (SL)"},   {"侧环绕右(SR)", "Side right (SR)"}};
const QColor kLabelColours[kRoomSpeakerCount] = {QColor(255, 220, 120), QColor(140, 230, 140), QColor(255, 220, 120),
                                                 QColor(120, 200, 255), QColor(255, 150, 150), QColor(120, 200, 255),
                                                 QColor(220, 170, 255), QColor(220, 170, 255)};

// Half the side of a speaker's box.
constexpr double kBoxHalf = 11.0;

QFont LabelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    return font;
}

QString EdgeLabel(double half, bool positive) {
    const bool whole = half == static_cast<int>(half);
    return QString::asprintf(whole ? (positive ? "+%.0fm" : "-%.0fm") : (positive ? "+%.1fm" : "-%.1fm"), half);
}

} // namespace

QString CSSVolumePanel::SpeakerLabel(int index) {
    const auto& label = kLabels[static_cast<size_t>(index)];
    return UiText(label[0], label[1]);
}

CSSVolumePanel::CSSVolumePanel(QWidget* parent) : QWidget(parent) {
    setMinimumSize(200, 200);
    const RoomGeometry room = UnpackRoomRecord(kDefaultRoomRecord);
    m_points[0] = room.listener;
    for (int i = 0; i < kRoomSpeakerCount; ++i)
        m_points[static_cast<size_t>(i + 1)] = room.speakers[static_cast<size_t>(i)];
}

void CSSVolumePanel::SetRoomSize(int width, int length) {
    m_width = std::clamp(width, 1, 10);
    m_length = std::clamp(length, 1, 10);
    m_background = QPixmap();
    update();
}

void CSSVolumePanel::SetPoint(int index, RoomPoint point) {
    if (index < 0 || index >= kPointCount)
        return;
    m_points[static_cast<size_t>(index)] = point;
    update();
}

double CSSVolumePanel::PixelsPerMetre() const {
    const double w = width() - 2.0 * kMargin;
    const double h = height() - 2.0 * kMargin;
    return std::max(1e-3, std::min(w / m_width, h / m_length));
}

QRectF CSSVolumePanel::RoomRect() const {
    const double scale = PixelsPerMetre();
    const QSizeF room(scale * m_width, scale * m_length);
    return {QPointF((width() - room.width()) / 2.0, (height() - room.height()) / 2.0), room};
}

QPointF CSSVolumePanel::ToScreen(RoomPoint p) const {
    const double scale = PixelsPerMetre();
    const QPointF centre = RoomRect().center();
    return {centre.x() + scale * p.x, centre.y() - scale * p.y};
}

RoomPoint CSSVolumePanel::ToRoom(QPointF screen) const {
    const double scale = PixelsPerMetre();
    const QRectF room = RoomRect();
    const double sx = std::clamp(screen.x(), room.left(), room.right());
    const double sy = std::clamp(screen.y(), room.top(), room.bottom());
    return {static_cast<float>((sx - room.center().x()) / scale), static_cast<float>((room.center().y() - sy) / scale)};
}

QRectF CSSVolumePanel::LabelRect(int speaker) const {
    const int i = std::clamp(speaker, 0, kRoomSpeakerCount - 1);
    const QFontMetricsF metrics(LabelFont());
    const QSizeF size(metrics.horizontalAdvance(SpeakerLabel(i)) + 4.0, metrics.height() + 2.0);
    const QPointF c = ToScreen(m_points[static_cast<size_t>(i + 1)]);
    // Under the box; where that runs off the bottom, above it.
    double top = c.y() + kBoxHalf + 1.0;
    if (top + size.height() > height())
        top = c.y() - kBoxHalf - 1.0 - size.height();
    const double left = std::clamp(c.x() - size.width() / 2.0, 0.0, std::max(0.0, width() - size.width()));
    top = std::clamp(top, 0.0, std::max(0.0, height() - size.height()));
    return {QPointF(left, top), size};
}

void CSSVolumePanel::resizeEvent(QResizeEvent* event) {
    m_background = QPixmap();
    QWidget::resizeEvent(event);
}

void CSSVolumePanel::DrawBackground() {
    m_background = QPixmap(size());
    m_background.fill(QColor(73, 89, 151));
    QPainter p(&m_background);
    p.setRenderHint(QPainter::Antialiasing, false);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(11);
    p.setFont(font);
    const QPointF topLeft = ToScreen({-m_width / 2.0f, m_length / 2.0f});
    const QPointF bottomRight = ToScreen({m_width / 2.0f, -m_length / 2.0f});
    // Grid lines every metre from the centre lines outwards.
    p.setPen(QColor(64, 64, 64));
    for (int m = 0; m <= m_length / 2; ++m) {
        for (int sign : {1, -1}) {
            const double y = ToScreen({0.0f, static_cast<float>(sign * m)}).y();
            p.drawLine(QPointF(topLeft.x(), y), QPointF(bottomRight.x(), y));
            const QString text = m == 0 ? QStringLiteral("0") : QString::asprintf(sign > 0 ? "+%dm" : "-%dm", m);
            p.setPen(Qt::white);
            p.drawText(QRectF(topLeft.x() - kMargin, y - 8, kMargin - 2, 16), Qt::AlignRight | Qt::AlignVCenter, text);
            p.setPen(QColor(64, 64, 64));
        }
    }
    for (int m = 0; m <= m_width / 2; ++m) {
        for (int sign : {1, -1}) {
            const double x = ToScreen({static_cast<float>(sign * m), 0.0f}).x();
            p.drawLine(QPointF(x, topLeft.y()), QPointF(x, bottomRight.y()));
            if (m == 0 || m * 2 == m_width)
                continue; // the outline's own label stands there
            p.setPen(Qt::white);
            p.drawText(QRectF(x - 20, bottomRight.y() + 9, 40, 14), Qt::AlignCenter,
                       QString::asprintf(sign > 0 ? "+%dm" : "-%dm", m));
            p.setPen(QColor(64, 64, 64));
        }
    }
    p.setPen(QColor(128, 128, 128));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(topLeft, bottomRight));
    p.setPen(Qt::white);
    p.drawText(QRectF(topLeft.x() - 25, bottomRight.y() + 9, 50, 14), Qt::AlignCenter, EdgeLabel(m_width / 2.0, false));
    p.drawText(QRectF(bottomRight.x() - 25, bottomRight.y() + 9, 50, 14), Qt::AlignCenter,
               EdgeLabel(m_width / 2.0, true));
}

void CSSVolumePanel::paintEvent(QPaintEvent*) {
    if (m_background.size() != size())
        DrawBackground();
    QPainter p(this);
    p.drawPixmap(0, 0, m_background);
    p.setRenderHint(QPainter::Antialiasing, true);
    // The listener: a head and shoulders.
    const QPointF l = ToScreen(m_points[0]);
    p.setPen(QPen(Qt::white, 1.5));
    p.setBrush(QColor(250, 200, 80));
    p.drawEllipse(l + QPointF(0, -5), 6, 6);
    p.drawRoundedRect(QRectF(l.x() - 10, l.y() + 2, 20, 9), 4, 4);
    QFont number(QStringLiteral("Arial"));
    number.setPixelSize(12);
    number.setBold(true);
    const QFont label = LabelFont();
    for (int i = 0; i < kRoomSpeakerCount; ++i) {
        const QPointF c = ToScreen(m_points[static_cast<size_t>(i + 1)]);
        p.setPen(QPen(QColor(30, 30, 30), 1));
        p.setBrush(QColor(225, 225, 225));
        p.drawRoundedRect(QRectF(c.x() - 11, c.y() - 11, 22, 22), 3, 3);
        p.setFont(number);
        p.setPen(Qt::red);
        p.drawText(QRectF(c.x() - 11, c.y() - 11, 22, 22), Qt::AlignCenter, QString::number(i + 1));
        p.setFont(label);
        p.setPen(kLabelColours[i]);
        p.drawText(LabelRect(i), Qt::AlignCenter, SpeakerLabel(i));
    }
}

void CSSVolumePanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    for (int i = 0; i < kPointCount; ++i) {
        const QPointF c = ToScreen(m_points[static_cast<size_t>(i)]);
        if (std::abs(c.x() - event->position().x()) <= kPickRadius &&
            std::abs(c.y() - event->position().y()) <= kPickRadius) {
            m_dragged = i;
            const RoomPoint pt = m_points[static_cast<size_t>(i)];
            emit pointPicked(i, pt.x, pt.y);
            return;
        }
    }
}

void CSSVolumePanel::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragged < 0 || !(event->buttons() & Qt::LeftButton))
        return;
    const RoomPoint pt = ToRoom(event->position());
    m_points[static_cast<size_t>(m_dragged)] = pt;
    emit pointMoved(m_dragged, pt.x, pt.y);
    update();
}

void CSSVolumePanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        m_dragged = -1;
}

} // namespace orvex
