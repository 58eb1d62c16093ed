// Mapping a file's bytes on POSIX systems, with the guard that keeps a file
// truncated while mapped from ending the program.
#include "bytes.h"

#include <array>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>

namespace korvane {
namespace {

// The mappings that a truncated file may leave without pages. A signal
// handler reads this, so it is a fixed array of atomics.
struct Mapping {
    std::atomic<std::uintptr_t> begin{0}, end{0};
};
std::array<Mapping, 64> mappings;
struct sigaction previous {};

// A read past the end of a truncated file: the rest of that mapping becomes
// zero pages, and the read goes on. Any other SIGBUS is not ours.
void onBusError(int signal, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (const Mapping& m : mappings) {
        const std::uintptr_t begin = m.begin.load(), end = m.end.load();
        if (at < begin || at >= end)
            continue;
        const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        const std::uintptr_t from = at & ~(page - 1);
        if (::mmap(reinterpret_cast<void*>(from), end - from, PROT_READ,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED)
            return;
    }
    if (previous.sa_flags & SA_SIGINFO && previous.sa_sigaction) {
        previous.sa_sigaction(signal, info, context);
    } else if (previous.sa_handler != SIG_IGN && previous.sa_handler != SIG_DFL) {
        previous.sa_handler(signal);
    } else {
        ::signal(SIGBUS, SIG_DFL);
        ::raise(SIGBUS);
    }
}

bool guard(const char* begin, std::size_t length) {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &previous);
    });
    const auto b = reinterpret_cast<std::uintptr_t>(begin);
    for (Mapping& m : mappings) {
        std::uintptr_t free = 0;
        if (m.begin.compare_exchange_strong(free, b)) {
            m.end.store(b + length);
            return true;
        }
    }
    return false; // too many at once: the caller reads instead
}

void unguard(const char* begin) {
    for (Mapping& m : mappings) {
        if (m.begin.load() == reinterpret_cast<std::uintptr_t>(begin)) {
            m.end.store(0);
            m.begin.store(0);
        }
    }
}

} // namespace

Bytes Bytes::map(int fd, std::size_t size) {
    void* at = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (at == MAP_FAILED)
        return {};
    Bytes bytes;
    bytes.data_ = static_cast<char*>(at);
    bytes.size_ = bytes.capacity_ = size;
    bytes.mapped_ = true;
    if (!guard(bytes.data_, size))
        return {};
    return bytes;
}

void Bytes::unmap(char* data, std::size_t length) {
    unguard(data);
    ::munmap(data, length);
}

} // namespace korvane
