// What a user waits for when the editor starts, and what it holds in memory once every page has been
// looked at. The editor is started in this process the way the program's main() starts it (offscreen),
// so each figure is for one start: run the executable more than once to see the spread.
//
//   first_paint_ms   process start (the kernel's start time) to the main window's first paint
//   from_main_ms     the same from main(), without loading the libraries
//   cpu_ms           processor time the process used until then (what a loaded machine cannot inflate)
//   rss_MB, hwm_MB   resident memory now and at its peak, after every page and tool window was shown

#include "editors/EditorPages.h"
#include "shell/ControlIds.h"
#include "shell/MainFrame.h"
#include "shell/OrvexApp.h"
#include "shell/OrvexView.h"
#include "shell/Page.h"
#include "shell/Theme.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QSettings>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

namespace orvex::bench {
namespace {

QElapsedTimer g_sinceMain;
std::unique_ptr<COrvexv13App> g_app;

// Seconds since this process was started, from the kernel's record of its start (clock ticks since
// boot) and the boot-time clock.
double SecondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name, which may hold spaces, start after the last ')'.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int i = 3; i <= 22 && rest >> field; ++i) {
        if (i == 22)
            startTicks = std::stoull(field);
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowSeconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
    return nowSeconds - static_cast<double>(startTicks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double StatusMegabytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::stod(line.substr(std::string(key).size())) / 1024.0;
    }
    return 0.0;
}

// Notes the first paint of the main window.
class FirstPaintWatch : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!painted && event->type() == QEvent::Paint && g_app && g_app->MainFrame() != nullptr) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->window() == g_app->MainFrame())
                painted = true;
        }
        return false;
    }
};

void BM_StartToFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        FirstPaintWatch watch;
        qApp->installEventFilter(&watch);
        g_app = std::make_unique<COrvexv13App>();
        COrvexv13App::Options options;
        options.singleInstance = false;
        options.watchDevices = false;
        if (!g_app->InitInstance(options)) {
            state.SkipWithError("the editor did not start");
            return;
        }
        while (!watch.painted)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double sinceStart = SecondsSinceProcessStart();
        const double sinceMain = static_cast<double>(g_sinceMain.nsecsElapsed()) * 1e-9;
        timespec cpu{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
        qApp->removeEventFilter(&watch);
        state.SetIterationTime(sinceStart);
        state.counters["first_paint_ms"] = sinceStart * 1e3;
        state.counters["from_main_ms"] = sinceMain * 1e3;
        state.counters["cpu_ms"] = static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) * 1e-6;
    }
}
BENCHMARK(BM_StartToFirstPaint)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// Every page in each of its views and every tool window of the editing pages, shown once and painted.
void BM_EveryPageOpenedOnce(benchmark::State& state) {
    if (!g_app) {
        state.SkipWithError("the editor was not started");
        return;
    }
    COrvexv13View& view = *g_app->View();
    for (auto _ : state) {
        view.SwitchToPage(PageKind::Music);
        for (int v = 0; v < 3; ++v) {
            view.CurrentPage()->SetChannelView(v);
            view.CurrentPage()->RefreshFromStore();
            QApplication::processEvents();
        }
        for (int kind = 0; kind < 4; ++kind) {
            view.SwitchToPage(PageKind::Efx, kind);
            QApplication::processEvents();
        }
        for (int channel = 0; channel < 8; ++channel) {
            view.SwitchToPage(PageKind::Output, channel);
            QApplication::processEvents();
        }
        for (PageKind kind : {PageKind::Delay, PageKind::Ssvc, PageKind::Comp}) {
            view.SwitchToPage(kind);
            QApplication::processEvents();
        }
        for (int t : {tmpl::MachineSettings, tmpl::MusicInput, tmpl::Features}) {
            g_app->ShowToolDialog(t);
            QApplication::processEvents();
        }
        view.SwitchToPage(PageKind::Music);
        QApplication::processEvents();
    }
    state.counters["rss_MB"] = StatusMegabytes("VmRSS:");
    state.counters["hwm_MB"] = StatusMegabytes("VmHWM:");
}
BENCHMARK(BM_EveryPageOpenedOnce)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace orvex::bench

int main(int argc, char** argv) {
    orvex::bench::g_sinceMain.start();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("orvex"));
    QCoreApplication::setOrganizationName(QStringLiteral("orvex-bench"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    orvex::ApplyApplicationLook(qapp);
    orvex::RegisterEditorPages();
    ::benchmark::Initialize(&argc, argv);
    ::benchmark::RunSpecifiedBenchmarks();
    ::benchmark::Shutdown();
    orvex::bench::g_app.reset();
    return 0;
}
