#include "model/EqFit.h"

#include "model/FilterDesign.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <numbers>

namespace orvex {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kGridPerOctave = 24;
constexpr double kGreedyStopDb = 0.5; // deviations this small are left to the refinement
constexpr double kDbPerNeper = 10.0 / std::numbers::ln10;
constexpr double kSlopeStep = 1e-6; // for the coefficients' slopes by each band parameter

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

// A band while it is being fitted: x holds log2(f), gain in dB and ln(Q), the
// coordinates in which the error surface is closest to round.
struct Band {
    int type = eqtype::Peaking;
    double x[3] = {};
};

SectionCoefficients Design(int type, const double* x) {
    return DesignSection(type, x[1], std::exp2(x[0]), std::exp(x[2]), 0.0, kDspSampleRate);
}

// The band's curve in dB on the grid, and when `slopes` is given its derivative
// by each of x (three runs of grid-size values). |H|^2 is num/den, both
// polynomials in phi and the coefficients, so the derivative by a coefficient
// is exact; the coefficients' own derivatives come from central differences of
// the design, which is smooth in all three parameters.
void BandCurve(const Grid& g, const Band& band, double* curve, double* slopes) {
    const SectionCoefficients c = Design(band.type, band.x);
    const size_t n = g.phi.size();
    double dc[3][5] = {};
    if (slopes != nullptr) {
        for (int p = 0; p < 3; ++p) {
            double up[3] = {band.x[0], band.x[1], band.x[2]};
            double down[3] = {band.x[0], band.x[1], band.x[2]};
            up[p] += kSlopeStep;
            down[p] -= kSlopeStep;
            const SectionCoefficients a = Design(band.type, up);
            const SectionCoefficients b = Design(band.type, down);
            const double scale = 1.0 / (2.0 * kSlopeStep);
            dc[p][0] = (a.b0 - b.b0) * scale;
            dc[p][1] = (a.b1 - b.b1) * scale;
            dc[p][2] = (a.b2 - b.b2) * scale;
            dc[p][3] = (a.a1 - b.a1) * scale;
            dc[p][4] = (a.a2 - b.a2) * scale;
        }
    }
    const double sb = c.b0 + c.b1 + c.b2;
    const double sa = 1.0 + c.a1 + c.a2;
    for (size_t i = 0; i < n; ++i) {
        const double phi = g.phi[i];
        const double num =
            sb * sb - 4.0 * (c.b0 * c.b1 + 4.0 * c.b0 * c.b2 + c.b1 * c.b2) * phi + 16.0 * c.b0 * c.b2 * phi * phi;
        const double den = sa * sa - 4.0 * (c.a1 + 4.0 * c.a2 + c.a1 * c.a2) * phi + 16.0 * c.a2 * phi * phi;
        curve[i] = 10.0 * std::log10(num / den);
        if (slopes == nullptr)
            continue;
        const double kn = kDbPerNeper / num;
        const double kd = -kDbPerNeper / den;
        const double byCoefficient[5] = {kn * (2.0 * sb - 4.0 * (c.b1 + 4.0 * c.b2) * phi + 16.0 * c.b2 * phi * phi),
                                         kn * (2.0 * sb - 4.0 * (c.b0 + c.b2) * phi),
                                         kn * (2.0 * sb - 4.0 * (4.0 * c.b0 + c.b1) * phi + 16.0 * c.b0 * phi * phi),
                                         kd * (2.0 * sa - 4.0 * (1.0 + c.a2) * phi),
                                         kd * (2.0 * sa - 4.0 * (4.0 + c.a1) * phi + 16.0 * phi * phi)};
        for (int p = 0; p < 3; ++p) {
            double s = 0.0;
            for (int k = 0; k < 5; ++k)
                s += byCoefficient[k] * dc[p][k];
            slopes[p * n + i] = s;
        }
    }
}

void AddBand(std::vector<double>& curve, const Grid& g, const Band& band) {
    std::vector<double> own(g.phi.size());
    BandCurve(g, band, own.data(), nullptr);
    for (size_t i = 0; i < curve.size(); ++i)
        curve[i] += own[i];
}

struct Limits {
    double lo[3];
    double hi[3];
};

Limits BandLimits(int type, double loHz, double hiHz, const FitOptions& o) {
    const double qMax = std::max(o.minQ, std::min(o.maxQ, BandQLimit(type)));
    return {{std::log2(loHz), -o.maxCutDb, std::log(o.minQ)}, {std::log2(hiHz), o.maxBoostDb, std::log(qMax)}};
}

// What a refinement may spend: evaluations of the curves and wall time, shared
// by every step of a fit.
struct Budget {
    int evaluations = 0;
    std::chrono::steady_clock::time_point deadline;
    bool Spent() const { return evaluations <= 0 || std::chrono::steady_clock::now() > deadline; }
};

// Bounded least squares over every parameter of `bands` (Levenberg-Marquardt; a
// parameter resting on a bound that the gradient pushes outwards is held there
// for the step, the others are clipped). `fixed` is the curve the other bands
// add; limits run parallel to bands. Returns the mean square.
class Refiner {
public:
    Refiner(const Grid& g, const std::vector<double>& fixed) : grid_(g), fixed_(fixed), m_(g.phi.size()) {}

