#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

namespace orvex {

// One editor per user logon. The first instance listens on a local socket named after
// "Calyx V1.0"; a later one connects, asks the first to raise its main window and ends.
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

    Outcome Acquire();

    // What the first instance does when asked; returns true when it had a window to raise.
    void SetRaiseHandler(std::function<bool()> handler) { m_raise = std::move(handler); }

    QString Name() const { return m_name; }

private:
    void OnNewConnection();
    bool AskRunningInstance(Outcome& outcome);

    QString m_name;
    QLocalServer* m_server = nullptr;
    std::function<bool()> m_raise;
};

} // namespace orvex
