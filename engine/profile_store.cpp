#include "profile_store.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace korvane {
namespace {

const std::shared_ptr<const Profile>& emptyProfile() {
    static const auto empty = std::make_shared<const Profile>();
    return empty;
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Reads to the end of the file. The size from fstat is only a first guess:
// files under /proc report 0, and a file may grow while it is read.
bool readAll(int fd, std::size_t sizeHint, std::string& out) {
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
            return false;
        }
        used += static_cast<std::size_t>(n);
    }
    out.resize(used);
    return true;
}

} // namespace

ProfileStore& ProfileStore::instance() {
    static ProfileStore store;
    return store;
}

LoadedProfile ProfileStore::load(const std::string& path) {
    if (auto it = memoryFiles_.find(path); it != memoryFiles_.end())
        return {it->second, FileStatus::Ok, 0};

    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        const auto status =
            (err == ENOENT || err == ENOTDIR) ? FileStatus::Missing : FileStatus::Unreadable;
        return {emptyProfile(), status, err};
    }
    if (!S_ISREG(st.st_mode))
        return {emptyProfile(), FileStatus::NotRegular, 0};

    const auto identityOf = [](const struct stat& s) {
        return Identity{static_cast<std::uint64_t>(s.st_dev),
                        static_cast<std::uint64_t>(s.st_ino),
                        static_cast<std::uint64_t>(s.st_size),
                        s.st_mtim.tv_sec,
                        s.st_mtim.tv_nsec,
                        s.st_ctim.tv_sec,
                        s.st_ctim.tv_nsec};
    };
    if (cached_ && path == cachedPath_ && cachedIdentity_ == identityOf(st) &&
        trusted(*cachedIdentity_))
        return {cached_, FileStatus::Ok, 0};

    timespec readAt{};
    ::clock_gettime(CLOCK_REALTIME, &readAt);

    // O_NONBLOCK: should the path have become a FIFO since the stat, the
    // open must not wait for a writer.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        const int err = errno;
        return {emptyProfile(), FileStatus::Unreadable, err};
    }
    if (!S_ISREG(st.st_mode))
        return {emptyProfile(), FileStatus::NotRegular, 0};

    // Drop the old parse before reading, so two large files are never held
    // at once.
    clearCache();
    std::shared_ptr<const Profile> parsed;
    try {
        std::string bytes;
        if (!readAll(fd.get(), static_cast<std::size_t>(st.st_size), bytes)) {
            const int err = errno;
            return {emptyProfile(), FileStatus::Unreadable, err};
        }
        parsed = std::make_shared<const Profile>(Profile::parse(std::move(bytes)));
    } catch (const std::bad_alloc&) {
        // A file larger than the memory there is (a sparse file, /proc/kcore)
        // cannot be read either.
        return {emptyProfile(), FileStatus::Unreadable, ENOMEM};
    } catch (const std::length_error&) { // larger than a string can be
        return {emptyProfile(), FileStatus::Unreadable, EFBIG};
    }
    cached_ = std::move(parsed);
    cachedPath_ = path;
    cachedIdentity_ = identityOf(st);
    cachedAtSec_ = readAt.tv_sec;
    cachedRun_ = run_;
    return {cached_, FileStatus::Ok, 0};
}

std::int32_t ProfileStore::readInt(const std::string& path, std::string_view section,
                                   std::string_view key) {
    return load(path).profile->readInt(section, key);
}

void ProfileStore::prefetch(const std::string& path, std::string_view section,
                            std::span<const std::string> keys) {
    load(path).profile->prefetch(section, keys);
}

bool ProfileStore::trusted(const Identity& id) const {
    if (cachedRun_ == run_)
        return true;
    // Far enough past the file's last change that no later change can have
    // left its times as they were.
    constexpr std::int64_t kGrainSeconds = 2;
    const std::int64_t lastChange = std::max(id.mtimeSec, id.ctimeSec);
    return lastChange + kGrainSeconds < cachedAtSec_;
}

void ProfileStore::setMemoryFile(const std::string& path, std::string bytes) {
    memoryFiles_[path] = std::make_shared<const Profile>(Profile::parse(std::move(bytes)));
}

void ProfileStore::forgetMemoryFile(const std::string& path) {
    memoryFiles_.erase(path);
}

void ProfileStore::clearCache() {
    cached_.reset();
    cachedPath_.clear();
    cachedIdentity_.reset();
}

} // namespace korvane
