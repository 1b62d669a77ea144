#include "widgets/CompressPanelPlus.h"

#include "widgets/ControlFonts.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

// The graph area inside the client rectangle.
constexpr int kLeft = 40;
constexpr int kTop = 20;
constexpr int kRightMargin = 20;
constexpr int kBottomMargin = 25;
constexpr double kSpanDb = CCompressPanelPlus::kMaxDb - CCompressPanelPlus::kMinDb; // 96 dB on both axes

// The input labels sit a little below the graph so that "-90dB" of both axes do not run together in
// the corner.
constexpr int kInputLabelTop = 20;

const QColor kBackground(10, 14, 18);
const QColor kGridColour(0, 110, 0);
const QColor kTextColour(255, 255, 0);
const QColor kCurveColour(0, 207, 255);
const QColor kPointColour(255, 10, 10, 200);
const QColor kAreaColour(120, 130, 120, 65);
const QColor kOffColour(255, 150, 0);

struct GraphLine {
    double db;
    const char* text;
};
constexpr GraphLine kLevelLines[] = {{6, "+6dB"},    {0, "0dB"},     {-10, "-10dB"}, {-20, "-20dB"},
                                     {-30, "-30dB"}, {-40, "-40dB"}, {-50, "-50dB"}, {-60, "-60dB"},
                                     {-70, "-70dB"}, {-80, "-80dB"}, {-90, "-90dB"}};
constexpr GraphLine kInputLines[] = {{-90, "-90dB"}, {-70, "-70dB"}, {-50, "-50dB"},
                                     {-30, "-30dB"}, {-10, "-10dB"}, {6, "6dB"}};

double Finite(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

// Pixel mapping of a client area: the width and height of the graph area, never below one pixel so
// that a panel squeezed smaller than its margins still maps every level somewhere finite.
struct Mapping {
    double wg;
    double hg;
    explicit Mapping(QSize size)
        : wg(std::max(1, size.width() - kLeft - kRightMargin)), hg(std::max(1, size.height() - kTop - kBottomMargin)) {}
    double X(double inputDb) const { return (inputDb - CCompressPanelPlus::kMinDb) * wg / kSpanDb + kLeft; }
    double Y(double outputDb) const { return std::abs(outputDb - CCompressPanelPlus::kMaxDb) * hg / kSpanDb + kTop; }
    double Rise(double db) const { return db * hg / kSpanDb; }
};

} // namespace

CCompressPanelPlus::CCompressPanelPlus(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CCompressPanelPlus::SetOn(bool on) {
    m_on = on;
    update();
}

void CCompressPanelPlus::SetThreshold(double thresholdDb) {
    m_threshold = std::clamp(Finite(thresholdDb, 0.0), kMinDb, kMaxDb);
    update();
}

void CCompressPanelPlus::SetSlope(double slope) {
    // 1/ratio of a ratio of at least 1:1; a ratio of 0 would make it infinite.
    m_slope = std::clamp(Finite(slope, 1.0), 0.0, 1.0);
    update();
}

void CCompressPanelPlus::SetLowerKnee(double kneeDb) {
    m_knee = std::clamp(Finite(kneeDb, kMinDb), kMinDb, kMaxDb);
    update();
}

void CCompressPanelPlus::SetLowerSlope(double slope) {
    m_lowerSlope = std::clamp(Finite(slope, 1.0), 0.0, 4.0);
    update();
}

double CCompressPanelPlus::OutputLevel(double inputDb) const {
    const double i = std::clamp(Finite(inputDb, kMinDb), kMinDb, kMaxDb);
    if (i <= m_knee)
        return m_knee - (m_knee - i) * m_lowerSlope;
    if (i <= m_threshold)
        return i;
    return m_threshold + (i - m_threshold) * m_slope;
}

std::array<QPointF, 4> CCompressPanelPlus::CurvePoints(QSize size) const {
    const Mapping m(size);
    const double kneeY = m.Y(m_knee);
    const double thresholdY = m.Y(m_threshold);
    return {QPointF(m.X(kMinDb), kneeY + m.Rise(std::abs(kMinDb - m_knee)) * m_lowerSlope), QPointF(m.X(m_knee), kneeY),
            QPointF(m.X(m_threshold), thresholdY),
            QPointF(m.X(kMaxDb), thresholdY - m.Rise(std::abs(kMaxDb - m_threshold)) * m_slope)};
}

void CCompressPanelPlus::resizeEvent(QResizeEvent* event) {
    m_grid = QPixmap();
    QWidget::resizeEvent(event);
}

void CCompressPanelPlus::RebuildGrid() {
    const qreal dpr = devicePixelRatioF();
    m_grid = QPixmap(size() * dpr);
    m_grid.setDevicePixelRatio(dpr);
    m_grid.fill(kBackground);

    QPainter p(&m_grid);
    const Mapping m(size());
    const int right = width() - kRightMargin;
    const int bottom = height() - kBottomMargin;
    p.setFont(SongFont(12));
    for (const GraphLine& line : kLevelLines) {
        const int y = static_cast<int>(std::lround(m.Y(line.db)));
        p.setPen(QPen(kGridColour, 1));
        p.drawLine(kLeft, y, right, y);
        p.setPen(kTextColour);
        p.drawText(QRect(0, y - 8, kLeft - 2, 16), Qt::AlignRight | Qt::AlignVCenter, QString::fromLatin1(line.text));
    }
    for (const GraphLine& line : kInputLines) {
        const int x = static_cast<int>(std::lround(m.X(line.db)));
        p.setPen(QPen(kGridColour, 1));
        p.drawLine(x, kTop, x, bottom);
        p.setPen(kTextColour);
        p.drawText(QRect(x - 30, height() - kInputLabelTop, 60, 16), Qt::AlignHCenter | Qt::AlignTop,
                   QString::fromLatin1(line.text));
    }
}

void CCompressPanelPlus::paintEvent(QPaintEvent* /*event*/) {
    if (m_grid.isNull() || m_grid.deviceIndependentSize().toSize() != size() ||
        m_grid.devicePixelRatio() != devicePixelRatioF())
        RebuildGrid();

    QPainter p(this);
    p.drawPixmap(0, 0, m_grid);
    p.setRenderHint(QPainter::Antialiasing);

    const Mapping m(size());
    const std::array<QPointF, 4> curve = CurvePoints(size());
    p.save();
    p.setClipRect(QRectF(kLeft, kTop, m.wg, m.hg).adjusted(-2, -2, 2, 2));
    // The region the compressor acts on: between the curve's right end and its left start.
    const double top = std::min(curve[3].y(), curve[0].y());
    const double bottom = std::max(curve[3].y(), curve[0].y());
    p.fillRect(QRectF(kLeft, top, m.wg, bottom - top), kAreaColour);
    p.setPen(QPen(kCurveColour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(curve.data(), static_cast<int>(curve.size()));
    p.setPen(Qt::NoPen);
    p.setBrush(kPointColour);
    p.drawEllipse(curve[2], 4.0, 4.0);
    p.restore();

    if (!m_on) {
        p.setPen(kOffColour);
        p.setFont(HeiFont(PointsToPixels(40)));
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("OFF"));
    }
}

} // namespace orvex