    double Run(std::vector<Band>& bands, const std::vector<Limits>& limits, int maxIterations, Budget& budget) {
        const size_t n = 3 * bands.size();
        if (n == 0)
            return Cost(bands, false);
        std::vector<double> x(n), lo(n), hi(n);
        for (size_t b = 0; b < bands.size(); ++b)
            for (int p = 0; p < 3; ++p) {
                lo[3 * b + p] = limits[b].lo[p];
                hi[3 * b + p] = limits[b].hi[p];
                x[3 * b + p] = std::clamp(bands[b].x[p], lo[3 * b + p], hi[3 * b + p]);
            }
        Unpack(x, bands);
        double cost = Cost(bands, true);
        std::vector<Band> trial = bands;
        std::vector<double> grad(n), hess(n * n), a, rhs, step;
        std::vector<size_t> free;
        double lambda = 1e-3;
        for (int it = 0; it < maxIterations && !budget.Spent(); ++it) {
            for (size_t j = 0; j < n; ++j) {
                const double* cj = &jac_[j * m_];
                double s = 0.0;
                for (size_t i = 0; i < m_; ++i)
                    s += cj[i] * res_[i];
                grad[j] = s;
                for (size_t k = 0; k <= j; ++k) {
                    const double* ck = &jac_[k * m_];
                    double h = 0.0;
                    for (size_t i = 0; i < m_; ++i)
                        h += cj[i] * ck[i];
                    hess[j * n + k] = hess[k * n + j] = h;
                }
            }
            free.clear();
            for (size_t j = 0; j < n; ++j) {
                const bool heldLow = x[j] <= lo[j] && grad[j] > 0.0;
                const bool heldHigh = x[j] >= hi[j] && grad[j] < 0.0;
                if (!heldLow && !heldHigh)
                    free.push_back(j);
            }
            if (free.empty())
                break;
            bool accepted = false;
            double newCost = cost;
            std::vector<double> xn = x;
            while (!accepted && lambda < 1e10 && !budget.Spent()) {
                if (Solve(hess, grad, free, n, lambda, step)) {
                    xn = x;
                    for (size_t f = 0; f < free.size(); ++f) {
                        const size_t j = free[f];
                        xn[j] = std::clamp(x[j] + step[f], lo[j], hi[j]);
                    }
                    Unpack(xn, trial);
                    newCost = Cost(trial, false);
                    --budget.evaluations;
                    accepted = newCost < cost;
                }
                lambda = accepted ? std::max(lambda / 3.0, 1e-9) : lambda * 4.0;
            }
            if (!accepted)
                break;
            const double gain = cost - newCost;
            x = xn;
            Unpack(x, bands);
            cost = Cost(bands, true);
            if (gain < 1e-9 * cost + 1e-14)
                break;
        }
        return cost;
    }

