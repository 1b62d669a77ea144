#include "model/StoreFields.h"

#include <algorithm>

namespace orvex {

namespace {

// The table must tile the block: every slot but the reserved ones owned by exactly one field, in slot
// order, each field of one of the counts the processor uses. Checked when the library is compiled.
constexpr bool FieldsTileTheBlock() {
    std::array<int, kParamSlotCount> owners{};
    int previousSlot = -1;
    for (const StoreField& field : kStoreFields) {
        if (field.count != 1 && field.count != 4 && field.count != 8) {
            return false;
        }
        if (field.slot <= previousSlot || field.slot < 0 || field.slot + field.count > kParamSlotCount) {
            return false;
        }
        previousSlot = field.slot;
        for (int i = 0; i < field.count; ++i) {
            ++owners[static_cast<std::size_t>(field.slot + i)];
        }
    }
    for (int slot = 0; slot < kParamSlotCount; ++slot) {
        const bool reserved =
            std::find(kReservedParamSlots.begin(), kReservedParamSlots.end(), slot) != kReservedParamSlots.end();
        if (owners[static_cast<std::size_t>(slot)] != (reserved ? 0 : 1)) {
            return false;
        }
    }
    return true;
}

static_assert(FieldsTileTheBlock(), "the field list must cover every non-reserved slot exactly once");

} // namespace

std::span<const StoreField> StoreFields() {
    return kStoreFields;
}

const StoreField* FindStoreField(std::string_view name) {
    for (const StoreField& field : kStoreFields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

const StoreField* FindStoreFieldBySlot(int slot, int* index) {
    for (const StoreField& field : kStoreFields) {
        if (slot >= field.slot && slot < field.slot + field.count) {
            if (index != nullptr) {
                *index = slot - field.slot;
            }
            return &field;
        }
    }
    return nullptr;
}

} // namespace orvex
