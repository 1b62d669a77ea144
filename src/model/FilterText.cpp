#include "model/FilterText.h"

#include "model/EqPaths.h"
#include "model/ParameterStore.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace orvex {

namespace {

constexpr double kDefaultPassQ = 0.707;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string> Tokens(std::string_view text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        const size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i > start)
            out.emplace_back(text.substr(start, i - start));
    }
    return out;
}

std::optional<double> Number(const std::string& text) {
    if (text.empty() || text.size() > 32)
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

bool IsComment(std::string_view line) {
    return line.starts_with('#') || line.starts_with('*') || line.starts_with(';') || line.starts_with("//");
}

// The text after "Filter[ N]:" when the line is a filter line.
std::optional<std::string_view> FilterBody(std::string_view line) {
    if (line.size() < 7 || Lower(line.substr(0, 6)) != "filter")
        return std::nullopt;
    std::string_view rest = line.substr(6);
    size_t i = 0;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
        ++i;
    while (i < rest.size() && std::isdigit(static_cast<unsigned char>(rest[i])))
        ++i;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
        ++i;
    if (i >= rest.size() || rest[i] != ':')
        return std::nullopt;
    return rest.substr(i + 1);
}

struct KindInfo {
    int type = eqtype::Off;
    const char* refusal = nullptr;
};

KindInfo KindOf(const std::string& kind) {
    if (kind == "pk" || kind == "peq" || kind == "peak")
        return {eqtype::Peaking};
    if (kind == "ls" || kind == "lsc" || kind == "lsq")
        return {eqtype::LowShelf};
    if (kind == "hs" || kind == "hsc" || kind == "hsq")
        return {eqtype::HighShelf};
    if (kind == "lp" || kind == "lpq")
        return {eqtype::LowPass};
    if (kind == "hp" || kind == "hpq")
        return {eqtype::HighPass};
    if (kind == "no" || kind == "notch")
        return {eqtype::Off, "notch filters are not supported"};
    if (kind == "ap" || kind == "allpass")
        return {eqtype::Off, "all-pass filters are not supported"};
    if (kind == "bp" || kind == "bandpass")
        return {eqtype::Off, "band-pass filters are not supported"};
    if (kind == "lp1" || kind == "hp1" || kind == "lpf1" || kind == "hpf1")
        return {eqtype::Off, "first-order pass filters are not supported"};
    if (kind.starts_with("ls") || kind.starts_with("hs"))
        return {eqtype::Off, "shelves given by slope are not supported; give the shelf a Q"};
    return {eqtype::Off, nullptr};
}

struct LineResult {
    std::optional<FilterEntry> entry;
    std::string error;
};

std::string Fixed(double value, int decimals) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

LineResult ParseFilterLine(std::string_view body, int lineNo) {
    const std::vector<std::string> raw = Tokens(body);
    std::vector<std::string> tokens;
    for (const std::string& t : raw)
        tokens.push_back(Lower(t));
    if (tokens.empty())
        return {std::nullopt, "the filter line is empty"};
    bool enabled = true;
    if (tokens[0] == "on")
        enabled = true;
    else if (tokens[0] == "off")
        enabled = false;
    else
        return {std::nullopt, "expected ON or OFF, found '" + raw[0] + "'"};

    FilterEntry entry;
    entry.line = lineNo;
    entry.enabled = enabled;
    if (tokens.size() < 2) {
        if (enabled)
            return {std::nullopt, "the filter kind is missing"};
        entry.band = EqBand{0.0f, 1000, 1.0f, eqtype::Off};
        return {entry, {}};
    }
    const std::string& kind = tokens[1];
    if (!enabled && kind == "none") {
        entry.band = EqBand{0.0f, 1000, 1.0f, eqtype::Off};
        return {entry, {}};
    }
    const KindInfo info = KindOf(kind);
    if (info.refusal)
        return {std::nullopt, info.refusal};
    if (info.type == eqtype::Off)
        return {std::nullopt, "unknown filter kind '" + raw[1] + "'"};

    std::optional<double> fc, gain, q;
    size_t i = 2;
    // A slope after a shelf kind ("LS 6dB", "LSC 12 dB") means the shelf is given by slope.
    if ((info.type == eqtype::LowShelf || info.type == eqtype::HighShelf) && i < tokens.size() &&
        (tokens[i] != "fc" && tokens[i] != "gain" && tokens[i] != "q"))
        return {std::nullopt, "shelves given by slope are not supported; give the shelf a Q"};
    while (i < tokens.size()) {
        const std::string& key = tokens[i];
        if (key != "fc" && key != "gain" && key != "q") {
            if (key == "bw" || key.starts_with("bw/"))
                return {std::nullopt, "bandwidth is not supported; give a Q"};
            if (key == "slope")
                return {std::nullopt, "shelves given by slope are not supported; give the shelf a Q"};
            return {std::nullopt, "unexpected '" + raw[i] + "'"};
        }
        if (i + 1 >= tokens.size())
            return {std::nullopt, "'" + raw[i] + "' has no value"};
        const std::optional<double> value = Number(tokens[i + 1]);
        if (!value)
            return {std::nullopt, "'" + raw[i + 1] + "' is not a number"};
        i += 2;
        if (key == "fc") {
            double hz = *value;
            if (i < tokens.size() && tokens[i] == "khz") {
                hz *= 1000.0;
                ++i;
            } else if (i < tokens.size() && tokens[i] == "hz") {
                ++i;
            }
            fc = hz;
        } else if (key == "gain") {
            if (i < tokens.size() && tokens[i] == "db")
                ++i;
            gain = *value;
        } else {
            q = *value;
        }
    }
    if (!fc)
        return {std::nullopt, "the frequency (Fc) is missing"};
    const bool hasGain = BandGainEditable(info.type);
    if (hasGain && !gain)
        return {std::nullopt, "the gain is missing"};
    if (!q) {
        if (info.type == eqtype::LowShelf || info.type == eqtype::HighShelf)
            return {std::nullopt, "shelves given by slope are not supported; give the shelf a Q"};
        if (info.type == eqtype::Peaking)
            return {std::nullopt, "the Q is missing"};
        q = kDefaultPassQ;
    }
    const double hz = std::round(*fc);
    // An OFF entry is not played, so its values are kept as they stand (within what a record holds).
    if (enabled) {
        if (hz < kMinBandFreqHz || hz > kMaxBandFreqHz)
            return {std::nullopt, "frequency " + Fixed(*fc, 1) + " Hz is outside 20..20000 Hz"};
        if (gain && (*gain < kMinBandGainDb || *gain > kMaxBandGainDb))
            return {std::nullopt, "gain " + Fixed(*gain, 1) + " dB is outside -15..+15 dB"};
        const double qMax = BandQLimit(info.type);
        if (*q < kMinBandQ || *q > qMax)
            return {std::nullopt, "Q " + Fixed(*q, 3) + " is outside 0.1.." + Fixed(qMax, 0)};
    } else if (hz < 0 || hz > 65535 || *q < 0 || *q > 65.535 ||
               (gain && (*gain < kMinBandGainDb || *gain > kMaxBandGainDb))) {
        return {std::nullopt, "a value is outside what a band holds"};
    }
    entry.band.freqHz = static_cast<int>(hz);
    // A pass filter's gain is its pass-band level: rarely given, but the processor plays it.
    entry.band.gainDb = static_cast<float>(gain.value_or(0.0));
    entry.band.q = static_cast<float>(*q);
    entry.band.type = enabled ? info.type : eqtype::Off;
    return {entry, {}};
}

const char* KindName(int type) {
    switch (type) {
    case eqtype::LowShelf:
        return "LSC";
    case eqtype::HighShelf:
        return "HSC";
    case eqtype::LowPass:
        return "LPQ";
    case eqtype::HighPass:
        return "HPQ";
    default:
        return "PK";
    }
}

} // namespace

