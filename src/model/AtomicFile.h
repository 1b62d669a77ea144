#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace orvex {

// Writes `bytes` to a temporary file beside `path` and renames it over `path` only once every byte
// is on disk, so a full disk or a failed write never destroys the file that was there. Returns 0,
// or the errno of the step that failed (the temporary file is then removed).
int WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

} // namespace orvex
