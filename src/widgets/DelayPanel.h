#pragma once

#include "model/EqPaths.h"

#include <QFont>
#include <QPixmap>
#include <QSize>
#include <QWidget>

#include <array>

namespace orvex {

// The speaker delay graph: one row per output channel, each delay a marker on a common 0..106 ms time
// axis. Dragging a marker reports the delay under it; the page applies it and moves the marker back
// with SetChannelDelay, so the marker always shows what was applied.
class CDelayPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int DPN_DELAYDRAGGED = 0x10F9;
    static constexpr int kChannelCount = kOutputChannelCount;
    static constexpr double kAxisMs = 106.0;
    static constexpr float kMinDelayMs = 1.5f;
    static constexpr float kMaxDelayMs = 100.0f;
    // Plot insets from the client area.
    static constexpr int kLeft = 78;
    static constexpr int kTop = 5;
    static constexpr int kRight = 18;
    static constexpr int kBottom = 20;

    explicit CDelayPanel(QWidget* parent = nullptr);

    // Clamps to the channel's limits (NaN to the lower one), stores the value, moves the marker and
    // repaints. Channels outside 0..7 are ignored.
    void SetChannelDelay(int channel, float ms);
    float ChannelDelay(int channel) const;

    // Geometry, in client pixels.
    int MarkerX(int channel) const;
    int RowTop(int row) const;
    double RowHeight() const;
    // Where row `row` has its channel's name, left of the plot.
    QRect LabelRect(int row) const;
    // The marker drawn for each channel (a pin in the channel colour).
    static constexpr QSize MarkerSize() { return {14, 18}; }
    // The x of a delay and the delay at a marker x (limited to 1.5..100 ms; the lower limit when the
    // panel is too narrow to have a time axis).
    int XForDelay(double ms) const;
    float DelayForMarkerX(int markerX) const;
    int DraggedChannel() const { return m_dragged; }
    // The label painted left of a channel's row, in the current language.
    static QString RowLabel(int channel);

    QSize sizeHint() const override { return {420, 360}; }
    QSize minimumSizeHint() const override { return {200, 160}; }

signals:
    // DPN_DELAYDRAGGED: a marker was dragged to `ms`.
    void delayDragged(int channel, float ms);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    double PixelsPerMs() const;
    void DrawMarker(QPainter& painter, int x, int y, const QColor& colour) const;
    void DrawStatic(QPainter& painter) const;

    std::array<float, kChannelCount> m_delay{};
    int m_dragged = -1;
    bool m_buttonDown = false;
    QFont m_font;
    QPixmap m_static; // axis, separators and labels; rebuilt after a resize or a change of language
    int m_staticLanguage = -1;
};

// The channel colours of the graph, channel 0..7.
QColor DelayChannelColour(int channel);

} // namespace orvex
