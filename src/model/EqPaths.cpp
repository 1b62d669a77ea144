#include "model/EqPaths.h"

namespace orvex {

namespace {

constexpr int kMusicLowPath = 14;

constexpr EqRecordBlock OutputBlock(int channel) {
    return {eqid::FirstOutput + channel,
            5 + channel,
            OutputChannelFirstRecord(channel),
            kOutputEqBandCount,
            kOutputRecordsPerChannel,
            5 + channel,
            0};
}

constexpr std::array<EqRecordBlock, 16> kBlocks = {{
    {eqid::MicA, 1, 0, 10, 10, 1, 16},
    {eqid::MicB, 1, 10, 10, 10, 1, 39},
    {eqid::EchoA, 2, 20, 7, 7, 2, 0},
    {eqid::EchoB, 2, 27, 7, 7, 2, 13},
    {eqid::ReverbA, 3, 34, 7, 7, 3, 0},
    {eqid::ReverbB, 3, 41, 7, 7, 3, 12},
    {eqid::Music, 4, 48, 10, 10, 4, 0},
    OutputBlock(0),
    OutputBlock(1),
    OutputBlock(2),
    OutputBlock(3),
    OutputBlock(4),
    OutputBlock(5),
    OutputBlock(6),
    OutputBlock(7),
    // The music low-frequency filter shares the music EQ's command.
    {-1, kMusicLowPath, kMusicLowRecord, 1, 1, 4, 10},
}};

constexpr bool BlocksTileTheTable() {
    int next = 0;
    for (const EqRecordBlock& block : kBlocks) {
        if (block.firstRecord != next || block.bandCount > block.recordCount)
            return false;
        next += block.recordCount;
    }
    return next == kEqRecordCount;
}
static_assert(BlocksTileTheTable(), "the record blocks must cover the band table once, in order");

// The first record a path number's offsets count from: its first block; record 0 for a number the
// processor does not define.
int PathFirstRecord(int path) {
    for (const EqRecordBlock& block : kBlocks) {
        if (block.path == path)
            return block.firstRecord;
    }
    return 0;
}

} // namespace

std::span<const EqRecordBlock> EqRecordBlocks() {
    return kBlocks;
}

const EqRecordBlock* EqRecordBlockOf(int record) {
    for (const EqRecordBlock& block : kBlocks) {
        if (record >= block.firstRecord && record < block.firstRecord + block.recordCount)
            return &block;
    }
    return nullptr;
}

int EqRecordOffset(int path, int band) {
    if (band < 0 || band >= kEqRecordCount) {
        return -1;
    }
    const int offset = (PathFirstRecord(path) + band) * kEqBandRecordSize;
    if (offset + kEqBandRecordSize > kEqBandTableBytes) {
        return -1;
    }
    return offset;
}

int EqRecordIndex(int path, int band) {
    const int offset = EqRecordOffset(path, band);
    return offset < 0 ? -1 : offset / kEqBandRecordSize;
}

EqPathInfo EqPathForIdentity(int id) {
    if (id < 0) {
        return {};
    }
    for (const EqRecordBlock& block : kBlocks) {
        if (block.identity == id)
            return {block.firstRecord, block.bandCount, block.recordCount};
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
