#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

namespace orvex::test {

// A private folder under the system's temporary directory, removed with everything in it when the
// test leaves, however it leaves.
class TempDir {
public:
    explicit TempDir(const std::string& prefix) {
        static std::atomic<int> serial{0};
        m_path = std::filesystem::temp_directory_path() /
                 (prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(m_path);
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace orvex::test
