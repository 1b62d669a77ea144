#include "shell/Reconnector.h"

#include "link/ConnectResult.h"

#include <algorithm>
#include <utility>

namespace orvex {

CReconnector::CReconnector(Attempt attempt, QObject* parent)
    : QObject(parent), m_attempt(std::move(attempt)), m_delays(DefaultDelaysMs()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CReconnector::TryNow);
}

std::vector<int> CReconnector::DefaultDelaysMs() {
    return {kReconnectDelaysMs.begin(), kReconnectDelaysMs.end()};
}

void CReconnector::SetDelaysMs(std::vector<int> delays) {
    if (!delays.empty())
        m_delays = std::move(delays);
}

void CReconnector::Remember(const QString& address, uint16_t port) {
    m_address = address;
    m_port = port;
}

void CReconnector::Start() {
    if (m_active || m_attempting || !HasAddress())
        return;
    m_active = true;
    // The last delay repeats for as long as it takes.
    const int delay = m_delays[std::min(m_next, m_delays.size() - 1)];
    m_next = std::min(m_next + 1, m_delays.size() - 1);
    m_timer.start(delay);
}

void CReconnector::Stop() {
    m_timer.stop();
    m_active = false;
    m_attempting = false;
    m_next = 0;
}

void CReconnector::Confirm() {
    m_next = 0;
}

int CReconnector::SecondsLeft() const {
    if (!m_active)
        return 0;
    const int ms = std::max(0, m_timer.remainingTime());
    return (ms + 999) / 1000;
}

int CReconnector::MsToNextSecond() const {
    if (!m_active)
        return 0;
    const int ms = std::max(1, m_timer.remainingTime());
    return (ms - 1) % 1000 + 1;
}

void CReconnector::TryNow() {
    if (!m_active)
        return;
    m_active = false;
    m_attempting = true;
    ++m_attempts;
    if (m_attempt)
        m_attempt(m_address, m_port);
    else
        AttemptFinished(false);
}

void CReconnector::AttemptFinished(bool opened) {
    if (!m_attempting)
        return;
    // Settled before anyone hears of it: a listener may open a modal dialog, and the schedule must
    // be able to start again from inside it.
    m_attempting = false;
    if (!opened)
        Start();
    emit attemptMade(opened);
}

} // namespace orvex
