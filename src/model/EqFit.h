#pragma once

#include "model/Measurement.h"

#include <string>
#include <vector>

namespace orvex {

struct FitOptions {
    double loHz = 40.0; // the range the result should follow the target over
    double hiHz = 10000.0;
    double maxBoostDb = 6.0;
    double maxCutDb = 15.0; // a positive number: the deepest cut
    double minQ = 0.5;
    double maxQ = 10.0;
    int bandCount = 9;         // bands the fit may use (the path's free bands, or fewer)
    bool allowShelves = false; // let the lowest and highest band become shelves
    int maxEvaluations = 6000; // bounds on the whole search: evaluations of the error over the grid
    double maxSeconds = 1.0;   // and wall time; a fit that runs out keeps the best it has
};

// What a path's fit starts from.
struct EqFitInput {
    int eqIdentity = -1;
    Measurement measurement;     // normalised
    std::vector<EqBand> current; // the path's free bands as they play now
    std::vector<EqBand> kept;    // bands the fit leaves alone (an output's crossover sections)
};

struct FitResidual {
    double rmsDb = 0.0;  // root mean square of (result - target) over the range, on a log grid
    double peakDb = 0.0; // the largest absolute deviation there
};

struct FitResult {
    bool ok = false;
    std::string message;       // why not, when !ok
    std::vector<EqBand> bands; // bandCount bands as the store keeps them; bands the fit does not need are Off
    FitResidual before;
    FitResidual after;
};

// The deviation of `response` plus the equaliser from `target` (flat when empty) between lo and hi.
FitResidual ComputeResidual(const Measurement& response, const Measurement& target, std::span<const EqBand> bands,
                            double loHz, double hiHz);

// Fits peaking bands (and shelves when allowed) so that the normalised measurement plus the equaliser
// follows the target (flat when empty) between loHz and hiHz, within the gain and Q limits. Starts
// from greedy peak picking of the deviation and refines all bands together by bounded least squares
// over the same DesignSection the processor's coefficients come from, then takes out one band at a
// time and seeds it again where the deviation is largest while that lowers the error. The result is
// rounded to what the store holds (0.1 dB, whole hertz, Q in thousandths), with the gains and Qs
// refined again around the rounded frequencies, before its residual is measured.
// Nothing is sent: the caller applies the bands (ApplyFreeEqBands) once the user accepts them.
// `measurement` is used as given; normalise it first (NormaliseMeasurement) when it is a raw level.
FitResult FitEqualiser(const Measurement& measurement, const Measurement& target, const FitOptions& options);

} // namespace orvex