    // Mean square of the residual; with slopes the Jacobian is filled too.
    double Cost(const std::vector<Band>& bands, bool slopes) {
        res_.assign(fixed_.begin(), fixed_.end());
        for (size_t i = 0; i < m_; ++i)
            res_[i] -= grid_.wanted[i];
        if (slopes)
            jac_.resize(3 * bands.size() * m_);
        own_.resize(m_);
        for (size_t b = 0; b < bands.size(); ++b) {
            BandCurve(grid_, bands[b], own_.data(), slopes ? &jac_[3 * b * m_] : nullptr);
            for (size_t i = 0; i < m_; ++i)
                res_[i] += own_[i];
        }
        double sum = 0.0;
        for (double r : res_)
            sum += r * r;
        const double value = sum / static_cast<double>(m_);
        return std::isfinite(value) ? value : std::numeric_limits<double>::infinity();
    }

private:
    static void Unpack(const std::vector<double>& x, std::vector<Band>& bands) {
        for (size_t b = 0; b < bands.size(); ++b)
            std::copy(x.begin() + static_cast<long>(3 * b), x.begin() + static_cast<long>(3 * b + 3), bands[b].x);
    }

    // (H + lambda diag H) step = -grad over the free parameters, by Cholesky.
    bool Solve(const std::vector<double>& hess, const std::vector<double>& grad, const std::vector<size_t>& free,
               size_t n, double lambda, std::vector<double>& step) {
        const size_t k = free.size();
        std::vector<double>& a = chol_;
        a.assign(k * k, 0.0);
        for (size_t r = 0; r < k; ++r)
            for (size_t c = 0; c < k; ++c)
                a[r * k + c] = hess[free[r] * n + free[c]];
        // Damping in proportion to each parameter's own curvature, with a floor for
        // a parameter that a band of no gain leaves without any.
        double largest = 0.0;
        for (size_t r = 0; r < k; ++r)
            largest = std::max(largest, a[r * k + r]);
        const double floor = 1e-9 * largest + 1e-15;
        for (size_t r = 0; r < k; ++r)
            a[r * k + r] += lambda * std::max(a[r * k + r], floor) + floor;
        for (size_t c = 0; c < k; ++c) {
            double d = a[c * k + c];
            for (size_t j = 0; j < c; ++j)
                d -= a[c * k + j] * a[c * k + j];
            if (!(d > 0.0))
                return false;
            d = std::sqrt(d);
            a[c * k + c] = d;
            for (size_t r = c + 1; r < k; ++r) {
                double s = a[r * k + c];
                for (size_t j = 0; j < c; ++j)
                    s -= a[r * k + j] * a[c * k + j];
                a[r * k + c] = s / d;
            }
        }
        step.assign(k, 0.0);
        for (size_t r = 0; r < k; ++r) {
            double s = -grad[free[r]];
            for (size_t j = 0; j < r; ++j)
                s -= a[r * k + j] * step[j];
            step[r] = s / a[r * k + r];
        }
        for (size_t r = k; r-- > 0;) {
            double s = step[r];
            for (size_t j = r + 1; j < k; ++j)
                s -= a[j * k + r] * step[j];
            step[r] = s / a[r * k + r];
        }
        return true;
    }

    const Grid& grid_;
    const std::vector<double>& fixed_;
    size_t m_;
    std::vector<double> res_, jac_, own_, chol_;
};

struct Fitter {
    const Grid& grid;
    const FitOptions& o;
    double lo, hi;
    Budget budget;
    std::vector<double> zero = std::vector<double>(grid.freq.size(), 0.0);

    std::vector<Limits> LimitsOf(const std::vector<Band>& bands) const {
        std::vector<Limits> out;
        for (const Band& b : bands)
            out.push_back(BandLimits(b.type, lo, hi, o));
        return out;
    }

    std::vector<double> CurveOf(const std::vector<Band>& bands) const {
        std::vector<double> curve(grid.freq.size(), 0.0);
        for (const Band& b : bands)
            AddBand(curve, grid, b);
        return curve;
    }

    double Refine(std::vector<Band>& bands, int iterations) {
        Refiner r(grid, zero);
        return r.Run(bands, LimitsOf(bands), iterations, budget);
    }

