#include "widgets/PeakMeterCtrl.h"

#include <QPainter>
#include <QPalette>

#include <algorithm>

namespace orvex {

CPeakMeterCtrl::CPeakMeterCtrl(QWidget* parent) : QWidget(parent), m_values(static_cast<size_t>(m_bands), 0) {
    m_background = palette().color(QPalette::Button);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CPeakMeterCtrl::DecayTick);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPeakMeterCtrl::SetBandLayout(int bands, int leds) {
    m_bands = std::max(1, bands);
    m_leds = std::max(1, leds);
    m_values.assign(static_cast<size_t>(m_bands), 0);
    update();
}

void CPeakMeterCtrl::SetRange(int range) {
    m_range = std::max(1, range);
    for (int& v : m_values) {
        v = std::clamp(v, 0, m_range);
    }
    update();
}

void CPeakMeterCtrl::SetZoneLimits(int greenUpTo, int yellowUpTo) {
    m_greenLimit = greenUpTo;
    m_yellowLimit = yellowUpTo;
    update();
}

void CPeakMeterCtrl::SetVertical(bool vertical) {
    m_vertical = vertical;
    update();
}

void CPeakMeterCtrl::SetBackground(const QColor& colour) {
    m_background = colour;
    update();
}

void CPeakMeterCtrl::SetLitColours(const QColor& green, const QColor& yellow, const QColor& red) {
    m_lit = {green, yellow, red};
    update();
}

void CPeakMeterCtrl::SetUnlitColours(const QColor& green, const QColor& yellow, const QColor& red) {
    m_unlit = {green, yellow, red};
    update();
}

void CPeakMeterCtrl::SetLevels(std::span<const int> values, int firstBand) {
    bool changed = false;
    for (size_t i = 0; i < values.size(); ++i) {
        const long long band = static_cast<long long>(firstBand) + static_cast<long long>(i);
        if (band < 0 || band >= m_bands) {
            continue;
        }
        int& value = m_values[static_cast<size_t>(band)];
        const int next = std::clamp(values[i], 0, m_range);
        changed = changed || next != value;
        value = next;
    }
    // The same values again leave the bar as it is painted: no repaint, no tick.
    if (!changed) {
        return;
    }
    // An armed falloff that stopped on an empty bar starts again here, so a meter left without new data
    // always empties; a running one keeps its rhythm. An empty bar has nothing to fall.
    if (!AnyLit()) {
        m_timer.stop();
    } else if (m_decayArmed && !m_timer.isActive()) {
        m_timer.start(m_periodMs);
    }
    update();
}

bool CPeakMeterCtrl::AnyLit() const {
    return std::any_of(m_values.begin(), m_values.end(), [](int v) { return v > 0; });
}

void CPeakMeterCtrl::StartDecayTimer(int periodMs) {
    m_periodMs = std::max(1, periodMs);
    m_decayArmed = true;
    if (AnyLit()) {
        m_timer.start(m_periodMs);
    }
}

void CPeakMeterCtrl::StopDecayTimer() {
    m_decayArmed = false;
    m_timer.stop();
}

int CPeakMeterCtrl::DecayStep() const {
    return m_leds > 1 ? m_range / m_leds : m_range * 10 / 100;
}

void CPeakMeterCtrl::DecayTick() {
    // At least one unit per tick, or a range smaller than the LED count would never empty.
    const int step = std::max(1, DecayStep());
    bool changed = false;
    for (int& v : m_values) {
        changed = changed || v > 0;
        v = std::max(0, v - step);
    }
    if (changed) {
        update();
    }
    if (!AnyLit()) {
        m_timer.stop();
    }
}

int CPeakMeterCtrl::Level(int band) const {
    return band >= 0 && band < m_bands ? m_values[static_cast<size_t>(band)] : 0;
}

int CPeakMeterCtrl::LitLedCount(int band) const {
    // Integer scale, as the zones: a cell is lit while its index is below LEDs * value / range.
    return static_cast<int>(static_cast<long long>(m_leds) * Level(band) / m_range);
}

CPeakMeterCtrl::Zone CPeakMeterCtrl::LedZone(int led) const {
    // With 15 LEDs over 60 and limits 40 and 50: cells 0..9 green, 10 and 11 yellow, 12..14 red.
    if (led < static_cast<long long>(m_leds) * m_greenLimit / m_range) {
        return Zone::Green;
    }
    if (led < static_cast<long long>(m_leds) * m_yellowLimit / m_range) {
        return Zone::Yellow;
    }
    return Zone::Red;
}

QSize CPeakMeterCtrl::sizeHint() const {
    return m_vertical ? QSize(12 * m_bands, 8 * m_leds) : QSize(8 * m_leds, 12 * m_bands);
}

void CPeakMeterCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_background);
    const int along = m_vertical ? height() : width();
    const int across = m_vertical ? width() : height();
    for (int band = 0; band < m_bands; ++band) {
        const int a0 = across * band / m_bands;
        const int a1 = across * (band + 1) / m_bands;
        // Bands are separated by one pixel when there are several.
        const int bandSize = a1 - a0 - (m_bands > 1 ? 1 : 0);
        const int lit = LitLedCount(band);
        for (int i = 0; i < m_leds; ++i) {
            int c0 = along * i / m_leds;
            const int c1 = along * (i + 1) / m_leds;
            if (m_leds > 1) {
                c0 += 1; // a one-pixel gap before every cell
            }
            const auto zone = static_cast<size_t>(LedZone(i));
            const QColor& colour = i < lit ? m_lit[zone] : m_unlit[zone];
            QRect cell = m_vertical ? QRect(a0, height() - c1, bandSize, c1 - c0) : QRect(c0, a0, c1 - c0, bandSize);
            p.fillRect(cell, colour);
        }
    }
}

} // namespace orvex
