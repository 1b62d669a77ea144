#include "model/EqFit.h"

#include "model/FilterDesign.h"

#include <nlopt.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvex {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kGridPerOctave = 24;
constexpr double kGreedyStopDb = 0.5; // deviations this small are left to the refinement

struct Grid {
    std::vector<double> freq;
    std::vector<double> phi;    // sin^2(w/2), as SectionMagnitudeDb writes |H|^2
    std::vector<double> wanted; // target - measurement: what the equaliser should add
};

Grid MakeGrid(const Measurement& m, const Measurement& target, double lo, double hi) {
    Grid g;
    const int steps = std::max(2, static_cast<int>(std::ceil(std::log2(hi / lo) * kGridPerOctave)));
    for (int i = 0; i <= steps; ++i) {
        const double f = lo * std::pow(hi / lo, static_cast<double>(i) / steps);
        const double s = std::sin(f * 2.0 * kPi / kDspSampleRate * 0.5);
        g.freq.push_back(f);
        g.phi.push_back(s * s);
        g.wanted.push_back(InterpolateLevelDb(target, f) - InterpolateLevelDb(m, f));
    }
    return g;
}

// SectionMagnitudeDb with sin^2(w/2) given.
double MagnitudeDb(const SectionCoefficients& c, double phi) {
    const double num = (c.b0 + c.b1 + c.b2) * (c.b0 + c.b1 + c.b2) -
                       4.0 * (c.b0 * c.b1 + 4.0 * c.b0 * c.b2 + c.b1 * c.b2) * phi + 16.0 * c.b0 * c.b2 * phi * phi;
    const double den = (1.0 + c.a1 + c.a2) * (1.0 + c.a1 + c.a2) - 4.0 * (c.a1 + 4.0 * c.a2 + c.a1 * c.a2) * phi +
                       16.0 * c.a2 * phi * phi;
    return 10.0 * std::log10(num / den);
}

struct Problem {
    const Grid* grid = nullptr;
    std::vector<int> types;         // per band
    std::vector<double> fixedCurve; // response of the bands not being optimised
    std::vector<double> scratch;
};

void AddBand(std::vector<double>& curve, const Grid& g, int type, double f, double gain, double q) {
    const SectionCoefficients c = DesignSection(type, gain, f, q, 0.0, kDspSampleRate);
    for (size_t i = 0; i < curve.size(); ++i)
        curve[i] += MagnitudeDb(c, g.phi[i]);
}

// x holds log2(f), gain, ln(Q) per band.
double Objective(unsigned n, const double* x, double*, void* data) {
    Problem& p = *static_cast<Problem*>(data);
    p.scratch = p.fixedCurve;
    for (unsigned b = 0; b < n / 3; ++b)
        AddBand(p.scratch, *p.grid, p.types[b], std::exp2(x[3 * b]), x[3 * b + 1], std::exp(x[3 * b + 2]));
    double sum = 0.0;
    for (size_t i = 0; i < p.scratch.size(); ++i) {
        const double e = p.scratch[i] - p.grid->wanted[i];
        sum += e * e;
    }
    const double value = sum / static_cast<double>(p.scratch.size());
    return std::isfinite(value) ? value : 1e12;
}

struct Bounds {
    std::vector<double> lo, hi;
};

