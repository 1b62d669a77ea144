#include "model/ModeFile.h"

#include "model/AtomicFile.h"
#include "model/ParameterStore.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvex {
namespace {

// Every version the loader accepts. Versions 1..8 come from earlier editors that knew fewer
// parameters and bands; 29 is the current one.
constexpr std::array<ModeFileLayout, 9> kLayouts = {{
    {1, 784, 1246, false, false, false},
    {2, 784, 1246, true, false, false},
    {3, 796, 1246, true, false, false},
    {4, 796, 1246, true, true, false},
    {5, 828, 1246, true, true, false},
    {6, 844, 1253, true, true, false},
    {7, 864, 1253, true, true, false},
    {8, 864, 1253, true, true, true},
    {29, 912, 1253, true, true, true},
}};

int32_t ReadLe32(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                                static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

size_t ModeFileLayout::Size() const {
    return 4 + size_t{paramBytes} + eqBytes + (positionGains ? 32u : 0u) + (room ? 20u : 0u) + (bassBoost ? 2u : 0u);
}

std::optional<ModeFileLayout> ModeFileLayoutFor(int32_t version) {
    for (const ModeFileLayout& layout : kLayouts) {
        if (layout.version == version)
            return layout;
    }
    return std::nullopt;
}

std::span<const ModeFileLayout> AcceptedModeFileLayouts() {
    return kLayouts;
}

std::vector<uint8_t> BuildModeFile(const ParameterStore& store) {
    std::vector<uint8_t> out;
    out.reserve(kModeFileSize);
    const auto version = static_cast<uint32_t>(kModeFileVersion);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(version >> (8 * i)));
    for (StoreBlock block : kModeFileBlocks) {
        const std::vector<uint8_t> bytes = store.ReadBlock(block);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

bool IsPlausibleModeFileVersion(int32_t version) {
    return version > 0 && version <= 0xFFFF;
}

ModeFileResult LoadModeFileBytes(std::span<const uint8_t> bytes, ParameterStore& store) {
    ModeFileResult result;
    if (bytes.size() < 4) {
        result.status = ModeFileStatus::NotModeFile;
        return result;
    }
    result.version = ReadLe32(bytes.data());
    if (!IsPlausibleModeFileVersion(result.version)) {
        result.status = ModeFileStatus::NotModeFile;
        return result;
    }
    const std::optional<ModeFileLayout> layout = ModeFileLayoutFor(result.version);
    if (!layout) {
        result.status = ModeFileStatus::UnsupportedVersion;
        return result;
    }
    if (bytes.size() < layout->Size()) {
        result.status = ModeFileStatus::Truncated;
        return result;
    }
    size_t at = 4;
    auto take = [&](StoreBlock block, size_t count) {
        store.WriteBlock(block, bytes.subspan(at, count));
        at += count;
    };
    take(StoreBlock::ParamBlock, layout->paramBytes);
    take(StoreBlock::EqBandTable, layout->eqBytes);
    if (layout->positionGains)
        take(StoreBlock::PositionGainTable, 32);
    if (layout->room)
        take(StoreBlock::RoomRecord, 20); // the store recomputes the room geometry from it
    if (layout->bassBoost)
        take(StoreBlock::BassBoostRecord, 2);
    return result;
}

ModeFileResult ReadModeFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
    ModeFileResult result;
    bytes.clear();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        result.status = ModeFileStatus::CannotOpen;
        result.errorCode = errno;
        return result;
    }
    // No accepted file is longer than the current format; read a little more than that so a
    // longer file still loads (its tail is ignored) without reading an arbitrary file whole.
    bytes.resize(kModeFileSize + 1);
    const size_t n = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool readError = std::ferror(file) != 0;
    const int readErrno = errno;
    std::fclose(file);
    if (readError) {
        bytes.clear();
        result.status = ModeFileStatus::CannotOpen;
        result.errorCode = readErrno;
        return result;
    }
    bytes.resize(n);
    return result;
}

ModeFileResult LoadModeFile(const std::filesystem::path& path, ParameterStore& store) {
    std::vector<uint8_t> bytes;
    const ModeFileResult read = ReadModeFileBytes(path, bytes);
    if (!read.ok())
        return read;
    return LoadModeFileBytes(bytes, store);
}

ModeFileResult SaveModeFile(const std::filesystem::path& path, const ParameterStore& store) {
    return SaveModeFile(path, store, WriteAllBytes);
}

ModeFileResult SaveModeFile(const std::filesystem::path& path, const ParameterStore& store,
                            const ModeFileWriter& writer) {
    ModeFileResult result;
    result.version = kModeFileVersion;
    const std::vector<uint8_t> bytes = BuildModeFile(store);
    if (const int error = WriteFileAtomically(path, bytes, writer)) {
        result.status = ModeFileStatus::CannotWrite;
        result.errorCode = error;
    }
    return result;
}

int PendingModeFromFileTitle(std::string_view title) {
    title = title.substr(0, 20);
    if (title.size() < 2 || std::tolower(static_cast<unsigned char>(title[0])) != 'm')
        return -1;
    const char digit = title[1];
    return digit >= '1' && digit <= '4' ? digit - '1' : -1;
}

} // namespace orvex
