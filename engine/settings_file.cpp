#include "settings_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace korvane {
namespace {

// Reads to the end, in blocks. The size is only a first guess: files under
// /proc say 0, a pipe says nothing, and a file may grow while it is read.
FileRead readAll(int fd, std::size_t sizeHint) {
    FileRead read;
    Bytes& out = read.bytes;
    try {
        out.reserve(std::max<std::size_t>(sizeHint + 1, 1 << 16));
        for (;;) {
            if (out.size() == out.capacity())
                out.reserve(out.capacity() * 2);
            const ssize_t n = ::read(fd, out.data() + out.size(), out.capacity() - out.size());
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return {{}, FileStatus::Unreadable, errno};
            }
            out.resize(out.size() + static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        // Larger than the memory there is (a sparse file, /proc/kcore).
        return {{}, FileStatus::Unreadable, ENOMEM};
    }
    return read;
}

} // namespace

OpenFile OpenFile::open(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        const bool missing = err == ENOENT || err == ENOTDIR;
        return {missing ? FileStatus::Missing : FileStatus::Unreadable, err};
    }
    if (!S_ISREG(st.st_mode)) {
        OpenFile special(FileStatus::NotRegular, 0);
        special.folder_ = S_ISDIR(st.st_mode);
        return special;
    }
    // O_NONBLOCK: should the path have become a FIFO since the stat, the
    // open must not wait for a writer.
    OpenFile file(FileStatus::Ok, 0);
    file.fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file.fd_ < 0)
        return {FileStatus::Unreadable, errno};
    if (::fstat(file.fd_, &st) != 0)
        return {FileStatus::Unreadable, errno};
    if (!S_ISREG(st.st_mode))
        return {FileStatus::NotRegular, 0};
    file.size_ = static_cast<std::uint64_t>(st.st_size);
    return file;
}

OpenFile::OpenFile(OpenFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), status_(other.status_), error_(other.error_),
      size_(other.size_), folder_(other.folder_) {}

OpenFile& OpenFile::operator=(OpenFile&& other) noexcept {
    std::swap(fd_, other.fd_);
    status_ = other.status_;
    error_ = other.error_;
    size_ = other.size_;
    folder_ = other.folder_;
    return *this;
}

OpenFile::~OpenFile() {
    if (fd_ >= 0)
        ::close(fd_);
}

FileRead readSettingsFile(const std::string& path) {
    const OpenFile file = OpenFile::open(path);
    if (file.status() != FileStatus::Ok)
        return {{}, file.status(), file.error()};
    // Mapped, the bytes are never copied; a file that says it is empty (as
    // those under /proc do) is read to its end instead.
    if (file.size() > 0 && file.size() <= SIZE_MAX) {
        if (Bytes mapped = Bytes::map(file.fd(), static_cast<std::size_t>(file.size()));
            mapped.size() > 0)
            return {std::move(mapped), FileStatus::Ok, 0};
    }
    return readAll(file.fd(), static_cast<std::size_t>(file.size()));
}

FileRead readStream(int fd) {
    // A file given as standard input tells its size; a pipe does not.
    struct stat st {};
    const bool sized = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    return readAll(fd, sized ? static_cast<std::size_t>(st.st_size) : 0);
}

} // namespace korvane
