#include "widgets/SmallEqPanel.h"

#include "widgets/ControlFonts.h"
#include "model/EqPaths.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace orvex {

namespace {

constexpr int kMargin = 2;
constexpr double kDecades = 3.4;
constexpr double kMinHz = 10.0;

} // namespace

CSmallEqPanel::CSmallEqPanel(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < kBands; ++i) {
        m_bands[static_cast<size_t>(i)].freqHz = static_cast<float>(kOctaveBandHz[static_cast<size_t>(i)]);
    }
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    for (int i = 0; i < kBands; ++i) {
        Recompute(i);
    }
}

QRect CSmallEqPanel::PlotRect() const {
    return rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
}

void CSmallEqPanel::Recompute(int index) {
    Band& b = m_bands[static_cast<size_t>(index)];
    ComputeCompactCurve(b.type, b.gainDb, b.freqHz, b.q, PlotRect().width(), b.curve);
    update();
}

void CSmallEqPanel::SetBandFrequency(int index, float hz) {
    if (index < 0 || index >= kBands || hz == 0.0f || !std::isfinite(hz)) {
        return;
    }
    m_bands[static_cast<size_t>(index)].freqHz =
        std::clamp(hz, static_cast<float>(kMinBandFreqHz), static_cast<float>(kMaxBandFreqHz));
    Recompute(index);
}

void CSmallEqPanel::SetBandGain(int index, float gainDb) {
    if (index < 0 || index >= kBands || !std::isfinite(gainDb)) {
        return;
    }
    m_bands[static_cast<size_t>(index)].gainDb = std::clamp(gainDb, kMinBandGainDb, kMaxBandGainDb);
    Recompute(index);
}

void CSmallEqPanel::SetBandQ(int index, float q) {
    if (index < 0 || index >= kBands || !(q > 0.0f)) {
        return;
    }
    m_bands[static_cast<size_t>(index)].q = q;
    Recompute(index);
}

void CSmallEqPanel::SetBandType(int index, int code) {
    if (index < 0 || index >= kBands) {
        return;
    }
    m_bands[static_cast<size_t>(index)].type = code;
    Recompute(index);
}

const CSmallEqPanel::Band& CSmallEqPanel::GetBand(int index) const {
    return m_bands[static_cast<size_t>(std::clamp(index, 0, kBands - 1))];
}

void CSmallEqPanel::SetBypass(bool bypass) {
    m_bypass = bypass;
    update();
}

void CSmallEqPanel::SetFillBackground(bool fill) {
    m_fillBackground = fill;
    update();
}

double CSmallEqPanel::YForDb(double db) const {
    const QRect plot = PlotRect();
    return plot.top() + (15.0 - db) * plot.height() / 30.0;
}

CompactCurve CSmallEqPanel::DrawnTotal() const {
    CompactCurve total{};
    const QRect plot = PlotRect();
    const double h = std::max(1, plot.height());
    for (const Band& b : m_bands) {
        for (size_t u = 0; u < total.size(); ++u) {
            // Back from the band's drawn pixel row to dB, then rounded to a tenth.
            const double v = std::clamp(static_cast<double>(b.curve[u]), -1000.0, 1000.0);
            const double y = std::trunc(YForDb(v));
            const double back = 15.0 - (y - plot.top()) * 30.0 / h;
            total[u] += static_cast<float>(std::trunc(10.0 * back + 0.5) / 10.0);
        }
    }
    return total;
}

QSize CSmallEqPanel::sizeHint() const {
    return {160, 70};
}

void CSmallEqPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (int i = 0; i < kBands; ++i) {
        Recompute(i);
    }
}

void CSmallEqPanel::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    m_hovered = true;
    update();
}

void CSmallEqPanel::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    m_hovered = false;
    update();
}

void CSmallEqPanel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    event->ignore();
}

void CSmallEqPanel::SetCurveColour(const QColor& colour) {
    if (colour == m_curveColour) {
        return;
    }
    m_curveColour = colour;
    update();
}

void CSmallEqPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect plot = PlotRect();
    if (m_fillBackground) {
        p.fillRect(rect(), QColor(96, 96, 96, 101));
    }
    auto hLine = [&](double db, const QColor& c) {
        const int y = static_cast<int>(std::lround(YForDb(db)));
        p.setPen(QPen(c, 1.0));
        p.drawLine(plot.left(), y, plot.right(), y);
    };
    for (int db = -15; db <= 15; ++db) {
        hLine(db, QColor(23, 23, 23));
    }
    for (int db = -15; db <= 15; db += 3) {
        hLine(db, std::abs(db) == 15 ? QColor(128, 128, 128) : QColor(64, 64, 64));
    }
    p.setPen(QPen(QColor(64, 64, 64), 1.0));
    for (int decade = 10; decade <= 10000; decade *= 10) {
        for (int m = 1; m <= 9; ++m) {
            const double hz = static_cast<double>(decade) * m;
            if (hz > 10000 && m > 1) {
                break;
            }
            const int x =
                plot.left() + static_cast<int>(std::lround(plot.width() * std::log10(hz / kMinHz) / kDecades));
            p.drawLine(x, plot.top(), x, plot.bottom());
        }
    }
    const int x20k =
        plot.left() + static_cast<int>(std::lround(plot.width() * std::log10(20000.0 / kMinHz) / kDecades));
    p.drawLine(x20k, plot.top(), x20k, plot.bottom());

    const CompactCurve total = DrawnTotal();
    QPainterPath path;
    for (int u = 0; u < kCompactCurvePoints; ++u) {
        const double x = plot.left() + static_cast<double>(u) * plot.width() / kCompactCurvePoints;
        const double y = YForDb(std::clamp(static_cast<double>(total[static_cast<size_t>(u)]), -40.0, 40.0));
        if (u == 0) {
            path.moveTo(x, y);
        } else {
            path.lineTo(x, y);
        }
    }
    p.setRenderHint(QPainter::Antialiasing);
    p.save();
    p.setClipRect(plot);
    p.setPen(QPen(m_curveColour, 1.7));
    p.drawPath(path);
    p.restore();

    if (m_bypass) {
        p.setFont(HeiFont(32));
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QStringLiteral("PASS"));
    }
    if (m_hovered) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(QColor(0, 255, 255), 1.0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

} // namespace orvex
