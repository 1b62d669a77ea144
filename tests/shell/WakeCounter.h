#pragma once

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <string>

namespace orvex::test {

// Counts the paint events of every widget of the main window.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* window) : m_window(window) { qApp->installEventFilter(this); }
    ~PaintCounter() override { qApp->removeEventFilter(this); }
    int Count() const { return m_count; }
    QStringList Painted() const { return m_painted; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->window() == m_window) {
                ++m_count;
                m_painted << QString::fromLatin1(widget->metaObject()->className());
            }
        }
        return false;
    }

private:
    QWidget* m_window;
    int m_count = 0;
    QStringList m_painted;
};

// What wakes the window thread while the real event loop runs: the timer and queued-call events
// delivered to its objects, the paints of the main window, and the kernel's count of the thread's
// voluntary context switches (each sleep of the loop that something ended).
class WakeCounter : public QObject {
public:
    explicit WakeCounter(QWidget* window) : m_paints(window) { qApp->installEventFilter(this); }
    ~WakeCounter() override { qApp->removeEventFilter(this); }

    // Runs the event loop for `ms` and counts what happened meanwhile.
    void Run(int ms) {
        const long before = VoluntarySwitches();
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        m_counting = true;
        loop.exec();
        m_counting = false;
        m_switches = VoluntarySwitches() - before;
    }
    int Wakeups() const { return m_events; }
    long Switches() const { return m_switches; }
    int Paints() const { return m_paints.Count(); }
    std::string Why() const {
        return (m_woken.join(QLatin1Char(' ')) + QStringLiteral(" | painted: ") +
                m_paints.Painted().join(QLatin1Char(' ')))
            .toStdString();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (m_counting && (type == QEvent::Timer || type == QEvent::ZeroTimerEvent || type == QEvent::MetaCall)) {
            ++m_events;
            m_woken << QString::fromLatin1(watched->metaObject()->className());
        }
        return false;
    }

private:
    static long VoluntarySwitches() {
        QFile status(QStringLiteral("/proc/thread-self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:"))
                return line.mid(24).trimmed().toLong();
        }
        return 0;
    }

    PaintCounter m_paints;
    bool m_counting = false;
    int m_events = 0;
    long m_switches = 0;
    QStringList m_woken;
};

} // namespace orvex::test