std::string FormatFilterTextError(const FilterTextError& error) {
    if (error.line <= 0)
        return error.message;
    return "line " + std::to_string(error.line) + ": " + error.message;
}

FilterParseResult ParseFilterText(std::string_view text) {
    FilterParseResult result;
    int lineNo = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        ++lineNo;
        std::string_view line = Trim(text.substr(pos, end - pos));
        pos = end + 1;
        if (lineNo == 1 && line.starts_with("\xEF\xBB\xBF"))
            line = Trim(line.substr(3));
        if (line.empty() || IsComment(line))
            continue;
        if (line.size() >= 7 && Lower(line.substr(0, 7)) == "preamp:") {
            std::vector<std::string> tokens = Tokens(line.substr(7));
            std::optional<double> value = tokens.empty() ? std::nullopt : Number(tokens[0]);
            if (!value || (tokens.size() == 2 && Lower(tokens[1]) != "db") || tokens.size() > 2)
                result.errors.push_back({lineNo, "the preamp line needs a level in dB"});
            else
                result.list.preampDb = *value;
            continue;
        }
        const std::optional<std::string_view> body = FilterBody(line);
        if (!body)
            continue; // a header line
        LineResult parsed = ParseFilterLine(*body, lineNo);
        if (parsed.entry)
            result.list.entries.push_back(*parsed.entry);
        else
            result.errors.push_back({lineNo, parsed.error});
    }
    return result;
}

