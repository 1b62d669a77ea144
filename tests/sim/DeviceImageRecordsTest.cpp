#include "sim/DeviceImageRecords.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace orvex::sim {
namespace {

// The parameters read-all can decode, listed from the reply decoder's table rather than from
// the layout, so that a layout that forgets one is caught.
std::vector<std::pair<int, int>> DecodableParameters() {
    std::vector<std::pair<int, int>> out;
    auto add = [&](int cmd, std::initializer_list<int> subs) {
        for (int s : subs)
            out.emplace_back(cmd, s);
    };
    auto addRange = [&](int cmd, int first, int last) {
        for (int s = first; s <= last; ++s)
            out.emplace_back(cmd, s);
    };
    addRange(1, 4, 15);
    add(1, {26, 49, 31, 54, 33, 56, 34, 37});
    addRange(1, 27, 30);
    addRange(1, 50, 53);
    add(2, {7, 20, 8, 11, 12, 21, 24, 25, 9, 10, 22, 23, 26, 27});
    add(3, {7, 19, 8, 20, 9, 21, 10, 22, 24, 25});
    add(4, {11, 12, 13, 14, 15, 16, 17, 21, 22, 23, 33, 36, 37});
    addRange(4, 24, 32);
    for (int ch = 5; ch <= 12; ++ch)
        addRange(ch, 15, 28);
    addRange(13, 0, 11);
    return out;
}

TEST(DeviceImageRecordsTest, RecordsTileTheRecordAreaExactly) {
    size_t expected = kImageRecordsOffset;
    for (const ImageRecord& r : DeviceImageRecords()) {
        EXPECT_EQ(r.offset, expected) << "cmd " << int(r.cmd) << " sub " << int(r.sub);
        expected = r.offset + r.Size();
    }
    EXPECT_EQ(expected, static_cast<size_t>(kDeviceImageSize));
}

TEST(DeviceImageRecordsTest, EveryDecodedOffsetStartsARecord) {
    const auto offsets = DecodedRecordOffsets();
    EXPECT_EQ(offsets.size(), 204u);
    EXPECT_EQ(offsets.front(), 1317);
    EXPECT_EQ(offsets.back(), 3215 + 7 * 11);
    std::set<size_t> starts;
    for (const ImageRecord& r : DeviceImageRecords())
        starts.insert(r.offset);
    for (uint16_t offset : offsets)
        EXPECT_TRUE(starts.count(offset)) << offset;
    EXPECT_TRUE(std::is_sorted(offsets.begin(), offsets.end()));
}

TEST(DeviceImageRecordsTest, EveryDecodableParameterSitsAtADecodedOffsetWhereThereIsRoom) {
    const auto offsets = DecodedRecordOffsets();
    const std::set<uint16_t> decoded(offsets.begin(), offsets.end());
    // Output 8's delay mode used to have no record, so read-all never restored it.
    for (const auto& [cmd, sub] : DecodableParameters()) {
        const ImageRecord* r = FindImageRecord(static_cast<uint8_t>(cmd), static_cast<uint8_t>(sub));
        ASSERT_NE(r, nullptr) << cmd << "/" << sub;
        EXPECT_TRUE(decoded.count(r->offset)) << cmd << "/" << sub << " at " << r->offset;
    }
}

TEST(DeviceImageRecordsTest, MultiWordRecordsHaveTheirProtocolWidths) {
    struct Width {
        int cmd, sub, words;
    };
    for (const Width w : {Width{4, 14, 7}, Width{5, 27, 7}, Width{12, 27, 7}, Width{5, 17, 2}, Width{11, 17, 2},
                          Width{12, 17, 2}, Width{5, 29, 6}, Width{3, 25, 2}, Width{1, 38, 6}, Width{1, 61, 6}}) {
        const ImageRecord* r = FindImageRecord(static_cast<uint8_t>(w.cmd), static_cast<uint8_t>(w.sub));
        ASSERT_NE(r, nullptr) << w.cmd << "/" << w.sub;
        EXPECT_EQ(r->words, w.words) << w.cmd << "/" << w.sub;
    }
}

TEST(DeviceImageRecordsTest, NoParameterIsPlacedTwice) {
    std::set<std::pair<int, int>> seen;
    for (const ImageRecord& r : DeviceImageRecords()) {
        if (r.cmd == 0)
            continue;
        EXPECT_TRUE(seen.insert({r.cmd, r.sub}).second) << int(r.cmd) << "/" << int(r.sub);
    }
    EXPECT_EQ(FindImageRecord(0, 0), nullptr);
}

} // namespace
} // namespace orvex::sim
