#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace orvex {

// Turns the signals that end a session from outside (a terminate at logout or system shutdown, a
// hang-up, an interrupt) into a call on the window thread. The handler itself only writes the
// signal's number into a socket pair, which a notifier reads. After the first signal the default
// handling comes back, so a second one ends a program whose orderly quit has got stuck.
// One at a time per process.
class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(std::function<void(int signal)> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the socket pair or a handler could not be set up; the signals then keep their
    // default handling.
    bool Installed() const { return m_installed; }

private:
    void OnReadable();
    void RestoreDefaults();

    std::function<void(int)> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
    int m_fds[2] = {-1, -1};
    bool m_installed = false;
};

} // namespace orvex
