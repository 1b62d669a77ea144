#pragma once

#include "model/RoomRecord.h"

#include <QPixmap>
#include <QWidget>

#include <array>

namespace orvex {

// The room drawn to scale: outline, a grid line every metre, the listener (point 0) and the eight
// speakers (points 1..8, room-record order). A point can be picked and dragged with the left button.
class CSSVolumePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMargin = 30;
    static constexpr int kPickRadius = 16;
    static constexpr int kPointCount = 1 + kRoomSpeakerCount;

    explicit CSSVolumePanel(QWidget* parent = nullptr);

    // Whole metres, held to 1..10 so the scale never divides by zero.
    void SetRoomSize(int width, int length);
    int RoomWidth() const { return m_width; }
    int RoomLength() const { return m_length; }
    void SetPoint(int index, RoomPoint point);
    RoomPoint Point(int index) const { return m_points.at(static_cast<size_t>(index)); }

    // One scale for both directions: pixels a metre, the largest at which the room fits the inner area.
    double PixelsPerMetre() const;
    // The room's outline in widget pixels, centred in the widget.
    QRectF RoomRect() const;
    // The name drawn under speaker `index` (0..7, room-record order), in the current language.
    static QString SpeakerLabel(int index);

    QPointF ToScreen(RoomPoint p) const;
    // The inverse, with the position held to the room first.
    RoomPoint ToRoom(QPointF screen) const;
    // Where speaker `speaker` (0..7, room-record order) has its name: under its box, or above it at the
    // bottom edge, and always whole inside the widget.
    QRectF LabelRect(int speaker) const;

signals:
    void pointPicked(int index, float x, float y);
    void pointMoved(int index, float x, float y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DrawBackground();

    int m_width = 4;
    int m_length = 4;
    std::array<RoomPoint, kPointCount> m_points{};
    QPixmap m_background;
    int m_dragged = -1;
};

} // namespace orvex
