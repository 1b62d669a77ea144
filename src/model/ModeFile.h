#pragma once

#include "model/AtomicFile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class ParameterStore;

// A mode file (".kvom") is a little-endian version word followed by a straight dump of the five
// store blocks: paramBlock, eqBandTable, positionGainTable, roomRecord, bassBoostRecord. The editor
// writes version 29 (2223 bytes); older versions carry shorter blocks or fewer of them, and a block
// a version does not carry keeps what the store held.
inline constexpr int32_t kModeFileVersion = 29;
inline constexpr size_t kModeFileSize = 4 + 912 + 1253 + 32 + 20 + 2;

struct ModeFileLayout {
    int32_t version;
    uint16_t paramBytes;
    uint16_t eqBytes;
    bool positionGains;
    bool room;
    bool bassBoost;

    // The bytes a file of this version must hold, version word included.
    size_t Size() const;
};

// The layout of an accepted version; nullopt for versions 9..28 and anything else unknown.
std::optional<ModeFileLayout> ModeFileLayoutFor(int32_t version);
std::span<const ModeFileLayout> AcceptedModeFileLayouts();

enum class ModeFileStatus {
    Ok,
    CannotOpen,         // the file could not be opened or read (errorCode holds errno)
    CannotWrite,        // the file could not be written (errorCode holds errno)
    UnsupportedVersion, // a version the editor does not know
    Truncated,          // shorter than its version's blocks
    NotModeFile,        // too short for a version word, or a word no mode file starts with (text, say)
};

struct ModeFileResult {
    ModeFileStatus status = ModeFileStatus::Ok;
    int errorCode = 0;   // errno for CannotOpen / CannotWrite
    int32_t version = 0; // the version word read, when there was one
    bool ok() const { return status == ModeFileStatus::Ok; }
};

// The current format's bytes for the store.
std::vector<uint8_t> BuildModeFile(const ParameterStore& store);

// Loads a mode file image. All or nothing: the version and the size are checked against the
// version's layout before any block is written, so a rejected file leaves the store as it was.
// Bytes past the blocks are ignored.
ModeFileResult LoadModeFileBytes(std::span<const uint8_t> bytes, ParameterStore& store);

// Whether a version word could head a mode file at all: versions are small positive numbers, so a word
// with its upper half set (any four characters of text) or zero is not a version of any editor.
bool IsPlausibleModeFileVersion(int32_t version);

// Reads a file's bytes for LoadModeFileBytes, at most a little more than the current format (no
// accepted file is longer; the tail of a longer one is ignored anyway). Ok or CannotOpen.
ModeFileResult ReadModeFileBytes(const std::filesystem::path& path, std::vector<uint8_t>& bytes);

// Reads the file, then loads it as above.
ModeFileResult LoadModeFile(const std::filesystem::path& path, ParameterStore& store);

// Writes the current format next to the target and renames it over the target only once every
// byte is on disk, so a full disk or a failed write never destroys the previous preset.
ModeFileResult SaveModeFile(const std::filesystem::path& path, const ParameterStore& store);

// The same with the step that puts the bytes into the open temporary file replaced: it returns false
// with errno set when it fails (a full disk, say). The seam lets a failing write be tried on the real
// target.
using ModeFileWriter = FileBytesWriter;
ModeFileResult SaveModeFile(const std::filesystem::path& path, const ParameterStore& store,
                            const ModeFileWriter& writer);

// The device memory a file's name points at: a title (the name without its extension) whose first
// 20 characters, lower-cased, begin with "m1".."m4" names memory 0..3; anything else gives -1.
int PendingModeFromFileTitle(std::string_view title);

} // namespace orvex
