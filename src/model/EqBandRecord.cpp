#include "model/EqBandRecord.h"

#include "model/ByteOrder.h"

#include <cmath>

namespace orvex {

namespace {

// Truncates toward zero and saturates to lo..hi; NaN lands on lo.
uint16_t TruncClamp(double value, double lo, double hi) {
    if (!(value > lo)) {
        return static_cast<uint16_t>(lo);
    }
    if (value >= hi) {
        return static_cast<uint16_t>(hi);
    }
    return static_cast<uint16_t>(std::trunc(value));
}

constexpr double kGainCodeMax = 300.0;

} // namespace

uint16_t EqGainCode(float gainDb) {
    // The 0.05 keeps a float held just below its tenth (-0.3f is -0.30000001) from truncating one code
    // low; the sum is taken in double so it does not lose that margin.
    return TruncClamp((static_cast<double>(gainDb) + 15.0) * 10.0 + 0.05, 0.0, kGainCodeMax);
}

float EqGainFromCode(uint16_t code) {
    return static_cast<float>(code / 10.0 - 15.0);
}

void PackEqBand(const EqBand& band, uint8_t out[kEqBandRecordSize]) {
    const int freq = band.freqHz < 0 ? 0 : (band.freqHz > 0xFFFF ? 0xFFFF : band.freqHz);
    const int type = band.type < 0 ? 0 : (band.type > 0xFF ? 0xFF : band.type);
    byteorder::WriteBe16(out + 0, EqGainCode(band.gainDb));
    byteorder::WriteBe16(out + 2, static_cast<uint16_t>(freq));
    // Q is held as a float and scaled in float, so a Q typed as 1.41 packs as 1410 rather than the
    // 1409 that the double product of the float 1.40999997 would truncate to.
    byteorder::WriteBe16(out + 4, TruncClamp(static_cast<double>(band.q * 1000.0f), 0.0, 65535.0));
    out[6] = static_cast<uint8_t>(type);
}

EqBandBytes PackEqBand(const EqBand& band) {
    EqBandBytes bytes{};
    PackEqBand(band, bytes.data());
    return bytes;
}

EqBand UnpackEqBand(const uint8_t in[kEqBandRecordSize]) {
    EqBand band;
    band.gainDb = EqGainFromCode(byteorder::ReadBe16(in + 0));
    band.freqHz = byteorder::ReadBe16(in + 2);
    band.q = static_cast<float>(byteorder::ReadBe16(in + 4) / 1000.0);
    band.type = in[6];
    return band;
}

bool BandGainEditable(int type) {
    return type == eqtype::Peaking || type == eqtype::LowShelf || type == eqtype::HighShelf;
}

double BandQLimit(int type) {
    return type >= eqtype::LowPass && type <= eqtype::HighShelf ? kMaxShapeQ : kMaxPeakingQ;
}

} // namespace orvex
