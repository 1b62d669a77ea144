#include "ctl/FieldAddress.h"

#include "model/EqPaths.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace orvex::ctl {

namespace {

constexpr std::array<EqPathName, 16> kPaths = {{
    {"micA", eqid::MicA},
    {"micB", eqid::MicB},
    {"echoA", eqid::EchoA},
    {"echoB", eqid::EchoB},
    {"reverbA", eqid::ReverbA},
    {"reverbB", eqid::ReverbB},
    {"music", eqid::Music},
    {"out1", eqid::FirstOutput + 0},
    {"out2", eqid::FirstOutput + 1},
    {"out3", eqid::FirstOutput + 2},
    {"out4", eqid::FirstOutput + 3},
    {"out5", eqid::FirstOutput + 4},
    {"out6", eqid::FirstOutput + 5},
    {"out7", eqid::FirstOutput + 6},
    {"out8", eqid::FirstOutput + 7},
    {"musicLow", -1},
}};

// A whole-text number; nothing but the number may stand in the text.
std::optional<double> ParseNumber(std::string_view text) {
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// "name[3]" -> ("name", 3); "name" -> ("name", -1). False for a malformed index.
bool SplitIndex(std::string_view text, std::string_view& base, int& index) {
    const size_t open = text.find('[');
    if (open == std::string_view::npos) {
        base = text;
        index = -1;
        return true;
    }
    if (text.back() != ']' || open + 2 > text.size() - 1)
        return false;
    base = text.substr(0, open);
    const std::string_view digits = text.substr(open + 1, text.size() - open - 2);
    int value = 0;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size() || value < 0)
        return false;
    index = value;
    return true;
}

std::string RangeText(double lo, double hi) {
    return FormatNumber(lo) + ".." + FormatNumber(hi);
}

} // namespace

std::span<const EqPathName> EqPathNames() {
    return kPaths;
}

const EqPathName* FindEqPath(std::string_view name) {
    for (const EqPathName& path : kPaths)
        if (path.name == name)
            return &path;
    return nullptr;
}

int EqPathBandCount(const EqPathName& path) {
    return path.identity < 0 ? 1 : EqPathForIdentity(path.identity).bandCount;
}

int EqPathRecord(const EqPathName& path, int band) {
    if (band < 0 || band >= EqPathBandCount(path))
        return -1;
    return path.identity < 0 ? kMusicLowRecord : EqIdentityRecord(path.identity, band);
}

std::optional<FieldTarget> ParseTarget(std::string_view text, std::string& error) {
    FieldTarget target;
    target.name = std::string(text);
    std::string_view base;
    int index = -1;
    if (!SplitIndex(text, base, index)) {
        error = "malformed index in '" + target.name + "'";
        return std::nullopt;
    }
    if (base.starts_with("eq.")) {
        const std::string_view pathName = base.substr(3);
        const EqPathName* path = FindEqPath(pathName);
        if (path == nullptr) {
            error = "unknown equaliser path '" + std::string(pathName) +
                    "' (micA, micB, echoA, echoB, reverbA, reverbB, music, out1..out8, musicLow)";
            return std::nullopt;
        }
        const int count = EqPathBandCount(*path);
        if (index >= count) {
            error = "band " + std::to_string(index) + " out of range 0.." + std::to_string(count - 1) + " for eq." +
                    std::string(path->name);
            return std::nullopt;
        }
        target.kind = FieldTarget::Kind::Band;
        target.path = path;
        target.band = index;
        return target;
    }
    if (const StoreField* field = FindStoreField(base)) {
        if (index >= 0 && field->count == 1) {
            error = "field '" + std::string(field->name) + "' is not an array";
            return std::nullopt;
        }
        if (index >= field->count) {
            error = "index " + std::to_string(index) + " out of range 0.." + std::to_string(field->count - 1) +
                    " for " + std::string(field->name);
            return std::nullopt;
        }
        target.kind = FieldTarget::Kind::Slot;
        target.field = field;
        target.index = index;
        return target;
    }
    target.kind = FieldTarget::Kind::Other;
    return target;
}

