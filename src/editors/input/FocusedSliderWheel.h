#pragma once

#include <QObject>

class QWidget;

namespace orvex {

// A dialog's or page's wheel: while the pointer is anywhere over it, a wheel turn goes to the slider or
// equaliser graph that has the focus, not to whatever happens to lie under the pointer. With neither
// focused, the turn goes its usual way.
class CFocusedSliderWheel : public QObject {
    Q_OBJECT
public:
    // Watches `dialog` and every slider and graph inside it at the time of the call; owned by the dialog.
    static void Attach(QWidget* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CFocusedSliderWheel(QWidget* dialog);

    QWidget* m_dialog;
    bool m_forwarding = false;
};

} // namespace orvex
