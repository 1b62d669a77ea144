// One drag step of the equaliser graph on a 13-band output path at 1000 x 420 pixels: the band update
// from a mouse move, the curve recomputation and a full repaint into an offscreen image. With argument 1
// the path carries a room measurement (1/48 octave), so the step also redraws the measured and the
// predicted curve.

#include "widgets/EqOverlay.h"
#include "widgets/EqPanel.h"
#include "model/EqPaths.h"
#include "model/Measurement.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>

using namespace orvex;

namespace {

void BM_EqPanelDragStep(benchmark::State& state) {
    if (state.range(0) != 0) {
        const std::vector<EqBand> room = {{8.0f, 50, 5.0f, eqtype::Peaking},
                                          {-6.0f, 180, 3.0f, eqtype::Peaking},
                                          {-3.0f, 2500, 1.2f, eqtype::Peaking}};
        Measurement m;
        for (double f = 20.0; f <= 20000.0; f *= std::exp2(1.0 / 48.0)) {
            m.freqHz.push_back(f);
            m.levelDb.push_back(80.0 + EqResponseDb(room, f));
        }
        CEqOverlays::Instance().SetMeasurement(eqid::FirstOutput, NormaliseMeasurement(m), QStringLiteral("bench"));
    } else {
        CEqOverlays::Instance().ClearAll();
    }
    CEqPanel panel;
    panel.resize(1000, 420);
    panel.SetEqIdentity(eqid::FirstOutput);
    panel.SetBandCount(kOutputEqBandCount);
    for (int i = 0; i < 9; ++i) {
        panel.LoadBand(i, {static_cast<float>(i % 2 == 0 ? 3 : -3), 40 * (1 << i), 1.41f, eqtype::Peaking});
    }
    panel.LoadBand(kOutputCrossoverBand, {0.0f, 80, 0.707f, eqtype::HighPass});
    panel.SetCrossoverFamily(kOutputCrossoverBand, 3);

    const QPointF marker = panel.PointFor(640.0, 3.0); // band 4
    QMouseEvent press(QEvent::MouseButtonPress, marker, marker, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&panel, &press);
    if (panel.SelectedBand() != 4) {
        state.SkipWithError("the press did not grab band 4");
        return;
    }
    const float startHz = panel.Band(4).freqHz;

    QImage image(panel.size(), QImage::Format_ARGB32_Premultiplied);
    int step = 0;
    for (auto _ : state) {
        const QPointF at = marker + QPointF((step % 40) - 20, ((step * 7) % 30) - 15);
        ++step;
        QMouseEvent move(QEvent::MouseMove, at, at, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&panel, &move);
        QPainter p(&image);
        panel.Render(p);
        p.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    if (panel.Band(4).freqHz == startHz) {
        state.SkipWithError("the drag did not move band 4");
    }
    if (panel.HasOverlay() != (state.range(0) != 0)) {
        state.SkipWithError("the overlay is not what the case asks for");
    }
}
BENCHMARK(BM_EqPanelDragStep)
    ->ArgName("overlay")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
