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
// processor arriving, closing the editor). A reopened link is read in full, as on any connect; edits
// made meanwhile are sent again only when the user says so (OfflineEdits). Attempts run while the
// window goes on: the caller reports each one's end with AttemptFinished.
class CReconnector : public QObject {
    Q_OBJECT
public:
    // Starts one attempt at the remembered address; its end is reported with AttemptFinished, at
    // once or later.
    using Attempt = std::function<void(const QString& address, uint16_t port)>;

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
    // The attempt started last has ended. A failure counts down to the next one; a report after a
    // Stop, or with no attempt running, changes nothing.
    void AttemptFinished(bool opened);
    // Ends the retrying and rewinds the schedule; an attempt running now is no longer waited for.
    void Stop();
    // The reopened link was read in full: the next drop starts from the first delay again.
    void Confirm();

    // Counting down, or an attempt under way.
    bool IsActive() const { return m_active || m_attempting; }
    bool IsAttempting() const { return m_attempting; }
    // Whole seconds until the next attempt, rounded up; 0 when not counting down.
    int SecondsLeft() const;
    // Milliseconds until SecondsLeft shows the next lower number (1 to 1000); 0 when not counting down.
    int MsToNextSecond() const;
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
    size_t m_next = 0;         // index of the next delay
    bool m_active = false;     // counting down
    bool m_attempting = false; // an attempt is under way
    int m_attempts = 0;
    QTimer m_timer;
};

} // namespace orvex
