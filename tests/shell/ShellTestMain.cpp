// The shell tests run real widgets: one QApplication for the process, on the offscreen platform,
// with settings and application data in a throw-away folder so no test touches a user's.

#include "shell/Theme.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

namespace {
// The offscreen platform says so whenever a window is raised or sized; that is not news.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support")))
        return;
    qt_message_output(type, context, message);
}
} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(QuietMessages);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    // Local sockets and temporary files of the run stay in the throw-away folder.
    QDir().mkpath(home.path() + "/tmp");
    qputenv("TMPDIR", (home.path() + "/tmp").toLocal8Bit());
    qputenv("ORVEX_INSTANCE_KEY", QByteArray("test-") + QByteArray::number(QCoreApplication::applicationPid()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path() + "/config");

    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvex"));
    orvex::ApplyApplicationLook(app);
    return RUN_ALL_TESTS();
}
