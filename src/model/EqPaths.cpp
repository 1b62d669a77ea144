#include "model/EqPaths.h"

namespace orvex {

int EqRecordOffset(int path, int band) {
    if (band < 0 || band >= kEqRecordCount) {
        return -1;
    }
    int offset = 0;
    if (path == 2) {
        offset = 140 + 7 * band;
    } else if (path == 3) {
        offset = 238 + 7 * band;
    } else if (path == 4) {
        offset = 336 + 7 * band;
    } else if (path >= 5 && path <= 12) {
        offset = (15 * path - 17 + band) * 7;
    } else if (path == 14) {
        offset = 1246 + 7 * band;
    } else {
        offset = 7 * band;
    }
    if (offset < 0 || offset + kEqBandRecordSize > kEqBandTableBytes) {
        return -1;
    }
    return offset;
}

int EqRecordIndex(int path, int band) {
    const int offset = EqRecordOffset(path, band);
    return offset < 0 ? -1 : offset / kEqBandRecordSize;
}

EqPathInfo EqPathForIdentity(int id) {
    switch (id) {
    case eqid::MicA:
        return {0, 10, 10};
    case eqid::MicB:
        return {10, 10, 10};
    case eqid::ReverbA:
        return {34, 7, 7};
    case eqid::ReverbB:
        return {41, 7, 7};
    case eqid::EchoA:
        return {20, 7, 7};
    case eqid::EchoB:
        return {27, 7, 7};
    case eqid::Music:
        return {48, 10, 10};
    default:
        break;
    }
    if (IsOutputEqIdentity(id)) {
        return {OutputChannelFirstRecord(id - eqid::FirstOutput), kOutputEqBandCount, kOutputRecordsPerChannel};
    }
    return {};
}

int EqIdentityRecord(int id, int band) {
    const EqPathInfo info = EqPathForIdentity(id);
    if (info.firstRecord < 0 || band < 0 || band >= info.recordCount) {
        return -1;
    }
    return info.firstRecord + band;
}

} // namespace orvex
