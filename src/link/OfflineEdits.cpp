#include "link/OfflineEdits.h"

#include "link/CommandEncoder.h"
#include "link/EqSender.h"
#include "link/StoreRestore.h"
#include "model/EqBandRecord.h"

#include <algorithm>
#include <utility>

namespace orvex {

namespace {

// The unit kind of each mode-file block, in file order.
constexpr std::array<StoreUnitKind, kModeFileBlocks.size()> kBlockUnitKinds = {
    StoreUnitKind::Slot, StoreUnitKind::EqBand, StoreUnitKind::PositionGain, StoreUnitKind::Room,
    StoreUnitKind::BassBoost};

} // namespace

OfflineEdits::Snapshot OfflineEdits::Take(const ParameterStore& store) {
    Snapshot snapshot;
    for (std::size_t b = 0; b < kBlockCount; ++b)
        snapshot[b] = store.ReadBlock(kModeFileBlocks[b]);
    return snapshot;
}

std::size_t OfflineEdits::UnitSize(std::size_t block, std::size_t blockBytes) {
    switch (block) {
    case kParamBlock:
    case kPositionBlock:
        return 4;
    case kEqBlock:
        return kEqBandRecordSize;
    default:
        return std::max<std::size_t>(blockBytes, 1);
    }
}

void OfflineEdits::Track(const ParameterStore& store) {
    if (!m_baseline)
        m_baseline = Take(store);
}

void OfflineEdits::Collect(const ParameterStore& store) {
    if (!m_baseline)
        return;
    const Snapshot now = Take(store);
    for (std::size_t b = 0; b < kBlockCount; ++b) {
        const std::vector<uint8_t>& before = (*m_baseline)[b];
        const std::vector<uint8_t>& after = now[b];
        const std::size_t unit = UnitSize(b, after.size());
        for (std::size_t offset = 0; offset + unit <= std::min(before.size(), after.size()); offset += unit) {
            const auto first = after.begin() + static_cast<long>(offset);
            const auto last = first + static_cast<long>(unit);
            if (!std::equal(first, last, before.begin() + static_cast<long>(offset)))
                m_edits[b][static_cast<int>(offset / unit)] = std::vector<uint8_t>(first, last);
        }
    }
    m_baseline.reset();
}

std::size_t OfflineEdits::Count() const {
    std::size_t n = 0;
    for (const Units& units : m_edits)
        n += units.size();
    return n;
}

std::vector<int> OfflineEdits::EditedSlots() const {
    std::vector<int> slots;
    for (const auto& [slot, bytes] : m_edits[kParamBlock])
        slots.push_back(slot);
    return slots;
}

void OfflineEdits::Apply(ParameterStore& store, CommandEncoder& commands, EqSender& eq) {
    std::vector<StoreUnitValue> values;
    for (std::size_t b = 0; b < kBlockCount; ++b) {
        for (const auto& [index, bytes] : m_edits[b])
            values.push_back({kBlockUnitKinds[b], index, bytes});
    }
    RestoreStoreUnits(values, store, commands, eq);
    Clear();
}

void OfflineEdits::Clear() {
    m_baseline.reset();
    for (Units& units : m_edits)
        units.clear();
}

} // namespace orvex
