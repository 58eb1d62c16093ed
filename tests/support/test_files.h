#pragma once

// Temporary files and folders for tests that go through the file system.

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace korvane::test {

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvane-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes `bytes` to a file of that name in the folder; returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        const auto file = path_ / name;
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return file.string();
    }

private:
    std::filesystem::path path_;
};

} // namespace korvane::test
