#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace orvex {

// One editor per user logon. The first instance listens on a local socket named after
// "Calyx V1.0"; a later one connects, asks the first to raise its main window (and to connect to
// the address it was started with, if any) and ends.
class SingleInstanceGuard : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        First,         // we are the only instance; keep running
        RaisedOther,   // another instance raised its window; end quietly
        OtherNoWindow, // another instance answered but has no main window
        CannotCreate,  // the guard itself could not be set up
    };

    // `name` defaults to "Calyx V1.0" plus the user's id; ORVEX_INSTANCE_KEY appends a suffix
    // (tests run their instances under their own name, never the user's).
    explicit SingleInstanceGuard(QString name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstanceGuard() override;

    static QString DefaultName();

    // `connectTarget` ("HOST:PORT", may be empty) is handed to a running instance.
    Outcome Acquire(const QString& connectTarget = QString());

    // What the first instance does when asked; returns true when it had a window to raise.
    void SetRaiseHandler(std::function<bool()> handler) { m_raise = std::move(handler); }
    // What the first instance does with an address a later start hands over (after raising).
    void SetConnectHandler(std::function<void(const QString& host, int port)> handler) {
        m_connect = std::move(handler);
    }

    // "HOST:PORT" with a port 1..65535; false (outputs untouched) otherwise.
    static bool ParseConnectTarget(const QString& target, QString& host, int& port);

    QString Name() const { return m_name; }

private:
    void OnNewConnection();
    bool AskRunningInstance(const QByteArray& request, Outcome& outcome);

    QString m_name;
    QLocalServer* m_server = nullptr;
    std::function<bool()> m_raise;
    std::function<void(const QString& host, int port)> m_connect;
};

} // namespace orvex
