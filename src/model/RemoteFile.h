#pragma once

#include "model/ParameterStore.h"

#include <filesystem>

namespace orvex {

// A remote data file (".remo") holds exactly the 18 bytes of the remote key record.
enum class RemoteFileStatus {
    Ok,
    CannotOpen,  // the file could not be opened or read (errorCode holds errno)
    TooShort,    // fewer than 18 bytes: not a remote data file
    CannotWrite, // the file could not be written (errorCode holds errno)
};

struct RemoteFileResult {
    RemoteFileStatus status = RemoteFileStatus::Ok;
    int errorCode = 0;
    bool ok() const { return status == RemoteFileStatus::Ok; }
};

// Reads the first 18 bytes of the file into `record`; bytes past them are ignored. On any failure
// `record` is left exactly as it was.
RemoteFileResult LoadRemoteFile(const std::filesystem::path& path, RemoteKeyRecord& record);

// Writes the 18 bytes atomically: a failed save leaves the previous file as it was.
RemoteFileResult SaveRemoteFile(const std::filesystem::path& path, const RemoteKeyRecord& record);

} // namespace orvex
