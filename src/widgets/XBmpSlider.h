#pragma once

#include <QColor>
#include <QWidget>

namespace orvex {

// The bitmap slider every level, frequency, time and index setting uses. It only reports to its
// owner; what a position means is the owner's business.
class CXBmpSlider : public QWidget {
    Q_OBJECT

public:
    // Notification numbers kept from the message interface (wParam the control id, lParam the position).
    static constexpr int XBS_POSCHANGED = 3025;
    static constexpr int XBS_GOTFOCUS = 3026;
    static constexpr int XBS_RELEASED = 3027;

    enum class Orientation { Horizontal, Vertical };

    // Applies the page preset for the orientation: artwork, margins 7/7 along and 3/2 across, and the
    // page background.
    CXBmpSlider(int controlId, Orientation orientation, QWidget* parent = nullptr);

    int ControlId() const { return m_controlId; }
    bool IsVertical() const { return m_vertical; }

    void SetSliderRange(int minimum, int maximum);
    int GetSliderMin() const { return m_minimum; }
    int GetSliderMax() const { return m_maximum; }
    // Clamps into the range and repaints; never notifies.
    void SetSliderPos(int position);
    int GetSliderPos() const { return m_position; }

    void SetSliderEnabled(bool enabled);
    bool IsSliderEnabled() const { return m_enabled; }
    bool IsDragging() const { return m_dragging; }

    void SetSliderImages(int channel, int fill, int thumb, int thumbFocused, int thumbDisabled);
    // start/end along the track, lead/trail across it.
    void SetMargins(int start, int end, int acrossLead, int acrossTrail);
    void SetBackground(const QColor& colour);

    // Geometry of the position formulas: the channel length (the control's length along the track), the
    // thumb size, the thumb's leading-edge pixel for a position and the position for such a pixel.
    int ChannelLength() const;
    QSize ThumbSize() const;
    int PixelForPos(int position) const;
    int PosForPixel(int pixel) const;
    QRect ThumbRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void posChanged(int controlId, int position); // XBS_POSCHANGED
    void gotFocus(int controlId);                 // XBS_GOTFOCUS
    void released(int controlId, int position);   // XBS_RELEASED

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int Clamp(int position) const;
    void StepBy(int delta);
    int ChannelCross() const;

    int m_controlId;
    bool m_vertical;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    bool m_enabled = true;
    bool m_dragging = false;
    bool m_pressed = false;
    int m_marginStart = 7;
    int m_marginEnd = 7;
    int m_marginLead = 3;
    int m_marginTrail = 2;
    int m_channelImage = 0;
    int m_fillImage = 0;
    int m_thumbImage = 0;
    int m_thumbFocusedImage = 0;
    int m_thumbDisabledImage = 0;
    QColor m_background{240, 250, 255};
};

} // namespace orvex
