#include "editors/input/FocusedSliderWheel.h"

#include "editors/output/EqPanel.h"
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
    for (CEqPanel* panel : dialog->findChildren<CEqPanel*>())
        panel->installEventFilter(filter);
}

bool CFocusedSliderWheel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel)
        return false;
    QWidget* focused = m_dialog->focusWidget();
    if (qobject_cast<CXBmpSlider*>(focused) == nullptr && qobject_cast<CEqPanel*>(focused) == nullptr)
        focused = nullptr;
    // A turn the focused slider refuses (it is disabled) comes back up through the dialog: that one
    // goes its usual way instead of round again.
    if (m_forwarding || focused == nullptr || focused == watched || !focused->isVisible())
        return false;
    m_forwarding = true;
    QCoreApplication::sendEvent(focused, event);
    m_forwarding = false;
    return true;
}

} // namespace orvex
