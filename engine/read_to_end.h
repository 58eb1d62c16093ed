#pragma once

// Reading a file or stream to its end, for each platform's file layer: only
// how one block is read differs between them.

#include "settings_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <new>

namespace korvane {

// Reads to the end, in blocks, but no more than `cap` bytes. The size the
// source said is only a first guess: files under /proc say 0, a pipe says
// nothing, and a file may grow while it is read; but one that gives fewer
// bytes than it said has shrunk, or failed, on the way. readSome(into, room)
// reads at most `room` bytes and returns how many (0 at the end), or minus
// an errno.
template <typename ReadSome>
FileRead readToEnd(ReadSome readSome, std::uint64_t said, std::uint64_t cap) {
    FileRead read;
    Bytes& out = read.bytes;
    try {
        out.reserve(static_cast<std::size_t>(
            std::min(cap, std::max<std::uint64_t>(said + 1, std::uint64_t{1} << 16))));
        while (out.size() < cap) {
            if (out.size() == out.capacity())
                out.reserve(
                    static_cast<std::size_t>(std::min<std::uint64_t>(cap, out.capacity() * 2)));
            const long long n = readSome(out.data() + out.size(), out.capacity() - out.size());
            if (n == 0)
                break;
            if (n < 0)
                return {{}, FileStatus::Unreadable, static_cast<int>(-n)};
            out.resize(out.size() + static_cast<std::size_t>(n));
        }
    } catch (const std::bad_alloc&) {
        // Larger than the memory there is (a sparse file, /proc/kcore).
        return {{}, FileStatus::Unreadable, ENOMEM};
    }
    if (out.size() < said && out.size() < cap)
        return {{}, FileStatus::Unreadable, kChangedWhileRead};
    return read;
}

} // namespace korvane
