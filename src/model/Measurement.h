#pragma once

#include "model/EqBandRecord.h"
#include "model/FilterText.h"

#include <span>
#include <string_view>
#include <vector>

namespace orvex {

// A measured (or target) frequency response: strictly rising frequencies with their levels in dB.
struct Measurement {
    std::vector<double> freqHz;
    std::vector<double> levelDb;

    bool Empty() const { return freqHz.empty(); }
};

struct MeasurementParseResult {
    Measurement response;
    std::vector<FilterTextError> errors; // line numbers count from 1
    bool Ok() const { return errors.empty(); }
};

// Reads a response exported as text: one point per line, frequency and level (a third column, the
// phase, is ignored), separated by blanks, commas, semicolons or tabs. Lines starting with '*' or '#' are
// comments, and lines before the first point that do not start with a number are headers. A point
// line with a frequency that is not positive or not above the previous one, or a non-numeric value,
// is an error; fewer than two points is an error of the text as a whole.
MeasurementParseResult ParseMeasurementText(std::string_view text);

inline constexpr double kNormaliseLoHz = 200.0;
inline constexpr double kNormaliseHiHz = 2000.0;

// Level at f, linear in log frequency between points and held at the end values outside; 0 for an
// empty response.
double InterpolateLevelDb(const Measurement& m, double f);

// The mean level between lo and hi, taken on an even log-frequency grid so that dense high-frequency
// points do not outweigh the rest.
double MeanLevelDb(const Measurement& m, double loHz = kNormaliseLoHz, double hiHz = kNormaliseHiHz);

// The response shifted so that its mean level between 200 Hz and 2 kHz is 0 dB.
Measurement NormaliseMeasurement(const Measurement& m);

// The equaliser's response in dB at f: the sum of every band that is not off, each designed with
// DesignSection at 48 kHz as the processor and the graph design it (frequency in whole hertz).
double EqResponseDb(std::span<const EqBand> bands, double f);

// Measurement plus equaliser at every point of the measurement: the predicted result.
Measurement PredictResponse(const Measurement& m, std::span<const EqBand> bands);

} // namespace orvex
