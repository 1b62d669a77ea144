#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <QtGlobal>

namespace orvex::test {

// The user's home, and with it the documents folder the editor keeps the plugs' key files under,
// moved into a temporary folder for as long as this lives.
class TemporaryDocuments {
public:
    TemporaryDocuments() : m_oldHome(qgetenv("HOME")), m_oldConfig(qgetenv("XDG_CONFIG_HOME")) {
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_home.path() + QStringLiteral("/.config")).toUtf8());
    }
    ~TemporaryDocuments() {
        qputenv("HOME", m_oldHome);
        if (m_oldConfig.isEmpty())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }
    TemporaryDocuments(const TemporaryDocuments&) = delete;
    TemporaryDocuments& operator=(const TemporaryDocuments&) = delete;

    QString Path() const { return m_home.path() + QStringLiteral("/Documents"); }

private:
    QTemporaryDir m_home;
    QByteArray m_oldHome;
    QByteArray m_oldConfig;
};

} // namespace orvex::test
