#include "model/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace orvex {

int WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    if (path.empty())
        return ENOENT;
    std::string temp = path.string() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return errno;
    ::fchmod(fd, 0644);
    int error = 0;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && std::rename(temp.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0)
        ::unlink(temp.c_str());
    return error;
}

} // namespace orvex
