// Parses arbitrary bytes as a plug's key file. The reader must not crash, and every key it returns
// must carry an index in 0..31, each index at most once.

#include "model/PlugKeyFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<orvex::PlugKey> keys;
    const orvex::KeyFileResult result =
        orvex::ParseKeyFile(std::string_view(reinterpret_cast<const char*>(data), size), keys);
    if (!result.ok())
        return 0;
    uint32_t seen = 0;
    for (const orvex::PlugKey& key : keys) {
        if (key.index < 0 || key.index >= orvex::kPlugKeyCount || (seen >> key.index & 1u) != 0)
            std::abort();
        seen |= 1u << key.index;
    }
    // What the editor writes back from these keys reads the same.
    std::vector<orvex::PlugKey> again;
    if (!orvex::ParseKeyFile(orvex::BuildKeyFile(keys), again).ok() || again.size() != keys.size())
        std::abort();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (again[i].index != keys[i].index || again[i].name != keys[i].name || again[i].status != keys[i].status)
            std::abort();
    }
    return 0;
}