    // A band at the largest deviation that `current` leaves, shaped by its width
    // and refined on its own; where the deviation runs into an end of the range a
    // shelf cornered at its inner edge is tried as well, and the better of the
    // two is kept. False when nothing is left that is worth a band.
    bool Seed(const std::vector<double>& current, Band& out) {
        size_t peak = 0;
        double peakErr = 0.0;
        auto err = [&](size_t i) { return grid.wanted[i] - current[i]; };
        for (size_t i = 0; i < grid.freq.size(); ++i) {
            double e = err(i);
            // A dip the boost limit cannot fill is not worth a band.
            if (e > 0.0)
                e = std::min(e, o.maxBoostDb);
            if (std::abs(e) > std::abs(peakErr)) {
                peakErr = e;
                peak = i;
            }
        }
        if (std::abs(peakErr) < kGreedyStopDb)
            return false;
        size_t left = peak, right = peak;
        while (left > 0 && std::abs(err(left)) > std::abs(peakErr) / 2 && err(left) * peakErr > 0)
            --left;
        while (right + 1 < grid.freq.size() && std::abs(err(right)) > std::abs(peakErr) / 2 && err(right) * peakErr > 0)
            ++right;
        const double octaves = std::max(std::log2(grid.freq[right] / grid.freq[left]), 0.05);
        const double span = std::exp2(octaves);
        const double gain = std::clamp(peakErr, -o.maxCutDb, o.maxBoostDb);
        std::vector<Band> candidates = {
            {eqtype::Peaking, {std::log2(grid.freq[peak]), gain, std::log(std::sqrt(span) / (span - 1.0))}}};
        if (o.allowShelves && left == 0)
            candidates.push_back({eqtype::LowShelf, {std::log2(grid.freq[right]), gain, std::log(0.707)}});
        if (o.allowShelves && right + 1 == grid.freq.size())
            candidates.push_back({eqtype::HighShelf, {std::log2(grid.freq[left]), gain, std::log(0.707)}});
        double bestValue = std::numeric_limits<double>::infinity();
        Refiner r(grid, current);
        for (const Band& candidate : candidates) {
            std::vector<Band> one = {candidate};
            const double value = r.Run(one, LimitsOf(one), 40, budget);
            if (value < bestValue) {
                bestValue = value;
                out = one[0];
            }
        }
        return true;
    }

