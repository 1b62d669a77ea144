// The controls' demonstration page: an output-path graph with its band strip, a second output path with
// a selected crossover and its band grid, a bypassed music graph, the compact graph, sliders, meters and
// image buttons. `--render DIR` writes the page in both languages at 100 % and 200 % as PNG files
// (demo-zh-1x.png, demo-en-2x.png, ...); without it the page opens in a window.

#include "controls/ControlsDemoPage.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QWidget>

#include <cstdio>

using namespace orvex;

int main(int argc, char** argv) {
    QString renderDir;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String("--render")) {
            renderDir = QString::fromLocal8Bit(argv[i + 1]);
        }
    }
    if (!renderDir.isEmpty() && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    DemoPage d = BuildDemoPage();
    if (renderDir.isEmpty()) {
        ApplyDemoLanguage(d, 0);
        d.page->show();
        return app.exec();
    }

    QDir().mkpath(renderDir);
    int failures = 0;
    for (int language : {0, 1}) {
        ApplyDemoLanguage(d, language);
        for (int scale : {1, 2}) {
            const QImage image = RenderDemoPage(d, scale);
            const QString file =
                QDir(renderDir).filePath(QStringLiteral("demo-%1-%2x.png").arg(language == 0 ? "zh" : "en").arg(scale));
            if (!image.save(file)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                ++failures;
            } else {
                std::printf("%s\n", qPrintable(file));
            }
        }
    }
    delete d.page;
    return failures == 0 ? 0 : 1;
}
