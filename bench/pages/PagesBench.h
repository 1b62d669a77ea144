#pragma once

// The editor as the program starts it, offscreen, for measuring the editing pages: the pages are
// registered, the application and its main window are up, and nothing is connected.

#include "editors/EditorPages.h"
#include "shell/OrvexApp.h"
#include "shell/OrvexView.h"

#include <QApplication>
#include <QSettings>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace orvex::bench {

// One editor per benchmark executable; the benchmarks share it.
inline COrvexv13App& Editor() {
    static std::unique_ptr<COrvexv13App> app = [] {
        auto editor = std::make_unique<COrvexv13App>();
        COrvexv13App::Options options;
        options.singleInstance = false;
        options.watchDevices = false;
        if (!editor->InitInstance(options))
            std::abort();
        QApplication::processEvents();
        return editor;
    }();
    return *app;
}

inline COrvexv13View& View() {
    return *Editor().View();
}

} // namespace orvex::bench

// main() of a page benchmark: an offscreen QApplication with its own settings, the pages registered.
#define ORVEX_PAGES_BENCH_MAIN()                                                                                       \
    int main(int argc, char** argv) {                                                                                  \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                                       \
        QApplication qapp(argc, argv);                                                                                 \
        QCoreApplication::setOrganizationName(QStringLiteral("orvex-bench"));                                          \
        QSettings::setDefaultFormat(QSettings::IniFormat);                                                             \
        orvex::RegisterEditorPages();                                                                                  \
        ::benchmark::Initialize(&argc, argv);                                                                          \
        ::benchmark::RunSpecifiedBenchmarks();                                                                         \
        ::benchmark::Shutdown();                                                                                       \
        return 0;                                                                                                      \
    }
