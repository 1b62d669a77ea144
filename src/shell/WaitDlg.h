#pragma once

#include "shell/DialogTimeouts.h"

#include <QColor>
#include <QDialog>
#include <QTimer>

#include <cstdint>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace orvex {

// The modal wait box (template 486) for smart-module operations that take a while. The kind
// and two values say which operation it stands for, so that aborting can stop it.
class CWaitDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kProgressId = 1217;
    static constexpr int kTextId = 1218;
    static constexpr int kAbortId = 3;
    static constexpr int kStepMs = 150;
    static constexpr int kTimeoutMs = DialogTimeouts{}.waitMs;
    static constexpr int kRestartTimeoutMs = DialogTimeouts{}.waitRestartMs;

    // The operation kinds whose abort sends a stop frame.
    static constexpr uint8_t kKindPlugSetting = 19;
    static constexpr uint8_t kKindAddPlug = 74;
    static constexpr uint8_t kKindRemovePlug = 75;

    CWaitDlg(const QString& text, uint8_t kind, uint8_t value1, uint8_t value2, QWidget* parent = nullptr,
             const DialogTimeouts& timeouts = {});

    // What aborting does for this kind (the smart-home dialogs install it). Called at most once.
    using AbortHandler = std::function<void(uint8_t kind, uint8_t value1, uint8_t value2)>;
    void SetAbortHandler(AbortHandler handler) { m_abort = std::move(handler); }
    // Runs after a time-out has closed the box (the application shows its notice).
    void SetTimeoutNotice(std::function<void()> notice) { m_timeoutNotice = std::move(notice); }

    void SetText(const QString& text);
    void SetTextColour(const QColor& colour);
    // Stops both timers; 0 closes at once, otherwise the bar fills and the box closes after `ms`.
    void Finish(int ms);
    // A second request while the box runs: step 150 ms, time-out 20 s.
    void RestartTimers();

    QString Text() const;
    QColor TextColour() const { return m_colour; }
    uint8_t Kind() const { return m_kind; }
    int ProgressValue() const;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override; // Escape: abort, then close

private:
    void Abort();
    void OnTimeout();

    QString m_textValue;
    uint8_t m_kind;
    uint8_t m_value1;
    uint8_t m_value2;
    DialogTimeouts m_timeouts;
    QColor m_colour{0, 0, 255};
    QLabel* m_text = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_abortButton = nullptr;
    QTimer m_step;    // timer 1
    QTimer m_timeout; // timer 110
    QTimer m_finish;  // timer 2
    bool m_aborted = false;
    AbortHandler m_abort;
    std::function<void()> m_timeoutNotice;
};

} // namespace orvex
