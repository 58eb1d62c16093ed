#pragma once

// Temporary files and folders for tests that go through the file system.
// Names are UTF-8 on every platform, as the engine takes them.

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace korvane::test {

inline std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string utf8Text(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        std::random_device random;
        for (;;) {
            path_ = std::filesystem::temp_directory_path() /
                    ("korvane-test-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_))
                break;
        }
#else
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvane-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
#endif
    }
    ~TempDir() {
#ifndef _WIN32
        for (int fd : sockets_)
            ::close(fd);
#endif
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const {
        return path_;
    }

    // Writes `bytes` to a file of that name (UTF-8) in the folder; returns
    // its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        const auto file = path_ / utf8Path(name);
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return utf8Text(file);
    }

#ifndef _WIN32
    // A FIFO of that name, with no writer: opened for reading, it blocks.
    std::string fifo(const std::string& name) const {
        const std::string path = (path_ / name).string();
        return ::mkfifo(path.c_str(), 0600) == 0 ? path : std::string();
    }

    // A Unix socket of that name, bound for the folder's life.
    std::string socket(const std::string& name) {
        const std::string path = (path_ / name).string();
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        path.copy(addr.sun_path, sizeof addr.sun_path - 1);
        sockets_.push_back(fd);
        return ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 ? path
                                                                                : std::string();
    }
#endif

private:
    std::filesystem::path path_;
    std::vector<int> sockets_;
};

} // namespace korvane::test