std::string FormatFilterText(std::span<const EqBand> bands) {
    std::string out;
    int n = 0;
    for (const EqBand& band : bands) {
        ++n;
        const bool on = band.type >= eqtype::Peaking && band.type <= eqtype::HighShelf;
        const int kindType = on ? band.type : eqtype::Peaking;
        // Gain from its 0.1 dB code and Q from its thousandths, so the text carries exactly what is stored.
        const double gain = EqGainFromCode(EqGainCode(band.gainDb));
        const double q = std::trunc(static_cast<double>(band.q * 1000.0f)) / 1000.0;
        out += "Filter " + std::to_string(n) + ": " + (on ? "ON " : "OFF ") + KindName(kindType) + " Fc " +
               std::to_string(band.freqHz) + " Hz";
        // Pass filters carry a gain only when they have one, as other programs write them.
        if (BandGainEditable(kindType) || gain != 0.0)
            out += " Gain " + Fixed(gain, 1) + " dB";
        out += " Q " + Fixed(q, 3) + "\n";
    }
    return out;
}

int FreeEqBandCount(int eqIdentity) {
    if (IsOutputEqIdentity(eqIdentity))
        return kOutputCrossoverBand;
    return EqPathForIdentity(eqIdentity).bandCount;
}

std::optional<std::vector<EqBand>> PlanFilterImport(const FilterList& list, std::span<const EqBand> current,
                                                    std::vector<FilterTextError>& errors) {
    const size_t capacity = current.size();
    std::vector<const FilterEntry*> used;
    for (const FilterEntry& entry : list.entries)
        used.push_back(&entry);
    if (used.size() > capacity) {
        std::erase_if(used, [](const FilterEntry* e) { return !e->enabled; });
        if (used.size() > capacity) {
            errors.push_back({used[capacity]->line,
                              "more filters than the " + std::to_string(capacity) + " bands this path has free"});
            return std::nullopt;
        }
    }
    std::vector<EqBand> bands(current.begin(), current.end());
    for (size_t i = 0; i < bands.size(); ++i) {
        if (i < used.size()) {
            bands[i] = used[i]->band;
            if (!used[i]->enabled)
                bands[i].type = eqtype::Off;
        } else {
            bands[i].type = eqtype::Off;
        }
    }
    return bands;
}

std::vector<EqBand> FreeEqBands(const ParameterStore& store, int eqIdentity) {
    std::vector<EqBand> bands;
    const int count = FreeEqBandCount(eqIdentity);
    for (int band = 0; band < count; ++band)
        bands.push_back(store.GetEqBand(EqIdentityRecord(eqIdentity, band)));
    return bands;
}

std::vector<EqBand> FixedEqBands(const ParameterStore& store, int eqIdentity) {
    std::vector<EqBand> bands;
    const int count = EqPathForIdentity(eqIdentity).bandCount;
    for (int band = std::max(0, FreeEqBandCount(eqIdentity)); band < count; ++band) {
        const EqBand stored = store.GetEqBand(EqIdentityRecord(eqIdentity, band));
        if (stored.type != eqtype::Off)
            bands.push_back(stored);
    }
    return bands;
}

std::optional<std::vector<EqBand>> PlanFilterTextImport(const ParameterStore& store, int eqIdentity,
                                                        std::string_view text, std::vector<FilterTextError>& errors) {
    if (FreeEqBandCount(eqIdentity) <= 0) {
        errors.push_back({0, "no such equaliser path"});
        return std::nullopt;
    }
    FilterParseResult parsed = ParseFilterText(text);
    if (!parsed.Ok()) {
        errors = std::move(parsed.errors);
        return std::nullopt;
    }
    return PlanFilterImport(parsed.list, FreeEqBands(store, eqIdentity), errors);
}

std::vector<FilterTextError> ImportFilterTextIntoStore(ParameterStore& store, int eqIdentity, std::string_view text) {
    std::vector<FilterTextError> errors;
    const std::optional<std::vector<EqBand>> bands = PlanFilterTextImport(store, eqIdentity, text, errors);
    if (!bands)
        return errors;
    for (size_t i = 0; i < bands->size(); ++i)
        store.SetEqBand(EqIdentityRecord(eqIdentity, static_cast<int>(i)), (*bands)[i]);
    return errors;
}

std::string ExportFilterText(const ParameterStore& store, int eqIdentity) {
    return FormatFilterText(FreeEqBands(store, eqIdentity));
}

} // namespace orvex
