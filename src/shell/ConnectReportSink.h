#pragma once

#include "link/DeviceSession.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <utility>

namespace orvex {

// The window thread as the device session uses it. A connect attempt's thread only raises a flag of
// the attempt and asks, by name, for a call on the window thread: nothing the thread built crosses
// through Qt's event queue, so the hand-over is one the thread checks can follow. The timer watches
// a closing link's queue drain.
class ConnectReportSink final : public QObject, public SessionLoop {
    Q_OBJECT
public:
    ConnectReportSink() {
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { m_onTick(); });
    }

    void Bind(std::function<void()> onWake, std::function<void()> onTick) override {
        m_deliver = std::move(onWake);
        m_onTick = std::move(onTick);
    }
    // From any thread.
    void Wake() override { QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection); }
    void Post(std::function<void()> task) override {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    }
    void StartTicks(std::chrono::milliseconds interval) override {
        m_timer.setInterval(interval);
        m_timer.start();
    }
    void StopTicks() override { m_timer.stop(); }
    bool Ticking() const override { return m_timer.isActive(); }

private:
    Q_INVOKABLE void Deliver() { m_deliver(); }
    std::function<void()> m_deliver;
    std::function<void()> m_onTick;
    QTimer m_timer;
};

} // namespace orvex
