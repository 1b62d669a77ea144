#include "model/CoefficientEncoding.h"
#include "model/EqPaths.h"
#include "model/FilterDesign.h"

#include <benchmark/benchmark.h>

#include <array>

namespace {

using namespace orvex;

// One band edit as the panel does it: design the section and sample its 512-point curve.
void BM_DesignAndBandCurve(benchmark::State& state) {
    CurveBand band;
    band.type = eqtype::Peaking;
    band.freqHz = 1000.0f;
    band.gainDb = 6.0f;
    band.q = 1.41f;
    const CurveAxis axis = MainPanelAxis(760);
    float gain = 6.0f;
    for (auto _ : state) {
        band.gainDb = gain; // a drag changes the band each time
        gain = gain > 12.0f ? -12.0f : gain + 0.1f;
        benchmark::DoNotOptimize(ComputeBandCurve(band, axis));
        benchmark::DoNotOptimize(band.curve.data());
    }
}
BENCHMARK(BM_DesignAndBandCurve);

// The total curve of an output path: 13 bands, three of them the hidden crossover sections.
void BM_SumBandCurves13(benchmark::State& state) {
    std::array<CurveBand, kOutputEqBandCount> bands{};
    const CurveAxis axis = MainPanelAxis(760);
    for (size_t i = 0; i < bands.size(); ++i) {
        bands[i].freqHz = 31.0f * static_cast<float>(1u << (i % 10));
        bands[i].gainDb = static_cast<float>(i) - 6.0f;
        ComputeBandCurve(bands[i], axis);
    }
    for (auto _ : state) {
        BandCurve total = SumBandCurves(bands, kOutputEqBandCount);
        benchmark::DoNotOptimize(total.data());
    }
}
BENCHMARK(BM_SumBandCurves13);

// Design and encode one band for the wire.
void BM_BandWords(benchmark::State& state) {
    const EqBandBytes record = PackEqBand(EqBand{4.5f, 1200, 2.0f, eqtype::HighShelf});
    for (auto _ : state) {
        benchmark::DoNotOptimize(BandWords(BandFromRecord(record)));
    }
}
BENCHMARK(BM_BandWords);

} // namespace
