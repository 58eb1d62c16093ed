// The file layer on POSIX systems: settings_file.h and the mapping part of
// bytes.h, with open(2), read(2) and mmap(2).
#include "read_to_end.h"
#include "settings_file.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace korvane {

// The mappings that a file shrinking or failing may leave without pages. A
// signal handler reads this, so it is a fixed array of lock-free atomics.
struct MappedFile {
    struct Slot {
        std::atomic<std::uintptr_t> begin{0}, end{0};
        std::atomic<bool> damaged{false};
    };
    static std::array<Slot, 64> slots;
    static std::atomic<bool> guarded;
    static std::uintptr_t pageSize; // taken before the handler can run
    static struct sigaction previous;

    static void onBusError(int signal, siginfo_t* info, void* context);
    static Bytes map(int fd, std::size_t size);
};

std::array<MappedFile::Slot, 64> MappedFile::slots;
std::atomic<bool> MappedFile::guarded{false};
std::uintptr_t MappedFile::pageSize = 0;
struct sigaction MappedFile::previous {};

// A page of one of our mappings that the file no longer backs (the kernel
// says BUS_ADRERR both past a shrunk end and for a failed read): from that
// page on, the mapping becomes zero pages, is marked, and the read goes on.
// Anything else goes to the handler there was before, or ends the program
// as SIGBUS does. Only async-signal-safe calls, and mmap, a bare system
// call that holds no lock.
void MappedFile::onBusError(int signal, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (info->si_code == BUS_ADRERR) {
        for (Slot& s : slots) {
            const std::uintptr_t begin = s.begin.load(), end = s.end.load();
            if (begin == 0 || at < begin || at >= end)
                continue;
            const std::uintptr_t from = at & ~(pageSize - 1);
            s.damaged.store(true);
            if (::mmap(reinterpret_cast<void*>(from), end - from, PROT_READ,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED)
                return;
        }
    }
    if ((previous.sa_flags & SA_SIGINFO) && previous.sa_sigaction) {
        previous.sa_sigaction(signal, info, context);
    } else if (!(previous.sa_flags & SA_SIGINFO) && previous.sa_handler != SIG_IGN &&
               previous.sa_handler != SIG_DFL) {
        previous.sa_handler(signal);
    } else {
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        ::sigaction(SIGBUS, &fallback, nullptr);
        ::raise(SIGBUS);
    }
}

Bytes MappedFile::map(int fd, std::size_t size) {
    if (!guarded.load())
        return {};
    void* at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (at == MAP_FAILED)
        return {};
    const auto begin = reinterpret_cast<std::uintptr_t>(at);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        std::uintptr_t free = 0;
        if (slots[i].begin.compare_exchange_strong(free, begin)) {
            slots[i].damaged.store(false);
            slots[i].end.store(begin + size);
            return Bytes(static_cast<char*>(at), size, static_cast<int>(i));
        }
    }
    ::munmap(at, size); // too many at once: the caller reads instead
    return {};
}

void Bytes::unmap() {
    MappedFile::Slot& slot = MappedFile::slots[static_cast<std::size_t>(mapping_)];
    ::munmap(data_, capacity_);
    slot.end.store(0);
    slot.begin.store(0);
}

bool Bytes::damaged() const {
    return mapped() && MappedFile::slots[static_cast<std::size_t>(mapping_)].damaged.load();
}

void guardMappedFiles() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        MappedFile::pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = MappedFile::onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        if (::sigaction(SIGBUS, &action, &MappedFile::previous) == 0)
            MappedFile::guarded.store(true);
    });
}

namespace {

// A settings file opened for reading. Only a regular file is opened, and
// with O_NONBLOCK: should the path have become a FIFO since the stat, the
// open must not wait for a writer.
class OpenFile {
public:
    explicit OpenFile(const std::string& path) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            error_ = errno;
            status_ = error_ == ENOENT || error_ == ENOTDIR ? FileStatus::Missing
                                                            : FileStatus::Unreadable;
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            status_ = FileStatus::NotRegular;
            folder_ = S_ISDIR(st.st_mode);
            return;
        }
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
            status_ = FileStatus::Unreadable;
            error_ = errno;
            return;
        }
        if (!S_ISREG(st.st_mode)) {
            status_ = FileStatus::NotRegular;
            return;
        }
        size_ = static_cast<std::uint64_t>(st.st_size);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    ~OpenFile() {
        if (fd_ >= 0)
            ::close(fd_);
    }

    FileStatus status_ = FileStatus::Ok;
    int error_ = 0;
    int fd_ = -1;
    std::uint64_t size_ = 0;
    bool folder_ = false;
};

FileRead readAll(int fd, std::uint64_t said, std::uint64_t cap) {
    const auto readSome = [fd](char* into, std::size_t room) -> long long {
        for (;;) {
            const ssize_t n = ::read(fd, into, room);
            if (n >= 0)
                return n;
            if (errno != EINTR)
                return -errno;
        }
    };
    return readToEnd(readSome, said, cap);
}

} // namespace

FileRead readSettingsFile(const std::string& path, Reading how, std::uint64_t limit) {
    const OpenFile file(path);
    if (file.status_ != FileStatus::Ok)
        return {{}, file.status_, file.error_, file.folder_};
    const std::uint64_t cap = limit == UINT64_MAX ? limit : limit + 1;
    // Mapped, the bytes are never copied; a file that says it is empty (as
    // those under /proc do) is read to its end instead.
    const std::uint64_t size = std::min(file.size_, cap);
    if (how == Reading::Map && size > 0 && size <= SIZE_MAX) {
        if (Bytes mapped = MappedFile::map(file.fd_, static_cast<std::size_t>(size));
            mapped.mapped())
            return {std::move(mapped), FileStatus::Ok, 0};
    }
    return readAll(file.fd_, file.size_, cap);
}

FileRead probeSettingsFile(const std::string& path) {
    const OpenFile file(path);
    return {{}, file.status_, file.error_, file.folder_};
}

FileRead readStandardInput() {
    // A file given as standard input tells its size from where it is read;
    // a pipe does not.
    struct stat st {};
    std::uint64_t said = 0;
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISREG(st.st_mode)) {
        const off_t at = ::lseek(STDIN_FILENO, 0, SEEK_CUR);
        if (at >= 0 && at <= st.st_size)
            said = static_cast<std::uint64_t>(st.st_size - at);
    }
    FileRead read = readAll(STDIN_FILENO, said, UINT64_MAX);
    char source[4096];
    if (const ssize_t n = ::readlink("/proc/self/fd/0", source, sizeof source); n > 0)
        read.source.assign(source, static_cast<std::size_t>(n));
    return read;
}

} // namespace korvane
