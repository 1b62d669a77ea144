#include "model/Measurement.h"

#include "model/FilterDesign.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace orvex {

namespace {

// Splits a point line into its numbers; false when a field is not a number.
bool Fields(std::string_view line, std::vector<double>& out) {
    out.clear();
    std::string field;
    auto flush = [&]() {
        if (field.empty())
            return true;
        char* end = nullptr;
        const double value = std::strtod(field.c_str(), &end);
        const bool ok = end != field.c_str() && *end == '\0' && std::isfinite(value);
        out.push_back(value);
        field.clear();
        return ok;
    };
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r') {
            if (!flush())
                return false;
        } else {
            field.push_back(c);
        }
    }
    return flush();
}

bool StartsWithNumber(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i < line.size() && (line[i] == '+' || line[i] == '-' || line[i] == '.'))
        ++i;
    return i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]));
}

} // namespace

MeasurementParseResult ParseMeasurementText(std::string_view text) {
    MeasurementParseResult result;
    int lineNo = 0;
    size_t pos = 0;
    std::vector<double> fields;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        ++lineNo;
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (lineNo == 1 && line.starts_with("\xEF\xBB\xBF"))
            line.remove_prefix(3);
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string_view::npos)
            continue;
        line.remove_prefix(first);
        if (line.starts_with('*') || line.starts_with('#'))
            continue;
        if (!StartsWithNumber(line)) {
            if (result.response.Empty())
                continue; // a header
            result.errors.push_back({lineNo, "expected a frequency and a level"});
            continue;
        }
        if (!Fields(line, fields) || fields.size() < 2) {
            result.errors.push_back({lineNo, "expected a frequency and a level"});
            continue;
        }
        const double f = fields[0];
        if (f <= 0.0) {
            result.errors.push_back({lineNo, "the frequency must be above 0 Hz"});
            continue;
        }
        if (!result.response.Empty() && f <= result.response.freqHz.back()) {
            result.errors.push_back({lineNo, "the frequency does not rise"});
            continue;
        }
        result.response.freqHz.push_back(f);
        result.response.levelDb.push_back(fields[1]);
    }
    if (result.errors.empty() && result.response.freqHz.size() < 2)
        result.errors.push_back({0, "the file holds fewer than two points"});
    return result;
}

double InterpolateLevelDb(const Measurement& m, double f) {
    if (m.Empty())
        return 0.0;
    if (f <= m.freqHz.front())
        return m.levelDb.front();
    if (f >= m.freqHz.back())
        return m.levelDb.back();
    const auto it = std::upper_bound(m.freqHz.begin(), m.freqHz.end(), f);
    const size_t hi = static_cast<size_t>(it - m.freqHz.begin());
    const size_t lo = hi - 1;
    const double t = std::log(f / m.freqHz[lo]) / std::log(m.freqHz[hi] / m.freqHz[lo]);
    return m.levelDb[lo] + t * (m.levelDb[hi] - m.levelDb[lo]);
}

double MeanLevelDb(const Measurement& m, double loHz, double hiHz) {
    constexpr int kSteps = 200;
    double sum = 0.0;
    for (int i = 0; i <= kSteps; ++i)
        sum += InterpolateLevelDb(m, loHz * std::pow(hiHz / loHz, static_cast<double>(i) / kSteps));
    return sum / (kSteps + 1);
}

Measurement NormaliseMeasurement(const Measurement& m) {
    Measurement out = m;
    const double mean = MeanLevelDb(m);
    for (double& level : out.levelDb)
        level -= mean;
    return out;
}

double EqResponseDb(std::span<const EqBand> bands, double f) {
    double sum = 0.0;
    for (const EqBand& band : bands) {
        if (band.type == eqtype::Off)
            continue;
        const SectionCoefficients c = DesignSection(band.type, band.gainDb, band.freqHz, band.q, 0.0, kDspSampleRate);
        sum += SectionMagnitudeDb(c, f, kDspSampleRate);
    }
    return sum;
}

Measurement PredictResponse(const Measurement& m, std::span<const EqBand> bands) {
    Measurement out = m;
    for (size_t i = 0; i < out.freqHz.size(); ++i)
        out.levelDb[i] += EqResponseDb(bands, out.freqHz[i]);
    return out;
}

} // namespace orvex
