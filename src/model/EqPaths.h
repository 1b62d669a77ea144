#pragma once

#include "model/EqBandRecord.h"

#include <array>
#include <span>

namespace orvex {

// eqBandTable: 179 consecutive 7-byte records, mirrored at processor memory 0..1252.
inline constexpr int kEqRecordCount = 179;
inline constexpr int kEqBandTableBytes = kEqRecordCount * kEqBandRecordSize;

// Output channels hold 15 records each from record 58 on: bands 0..8 the equaliser, band 9 the
// crossover whose hidden sections are bands 10..12, and bands 13 (high-pass) and 14 (low-pass) that
// split the channel for the high-frequency delay.
inline constexpr int kOutputChannelCount = 8;
inline constexpr int kOutputFirstRecord = 58;
inline constexpr int kOutputRecordsPerChannel = 15;
inline constexpr int kOutputEqBandCount = 13;
inline constexpr int kOutputCrossoverBand = 9;
inline constexpr int kOutputFirstHiddenBand = 10;
inline constexpr int kOutputLastHiddenBand = 12;
inline constexpr int kOutputSplitHighPassBand = 13;
inline constexpr int kOutputSplitLowPassBand = 14;

// The music low-frequency filter, a single record after the last output channel.
inline constexpr int kMusicLowRecord = 178;

inline constexpr int OutputChannelFirstRecord(int channel) {
    return kOutputFirstRecord + kOutputRecordsPerChannel * channel;
}

// EQ identities as the EQ pages and the copy command number them.
namespace eqid {
inline constexpr int MicA = 0;
inline constexpr int MicB = 1;
inline constexpr int ReverbA = 2;
inline constexpr int ReverbB = 3;
inline constexpr int EchoA = 4;
inline constexpr int EchoB = 5;
inline constexpr int Music = 6;
inline constexpr int FirstOutput = 7; // outputs 1..8 are 7..14
inline constexpr int LastOutput = 14;
inline constexpr int Count = 15;
} // namespace eqid

inline constexpr bool IsOutputEqIdentity(int id) {
    return id >= eqid::FirstOutput && id <= eqid::LastOutput;
}

struct EqPathInfo {
    int firstRecord = -1;
    int bandCount = 0;   // bands shown and copied (13 for an output)
    int recordCount = 0; // records the identity owns (15 for an output: its bands plus the split pair)
};

// One run of consecutive band records and everything that addresses it: the EQ identity that shows
// it, the path number the processor's record offsets use, and the coefficient command and slot of
// its first record. This table is the only place the record layout is written down.
struct EqRecordBlock {
    int identity = -1; // eqid, or -1 for the music low-frequency filter
    int path = 0;      // 1 mic, 2 echo, 3 reverb, 4 music, 5..12 outputs, 14 the music low filter
    int firstRecord = -1;
    int bandCount = 0;
    int recordCount = 0;
    int cmd = 0;       // coefficient command of the records
    int firstSlot = 0; // its sub-address for the first record; the others follow on
};

// Mic A and B, echo A and B, reverb A and B, music, outputs 1..8, the music low-frequency filter:
// together they cover every record exactly once.
std::span<const EqRecordBlock> EqRecordBlocks();
// The block holding a record; null outside the table.
const EqRecordBlock* EqRecordBlockOf(int record);

// The octave centres the ten-band equalisers (mic, music, the outputs' first ten bands) start at and
// reset to; the seven-band graph of a mic shows the first seven.
inline constexpr std::array<int, 10> kOctaveBandHz = {31, 62, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

// Byte offset of band b of path number p, the numbering the processor's coefficient commands use:
// 1 mic (B is bands 10..19), 2 echo and 3 reverb (B is bands 7..13), 4 music, 5..12 outputs,
// 14 the music low-frequency filter; any other number counts from record 0. Returns -1 when the
// record would lie outside the table.
int EqRecordOffset(int path, int band);
// The same as a record index, or -1.
int EqRecordIndex(int path, int band);

// The identity's records; {-1, 0, 0} outside 0..14.
EqPathInfo EqPathForIdentity(int id);

// Record index of band b of an identity, bounded by the records it owns; -1 otherwise.
int EqIdentityRecord(int id, int band);

} // namespace orvex
