#include "widgets/DelayPanel.h"

#include "widgets/ControlFonts.h"
#include "widgets/UiLanguage.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {
constexpr QColor kBackground(22, 27, 36);
constexpr QColor kOuterLine(128, 128, 128);
constexpr QColor kInnerLine(64, 64, 64);
constexpr int kHitRange = 15;

constexpr std::array<QColor, CDelayPanel::kChannelCount> kChannelColours = {{
    {227, 207, 87},
    {176, 224, 230},
    {255, 153, 18},
    {65, 105, 225},
    {235, 142, 85},
    {106, 90, 205},
    {65, 224, 208},
    {127, 255, 0},
}};

// NaN goes to the lower limit; the comparison order matters, std::clamp would pass NaN through.
float ClampDelay(float ms) {
    if (!(ms >= CDelayPanel::kMinDelayMs))
        return CDelayPanel::kMinDelayMs;
    return std::min(ms, CDelayPanel::kMaxDelayMs);
}

QString MsText(double ms) {
    return QString::asprintf("%.1fms", ms);
}
} // namespace

QColor DelayChannelColour(int channel) {
    return kChannelColours[static_cast<size_t>(std::clamp(channel, 0, CDelayPanel::kChannelCount - 1))];
}

CDelayPanel::CDelayPanel(QWidget* parent) : QWidget(parent), m_font(SongFont(12)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    m_delay.fill(0.0f);
}

void CDelayPanel::SetChannelDelay(int channel, float ms) {
    if (channel < 0 || channel >= kChannelCount)
        return;
    m_delay[static_cast<size_t>(channel)] = ClampDelay(ms);
    update();
}

float CDelayPanel::ChannelDelay(int channel) const {
    if (channel < 0 || channel >= kChannelCount)
        return 0.0f;
    return m_delay[static_cast<size_t>(channel)];
}

double CDelayPanel::PixelsPerMs() const {
    return static_cast<double>(width() - kLeft - kRight) / kAxisMs;
}

int CDelayPanel::XForDelay(double ms) const {
    return kLeft + static_cast<int>(std::abs(PixelsPerMs() * ms));
}

float CDelayPanel::DelayForMarkerX(int markerX) const {
    const double scale = PixelsPerMs();
    // A panel narrower than its margins has no time axis to read a delay from.
    if (!(scale > 0.0))
        return kMinDelayMs;
    return ClampDelay(static_cast<float>((markerX - kLeft) / scale));
}

int CDelayPanel::MarkerX(int channel) const {
    return XForDelay(ChannelDelay(channel));
}

double CDelayPanel::RowHeight() const {
    return std::max(0.0, static_cast<double>(height() - kTop - kBottom) / kChannelCount);
}

int CDelayPanel::RowTop(int row) const {
    return static_cast<int>(std::lround(RowHeight() * row)) + kTop;
}

void CDelayPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_static = QPixmap();
}

QRect CDelayPanel::LabelRect(int row) const {
    return {0, RowTop(row), kLeft - 5, RowTop(row + 1) - RowTop(row)};
}

QString CDelayPanel::RowLabel(int channel) {
    return UiText("通道(CH)%1", "CH %1").arg(channel + 1);
}

void CDelayPanel::DrawStatic(QPainter& painter) const {
    painter.fillRect(rect(), kBackground);
    const int plotLeft = kLeft;
    const int plotRight = width() - kRight;
    const int plotTop = kTop;
    const int plotBottom = RowTop(kChannelCount);
    painter.setFont(m_font);
    const QFontMetrics metrics(m_font);

    // Row separators: the outer two lighter than the inner seven.
    for (int i = 0; i <= kChannelCount; ++i) {
        const bool outer = i == 0 || i == kChannelCount;
        painter.setPen(QPen(outer ? kOuterLine : kInnerLine, 1));
        const int y = RowTop(i);
        painter.drawLine(plotLeft, y, plotRight, y);
    }

    for (int i = 0; i < kChannelCount; ++i) {
        // Each row's name in the colour of its channel's marker.
        painter.setPen(DelayChannelColour(i));
        painter.drawText(LabelRect(i), Qt::AlignRight | Qt::AlignVCenter, RowLabel(i));
    }

    painter.setPen(QPen(kOuterLine, 1));
    painter.drawLine(XForDelay(0.0), plotTop, XForDelay(0.0), plotBottom);
    painter.drawLine(XForDelay(100.0), plotTop, XForDelay(100.0), plotBottom);

    painter.setPen(Qt::white);
    for (int ms = 0; ms <= 100; ms += 20) {
        const QString text = MsText(ms);
        const int w = metrics.horizontalAdvance(text);
        painter.drawText(QRect(XForDelay(ms) - w / 2 - 1, plotBottom + 5, w + 2, metrics.height()), Qt::AlignCenter,
                         text);
    }
}

