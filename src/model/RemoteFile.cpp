#include "model/RemoteFile.h"

#include "model/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <memory>

namespace orvex {

RemoteFileResult LoadRemoteFile(const std::filesystem::path& path, RemoteKeyRecord& record) {
    RemoteFileResult result;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        result.status = RemoteFileStatus::CannotOpen;
        result.errorCode = errno;
        return result;
    }
    RemoteKeyRecord bytes{};
    const size_t read = std::fread(bytes.data(), 1, bytes.size(), file.get());
    if (read < bytes.size()) {
        if (std::ferror(file.get())) {
            result.status = RemoteFileStatus::CannotOpen;
            result.errorCode = errno != 0 ? errno : EIO;
        } else {
            result.status = RemoteFileStatus::TooShort;
        }
        return result;
    }
    record = bytes;
    return result;
}

RemoteFileResult SaveRemoteFile(const std::filesystem::path& path, const RemoteKeyRecord& record) {
    RemoteFileResult result;
    const int error = WriteFileAtomically(path, record);
    if (error != 0) {
        result.status = RemoteFileStatus::CannotWrite;
        result.errorCode = error;
    }
    return result;
}

} // namespace orvex