// Refines x within the bounds; returns the objective at the result.
double Optimise(Problem& p, std::vector<double>& x, const Bounds& bounds, int maxEval, double maxSeconds) {
    nlopt_opt opt = nlopt_create(NLOPT_LN_BOBYQA, static_cast<unsigned>(x.size()));
    nlopt_set_lower_bounds(opt, bounds.lo.data());
    nlopt_set_upper_bounds(opt, bounds.hi.data());
    nlopt_set_min_objective(opt, Objective, &p);
    nlopt_set_maxeval(opt, maxEval);
    nlopt_set_maxtime(opt, maxSeconds);
    nlopt_set_ftol_rel(opt, 1e-6);
    std::vector<double> step(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        step[i] = std::min(0.25, (bounds.hi[i] - bounds.lo[i]) / 4.0);
    nlopt_set_initial_step(opt, step.data());
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = std::clamp(x[i], bounds.lo[i], bounds.hi[i]);
    double value = 0.0;
    std::vector<double> start = x;
    if (nlopt_optimize(opt, x.data(), &value) < 0) {
        x = start; // a failed run keeps the start, which lies within the bounds
        value = Objective(static_cast<unsigned>(x.size()), x.data(), nullptr, &p);
    }
    nlopt_destroy(opt);
    return value;
}

EqBand Quantise(int type, double f, double gain, double q, const FitOptions& o) {
    EqBand band;
    band.type = type;
    band.freqHz = std::clamp(static_cast<int>(std::lround(f)), kMinBandFreqHz, kMaxBandFreqHz);
    band.gainDb = EqGainFromCode(EqGainCode(static_cast<float>(std::clamp(gain, -o.maxCutDb, o.maxBoostDb))));
    // Round to the 0.1 dB code inward so that rounding never crosses a limit.
    if (band.gainDb > o.maxBoostDb + 1e-6)
        band.gainDb = EqGainFromCode(static_cast<uint16_t>(EqGainCode(band.gainDb) - 1));
    if (band.gainDb < -o.maxCutDb - 1e-6)
        band.gainDb = EqGainFromCode(static_cast<uint16_t>(EqGainCode(band.gainDb) + 1));
    band.q = static_cast<float>(std::round(std::clamp(q, o.minQ, o.maxQ) * 1000.0) / 1000.0);
    if (band.q * 1000.0f < static_cast<float>(o.minQ * 1000.0))
        band.q = static_cast<float>(std::ceil(o.minQ * 1000.0) / 1000.0);
    return band;
}

} // namespace

FitResidual ComputeResidual(const Measurement& response, const Measurement& target, std::span<const EqBand> bands,
                            double loHz, double hiHz) {
    FitResidual r;
    if (!(loHz > 0.0) || !(hiHz > loHz))
        return r;
    const Grid g = MakeGrid(response, target, loHz, hiHz);
    double sum = 0.0;
    for (size_t i = 0; i < g.freq.size(); ++i) {
        const double e = EqResponseDb(bands, g.freq[i]) - g.wanted[i];
        sum += e * e;
        r.peakDb = std::max(r.peakDb, std::abs(e));
    }
    r.rmsDb = std::sqrt(sum / static_cast<double>(g.freq.size()));
    return r;
}

