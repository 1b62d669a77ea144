#pragma once

#include "shell/DialogTimeouts.h"

#include <QDialog>
#include <QTimer>

class QLabel;
class QProgressBar;

namespace orvex {

// The modal synchronisation box (template 347). It ends when the view stops it, or after its
// time-out with the result kTimedOut; the application then reports the error.
class CSynDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kProgressId = 1217;
    static constexpr int kTextId = 1218;
    static constexpr int kTimedOut = 110;
    static constexpr int kProductionTimeoutMs = DialogTimeouts{}.syncMs;

    explicit CSynDlg(const QString& text = {}, QWidget* parent = nullptr, int timeoutMs = kProductionTimeoutMs);

    int TimeoutMs() const { return m_timeoutMs; }

    // The view's way of ending it: stop timer 110, then cancel.
    void EndFromOutside();
    QString Text() const;
    bool TimeoutRunning() const { return m_timeout.isActive(); }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer m_marquee;
    QTimer m_timeout; // timer 110
    int m_timeoutMs;
};

} // namespace orvex
