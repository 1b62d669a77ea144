#pragma once

#include <QObject>

class QWidget;

namespace orvex {

// A tool dialog's wheel: while the pointer is anywhere over the dialog, a wheel turn moves the slider
// that has the focus, not whatever happens to lie under the pointer. With no slider focused, the turn
// goes its usual way.
class CFocusedSliderWheel : public QObject {
    Q_OBJECT
public:
    // Watches `dialog` and every slider inside it at the time of the call; owned by the dialog.
    static void Attach(QWidget* dialog);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit CFocusedSliderWheel(QWidget* dialog);

    QWidget* m_dialog;
    bool m_forwarding = false;
};

} // namespace orvex
