#pragma once

#include "model/FilterDesign.h"

#include <QColor>
#include <QWidget>

#include <array>

namespace orvex {

// The music page's display-only thumbnail of a seven-band equaliser: a 56-point curve, no editing.
// A click is left to the page (clicked()), as on any static control.
class CSmallEqPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kBands = 7;

    struct Band {
        float freqHz = 0.0f;
        float gainDb = 0.0f;
        float q = 1.414f;
        int type = eqtype::Peaking;
        float gainMin = -12.0f;
        float gainMax = 12.0f;
        float freqMin = 20.0f;
        float freqMax = 20000.0f;
        CompactCurve curve{};
    };

    explicit CSmallEqPanel(QWidget* parent = nullptr);

    // 0 Hz is ignored; otherwise held to 20 .. 20000.
    void SetBandFrequency(int index, float hz);
    // Held to -15 .. +15.
    void SetBandGain(int index, float gainDb);
    void SetBandQ(int index, float q);
    void SetBandType(int index, int code);
    const Band& GetBand(int index) const;

    void SetBypass(bool bypass);
    bool IsBypass() const { return m_bypass; }
    void SetFillBackground(bool fill);
    // The total curve's pen colour (the page colours it by the channel shown).
    void SetCurveColour(const QColor& colour);
    QColor CurveColour() const { return m_curveColour; }
    bool IsHovered() const { return m_hovered; }

    QRect PlotRect() const;
    // The total as drawn: per point the sum over the bands of each value read back from its drawn pixel
    // and rounded to 0.1 dB.
    CompactCurve DrawnTotal() const;

    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Recompute(int index);
    double YForDb(double db) const;

    std::array<Band, kBands> m_bands{};
    bool m_bypass = false;
    bool m_fillBackground = true;
    bool m_hovered = false;
    QColor m_curveColour{0, 200, 255};
};

} // namespace orvex
