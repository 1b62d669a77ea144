#include "shell/RibbonStepSlider.h"

#include "shell/ControlIds.h"

#include <QMouseEvent>
#include <QStyleOptionSlider>

namespace orvex {

CMFCRibbonStepSlider::CMFCRibbonStepSlider(int id, int width, int maximum, QWidget* parent)
    : QSlider(Qt::Horizontal, parent), m_id(id) {
    SetCtrlId(this, id);
    setRange(0, maximum);
    setSingleStep(1);
    setPageStep(1);
    setFixedWidth(width);
    // Keys belong to the application's shortcuts, not to a focused slider.
    setFocusPolicy(Qt::NoFocus);
    // The handler reads value(), so notify once the value has moved (sliderMoved comes before it).
    // Programmatic moves go through SetPos, which is silent.
    connect(this, &QSlider::valueChanged, this, [this](int) { emit positionCommand(m_id); });
}

void CMFCRibbonStepSlider::SetPos(int position) {
    const QSignalBlocker block(this);
    setValue(position);
}

QRect CMFCRibbonStepSlider::HandleRect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
}

void CMFCRibbonStepSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || HandleRect().contains(event->position().toPoint())) {
        QSlider::mousePressEvent(event);
        return;
    }
    const int handleCentre = HandleRect().center().x();
    const int step = event->position().x() < handleCentre ? -1 : 1;
    const int before = value();
    SetPos(before + step);
    event->accept();
    if (value() != before)
        emit positionCommand(m_id);
}

void CMFCRibbonStepSlider::wheelEvent(QWheelEvent* event) {
    // The ribbon decides what a wheel notch does (the frame's wheel handling).
    event->ignore();
}

} // namespace orvex
