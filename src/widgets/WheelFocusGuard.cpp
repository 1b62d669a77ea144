#include "widgets/WheelFocusGuard.h"

#include "widgets/EqPanel.h"
#include "widgets/XBmpSlider.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QMainWindow>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <QWidget>

namespace orvex {

namespace {

bool IsValueControl(const QWidget* w) {
    return qobject_cast<const QComboBox*>(w) != nullptr || qobject_cast<const QAbstractSpinBox*>(w) != nullptr ||
           qobject_cast<const QAbstractSlider*>(w) != nullptr || qobject_cast<const CXBmpSlider*>(w) != nullptr ||
           qobject_cast<const CEqPanel*>(w) != nullptr ||
           // The parameter grid steps its value on the wheel instead of scrolling.
           w->inherits("orvex::CReportCtrl");
}

// The ribbon (a main window's menu widget) steps the volumes by its own rules.
bool InMenuWidget(const QWidget* w) {
    auto* main = qobject_cast<const QMainWindow*>(w->window());
    const QWidget* menu = main ? main->menuWidget() : nullptr;
    return menu && (menu == w || menu->isAncestorOf(w));
}

} // namespace

CWheelFocusGuard* CWheelFocusGuard::Install() {
    static QPointer<CWheelFocusGuard> installed;
    if (installed || qApp == nullptr)
        return installed;
    installed = new CWheelFocusGuard(qApp);
    qApp->installEventFilter(installed);
    return installed;
}

QWidget* CWheelFocusGuard::ValueControlOf(QWidget* widget) {
    // A spin box's edit or a combo box's edit belongs to its box; a popup (a combo's open list) is a
    // window of its own and scrolls as usual.
    for (QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        // A scroll bar is its scroll area's: the area passes its turns on to it.
        if (qobject_cast<QScrollBar*>(w) != nullptr)
            return nullptr;
        if (IsValueControl(w))
            return w;
        if (w->isWindow())
            break;
    }
    return nullptr;
}

bool CWheelFocusGuard::TakesWheel(QWidget* control, const QPointF& globalPos) {
    QWidget* focused = QApplication::focusWidget();
    const bool hasFocus = focused != nullptr && (control->hasFocus() || control->isAncestorOf(focused));
    return hasFocus && control->rect().contains(control->mapFromGlobal(globalPos).toPoint());
}

bool CWheelFocusGuard::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::Polish) {
        // Combo and spin boxes take the focus from a passing wheel before any filter sees the turn;
        // here a turn never gives the focus, a click or the Tab key does.
        if (IsValueControl(widget) && (widget->focusPolicy() & Qt::WheelFocus) == Qt::WheelFocus &&
            !InMenuWidget(widget))
            widget->setFocusPolicy(Qt::StrongFocus);
        return false;
    }
    if (event->type() != QEvent::Wheel)
        return false;
    QWidget* control = ValueControlOf(widget);
    if (control == nullptr || InMenuWidget(control))
        return false;
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (TakesWheel(control, wheel->globalPosition()))
        return false;
    // Accepted, so the turn does not travel on to a page that would scroll or pass it on.
    wheel->accept();
    return true;
}

} // namespace orvex
