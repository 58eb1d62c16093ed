#include "settings_file.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace {

// Reads to the end. The size is only a first guess: files under /proc say
// 0, and a file may grow while it is read.
FileRead readAll(int fd, std::size_t sizeHint) {
    FileRead read;
    try {
        std::string& out = read.bytes;
        out.resize(sizeHint + 1);
        std::size_t used = 0;
        for (;;) {
            if (used == out.size())
                out.resize(out.size() + std::max<std::size_t>(out.size() / 8, 1 << 16));
            const ssize_t n = ::read(fd, out.data() + used, out.size() - used);
            if (n == 0)
                break;
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return {{}, FileStatus::Unreadable, errno};
            }
            used += static_cast<std::size_t>(n);
        }
        out.resize(used);
    } catch (const std::bad_alloc&) {
        // Larger than the memory there is (a sparse file, /proc/kcore).
        return {{}, FileStatus::Unreadable, ENOMEM};
    } catch (const std::length_error&) {
        return {{}, FileStatus::Unreadable, EFBIG};
    }
    return read;
}

} // namespace

FileRead readSettingsFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        const bool missing = err == ENOENT || err == ENOTDIR;
        return {{}, missing ? FileStatus::Missing : FileStatus::Unreadable, err};
    }
    if (!S_ISREG(st.st_mode))
        return {{}, FileStatus::NotRegular, 0};
    // O_NONBLOCK: should the path have become a FIFO since the stat, the
    // open must not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return {{}, FileStatus::Unreadable, errno};
    FileRead read;
    if (::fstat(fd, &st) != 0)
        read = {{}, FileStatus::Unreadable, errno};
    else if (!S_ISREG(st.st_mode))
        read = {{}, FileStatus::NotRegular, 0};
    else
        read = readAll(fd, static_cast<std::size_t>(st.st_size));
    ::close(fd);
    return read;
}

FileRead readStream(int fd) {
    return readAll(fd, 0);
}

} // namespace korvane