std::optional<uint32_t> ParseFieldValue(const StoreField& field, int index, std::string_view nameAsTyped,
                                        std::string_view text, std::string& error) {
    const std::optional<double> number = ParseNumber(text);
    if (!number) {
        error = "value '" + std::string(text) + "' is not a number for " + std::string(nameAsTyped);
        return std::nullopt;
    }
    const ValueRange range = FieldValueRange(field, std::max(0, index));
    if (*number < range.minValue || *number > range.maxValue) {
        error = "value " + std::string(text) + " out of range " + RangeText(range.minValue, range.maxValue) + " for " +
                std::string(nameAsTyped);
        return std::nullopt;
    }
    if (field.type == FieldType::Int) {
        if (*number != std::trunc(*number)) {
            error = "value " + std::string(text) + " is not a whole number for " + std::string(nameAsTyped);
            return std::nullopt;
        }
        return static_cast<uint32_t>(static_cast<int32_t>(*number));
    }
    const float value = static_cast<float>(*number);
    return std::bit_cast<uint32_t>(value);
}

std::optional<EqBand> ParseBandValue(const EqPathName& path, std::string_view nameAsTyped, std::string_view text,
                                     std::string& error) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    const std::string name(nameAsTyped);
    if (parts.size() != 4) {
        error = "band value '" + std::string(text) + "' for " + name + " must be GAIN_DB,FREQ_HZ,Q,TYPE";
        return std::nullopt;
    }
    std::array<double, 4> v{};
    static constexpr std::array<std::string_view, 4> kWhat = {"gain", "frequency", "Q", "type"};
    for (size_t i = 0; i < 4; ++i) {
        const std::optional<double> number = ParseNumber(parts[i]);
        if (!number) {
            error = std::string(kWhat[i]) + " '" + std::string(parts[i]) + "' is not a number for " + name;
            return std::nullopt;
        }
        v[i] = *number;
    }
    const bool output = path.identity >= eqid::FirstOutput && path.identity <= eqid::LastOutput;
    const int maxType = output ? eqtype::LastSection : eqtype::HighShelf;
    if (v[3] != std::trunc(v[3]) || v[3] < 0 || v[3] > maxType) {
        error = "type " + std::string(parts[3]) + " out of range 0.." + std::to_string(maxType) + " for " + name;
        return std::nullopt;
    }
    const int type = static_cast<int>(v[3]);
    if (v[0] < kMinBandGainDb || v[0] > kMaxBandGainDb) {
        error = "gain " + std::string(parts[0]) + " out of range " + RangeText(kMinBandGainDb, kMaxBandGainDb) +
                " for " + name;
        return std::nullopt;
    }
    if (v[1] != std::trunc(v[1]) || v[1] < kMinBandFreqHz || v[1] > kMaxBandFreqHz) {
        error = "frequency " + std::string(parts[1]) + " out of range " + RangeText(kMinBandFreqHz, kMaxBandFreqHz) +
                " for " + name;
        return std::nullopt;
    }
    const double maxQ = BandQLimit(type);
    if (v[2] < kMinBandQ || v[2] > maxQ) {
        error = "Q " + std::string(parts[2]) + " out of range " + RangeText(kMinBandQ, maxQ) + " for " + name;
        return std::nullopt;
    }
    EqBand band;
    band.gainDb = static_cast<float>(v[0]);
    band.freqHz = static_cast<int>(v[1]);
    band.q = static_cast<float>(v[2]);
    band.type = type;
    return band;
}

std::string FormatNumber(double value) {
    if (std::isnan(value))
        return "nan";
    std::array<char, 64> buffer{};
    const auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return ec == std::errc() ? std::string(buffer.data(), ptr) : std::string("?");
}

std::string FormatFloat(float value) {
    if (std::isnan(value))
        return "nan";
    std::array<char, 64> buffer{};
    const auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return ec == std::errc() ? std::string(buffer.data(), ptr) : std::string("?");
}

} // namespace orvex::ctl
