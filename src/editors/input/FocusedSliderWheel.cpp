#include "editors/input/FocusedSliderWheel.h"

#include "editors/output/XBmpSlider.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace orvex {

CFocusedSliderWheel::CFocusedSliderWheel(QWidget* dialog) : QObject(dialog), m_dialog(dialog) {}

void CFocusedSliderWheel::Attach(QWidget* dialog) {
    auto* filter = new CFocusedSliderWheel(dialog);
    dialog->installEventFilter(filter);
    for (CXBmpSlider* slider : dialog->findChildren<CXBmpSlider*>())
        slider->installEventFilter(filter);
}

bool CFocusedSliderWheel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel)
        return false;
    auto* focused = qobject_cast<CXBmpSlider*>(m_dialog->focusWidget());
    if (focused == nullptr || focused == watched || !focused->isVisible())
        return false;
    QCoreApplication::sendEvent(focused, event);
    return true;
}

} // namespace orvex
