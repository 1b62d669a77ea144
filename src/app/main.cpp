// orvex: the editor and remote control of the audio processor.

#include "link/DebugSink.h"
#include "editors/EditorPages.h"
#include "shell/OrvexApp.h"
#include "shell/SingleInstanceGuard.h"
#include "shell/TerminationSignals.h"
#include "shell/Theme.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvex"));
    QApplication::setApplicationVersion(QString::fromLatin1(orvex::COrvexv13App::kVersion));
    orvex::ApplyApplicationLook(application);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Editor and remote control of the audio processor."));
    parser.addHelpOption();
    QCommandLineOption connect(QStringLiteral("connect"),
                               QStringLiteral("Connect over TCP at start-up, as the connect dialog would."),
                               QStringLiteral("HOST:PORT"));
    QCommandLineOption lang(QStringLiteral("lang"), QStringLiteral("Use this language for this run only."),
                            QStringLiteral("zh|en"));
    parser.addOption(connect);
    parser.addOption(lang);
    parser.process(application);

    orvex::RegisterEditorPages();

    orvex::COrvexv13App::Options options;
    if (parser.isSet(lang)) {
        const QString value = parser.value(lang);
        if (value != QStringLiteral("zh") && value != QStringLiteral("en")) {
            std::fprintf(stderr, "orvex: --lang takes zh or en\n");
            return 2;
        }
        options.languageOverride = value == QStringLiteral("en") ? 1 : 0;
    }
    if (parser.isSet(connect)) {
        QString host;
        int port = 0;
        options.connectTarget = parser.value(connect);
        if (!orvex::SingleInstanceGuard::ParseConnectTarget(options.connectTarget, host, port)) {
            std::fprintf(stderr, "orvex: --connect takes HOST:PORT, for example 127.0.0.1:30303\n");
            return 2;
        }
    }

    // With another editor running, the address goes to it and this start ends here.
    orvex::COrvexv13App app;
    if (!app.InitInstance(options))
        return 0;
    // A logout or system shutdown ends the editor as a quit without questions: the link says
    // goodbye and the single-instance socket is removed.
    orvex::TerminationSignals endFromOutside([&app](int signal) {
        orvex::DebugOut("Quit on signal " + std::to_string(signal) + "\n");
        app.QuitWithoutQuestions();
    });
    const int result = QApplication::exec();
    app.ExitInstance();
    return result;
}
