#include "sim/DeviceImageRecords.h"

#include <initializer_list>
#include <vector>

namespace orvex::sim {
namespace {

// The layout, written as runs of consecutive records. Which parameter sits where is this
// processor model's choice; the decoded offsets (DecodedRecordOffsets) are fixed by read-all, and every
// parameter that read-all can decode is placed on one of them where the record fits:
//
//   1317  mic block, channel A side: 1/4..15, 1/26..34 (1/32 rides along, unread)
//   1464  1/35, 1/36 bass boost gains (unread), 1478 1/37, 1485 1/38 six-word boost set
//   1512  channel B side: 1/49..57, 1575 1/58, 1/59, 1589 1/60, 1596 1/61 six-word set
//   1623  echo 2/7..12, 2/20..27, reverb 3/7..11, 3/19..23, 1791 3/24 and 1802 3/25 (two words)
//   1813  music 4/11..13, 1834 4/14 seven-word automatic level record
//   1865  music 4/15..17, 4/21..33, 4/36, 4/37, then the exciter 13/0..2 (13/2 two words at 2005)
//   2016  exciter 13/3..11, 2079 output 8's delay mode 12/17 (two words), then 20 bytes of padding
//   2110 + 153c, outputs 1..7 (cmd 5..11): ch/15, ch/29 six-word position set, ch/16, ch/18,
//         ch/17 delay mode (two words), ch/19..26, ch/28, ch/27 seven-word compressor
//   3181  output 8 (cmd 12): 12/27 compressor, 3 bytes of padding, 12/15, 12/16, 12/18..26, 12/28
//
// Output 8's decoded offsets leave space for its compressor and twelve one-word records only, so its
// delay mode sits on the spare decoded offset after the exciter; its position set (12/29, never
// decoded) has no room and is held outside the memory.
struct Run {
    uint8_t cmd;
    std::initializer_list<uint8_t> subs;
    uint8_t words;
};

std::vector<ImageRecord> BuildRecords() {
    std::vector<ImageRecord> records;
    uint16_t offset = kImageRecordsOffset;
    auto add = [&](uint8_t cmd, uint8_t sub, uint8_t words) {
        records.push_back({offset, cmd, sub, words});
        offset = static_cast<uint16_t>(offset + records.back().Size());
    };
    auto addRange = [&](uint8_t cmd, int firstSub, int lastSub, uint8_t words) {
        for (int s = firstSub; s <= lastSub; ++s)
            add(cmd, static_cast<uint8_t>(s), words);
    };

    addRange(1, 4, 15, 1);
    addRange(1, 26, 34, 1);
    addRange(1, 35, 37, 1);
    add(1, 38, 6);
    addRange(1, 49, 57, 1);
    addRange(1, 58, 60, 1);
    add(1, 61, 6);

    addRange(2, 7, 12, 1);
    addRange(2, 20, 27, 1);
    addRange(3, 7, 11, 1);
    addRange(3, 19, 23, 1);
    add(3, 24, 2);
    add(3, 25, 2);

    addRange(4, 11, 13, 1);
    add(4, 14, 7);
    addRange(4, 15, 17, 1);
    addRange(4, 21, 33, 1);
    addRange(4, 36, 37, 1);
    addRange(13, 0, 1, 1);
    add(13, 2, 2);
    addRange(13, 3, 11, 1);
    add(12, 17, 2);
    // 20 bytes to the first output: records of 3 + 4n bytes.
    add(0, 0, 2);
    add(0, 0, 0);
    add(0, 0, 0);
    add(0, 0, 0);

    for (uint8_t ch = 5; ch <= 11; ++ch) {
        add(ch, 15, 1);
        add(ch, 29, 6);
        add(ch, 16, 1);
        add(ch, 18, 1);
        add(ch, 17, 2);
        addRange(ch, 19, 26, 1);
        add(ch, 28, 1);
        add(ch, 27, 7);
    }
    add(12, 27, 7);
    add(0, 0, 0);
    add(12, 15, 1);
    add(12, 16, 1);
    addRange(12, 18, 26, 1);
    add(12, 28, 1);
    return records;
}

const std::vector<ImageRecord>& Records() {
    static const std::vector<ImageRecord> records = BuildRecords();
    return records;
}

} // namespace

std::span<const ImageRecord> DeviceImageRecords() {
    return Records();
}

const ImageRecord* FindImageRecord(uint8_t cmd, uint8_t sub) {
    if (cmd == 0)
        return nullptr;
    for (const ImageRecord& r : Records()) {
        if (r.cmd == cmd && r.sub == sub)
            return &r;
    }
    return nullptr;
}

} // namespace orvex::sim
