#pragma once

#include <QVariant>
#include <QWidget>

namespace orvex {

// Every labelled or addressable widget carries its numeric control id in this dynamic property:
// the controls tag themselves with it, and the shell's relabelling and lookups read it. One name
// for both, or relabelling silently skips every control a page is built from.
inline constexpr const char* kCtrlIdProperty = "controlId";

inline void SetCtrlId(QWidget* widget, int id) {
    widget->setProperty(kCtrlIdProperty, id);
}

// 0 when the widget carries no id.
inline int CtrlId(const QWidget* widget) {
    const QVariant v = widget->property(kCtrlIdProperty);
    return v.isValid() ? v.toInt() : 0;
}

} // namespace orvex
