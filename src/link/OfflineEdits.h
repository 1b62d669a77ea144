#pragma once

#include "model/ParameterStore.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace orvex {

class CommandEncoder;
class EqSender;

// What the user changed while a dropped network link was waiting to be reopened. Nothing can reach
// the processor then, and the read-all of the reopened link overwrites the store, so the edits are
// taken out of the store before it runs: as the difference between the five mode-file blocks when the
// link went down and when it came back. After read-all they can be put back and sent, each through
// the setter or band sender that a hand edit of it uses.
//
// Used from the user-interface thread only.
class OfflineEdits {
public:
    // The link went down and a reconnect is pending: the store as it stands is the processor's. A
    // baseline already held (a second drop before the link came back) is kept.
    void Track(const ParameterStore& store);
    bool Tracking() const { return m_baseline.has_value(); }
    // A link opened and read-all is about to overwrite the store: what differs from the baseline joins
    // the edits (a later value of the same field wins), and the baseline is let go.
    void Collect(const ParameterStore& store);

    bool HasEdits() const { return Count() > 0; }
    // Edited units: parameter slots, band records, position gains, the room and the bass-boost record.
    std::size_t Count() const;
    // The parameter slots edited, in slot order.
    std::vector<int> EditedSlots() const;

    // Puts the edited values back into the store and sends them, then forgets them.
    void Apply(ParameterStore& store, CommandEncoder& commands, EqSender& eq);
    // Forgets the edits and the baseline.
    void Clear();

private:
    static constexpr std::size_t kBlockCount = kModeFileBlocks.size();
    using Snapshot = std::array<std::vector<uint8_t>, kBlockCount>;
    // Per block: edited unit index -> the unit's bytes.
    using Units = std::map<int, std::vector<uint8_t>>;

    static Snapshot Take(const ParameterStore& store);
    // A block's unit size in bytes: a slot, a band record, a position gain, or the whole record.
    static std::size_t UnitSize(std::size_t block, std::size_t blockBytes);

    std::optional<Snapshot> m_baseline;
    std::array<Units, kBlockCount> m_edits;
};

} // namespace orvex