    // Takes out each band in turn, starting with the one the fit misses least:
    // the others are refined to cover for it (two bands that ended close together
    // merge this way), the freed band is seeded again at the largest deviation
    // left, and all are refined together. The first trial that lowers the error
    // is kept and the round starts again.
    double Reseed(std::vector<Band>& bands, double cost) {
        int trials = 2 * static_cast<int>(bands.size());
        bool improved = true;
        while (improved && trials > 0 && !budget.Spent()) {
            improved = false;
            const std::vector<double> curve = CurveOf(bands);
            std::vector<std::pair<double, size_t>> order;
            for (size_t b = 0; b < bands.size(); ++b) {
                std::vector<double> without = curve;
                std::vector<double> own(grid.freq.size());
                BandCurve(grid, bands[b], own.data(), nullptr);
                double sum = 0.0;
                for (size_t i = 0; i < without.size(); ++i) {
                    const double e = without[i] - own[i] - grid.wanted[i];
                    sum += e * e;
                }
                order.emplace_back(sum, b);
            }
            std::sort(order.begin(), order.end());
            for (const auto& [missed, b] : order) {
                if (trials-- <= 0 || budget.Spent())
                    break;
                std::vector<Band> trial = bands;
                trial.erase(trial.begin() + static_cast<long>(b));
                Refine(trial, 10);
                Band seed;
                if (!Seed(CurveOf(trial), seed))
                    continue;
                trial.push_back(seed);
                // A short refinement tells a promising trial from the rest; only that
                // one is run to the end.
                double value = Refine(trial, 25);
                if (value < cost * (1.0 - 1e-4))
                    value = Refine(trial, 200);
                if (value < cost * (1.0 - 1e-4)) {
                    bands = trial;
                    cost = value;
                    improved = true;
                    break;
                }
            }
        }
        return cost;
    }
};

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

// Rounding leaves each band a little off its best place: single steps at the stored resolution (a hertz,
// 0.1 dB) are tried band by band and kept while they lower the error.
void Polish(const Grid& g, std::vector<EqBand>& bands, const FitOptions& o) {
    const size_t m = g.phi.size();
    auto curveOf = [&](const EqBand& b, std::vector<double>& out) {
        const Band band{b.type,
                        {std::log2(static_cast<double>(b.freqHz)), b.gainDb, std::log(static_cast<double>(b.q))}};
        BandCurve(g, band, out.data(), nullptr);
    };
    std::vector<std::vector<double>> curves(bands.size(), std::vector<double>(m));
    std::vector<double> res(m);
    for (size_t i = 0; i < m; ++i)
        res[i] = -g.wanted[i];
    for (size_t b = 0; b < bands.size(); ++b) {
        curveOf(bands[b], curves[b]);
        for (size_t i = 0; i < m; ++i)
            res[i] += curves[b][i];
    }
    std::vector<double> moved(m);
    for (int pass = 0; pass < 4; ++pass) {
        bool changed = false;
        for (size_t b = 0; b < bands.size(); ++b) {
            const EqBand here = bands[b];
            for (int step = 0; step < 4; ++step) {
                EqBand next = bands[b];
                if (step < 2)
                    next.freqHz += step == 0 ? -1 : 1;
                else
                    next.gainDb = EqGainFromCode(static_cast<uint16_t>(EqGainCode(next.gainDb) + (step == 2 ? -1 : 1)));
                if (next.freqHz < kMinBandFreqHz || next.freqHz > kMaxBandFreqHz || next.gainDb > o.maxBoostDb + 1e-6 ||
                    next.gainDb < -o.maxCutDb - 1e-6)
                    continue;
                curveOf(next, moved);
                double delta = 0.0;
                for (size_t i = 0; i < m; ++i) {
                    const double r = res[i] - curves[b][i] + moved[i];
                    delta += r * r - res[i] * res[i];
                }
                if (delta < -1e-12) {
                    for (size_t i = 0; i < m; ++i)
                        res[i] += moved[i] - curves[b][i];
                    curves[b] = moved;
                    bands[b] = next;
                }
            }
            changed = changed || !(bands[b] == here);
        }
        if (!changed)
            break;
    }
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

    Fitter fitter{grid, o, lo, hi, {}};
    fitter.budget.evaluations = std::max(o.maxEvaluations, 1);
    fitter.budget.deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(std::max(o.maxSeconds, 0.0)));

    // Greedy picking gives every band a sensible start; the joint refinement then
    // moves all of them.
    std::vector<Band> chosen;
    std::vector<double> current(grid.freq.size(), 0.0);
    for (int k = 0; k < o.bandCount; ++k) {
        Band band;
        if (!fitter.Seed(current, band))
            break;
        AddBand(current, grid, band);
        chosen.push_back(band);
    }
    if (!chosen.empty()) {
        const double cost = fitter.Refine(chosen, 300);
        fitter.Reseed(chosen, cost);

        // The store keeps whole hertz, which is coarse for a narrow band low down:
        // the frequencies are rounded first and the gains and Qs refined around
        // them before they are rounded in turn.
        std::vector<Limits> limits = fitter.LimitsOf(chosen);
        for (size_t b = 0; b < chosen.size(); ++b) {
            const double hz = std::clamp(std::round(std::exp2(chosen[b].x[0])), static_cast<double>(kMinBandFreqHz),
                                         static_cast<double>(kMaxBandFreqHz));
            chosen[b].x[0] = limits[b].lo[0] = limits[b].hi[0] = std::log2(hz);
        }
        Refiner pinned(grid, fitter.zero);
        fitter.budget.evaluations = std::max(fitter.budget.evaluations, 100);
        pinned.Run(chosen, limits, 100, fitter.budget);
    }

    std::sort(chosen.begin(), chosen.end(), [](const Band& a, const Band& b) { return a.x[0] < b.x[0]; });
    for (const Band& band : chosen)
        result.bands.push_back(Quantise(band.type, std::exp2(band.x[0]), band.x[1], std::exp(band.x[2]), o));
    Polish(grid, result.bands, o);
    while (static_cast<int>(result.bands.size()) < o.bandCount)
        result.bands.push_back(EqBand{0.0f, 1000, 1.0f, eqtype::Off});
    result.after = ComputeResidual(measurement, target, result.bands, lo, hi);
    result.ok = true;
    return result;
}

} // namespace orvex
