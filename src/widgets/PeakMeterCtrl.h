#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <array>
#include <span>
#include <vector>

namespace orvex {

// LED-style level bar. Values fall off on a timer of the user-interface thread, so the tick never runs
// concurrently with SetLevels or painting.
class CPeakMeterCtrl : public QWidget {
    Q_OBJECT

public:
    enum class Zone { Green, Yellow, Red };

    explicit CPeakMeterCtrl(QWidget* parent = nullptr);

    // Resets every value to 0.
    void SetBandLayout(int bands, int leds);
    void SetRange(int range);
    void SetZoneLimits(int greenUpTo, int yellowUpTo);
    void SetVertical(bool vertical);
    void SetBackground(const QColor& colour);
    void SetLitColours(const QColor& green, const QColor& yellow, const QColor& red);
    void SetUnlitColours(const QColor& green, const QColor& yellow, const QColor& red);

    // Values for bands first .. first+count-1 (bounded by the layout), each clamped to 0 .. range.
    void SetLevels(std::span<const int> values, int firstBand);
    // Arms the falloff: every period each band drops by one LED's worth. The tick runs only while a band
    // is lit: it stops on an empty bar and starts again with the next SetLevels that lights one. Values
    // that change nothing repaint nothing.
    void StartDecayTimer(int periodMs);
    void StopDecayTimer();
    bool IsDecayRunning() const { return m_timer.isActive(); }
    int DecayPeriod() const { return m_periodMs; }

    int BandCount() const { return m_bands; }
    int LedCount() const { return m_leds; }
    int Range() const { return m_range; }
    int Level(int band) const;
    int LitLedCount(int band) const;
    Zone LedZone(int led) const;
    // Units a tick takes off: range / LEDs, or a tenth of the range for a single LED.
    int DecayStep() const;

    QSize sizeHint() const override;

private:
    bool AnyLit() const;

public slots:
    void DecayTick();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_bands = 8;
    int m_leds = 8;
    int m_range = 60;
    int m_greenLimit = 40;
    int m_yellowLimit = 50;
    bool m_vertical = false;
    int m_periodMs = 10;
    bool m_decayArmed = false;
    QColor m_background;
    std::array<QColor, 3> m_lit{QColor(0, 255, 0), QColor(255, 255, 0), QColor(255, 0, 0)};
    std::array<QColor, 3> m_unlit{QColor(2, 60, 2), QColor(60, 60, 2), QColor(60, 2, 2)};
    std::vector<int> m_values;
    QTimer m_timer;
};

} // namespace orvex
