#pragma once

#include <QColor>
#include <QPixmap>
#include <QPointF>
#include <QWidget>

#include <array>

namespace orvex {

// The static transfer curve of a compressor: output level against input level, both from -90 dB to
// +6 dB. Below the lower knee K the curve runs at the lower slope L, from K to the threshold T it is
// 1:1, above T it rises at the slope S = 1/ratio. The grid is drawn once into a cached picture; the
// curve, the threshold point and the "OFF" overlay are drawn on every paint.
class CCompressPanelPlus : public QWidget {
    Q_OBJECT

public:
    explicit CCompressPanelPlus(QWidget* parent = nullptr);

    // Each setter repaints. Unusable values (NaN, infinities) fall back to the neutral value and the
    // levels are held to the graph's range, so nothing non-finite ever reaches the painter.
    void SetOn(bool on);
    void SetThreshold(double thresholdDb);
    void SetSlope(double slope);
    void SetLowerKnee(double kneeDb);
    void SetLowerSlope(double slope);

    bool IsOn() const { return m_on; }
    double Threshold() const { return m_threshold; }
    double Slope() const { return m_slope; }
    double LowerKnee() const { return m_knee; }
    double LowerSlope() const { return m_lowerSlope; }

    // The output level the curve shows for an input level (dB).
    double OutputLevel(double inputDb) const;

    // The curve as painted in a client area of `size`: left start, lower knee, threshold point, right end.
    std::array<QPointF, 4> CurvePoints(QSize size) const;

    static constexpr double kMinDb = -90.0;
    static constexpr double kMaxDb = 6.0;

    QSize sizeHint() const override { return {520, 400}; }
    QSize minimumSizeHint() const override { return {240, 180}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RebuildGrid();

    bool m_on = true;
    double m_threshold = 0.0;
    double m_slope = 1.0;
    double m_knee = kMinDb;
    double m_lowerSlope = 1.0;
    QPixmap m_grid; // the static part, rebuilt after a resize
};

} // namespace orvex
