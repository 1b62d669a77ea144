#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QRectF>

namespace orvex {

// One key of the remote-control picture: a hot spot the user clicks (or reaches with Tab and presses
// with Space or Enter) to learn that function. It draws its own key cap over the picture.
class CRemoteHotSpot : public QAbstractButton {
    Q_OBJECT
public:
    enum class Shape { Round, Pill, Rounded };

    // `area` is where the key sits on the picture, in the picture's own units (see CRemotePicture).
    CRemoteHotSpot(int controlId, const QString& caption, Shape shape, const QColor& colour, const QRectF& area,
                   QWidget* parent);

    int ControlId() const { return m_controlId; }
    QRectF Area() const { return m_area; }
    // A key the processor has a code for carries a mark in its corner.
    void SetLearned(bool learned);
    bool Learned() const { return m_learned; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int m_controlId;
    Shape m_shape;
    QColor m_colour;
    QRectF m_area;
    bool m_hovered = false;
    bool m_learned = false;
};

} // namespace orvex