FitResult FitEqualiser(const Measurement& measurement, const Measurement& target, const FitOptions& o) {
    FitResult result;
    const double lo = std::max(o.loHz, static_cast<double>(kMinBandFreqHz));
    const double hi = std::min(o.hiHz, static_cast<double>(kMaxBandFreqHz));
    if (measurement.Empty() || !(hi > lo) || o.bandCount <= 0 || !(o.maxBoostDb >= 0.0) || !(o.maxCutDb >= 0.0) ||
        o.maxBoostDb > kMaxBandGainDb || o.maxCutDb > -kMinBandGainDb || !(o.minQ >= kMinBandQ) ||
        !(o.maxQ >= o.minQ) || o.maxQ > kMaxPeakingQ) {
        result.message = "the range or the limits are not usable";
        return result;
    }
    const Grid grid = MakeGrid(measurement, target, lo, hi);
    result.before = ComputeResidual(measurement, target, {}, lo, hi);

    struct Band {
        int type;
        double x[3];
    };
    std::vector<Band> chosen;
    std::vector<double> current(grid.freq.size(), 0.0);

    // Greedy: a band at the largest remaining deviation, shaped by its width, refined on its own.
    for (int k = 0; k < o.bandCount; ++k) {
        size_t peak = 0;
        double peakErr = 0.0;
        for (size_t i = 0; i < grid.freq.size(); ++i) {
            double e = grid.wanted[i] - current[i];
            // A dip the boost limit cannot fill is not worth a band.
            if (e > 0.0)
                e = std::min(e, o.maxBoostDb);
            if (std::abs(e) > std::abs(peakErr)) {
                peakErr = e;
                peak = i;
            }
        }
        if (std::abs(peakErr) < kGreedyStopDb)
            break;
        size_t left = peak, right = peak;
        auto err = [&](size_t i) { return grid.wanted[i] - current[i]; };
        while (left > 0 && std::abs(err(left)) > std::abs(peakErr) / 2 && err(left) * peakErr > 0)
            --left;
        while (right + 1 < grid.freq.size() && std::abs(err(right)) > std::abs(peakErr) / 2 && err(right) * peakErr > 0)
            ++right;
        const double octaves = std::max(std::log2(grid.freq[right] / grid.freq[left]), 0.05);
        const double span = std::exp2(octaves);
        const double gain = std::clamp(peakErr, -o.maxCutDb, o.maxBoostDb);
        // A peaking band centred on the deviation; where the deviation runs into an end of the range a
        // shelf cornered at its inner edge is tried as well, and the better of the two is kept.
        std::vector<Band> candidates = {
            {eqtype::Peaking, {std::log2(grid.freq[peak]), gain, std::log(std::sqrt(span) / (span - 1.0))}}};
        if (o.allowShelves && left == 0)
            candidates.push_back({eqtype::LowShelf, {std::log2(grid.freq[right]), gain, std::log(0.707)}});
        if (o.allowShelves && right + 1 == grid.freq.size())
            candidates.push_back({eqtype::HighShelf, {std::log2(grid.freq[left]), gain, std::log(0.707)}});
        Band best{};
        double bestValue = std::numeric_limits<double>::infinity();
        for (Band& band : candidates) {
            Problem p{&grid, {band.type}, current, {}};
            std::vector<double> x(band.x, band.x + 3);
            const double qMax = std::min(o.maxQ, BandQLimit(band.type));
            Bounds b{{std::log2(lo), -o.maxCutDb, std::log(o.minQ)},
                     {std::log2(hi), o.maxBoostDb, std::log(std::max(o.minQ, qMax))}};
            const double value = Optimise(p, x, b, 200, o.maxSeconds / 4.0 / static_cast<double>(candidates.size()));
            if (value < bestValue) {
                bestValue = value;
                best = {band.type, {x[0], x[1], x[2]}};
            }
        }
        AddBand(current, grid, best.type, std::exp2(best.x[0]), best.x[1], std::exp(best.x[2]));
        chosen.push_back(best);
    }

    // Joint refinement of every chosen band.
    if (!chosen.empty()) {
        Problem p{&grid, {}, std::vector<double>(grid.freq.size(), 0.0), {}};
        std::vector<double> x;
        Bounds b;
        for (const Band& band : chosen) {
            p.types.push_back(band.type);
            x.insert(x.end(), band.x, band.x + 3);
            const double qMax = std::min(o.maxQ, BandQLimit(band.type));
            b.lo.insert(b.lo.end(), {std::log2(lo), -o.maxCutDb, std::log(o.minQ)});
            b.hi.insert(b.hi.end(), {std::log2(hi), o.maxBoostDb, std::log(std::max(o.minQ, qMax))});
        }
        Optimise(p, x, b, o.maxEvaluations, o.maxSeconds);
        for (size_t i = 0; i < chosen.size(); ++i)
            std::copy(x.begin() + static_cast<long>(3 * i), x.begin() + static_cast<long>(3 * i + 3), chosen[i].x);
    }

    std::sort(chosen.begin(), chosen.end(), [](const Band& a, const Band& b) { return a.x[0] < b.x[0]; });
    for (const Band& band : chosen)
        result.bands.push_back(Quantise(band.type, std::exp2(band.x[0]), band.x[1], std::exp(band.x[2]), o));
    while (static_cast<int>(result.bands.size()) < o.bandCount)
        result.bands.push_back(EqBand{0.0f, 1000, 1.0f, eqtype::Off});
    result.after = ComputeResidual(measurement, target, result.bands, lo, hi);
    result.ok = true;
    return result;
}

} // namespace orvex
