#pragma once

#include <QObject>

class QWidget;

namespace orvex {

// The program's one rule for the mouse wheel over a value control (combo box, spin box, slider,
// equaliser graph, step grid): the control takes a wheel turn only while it has the keyboard focus and
// the pointer is over it. A turn over a control without the focus is swallowed there, so neither the
// control nor a page scrolling behind it moves; a turn passed on to a focused control the pointer is
// not over (a page forwarding the wheel to its focused slider) is dropped as well, and a turn never
// gives a control the focus. The window's menu widget (the ribbon) keeps its own wheel handling.
class CWheelFocusGuard : public QObject {
    Q_OBJECT
public:
    // Installs the rule on the application once and returns it (owned by the application; deleting it
    // lifts the rule); later calls return the one installed.
    static CWheelFocusGuard* Install();

    // The value control `widget` belongs to (itself or an enclosing one in the same window), or null.
    static QWidget* ValueControlOf(QWidget* widget);

    // True when a wheel turn at `globalPos` may reach `control`.
    static bool TakesWheel(QWidget* control, const QPointF& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

} // namespace orvex
