#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

namespace orvex {

// Puts every byte into the open file `fd`; false (errno set) when a write fails.
using FileBytesWriter = std::function<bool(int fd, std::span<const uint8_t> bytes)>;
bool WriteAllBytes(int fd, std::span<const uint8_t> bytes);

// Writes `bytes` to a temporary file beside `path` and renames it over `path` only once every byte
// is on disk, so a full disk or a failed write never destroys the file that was there. Returns 0,
// or the errno of the step that failed (the temporary file is then removed). `writer` puts the
// bytes into the temporary file (tests make it fail).
int WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                        const FileBytesWriter& writer = WriteAllBytes);

} // namespace orvex
