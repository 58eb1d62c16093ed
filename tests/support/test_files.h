#pragma once

// Temporary files and folders for tests that go through the file system.

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace korvane::test {

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "korvane-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir() {
        for (int fd : sockets_)
            ::close(fd);
        std::filesystem::remove_all(path_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Writes `bytes` to a file of that name in the folder; returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        const auto file = path_ / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        return file.string();
    }

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

private:
    std::filesystem::path path_;
    std::vector<int> sockets_;
};

} // namespace korvane::test
