// Loads arbitrary bytes as a mode file into a store holding known content. The loader must not
// crash or read past the input, and a file it rejects must leave the store exactly as it was.

#include "model/ModeFile.h"
#include "model/ParameterStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static orvex::ParameterStore store;
    store.ResetStoreDefaults();
    std::vector<std::vector<uint8_t>> before;
    for (orvex::StoreBlock block : orvex::kModeFileBlocks)
        before.push_back(store.ReadBlock(block));

    const orvex::ModeFileResult result = orvex::LoadModeFileBytes(std::span<const uint8_t>(data, size), store);
    if (!result.ok()) {
        size_t i = 0;
        for (orvex::StoreBlock block : orvex::kModeFileBlocks) {
            if (store.ReadBlock(block) != before[i++])
                std::abort();
        }
    }
    return 0;
}
