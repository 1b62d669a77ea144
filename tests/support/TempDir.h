#pragma once

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace orvex::test {

// A new folder of its own under the system's temporary folder, removed with everything in it when
// the object goes: a failed assertion or an early return leaves nothing behind. The name is one
// flat component whatever the test is called (a parameterised test's name holds a '/').
class TempDir {
public:
    explicit TempDir(const std::string& prefix) {
        std::string flat = prefix;
        std::replace(flat.begin(), flat.end(), '/', '_');
        std::string pattern = (std::filesystem::temp_directory_path() / (flat + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            m_path = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

} // namespace orvex::test
