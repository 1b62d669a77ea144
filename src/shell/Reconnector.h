#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <vector>

namespace orvex {

// Brings a dropped network link back. After a link time-out, a lost connection or the host's busy
// answer it tries the last address again after 1, 2, 4, 8 and 15 s and then every 30 s, until an
// attempt opens the link or the user does something that ends it (a disconnect, a new connect, a USB
// processor arriving, closing the editor). Nothing is replayed: a reopened link is read in full, as
// on any connect, so the processor's state wins.
class CReconnector : public QObject {
    Q_OBJECT
public:
    // One attempt at the remembered address: true when the link opened.
    using Attempt = std::function<bool(const QString& address, uint16_t port)>;

    explicit CReconnector(Attempt attempt, QObject* parent = nullptr);

    // The address of the last connect the user made; retrying needs one.
    void Remember(const QString& address, uint16_t port);
    bool HasAddress() const { return !m_address.isEmpty(); }
    QString Address() const { return m_address; }
    uint16_t Port() const { return m_port; }

    // Starts counting down to the next attempt; a running countdown goes on as it is. The schedule
    // continues where the last run left it until a link has been confirmed (a busy host answers
    // every connect, and would otherwise be asked once a second for ever).
    void Start();
    // Ends the retrying and rewinds the schedule.
    void Stop();
    // The reopened link was read in full: the next drop starts from the first delay again.
    void Confirm();

    bool IsActive() const { return m_active; }
    // Whole seconds until the next attempt, rounded up; 0 when not active.
    int SecondsLeft() const;
    int Attempts() const { return m_attempts; }
    // The wait being counted down now, in ms; 0 when not active.
    int PendingDelayMs() const { return m_active ? m_timer.interval() : 0; }

    static std::vector<int> DefaultDelaysMs();
    // Tests shorten the schedule.
    void SetDelaysMs(std::vector<int> delays);

signals:
    void attemptMade(bool opened);

private:
    void TryNow();

    Attempt m_attempt;
    QString m_address;
    uint16_t m_port = 0;
    std::vector<int> m_delays;
    size_t m_next = 0; // index of the next delay
    bool m_active = false;
    int m_attempts = 0;
    QTimer m_timer;
};

} // namespace orvex
