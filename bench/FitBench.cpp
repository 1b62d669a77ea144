#include "model/EqFit.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

using namespace orvex;

// A 1/48-octave measurement of a room with six modes, fitted with nine bands.
void BM_NineBandFit(benchmark::State& state) {
    const std::vector<EqBand> room = {{9.0f, 48, 6.0f, eqtype::Peaking},    {6.0f, 95, 3.0f, eqtype::Peaking},
                                      {-5.0f, 160, 2.0f, eqtype::Peaking},  {4.0f, 420, 1.5f, eqtype::Peaking},
                                      {-3.0f, 2400, 1.0f, eqtype::Peaking}, {3.0f, 7000, 2.5f, eqtype::Peaking}};
    Measurement m;
    int i = 0;
    for (double f = 20.0; f <= 20000.0; f *= std::exp2(1.0 / 48.0), ++i) {
        m.freqHz.push_back(f);
        m.levelDb.push_back(80.0 + EqResponseDb(room, f) + 0.3 * std::sin(i * 0.7));
    }
    m = NormaliseMeasurement(m);
    FitOptions options;
    options.bandCount = 9;
    FitResult result;
    for (auto _ : state) {
        result = FitEqualiser(m, {}, options);
        benchmark::DoNotOptimize(result.bands.data());
    }
    state.counters["rms_before"] = result.before.rmsDb;
    state.counters["rms_after"] = result.after.rmsDb;
    state.counters["peak_after"] = result.after.peakDb;
}
BENCHMARK(BM_NineBandFit)->Unit(benchmark::kMillisecond);

} // namespace
