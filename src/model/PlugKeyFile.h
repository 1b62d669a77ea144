#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

// The names and learned states of an infrared plug's keys, kept on the PC in one XML file per plug:
// <documents>/kvo/Plug/<node>.xml with a root `Keys` and 32 `Key` elements carrying `Index` (0..31),
// `Name` and `Status` (0 not learned, 1 learned). Keys are always found by their `Index` attribute,
// never by their position in the file, since the file is the user's to edit.
inline constexpr int kPlugKeyCount = 32;
// Larger than any key file the editor writes by far; a bigger file is not read at all.
inline constexpr size_t kKeyFileMaxBytes = 1 << 20;

struct PlugKey {
    int index = 0; // 0..31
    std::string name;
    int status = 0; // non-zero: learned
};

enum class KeyFileStatus {
    Ok,
    NoDirectory, // the key directory is unknown (no documents folder) or not absolute
    Missing,     // the plug has no key file
    CannotRead,  // the file exists but could not be read (errorCode holds errno)
    Malformed,   // not a key file: not XML, no `Keys` root, or too large
    NoSuchKey,   // no `Key` element with that `Index`, or an index outside 0..31
    CannotWrite, // the file could not be written (errorCode holds errno)
};

struct KeyFileResult {
    KeyFileStatus status = KeyFileStatus::Ok;
    int errorCode = 0;
    std::string detail; // what the parser said about a malformed file
    bool ok() const { return status == KeyFileStatus::Ok; }
};

// "<documents>/kvo/Plug", or empty when the documents folder is empty or relative: no file is ever
// read, written or deleted relative to the working directory.
std::filesystem::path PlugKeyDirectory(const std::filesystem::path& documents);
// "<directory>/<node>.xml", or empty for an unusable directory or a node outside 0..232.
std::filesystem::path PlugKeyFilePath(const std::filesystem::path& directory, int node);
// Creates the directory with every missing parent; false when it does not exist afterwards.
bool CreateKeyDirectory(const std::filesystem::path& directory);

// The text of a key file, and the text of a new plug's file (keys "Key1".."Key32", not learned).
std::string BuildKeyFile(const std::vector<PlugKey>& keys);
std::string BuildDefaultKeyFile();

// The keys of a key file's text in file order. Elements with an `Index` that is not a number in
// 0..31, and repeats of an index already seen, are left out (lookups find the first one too).
KeyFileResult ParseKeyFile(std::string_view text, std::vector<PlugKey>& keys);

// Every operation below works on one plug's file in `directory` and reports why it failed. A file
// that does not parse is never replaced: the user's names would be lost without a word.
KeyFileResult ReadKeyFile(const std::filesystem::path& directory, int node, std::vector<PlugKey>& keys);
// Writes the default file; an existing file (parsable or not) is left alone and reported.
KeyFileResult CreateDefaultKeyFile(const std::filesystem::path& directory, int node);
// Reads the keys, creating the default file first when the plug has none.
KeyFileResult ReadOrCreateKeyFile(const std::filesystem::path& directory, int node, std::vector<PlugKey>& keys);
// The name of key `index`, "" when the file or the key is missing.
std::string KeyName(const std::filesystem::path& directory, int node, int index);
KeyFileResult SetKeyName(const std::filesystem::path& directory, int node, int index, std::string_view name);
KeyFileResult SetKeyStatus(const std::filesystem::path& directory, int node, int index, int status);

// Removes a plug's file (a plug left the network). False when nothing was removed.
bool DeletePlugKeyFile(const std::filesystem::path& directory, int node);
// Removes every file under the key directory; sub-directories are emptied and kept. Only for a
// directory that PlugKeyDirectory made (absolute, ending in kvo/Plug), and only after the smart
// module's reset has succeeded. Returns the number of files removed.
int DeleteAllKeyFiles(const std::filesystem::path& directory);

} // namespace orvex
