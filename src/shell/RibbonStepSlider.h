#pragma once

#include <QSlider>

namespace orvex {

// The ribbon's volume slider: a click on the track outside the thumb moves it by exactly one
// step towards the click point (never by a page) and notifies its command; a press on the
// thumb starts the normal drag, which notifies at every position.
class CMFCRibbonStepSlider : public QSlider {
    Q_OBJECT
public:
    CMFCRibbonStepSlider(int id, int width, int maximum, QWidget* parent = nullptr);

    // Moves the thumb without notifying (refresh and the twin's follow-up).
    void SetPos(int position);
    // Where the thumb is drawn, in the slider's coordinates.
    QRect HandleRect() const;

signals:
    // The user moved the slider; the handler of `id` runs.
    void positionCommand(int id);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    int m_id;
};

} // namespace orvex
