// orvex-gallery: renders the main window, every page and every dialog in both languages to PNG files.
// It runs the simulated processor in-process for its synchronised pictures, so it is built and tested
// but never installed: the editor itself carries no simulator.

#include "gallery/Gallery.h"
#include "editors/EditorPages.h"
#include "shell/OrvexApp.h"
#include "shell/Theme.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv) {
    // The pictures are drawn without a display unless the caller chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvex"));
    QApplication::setApplicationVersion(QString::fromLatin1(orvex::COrvexv13App::kVersion));
    orvex::ApplyApplicationLook(application);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders every page and dialog of the editor, in both languages, to PNG files in DIR."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("DIR"), QStringLiteral("The folder the pictures are written to."));
    parser.process(application);
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() != 1)
        parser.showHelp(2);

    orvex::RegisterEditorPages();
    return orvex::RunGallery(arguments.front());
}
