#include "model/CoefficientEncoding.h"

#include "model/ByteOrder.h"
#include "model/EqPaths.h"

#include <algorithm>
#include <cmath>

namespace orvex {

BiquadWordSet BiquadWords(const SectionCoefficients& c) {
    const std::array<float, kBiquadWordCount> values = {static_cast<float>(-c.a1), static_cast<float>(-c.a2),
                                                        static_cast<float>(c.b0), static_cast<float>(c.b1),
                                                        static_cast<float>(c.b2)};
    // Checked after rounding: a finite double beyond float range would still reach the DSP as infinity.
    for (float v : values) {
        if (!std::isfinite(v)) {
            return {0u, 0u, byteorder::FloatBits(1.0f), 0u, 0u};
        }
    }
    BiquadWordSet words{};
    for (size_t i = 0; i < words.size(); ++i) {
        words[i] = byteorder::FloatBits(values[i]);
    }
    return words;
}

BandDesign BandFromRecord(const EqBandBytes& record) {
    BandDesign band;
    band.gainDb = byteorder::ReadBe16(record.data()) / 10.0 - 15.0;
    band.freqHz = byteorder::ReadBe16(record.data() + 2);
    band.q = byteorder::ReadBe16(record.data() + 4) / 1000.0;
    band.type = record[6];
    return band;
}

BandDesign BandFromEqBand(const EqBand& band, double outputGainDb) {
    BandDesign out;
    out.type = band.type;
    out.gainDb = band.gainDb;
    out.freqHz = band.freqHz;
    out.q = band.q;
    out.outputGainDb = outputGainDb;
    return out;
}

SectionCoefficients DesignBand(const BandDesign& band) {
    return DesignSection(band.type, band.gainDb, band.freqHz, band.q, band.outputGainDb, kDspSampleRate);
}

std::optional<CoefficientSlot> SlotForRecord(int record) {
    const EqRecordBlock* block = EqRecordBlockOf(record);
    if (block == nullptr) {
        return std::nullopt;
    }
    return CoefficientSlot{static_cast<uint8_t>(block->cmd),
                           static_cast<uint8_t>(block->firstSlot + record - block->firstRecord)};
}

const std::array<int, kAllEqCoefficientCount>& AllEqCoefficientRecords() {
    static const std::array<int, kAllEqCoefficientCount> records = [] {
        std::array<int, kAllEqCoefficientCount> r{};
        size_t n = 0;
        for (int rec = 0; rec < kOutputFirstRecord; ++rec) { // mic, echo, reverb, music
            r[n++] = rec;
        }
        for (int k = 0; k < kOutputChannelCount; ++k) {
            for (int b = 0; b < kOutputEqBandCount; ++b) {
                r[n++] = OutputChannelFirstRecord(k) + b;
            }
        }
        r[n++] = kMusicLowRecord;
        return r;
    }();
    return records;
}

namespace {

constexpr float kResetQ = 1.41f;
constexpr std::array<int, 7> kSevenBandHz = {63, 125, 250, 500, 1000, 2300, 5000};
constexpr int kSubCrossoverHz = 100;

EqBand FlatBand(int freqHz, int type = eqtype::Peaking) {
    EqBand band;
    band.gainDb = 0.0f;
    band.freqHz = freqHz;
    band.q = kResetQ;
    band.type = type;
    return band;
}

} // namespace

std::vector<BandAssignment> ResetEqPathBands(int eqIdentity, int outRole) {
    const EqPathInfo info = EqPathForIdentity(eqIdentity);
    std::vector<BandAssignment> out;
    if (info.firstRecord < 0) {
        return out;
    }
    out.reserve(static_cast<size_t>(info.bandCount));
    for (int b = 0; b < info.bandCount; ++b) {
        int hz = 0;
        int type = eqtype::Peaking;
        if (IsOutputEqIdentity(eqIdentity)) {
            // The crossover's bands (9 and its hidden sections) rest at the top octave.
            hz = kOctaveBandHz[static_cast<size_t>(std::min(b, kOutputCrossoverBand))];
            if (outRole == kSubwooferRole && b >= kOutputCrossoverBand) {
                // Butterworth 24 dB low-pass at 100 Hz: two pole pairs and two parked sections.
                constexpr CrossoverCodes kSubCrossover = {18, 20, 1, 1};
                hz = kSubCrossoverHz;
                type = kSubCrossover[static_cast<size_t>(b - kOutputCrossoverBand)];
            }
        } else if (info.bandCount == static_cast<int>(kOctaveBandHz.size())) {
            hz = kOctaveBandHz[static_cast<size_t>(b)];
        } else {
            hz = kSevenBandHz[static_cast<size_t>(b)];
        }
        out.push_back({info.firstRecord + b, FlatBand(hz, type)});
    }
    return out;
}

BandSplitPair BandSplitPairAt(int index) {
    const int i = index < 0 ? 0 : (index >= kBandSplitPairCount ? kBandSplitPairCount - 1 : index);
    return {500 + 100 * i, 1000 + 100 * i};
}

int BandSplitIndexForFrequency(int band13FreqHz) {
    for (int i = 0; i < kBandSplitPairCount; ++i) {
        if (BandSplitPairAt(i).lowHz == band13FreqHz) {
            return i;
        }
    }
    return 0;
}

std::array<EqBand, 2> BandSplitBands(int index, int delayMode) {
    const BandSplitPair pair = BandSplitPairAt(index);
    const bool split = delayMode == 0; // high-frequency delay: only the part above the split is delayed
    std::array<EqBand, 2> bands{};
    bands[0] = {0.0f, pair.lowHz, 0.707f, split ? eqtype::HighPass : eqtype::Peaking};
    bands[1] = {0.0f, pair.highHz, 0.707f, split ? eqtype::LowPass : eqtype::Peaking};
    return bands;
}

EqBand MusicLowFilterBand(int freqHz) {
    return {0.0f, freqHz, 0.707f, eqtype::LowPass};
}

namespace {

// Shelf pairs fixed in the firmware's gain stages, kept by their exact bytes.
constexpr uint32_t kPositionShelfA = 0x3F7EFF25;  // about 0.9960807
constexpr uint32_t kPositionShelfB = 0xBFFF7EF1;  // about -1.9960614
constexpr uint32_t kBassBoostShelfA = 0x3F7D554A; // about 0.9895827
constexpr uint32_t kBassBoostShelfB = 0xBFFEA8DC; // about -1.9895282

std::array<uint32_t, 6> GainSet(float x, uint32_t shelfA, uint32_t shelfB) {
    const float w0 = static_cast<float>(std::pow(10.0, static_cast<double>(x / 20.0f)));
    const float t = 0.0022594517f * x * x + 0.799902f * x;
    const float w1 = static_cast<float>(std::pow(10.0, static_cast<double>(t / 20.0f)));
    const uint32_t b0 = byteorder::FloatBits(w0);
    const uint32_t b1 = byteorder::FloatBits(w1);
    return {b0, b1, shelfA, shelfB, b0, b1};
}

} // namespace

std::array<uint32_t, 6> PositionSet(float x) {
    return GainSet(x, kPositionShelfA, kPositionShelfB);
}

std::array<uint32_t, 6> BassBoostSet(float x) {
    return GainSet(x, kBassBoostShelfA, kBassBoostShelfB);
}

} // namespace orvex