void CDelayPanel::DrawMarker(QPainter& painter, int x, int y, const QColor& colour) const {
    // A flag whose pole stands on the delay: the marker's left edge is the value, its middle is what
    // the pointer takes hold of.
    const QSize size = MarkerSize();
    const double pole = x + 1.0;
    painter.setPen(QPen(colour, 2));
    painter.drawLine(QPointF(pole, y), QPointF(pole, y + size.height()));
    QPainterPath flag;
    flag.moveTo(pole, y + 0.5);
    flag.lineTo(x + size.width() - 0.5, y + size.height() * 0.3);
    flag.lineTo(pole, y + size.height() * 0.6);
    flag.closeSubpath();
    painter.setPen(QPen(QColor(255, 255, 255, 160), 1));
    painter.setBrush(colour);
    painter.drawPath(flag);
    painter.setBrush(Qt::NoBrush);
}

void CDelayPanel::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    if (m_static.isNull() || m_static.devicePixelRatio() != dpr || m_staticLanguage != UiLanguageIndex()) {
        m_staticLanguage = UiLanguageIndex();
        m_static = QPixmap((QSizeF(size()) * dpr).toSize());
        m_static.setDevicePixelRatio(dpr);
        QPainter staticPainter(&m_static);
        staticPainter.setRenderHint(QPainter::TextAntialiasing);
        DrawStatic(staticPainter);
    }

    QPainter painter(this);
    painter.drawPixmap(0, 0, m_static);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(m_font);

    const QSize marker = MarkerSize();
    const QFontMetrics metrics(m_font);
    const int textHeight = metrics.height();
    const int plotBottom = RowTop(kChannelCount);
    for (int ch = 0; ch < kChannelCount; ++ch) {
        const QColor colour = kChannelColours[static_cast<size_t>(ch)];
        const int x = MarkerX(ch);
        const int rowHeight = RowTop(ch + 1) - RowTop(ch);
        const int y = RowTop(ch) + (rowHeight - marker.height() - textHeight) / 2;
        const int midY = y + marker.height() / 2;

        painter.setPen(QPen(colour, 1, Qt::DashLine));
        painter.drawLine(kLeft, midY, x, midY);
        QColor faint = colour;
        faint.setAlpha(ch == m_dragged ? 0x80 : 0x40);
        painter.setPen(QPen(faint, 1));
        painter.drawLine(x + 1, y + marker.height(), x + 1, plotBottom);

        DrawMarker(painter, x, y, colour);
        painter.setPen(colour);
        const QString text = MsText(m_delay[static_cast<size_t>(ch)]);
        // Near the end of the axis the text turns to the marker's left so that it stays in the panel.
        const int textWidth = metrics.horizontalAdvance(text);
        const int textX = x + 2 + textWidth <= width() - 2 ? x + 2 : x - textWidth - 2;
        painter.drawText(QPoint(textX, y + marker.height() + metrics.ascent()), text);
    }
}

void CDelayPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_buttonDown = true;
    m_dragged = -1;
    const QPoint p = event->position().toPoint();
    const QSize marker = MarkerSize();
    for (int ch = 0; ch < kChannelCount; ++ch) {
        const int centreX = MarkerX(ch) + marker.width() / 2;
        const int centreY = (RowTop(ch) + RowTop(ch + 1)) / 2;
        if (std::abs(centreX - p.x()) < kHitRange && std::abs(centreY - p.y()) < kHitRange) {
            m_dragged = ch;
            break;
        }
    }
    update();
}

void CDelayPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_buttonDown || m_dragged < 0)
        return;
    const int markerX = event->position().toPoint().x() - MarkerSize().width() / 2;
    const float ms = DelayForMarkerX(markerX);
    emit delayDragged(m_dragged, ms);
    repaint();
}

void CDelayPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    m_buttonDown = false;
    m_dragged = -1;
    update();
}

} // namespace orvex
